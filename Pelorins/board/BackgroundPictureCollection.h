#pragma once

#include <QListView>

class InfoBGPictCollectionViewItem;
class QStandardItemModel;

// The built-in pictures 1 to `count` as thumbnails in one row, each an
// InfoBGPictCollectionViewItem, one of them selected at most. A click on one chooses it.
class BackgroundPictureCollection : public QListView
{
    Q_OBJECT
public:
    static constexpr QSize itemSize {96, 60};

    explicit BackgroundPictureCollection(int count, QWidget* parent = nullptr);

    int count() const;
    InfoBGPictCollectionViewItem* item(int index) const;
    // Selects the built-in picture of that name and scrolls it to the middle; any other name
    // selects nothing.
    void selectPicture(const QString& name);
    void deselectAll();

signals:
    // The user chose the picture of that name.
    void pictureChosen(const QString& name);

private:
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

    QStandardItemModel* m_model;
};
