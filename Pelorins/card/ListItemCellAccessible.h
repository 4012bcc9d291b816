#pragma once

#include "Platform/widgets/ReusableItemAccessible.h"

class ListItemCellView;

// A card as assistive technology sees it: a list item named by the card's title line, its state
// in the description, its notes as read-only text, selectable, expandable when its notes run
// past one line, with its notes editor and buttons as children. The cell names it afresh for
// every card it shows.
class ListItemCellAccessible : public ReusableItemAccessible, public QAccessibleTextInterface
{
public:
    explicit ListItemCellAccessible(ListItemCellView* cell);

    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    // QAccessibleTextInterface: the notes, read only, with no caret or selection of their own
    // (the notes editor among the children has those).
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override { }
    void removeSelection(int) override { }
    void setSelection(int, int, int) override { }
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override { }
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override { }
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

    using ReusableItemAccessible::text;

private:
    ListItemCellView* cell() const;
    QString notes() const;
};
