#pragma once

#include <QAccessibleWidget>

// What assistive technology sees of a widget whose children lie where they show, not in the order
// they were made or raised: a list that reuses its rows, stacks its headers over them and lifts a
// column it drags. Its children come in reading order, top to bottom (or left to right for a row
// of columns), a child that fills the whole widget after those lying over it, those the widget
// hides last.
class ReadingOrderAccessible : public QAccessibleWidget
{
public:
    ReadingOrderAccessible(QWidget* widget, Qt::Orientation flow, QAccessible::Role role = QAccessible::Client);

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;

private:
    QList<QWidget*> children() const;

    Qt::Orientation m_flow;
};
