#include "Pelorins/shell/AccessibleFactory.h"

#include "Pelorins/card/ListItemCellAccessible.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/column/ListItemHeaderCellAccessible.h"
#include "Pelorins/column/ListItemHeaderCellView.h"
#include "Pelorins/welcome/KDPageControl.h"
#include "Pelorins/welcome/KDPageControlAccessible.h"

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
    return nullptr;
}
