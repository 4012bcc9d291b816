#include "Pelorins/shell/AccessibleFactory.h"

#include "Pelorins/card/ListItemCellAccessible.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/column/ListItemHeaderCellAccessible.h"
#include "Pelorins/column/KanbanColumnContainerView.h"
#include "Pelorins/column/ListItemHeaderCellView.h"
#include "Pelorins/welcome/KDPageControl.h"
#include "Pelorins/welcome/KDPageControlAccessible.h"
#include "Platform/widgets/ReadingOrderAccessible.h"
#include "Platform/widgets/SectionedListView.h"

#include <QAccessible>

void AccessibleFactory::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(&AccessibleFactory::create);
        return true;
    }();
    Q_UNUSED(installed)
}

QAccessibleInterface* AccessibleFactory::create(const QString& className, QObject* object)
{
    // Asked first under the object's own class.
    if (className == QLatin1String(ListItemCellView::staticMetaObject.className()))
        return new ListItemCellAccessible(static_cast<ListItemCellView*>(object));
    if (className == QLatin1String(ListItemHeaderCellView::staticMetaObject.className()))
        return new ListItemHeaderCellAccessible(static_cast<ListItemHeaderCellView*>(object));
    if (className == QLatin1String(KDPageControl::staticMetaObject.className()))
        return new KDPageControlAccessible(static_cast<KDPageControl*>(object));
    // A board is read column by column, and a column from its header down through its cards and
    // day headers, however the columns and rows were reused or raised.
    if (className == QLatin1String(KanbanColumnContainerView::staticMetaObject.className()))
        return new ReadingOrderAccessible(static_cast<QWidget*>(object), Qt::Vertical);
    if (className == QLatin1String("QWidget")) {
        auto* widget = static_cast<QWidget*>(object);
        if (auto* list = qobject_cast<SectionedListView*>(widget->parentWidget()); list && list->viewport() == widget)
            return new ReadingOrderAccessible(widget, Qt::Vertical, QAccessible::List);
        if (widget->objectName() == QLatin1String("boardDocumentView"))
            return new ReadingOrderAccessible(widget, Qt::Horizontal);
    }
    return nullptr;
}
