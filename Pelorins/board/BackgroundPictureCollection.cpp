#include "Pelorins/board/BackgroundPictureCollection.h"

#include "Pelorins/board/BackgroundArtwork.h"
#include "Pelorins/board/InfoBGPictCollectionViewItem.h"

#include <QStandardItemModel>

BackgroundPictureCollection::BackgroundPictureCollection(int count, int columns, QWidget* parent)
    : QListView(parent)
    , m_model(new QStandardItemModel(this))
{
    setViewMode(QListView::IconMode);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setMovement(QListView::Static);
    setSelectionMode(QAbstractItemView::SingleSelection);
    const QSize grid = itemSize + QSize(itemSpacing, itemSpacing);
    setGridSize(grid);
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setModel(m_model);
    for (int number = 1; number <= count; ++number) {
        const QString name = BackgroundArtwork::pictureName(number);
        auto* row = new QStandardItem;
        row->setData(name, Qt::UserRole);
        row->setSizeHint(itemSize);
        row->setEditable(false);
        m_model->appendRow(row);
        const std::optional<BuiltInBackground> background = builtInBackground(name);
        // Without the artwork the place stays, empty and not selectable.
        if (!background)
            row->setEnabled(false);
        const QPixmap thumbnail = background ? QPixmap(background->thumbnail) : QPixmap();
        setIndexWidget(row->index(), new InfoBGPictCollectionViewItem(thumbnail));
    }
    const int rows = (count + columns - 1) / columns;
    setFixedSize(
        columns * grid.width() + 2 * frameWidth() + itemSpacing, rows * grid.height() + 2 * frameWidth() + itemSpacing);
    connect(this, &QListView::clicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            emit pictureChosen(index.data(Qt::UserRole).toString());
    });
}

int BackgroundPictureCollection::count() const
{
    return m_model->rowCount();
}

InfoBGPictCollectionViewItem* BackgroundPictureCollection::item(int index) const
{
    return qobject_cast<InfoBGPictCollectionViewItem*>(indexWidget(m_model->index(index, 0)));
}

void BackgroundPictureCollection::selectPicture(const QString& name)
{
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const QModelIndex index = m_model->index(row, 0);
        if (index.data(Qt::UserRole).toString() == name) {
            setCurrentIndex(index);
            return;
        }
    }
    clearSelection();
}

void BackgroundPictureCollection::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QListView::selectionChanged(selected, deselected);
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (InfoBGPictCollectionViewItem* view = item(row))
            view->setSelected(selectionModel()->isRowSelected(row));
    }
}
