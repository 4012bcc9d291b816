#pragma once

#include <QLatin1String>
#include <QWidget>

// Empty room: the placeholder row of a done column with nothing done today.
class KanbanColumnEmptySpacerViewItem : public QWidget
{
    Q_OBJECT

public:
    static constexpr QLatin1String identifier {"KanbanColumnEmptySpacerViewItem"};

    using QWidget::QWidget;
};
