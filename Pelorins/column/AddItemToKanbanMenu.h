#pragma once

#include <QMenu>
#include <functional>

class KanbanColumn;
class ListItem;

// A menu that files cards into one stage column. Each time it is about to show it lists the
// folder that holds the stage's board; queueListItemToColumn() files a card at the end of the
// stage, wherever it was, and saves.
class AddItemToKanbanMenu : public QMenu
{
    Q_OBJECT

public:
    explicit AddItemToKanbanMenu(std::function<void()> saveAction, QWidget* parent = nullptr);

    KanbanColumn* kanbanColumn() const { return m_kanbanColumn; }
    void setKanbanColumn(KanbanColumn* column) { m_kanbanColumn = column; }

    void populateMenu();
    void queueListItemToColumn(ListItem* card);

private:
    std::function<void()> m_saveAction;
    KanbanColumn* m_kanbanColumn = nullptr;
};
