#pragma once

#include <QWidget>

class QLabel;

// One built-in picture of a background picture list: its thumbnail, framed by a 2 px border in
// the highlight colour while it is selected.
class InfoBGPictCollectionViewItem : public QWidget
{
    Q_OBJECT
public:
    static constexpr int borderWidth = 2;

    explicit InfoBGPictCollectionViewItem(const QPixmap& thumbnail, QWidget* parent = nullptr);

    QLabel* thumbImageView() const { return m_thumbImageView; }
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_thumbImageView;
    bool m_selected = false;
};
