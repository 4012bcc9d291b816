#include "PelorinsKit/board/KanbanColumnDelegate.h"

#include "PelorinsKit/board/KanbanColumnController.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "Platform/core/OrderedSet.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"

#include <algorithm>

namespace {

// The controllers of the stage columns 0 to N-1 that exist, with their sections.
QList<std::pair<int, KanbanColumnController*>> stageControllers(const KanbanColumnDelegate& board)
{
    QList<std::pair<int, KanbanColumnController*>> controllers;
    const int stageCount = int(board.kanbanColumns().size());
    for (int section = 0; section < stageCount; ++section)
        if (KanbanColumnController* controller = board.controllerFor(section))
            controllers.append({section, controller});
    return controllers;
}

} // namespace

void KanbanColumnDelegate::cleanUpTagsIn(const QList<ListItem*>& items)
{
    cleanUpTags(kanban(), items);
}

void KanbanColumnDelegate::cleanUpTags(Kanban* board, const QList<ListItem*>& items)
{
    const QList<Tag*> boardTags = board ? board->tags() : QList<Tag*>();
    // Cards pasted together share their tag objects, and a deleted tag leaves every card at
    // once: replaced tags are deleted only after every card has been given the board's.
    QList<Tag*> replacedTags;
    for (ListItem* card : items) {
        const QList<Tag*> cardTags = card->tags();
        if (cardTags.isEmpty())
            continue;
        QList<Tag*> replaced;
        QList<Tag*> replacements;
        for (Tag* tag : cardTags) {
            for (Tag* boardTag : boardTags) {
                if (tag != boardTag && tag->name() == boardTag->name()) {
                    replaced.append(tag);
                    replacements.append(boardTag);
                }
            }
        }
        QList<Tag*> tags = cardTags;
        for (Tag* tag : replaced)
            OrderedSet::remove(tags, tag);
        for (Tag* tag : replacements)
            OrderedSet::append(tags, tag);
        for (Tag* tag : replaced)
            OrderedSet::append(replacedTags, tag);
        // Without a board the tags stay with the board they have, rather than leaving it.
        if (board)
            for (Tag* tag : tags)
                tag->setKanban(board);
        card->setTags(tags);
    }
    for (Tag* tag : std::as_const(replacedTags))
        tag->managedObjectContext()->deleteObject(tag);
    CoreDataManager::shared().saveContext();
}

void KanbanColumnDelegate::columnDragged(qreal deltaX, int originatedColumn)
{
    const QList<std::pair<int, KanbanColumnController*>> controllers = stageControllers(*this);
    const int stageCount = int(kanbanColumns().size());
    // Only a stage column can be dragged among the stage columns.
    if (originatedColumn < 0 || originatedColumn >= stageCount)
        return;
    const qreal width = columnWidth();

    // The dragged column ranges from slot 0 to slot N-1, less the room its selected neighbours
    // take on either side.
    qreal low = -originatedColumn * width;
    qreal high = width * stageCount - width * (originatedColumn + 1);
    for (const auto& [section, controller] : controllers) {
        if (!controller->isSelected())
            continue;
        if (section < originatedColumn)
            low += width;
        else if (section > originatedColumn)
            high -= width;
    }
    const qreal shift = deltaX < low ? low : std::min(deltaX, high);

    for (const auto& [section, controller] : controllers) {
        if (!controller->isSelected()) {
            controller->updateColumnPosition();
            continue;
        }
        // Selected columns close up beside the dragged one: each skips the unselected columns
        // between itself and it.
        int gap = 0;
        for (const auto& [other, otherController] : controllers) {
            if (otherController->isSelected())
                continue;
            if (section < originatedColumn && other >= section && other < originatedColumn)
                ++gap;
            else if (section > originatedColumn && other >= originatedColumn && other < section)
                --gap;
        }
        controller->moveColumn(shift, gap);
    }
}

void KanbanColumnDelegate::columnReleased(qreal, const std::optional<QHash<KanbanColumn*, int>>&)
{
    const QList<std::pair<int, KanbanColumnController*>> controllers = stageControllers(*this);
    const int stageCount = int(kanbanColumns().size());

    const bool changed = std::any_of(controllers.cbegin(), controllers.cend(), [&](const auto& entry) {
        const KanbanColumnController* controller = entry.second;
        return controller->specifiedSection() < stageCount
            && controller->specifiedSection() != controller->sectionPositionInDocument();
    });

    QList<int> selected;
    int target = stageCount - 1;
    for (const auto& [section, controller] : controllers) {
        if (!controller->isSelected())
            continue;
        selected.append(section);
        target = std::min(target, controller->sectionPositionInDocument());
    }

    // Without a selected column there is nothing to move; the columns go back to their slots.
    if (changed && !selected.isEmpty()) {
        rearrangeSections(selected, std::max(target, 0));
        return;
    }
    for (const auto& entry : controllers)
        entry.second->updateColumnHeight(0, true);
    animateLayoutChanges();
}

int KanbanColumnDelegate::offsetForPushedColumns(int section) const
{
    QList<KanbanColumnController*> movers;
    for (const auto& entry : stageControllers(*this)) {
        KanbanColumnController* controller = entry.second;
        if (controller->isSelected() && controller->specifiedSection() != section)
            movers.append(controller);
    }

    bool passedFromRight = false;
    bool passedFromLeft = false;
    for (const KanbanColumnController* controller : movers) {
        const int position = controller->sectionPositionInDocument();
        if (controller->specifiedSection() > section && position <= section)
            passedFromRight = true;
        if (controller->specifiedSection() < section && position >= section)
            passedFromLeft = true;
    }

    // Once one selected column has crossed the section from a side, the section makes room for
    // every selected column of that side.
    int offset = 0;
    for (const KanbanColumnController* controller : movers) {
        if (controller->specifiedSection() > section && passedFromRight)
            ++offset;
        else if (controller->specifiedSection() < section && passedFromLeft)
            --offset;
    }
    return offset;
}
