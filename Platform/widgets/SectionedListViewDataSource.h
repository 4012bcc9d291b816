#pragma once

#include "Platform/core/IndexPath.h"

#include <QSize>
#include <QString>

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
    // Stays with an item while it moves, so that updates can tell moved items from new ones.
    virtual quint64 itemIdentity(const IndexPath& path) const = 0;

    // The view takes ownership of the widgets it is given.
    virtual QWidget* createItemWidget(const QString& kind) = 0;
    virtual void configureItem(QWidget* widget, const IndexPath& path) = 0;
    virtual QWidget* createHeaderWidget() = 0;
    virtual void configureHeader(QWidget* widget, int section) = 0;
};
