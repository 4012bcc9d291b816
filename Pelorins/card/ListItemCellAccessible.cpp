#include "Pelorins/card/ListItemCellAccessible.h"

#include "Pelorins/card/ListItemCellView.h"
#include "PelorinsKit/model/ListItem.h"

#include <QToolButton>

ListItemCellAccessible::ListItemCellAccessible(ListItemCellView* cell)
    : ReusableItemAccessible(cell, QAccessible::ListItem)
{
}

ListItemCellView* ListItemCellAccessible::cell() const
{
    return static_cast<ListItemCellView*>(widget());
}

QString ListItemCellAccessible::notes() const
{
    return isPutAway() ? QString() : cell()->accessibleNotes();
}

QAccessible::State ListItemCellAccessible::state() const
{
    QAccessible::State state = ReusableItemAccessible::state();
    if (isPutAway() || !cell()->objectValue())
        return state;
    state.selectable = true;
    state.selected = cell()->isSelected();
    state.readOnly = true;
    state.multiLine = true;
    // The chevron shows while the notes run past their first line.
    if (!cell()->noteButton()->isHidden()) {
        state.expandable = true;
        state.expanded = cell()->objectValue()->notesExpanded().value_or(false);
        state.collapsed = !state.expanded;
    }
    return state;
}

void* ListItemCellAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    return ReusableItemAccessible::interface_cast(type);
}

void ListItemCellAccessible::selection(int, int* startOffset, int* endOffset) const
{
    *startOffset = 0;
    *endOffset = 0;
}

QString ListItemCellAccessible::text(int startOffset, int endOffset) const
{
    const QString all = notes();
    startOffset = std::clamp(startOffset, 0, int(all.size()));
    endOffset = endOffset < 0 ? int(all.size()) : std::clamp(endOffset, startOffset, int(all.size()));
    return all.mid(startOffset, endOffset - startOffset);
}

int ListItemCellAccessible::characterCount() const
{
    return int(notes().size());
}

QString ListItemCellAccessible::attributes(int, int* startOffset, int* endOffset) const
{
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}
