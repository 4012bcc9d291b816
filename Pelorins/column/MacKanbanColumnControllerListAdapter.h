#pragma once

#include "Pelorins/column/MacKanbanColumnController.h"
#include "Pelorins/column/MacKanbanColumnControllerSnapshot.h"
#include "Platform/widgets/SectionedListViewDataSource.h"
#include "Platform/widgets/SectionedListViewDelegate.h"

// The column as its list sees it: the data source of its rows and headers, and the delegate
// that hears where the headers are.
class MacKanbanColumnController::ListAdapter : public SectionedListViewDataSource, public SectionedListViewDelegate
{
public:
    explicit ListAdapter(MacKanbanColumnController& column);

    int numberOfSections() const override { return int(m_column.snapshot().sections.size()); }
    int numberOfItems(int section) const override { return m_column.snapshot().numberOfItems(section); }
    QString itemKind(const IndexPath& path) const override;
    quint64 itemIdentity(const IndexPath& path) const override;
    QSize sizeForItem(const IndexPath& path, int) const override;
    std::optional<QSize> estimatedSizeForItem(const IndexPath& path, int) const override;
    QWidget* createItemWidget(const QString& kind) override;
    void configureItem(QWidget* widget, const IndexPath& path) override;

    QWidget* createHeaderWidget() override;
    void configureHeader(QWidget* widget, int section) override;
    void headerPlaced(int section, int top) override;

    QSet<IndexPath> shouldSelectItems(const QSet<IndexPath>& proposed) override
    {
        return m_column.shouldSelectItems(proposed);
    }
    QSet<IndexPath> shouldDeselectItems(const QSet<IndexPath>& proposed) override
    {
        return m_column.shouldDeselectItems(proposed);
    }
    void didSelectItems(const QSet<IndexPath>& paths) override { m_column.didSelectItems(paths); }
    void didDeselectItems(const QSet<IndexPath>& paths) override { m_column.didDeselectItems(paths); }

    // A click on a card's notes edits them there; pressing and moving drags the card instead.
    void itemClicked(const IndexPath& path, const QPoint& viewportPoint) override;

private:
    void fillStageHeader(ListItemHeaderCellView& header, const Snapshot::Section& shown) const;
    void fillDayHeader(ListItemHeaderCellView& header, int section, const Snapshot::Section& shown) const;

    MacKanbanColumnController& m_column;
};
