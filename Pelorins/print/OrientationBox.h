#pragma once

#include <QPageLayout>
#include <QWidget>

// A clickable picture of a sheet in portrait or landscape, framed thick while chosen and ticked.
// Tab reaches it, and Space or Return choose it.
class OrientationBox : public QWidget
{
    Q_OBJECT

public:
    OrientationBox(QPageLayout::Orientation orientation, QWidget* parent = nullptr);

    int borderWidth() const { return m_borderWidth; }
    void setBorderWidth(int width);
    bool isTickShown() const { return m_tickShown; }
    void setTickShown(bool shown);
    QSize sizeHint() const override { return {84, 84}; }

signals:
    void tapped();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QPageLayout::Orientation m_orientation;
    int m_borderWidth = 1;
    bool m_tickShown = false;
};
