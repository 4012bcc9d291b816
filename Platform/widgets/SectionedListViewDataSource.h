#pragma once

#include "Platform/core/IndexPath.h"

#include <QSize>
#include <QString>
#include <optional>

class QWidget;

// What a SectionedListView shows: sections of items, each item of a kind whose widgets are made
// by the data source and reused by the view for other items of the same kind.
class SectionedListViewDataSource
{
public:
    virtual ~SectionedListViewDataSource() = default;

    virtual int numberOfSections() const = 0;
    virtual int numberOfItems(int section) const = 0;

    // Names the kind of widget an item needs.
    virtual QString itemKind(const IndexPath& path) const = 0;
    // A width of 0 or less takes the list's full width.
    virtual QSize sizeForItem(const IndexPath& path, int availableWidth) const = 0;
    // A cheap guess at that size, which places the item until the list measures it: when it
    // comes near the visible band, or in short slices while the program is idle. None has it
    // measured at once.
    virtual std::optional<QSize> estimatedSizeForItem(const IndexPath& path, int availableWidth) const
    {
        Q_UNUSED(path)
        Q_UNUSED(availableWidth)
        return std::nullopt;
    }
    // Stays with an item while it moves, so that updates can tell moved items from new ones.
    virtual quint64 itemIdentity(const IndexPath& path) const = 0;

    // The view takes ownership of the widgets it is given.
    virtual QWidget* createItemWidget(const QString& kind) = 0;
    virtual void configureItem(QWidget* widget, const IndexPath& path) = 0;
    virtual QWidget* createHeaderWidget() = 0;
    virtual void configureHeader(QWidget* widget, int section) = 0;
};
