#include "Pelorins/column/AddItemToKanbanMenu.h"

#include "PelorinsKit/board/CardPlacement.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"

#include <QAction>

AddItemToKanbanMenu::AddItemToKanbanMenu(std::function<void()> saveAction, QWidget* parent)
    : QMenu(parent)
    , m_saveAction(std::move(saveAction))
{
    connect(this, &QMenu::aboutToShow, this, &AddItemToKanbanMenu::populateMenu);
}

void AddItemToKanbanMenu::populateMenu()
{
    Kanban* board = m_kanbanColumn ? m_kanbanColumn->kanban() : nullptr;
    if (!board)
        return;
    clear();
    auto* folder = dynamic_cast<Folder*>(board->parent());
    if (folder && !folder->title().isEmpty())
        addAction(folder->title())->setEnabled(false);
}

void AddItemToKanbanMenu::queueListItemToColumn(ListItem* card)
{
    Kanban* board = m_kanbanColumn ? m_kanbanColumn->kanban() : nullptr;
    if (!card || !board)
        return;
    // A done card leaves its day group as it joins the stage.
    CardPlacement::placeInStageColumn(board, m_kanbanColumn, {card}, int(m_kanbanColumn->item().size()));
    if (m_saveAction)
        m_saveAction();
}
