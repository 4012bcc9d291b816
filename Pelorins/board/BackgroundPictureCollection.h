#pragma once

#include <QListView>

class InfoBGPictCollectionViewItem;
class QStandardItemModel;

// The built-in pictures 1 to `count` as thumbnails, `columns` to a row and all in sight, each an
// InfoBGPictCollectionViewItem, one of them selected at most. A click on one chooses it.
class BackgroundPictureCollection : public QListView
{
    Q_OBJECT
public:
    static constexpr QSize itemSize {96, 60};
    static constexpr int itemSpacing = 6;

    BackgroundPictureCollection(int count, int columns, QWidget* parent = nullptr);

    int count() const;
    InfoBGPictCollectionViewItem* item(int index) const;
    // Selects the built-in picture of that name; any other name selects nothing.
    void selectPicture(const QString& name);

signals:
    // The user chose the picture of that name.
    void pictureChosen(const QString& name);

private:
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

    QStandardItemModel* m_model;
};
