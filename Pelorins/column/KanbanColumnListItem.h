#pragma once

#include <QLatin1String>
#include <QWidget>

class ListItemCellView;

// A card row of a column: it hosts one card view that fills it.
class KanbanColumnListItem : public QWidget
{
    Q_OBJECT

public:
    static constexpr QLatin1String identifier {"KanbanColumnItem"};

    explicit KanbanColumnListItem(QWidget* parent = nullptr);

    ListItemCellView* view() const { return m_view; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    ListItemCellView* m_view = nullptr;
};
