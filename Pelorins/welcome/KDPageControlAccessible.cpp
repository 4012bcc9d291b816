#include "Pelorins/welcome/KDPageControlAccessible.h"

#include "Pelorins/welcome/KDPageControl.h"
#include "PelorinsKit/model/LocalizedString.h"

KDPageControlAccessible::KDPageControlAccessible(KDPageControl* control)
    : QAccessibleWidget(control, QAccessible::Slider)
{
}

const KDPageControl* KDPageControlAccessible::control() const
{
    return static_cast<const KDPageControl*>(widget());
}

QString KDPageControlAccessible::text(QAccessible::Text t) const
{
    switch (t) {
    case QAccessible::Name:
        return local(QStringLiteral("Welcome Page"));
    case QAccessible::Value: {
        const qint64 page = control()->currentPage();
        // Before the greeting has settled no dot is marked.
        if (page < 0 || page >= control()->numberOfPages())
            return {};
        return local(QStringLiteral("Page %1 of %2")).arg(page + 1).arg(control()->numberOfPages());
    }
    default:
        return QAccessibleWidget::text(t);
    }
}

void* KDPageControlAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::ValueInterface)
        return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QVariant KDPageControlAccessible::currentValue() const
{
    const qint64 page = control()->currentPage();
    return page < 0 || page >= control()->numberOfPages() ? 0 : int(page + 1);
}

QVariant KDPageControlAccessible::maximumValue() const
{
    return int(control()->numberOfPages());
}
