#pragma once

#include <QAccessibleWidget>

// What assistive technology sees of an item widget that a SectionedListView reuses. While the
// list keeps the widget hidden for its next item, it names nothing and has no children, so that a
// screen reader never meets the item the widget showed last; once shown again it reads as its
// owner has named it for the new item.
class ReusableItemAccessible : public QAccessibleWidget
{
public:
    ReusableItemAccessible(QWidget* widget, QAccessible::Role role);

    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;

protected:
    // Put away by the list until it shows another item: hidden, or inside a hidden item.
    bool isPutAway() const;
};
