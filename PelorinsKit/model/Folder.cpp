#include "PelorinsKit/model/Folder.h"

#include <algorithm>

namespace {
const ManagedObject::PropertyKey titleKey(QStringLiteral("title"));
const ManagedObject::PropertyKey expandedKey(QStringLiteral("expanded"));
}

Folder::Folder(const Init& init)
    : DisplayItem(init)
{
}

QString Folder::title() const
{
    return stringValue(titleKey);
}

void Folder::setTitle(const QString& title)
{
    setValue(titleKey, title);
}

bool Folder::expanded() const
{
    return boolValue(expandedKey);
}

void Folder::setExpanded(bool expanded)
{
    setValue(expandedKey, expanded);
}

bool Folder::childrenHasMixedStates()
{
    const QList<DisplayItem*> items = children();
    const auto marked
        = std::count_if(items.cbegin(), items.cend(), [](const DisplayItem* child) { return child->isExport(); });
    const bool allMarked = !items.isEmpty() && marked == items.size();
    setExport(allMarked);
    return marked > 0 && !allMarked;
}
