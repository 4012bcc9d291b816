// What the board view shows of its cards: revealing one, the search, the tag filter, and
// renaming, merging and recolouring tags.

#include "Pelorins/board/MacKanbanColumnsViewController.h"

#include "Pelorins/board/BoardHost.h"
#include "Pelorins/column/ColumnCollectionView.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "PelorinsKit/model/NotificationName.h"
#include "PelorinsKit/model/Tag.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/core/OrderedSet.h"
#include "Platform/core/UndoManager.h"
#include "Platform/widgets/AlertPresenter.h"

#include <QLineEdit>

// Revealing, search and filter

void MacKanbanColumnsViewController::showAndSelect(ListItem* item)
{
    const bool searching = m_searchTerm && !m_searchTerm->isEmpty();
    if (searching || m_tagFilter) {
        if (BoardHost* host = mainSplitViewController())
            host->clearSearchField();
        if (m_searchTerm) {
            m_searchTerm.reset();
            reloadColumns();
        }
        setTagFilter(std::nullopt);
    }
    if (!item || !m_kanban)
        return;

    QList<MacKanbanColumnController*> candidates;
    if (m_viewAsMultiColumn) {
        for (int section = 0; section <= stageCount(); ++section)
            if (MacKanbanColumnController* controller = columnControllerFor(section))
                candidates.append(controller);
    } else if (MacKanbanColumnController* single = allSectionsController()) {
        candidates.append(single);
    }
    for (MacKanbanColumnController* controller : std::as_const(candidates)) {
        const std::optional<IndexPath> path = controller->indexPathFor(item);
        if (!path)
            continue;
        controller->selectItem(item);
        controller->collectionView()->scrollToItem(*path, SectionedListView::ScrollPosition::Centre, true);
        if (m_viewAsMultiColumn)
            scrollToController(controller);
        return;
    }
}

void MacKanbanColumnsViewController::setSearchTerm(const std::optional<QString>& searchTerm)
{
    m_searchTerm = searchTerm;
}

void MacKanbanColumnsViewController::searchTermChanged(const QLineEdit* field)
{
    setSearchTerm(field ? field->text() : QString());
    reloadColumns();
}

void MacKanbanColumnsViewController::reloadColumns()
{
    for (int section = 0; section <= stageCount(); ++section) {
        if (MacKanbanColumnController* controller = columnControllerFor(section)) {
            controller->reloadData();
            controller->updateTopHeader();
        }
    }
}

void MacKanbanColumnsViewController::setTagFilter(const std::optional<QList<Tag*>>& tagFilter)
{
    // An empty list filters nothing: the columns must not read it as a filter that no card passes.
    m_tagFilter = tagFilter && !tagFilter->isEmpty() ? tagFilter : std::nullopt;
    reloadColumns();
    emit tagFilterChanged(m_tagFilter.has_value());
}

// Tags

void MacKanbanColumnsViewController::changeTagColour(Tag* tag, int colour)
{
    Kanban* board = tag->kanban();
    const int previousColour = tag->colour();
    tag->setColour(colour);
    saveAction();
    QVariantMap change = TagRenaming::tagValueChange(tag);
    change.insert(TagRenaming::newColourKey, QVariant::fromValue(qint16(colour)));
    notificationCenter().post(NotificationName::tagValueChanged, nullptr, change);

    UndoManager* undo = undoManager();
    if (!undo)
        return;
    undo->registerUndo(undoOwner(), [this, board, tag, previousColour] {
        if (Tag* live = TagRenaming::liveTag(board, tag))
            changeTagColour(live, previousColour);
    });
    undo->setActionName(local(QStringLiteral("Change Tag Color")));
}

void MacKanbanColumnsViewController::renameTag(Tag* tag, const QString& name)
{
    const QString newName = name.trimmed();
    if (const QString refusal = TagRenaming::nameRefusal(newName); !refusal.isEmpty()) {
        ConsoleLog::write(refusal);
        return;
    }
    if (TagRenaming::otherTagNamed(tag->kanban(), tag, newName)) {
        AlertPresenter::Alert alert;
        alert.messageText
            = local(QStringLiteral("A tag with this name already exists. Are you sure you want to rename it?"));
        alert.informativeText = local(QStringLiteral("Renaming it, will merge ")) + tag->name()
            + local(QStringLiteral(" with ")) + newName + QLatin1Char('.');
        alert.buttonTitles = {local(QStringLiteral("Rename")), local(QStringLiteral("Cancel"))};
        if (m_services.alertPresenter && m_services.alertPresenter->runModal(alert, this) == 0)
            renameOrMergeTag(tag, newName, true, std::nullopt);
        return;
    }
    if (tag->name() != newName)
        renameOrMergeTag(tag, newName, false, std::nullopt);
}

void MacKanbanColumnsViewController::renameOrMergeTag(
    Tag* tag, const QString& name, bool merge, const std::optional<TagRenaming::SavedNotes>& savedNotes)
{
    Kanban* board = tag->kanban();
    UndoManager* undo = undoManager();
    const bool undoing = undo && undo->isUndoing();
    Tag* survivor = merge && !undoing ? TagRenaming::otherTagNamed(board, tag, name) : nullptr;
    const QString originalName = tag->name();
    tag->setName(name);

    TagRenaming::SavedNotes saved;
    if (!undoing)
        TagRenaming::replaceHashtag(TagRenaming::cardsOf(board), originalName, name, saved);
    else if (savedNotes)
        TagRenaming::restoreNotes(*savedNotes);

    std::optional<TagRenaming::MergedTag> merged;
    if (survivor) {
        merged = TagRenaming::merge(tag, survivor, saved.keys());
        // The filter never keeps a deleted tag: the survivor shows the same cards now.
        if (m_tagFilter && m_tagFilter->contains(tag)) {
            QList<Tag*> filter = *m_tagFilter;
            filter.removeOne(tag);
            OrderedSet::append(filter, survivor);
            setTagFilter(filter);
        }
    }

    saveAction();
    QVariantMap change = TagRenaming::tagValueChange(tag);
    change.insert(TagRenaming::originalNameKey, originalName);
    notificationCenter().post(NotificationName::tagValueChanged, nullptr, change);

    if (!undo)
        return;
    undo->registerUndo(undoOwner(), [this, board, tag, originalName, merge, saved, merged] {
        Tag* target
            = merged && undoManager()->isUndoing() ? TagRenaming::unmerge(*merged) : TagRenaming::liveTag(board, tag);
        if (target)
            renameOrMergeTag(target, originalName, merge, saved);
    });
    undo->setActionName(local(QStringLiteral("Rename Tag")));
}
