// The stages of the board view: inserting, deleting and restoring them, selecting and
// re-arranging their columns, copying and pasting them.

#include "Pelorins/board/MacKanbanColumnsViewController.h"

#include "Pelorins/column/AddColumnButtonView.h"
#include "Pelorins/column/ColumnCollectionView.h"
#include "Pelorins/column/KanbanColumnContainerView.h"
#include "Pelorins/column/ListItemHeaderCellView.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "Pelorins/common/AppConstants.h"
#include "Pelorins/common/ClipboardNodes.h"
#include "PelorinsKit/archive/JSONReader.h"
#include "PelorinsKit/archive/JSONWriter.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/OrderedSet.h"
#include "Platform/core/UndoManager.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMimeData>
#include <algorithm>

const QString MacKanbanColumnsViewController::insertNewSectionActionName = QStringLiteral("Insert New Section");
const QString MacKanbanColumnsViewController::deleteSectionsActionName = QStringLiteral("Delete Sections");
const QString MacKanbanColumnsViewController::rearrangeSectionsActionName = QStringLiteral("Re-arrange Sections");
const QString MacKanbanColumnsViewController::newColumnTitle = QStringLiteral("new column");

namespace {

constexpr double sectionChangeSeconds = 0.3;
const QString stageEntityName = QStringLiteral("KanbanColumn");
const QString insertNewSectionAtEndAction = QStringLiteral("insertNewSectionAtEnd");
const QString deleteSelectedSectionsAction = QStringLiteral("deleteSelectedSections");
const QString copyAction = QStringLiteral("copy:");
const QString cutAction = QStringLiteral("cut:");
const QString pasteAction = QStringLiteral("paste:");

// The indexes that name stages of a list of `count`, ascending and each once.
QList<int> validIndexes(const QList<int>& indexes, int count)
{
    QList<int> valid;
    for (int index : indexes)
        if (index >= 0 && index < count && !valid.contains(index))
            valid.append(index);
    std::sort(valid.begin(), valid.end());
    return valid;
}

bool isLive(const Kanban* kanban)
{
    return kanban && !kanban->isDeleted();
}

QList<ListItem*> cardsOf(const QList<KanbanColumn*>& stages)
{
    QList<ListItem*> cards;
    for (const KanbanColumn* stage : stages)
        cards.append(stage->item());
    return cards;
}

} // namespace

const QStringList& MacKanbanColumnsViewController::sectionActions()
{
    static const QStringList actions {
        insertNewSectionAtEndAction, deleteSelectedSectionsAction, copyAction, cutAction, pasteAction};
    return actions;
}

void MacKanbanColumnsViewController::performSectionAction(const QString& action, QObject*)
{
    if (action == insertNewSectionAtEndAction)
        insertNewSectionAtEnd();
    else if (action == deleteSelectedSectionsAction)
        deleteSelectedSections();
    else if (action == copyAction)
        copy();
    else if (action == cutAction)
        cut();
    else if (action == pasteAction)
        paste();
}

// Inserting

void MacKanbanColumnsViewController::insertNewSection(int at, bool removing)
{
    if (!removing) {
        insertStage(m_kanban, at);
        return;
    }
    const QList<KanbanColumn*> stages = kanbanColumns();
    if (at >= 0 && at < stages.size())
        removeInsertedStage(m_kanban, stages.at(at));
}

void MacKanbanColumnsViewController::insertNewSectionAtEnd()
{
    insertNewSection(stageCount(), false);
}

KanbanColumn* MacKanbanColumnsViewController::insertStage(Kanban* kanban, int at)
{
    // Without a board a new stage would be left in the store, in no board.
    if (!isLive(kanban))
        return nullptr;
    QList<KanbanColumn*> stages = kanban->column();
    at = std::clamp(at, 0, int(stages.size()));
    auto* stage = m_services.context->insertNewObject<KanbanColumn>(stageEntityName);
    if (!stage)
        return nullptr;
    stage->setTitle(newColumnTitle);
    stages.insert(at, stage);
    kanban->setColumn(stages);

    if (UndoManager* undo = undoManager()) {
        undo->registerUndo(this, [this, kanban, stage] { removeInsertedStage(kanban, stage); });
        undo->setActionName(insertNewSectionActionName);
    }
    if (kanban != m_kanban)
        return stage;

    shiftControllers(at, 1);
    MacKanbanColumnController* added = addStageController(at);
    for (MacKanbanColumnController* controller : std::as_const(m_columnControllers)) {
        if (controller == added)
            continue;
        controller->deselectAllItems();
        deselectColumn(controller);
    }
    QPointer<MacKanbanColumnController> guard(added);
    stagesChanged([this, guard, stage] {
        if (!guard || !m_columnControllers.contains(guard.data()))
            return;
        // The new stage's title, selected for typing.
        const int section = int(kanbanColumns().indexOf(stage));
        if (ListItemHeaderCellView* header = m_viewAsMultiColumn ? guard->topHeaderView() : nullptr) {
            header->beginEditingTitle();
        } else if (MacKanbanColumnController* list = allSectionsController(); list && section >= 0) {
            // Once the board's layout pass has placed the list anew.
            QMetaObject::invokeMethod(
                this,
                [list = QPointer<MacKanbanColumnController>(list), section] {
                    if (!list)
                        return;
                    SectionedListView* rows = list->collectionView();
                    rows->scrollToItem({section, 0}, SectionedListView::ScrollPosition::Top, false);
                    if (auto* shown = qobject_cast<ListItemHeaderCellView*>(rows->headerWidget(section)))
                        shown->beginEditingTitle();
                },
                Qt::QueuedConnection);
        }
    });
    if (m_viewAsMultiColumn)
        scrollToController(added);
    return stage;
}

void MacKanbanColumnsViewController::removeInsertedStage(Kanban* kanban, KanbanColumn* stage)
{
    if (!isLive(kanban) || !stage || stage->isDeleted())
        return;
    QList<KanbanColumn*> stages = kanban->column();
    const int at = int(stages.indexOf(stage));
    if (at < 0)
        return;
    stages.removeAt(at);
    kanban->setColumn(stages);
    m_services.context->deleteObject(stage);

    if (UndoManager* undo = undoManager()) {
        undo->registerUndo(this, [this, kanban, at] { insertStage(kanban, at); });
        undo->setActionName(insertNewSectionActionName);
    }
    if (kanban != m_kanban)
        return;
    if (MacKanbanColumnController* controller = columnControllerFor(at))
        freeController(controller);
    shiftControllers(at + 1, -1);
    stagesChanged();
}

// Deleting and restoring

void MacKanbanColumnsViewController::deleteSelectedSections()
{
    QList<int> selected;
    for (int section = 0; section < stageCount(); ++section)
        if (MacKanbanColumnController* controller = columnControllerFor(section);
            controller && controller->isSelected())
            selected.append(section);
    deleteSections(selected, std::nullopt);
}

void MacKanbanColumnsViewController::deleteSection(int section)
{
    deleteSections(QList<int> {section}, std::nullopt);
}

void MacKanbanColumnsViewController::deleteSections(
    const std::optional<QList<int>>& indexes, const std::optional<QMap<int, QJsonObject>>& restoring)
{
    if (restoring)
        rebuildStages(m_kanban, *restoring);
    else if (indexes)
        deleteStages(m_kanban, *indexes);
}

void MacKanbanColumnsViewController::deleteStages(Kanban* kanban, const QList<int>& indexes)
{
    if (!isLive(kanban))
        return;
    const QList<KanbanColumn*> stages = kanban->column();
    const QList<int> deleted = validIndexes(indexes, int(stages.size()));
    // Nothing to delete is no step of the history either.
    if (deleted.isEmpty())
        return;

    // What an undo rebuilds the stages from, cards and all.
    QMap<int, QJsonObject> record;
    QList<KanbanColumn*> remaining = stages;
    for (int index : deleted) {
        record.insert(index, JSONWriter::snapshotNode(stages.at(index)));
        remaining.removeOne(stages.at(index));
    }
    kanban->setColumn(remaining);
    for (int index : deleted)
        m_services.context->deleteObject(stages.at(index));

    if (UndoManager* undo = undoManager()) {
        undo->registerUndo(this, [this, kanban, record] { rebuildStages(kanban, record); });
        undo->setActionName(deleteSectionsActionName);
    }
    if (kanban != m_kanban)
        return;

    const QList<MacKanbanColumnController*> controllers = m_columnControllers;
    for (MacKanbanColumnController* controller : controllers) {
        const int section = controller->specifiedSection();
        if (deleted.contains(section)) {
            freeController(controller);
            continue;
        }
        const auto below = std::count_if(deleted.cbegin(), deleted.cend(), [section](int d) { return d < section; });
        controller->setSpecifiedSection(section - int(below));
        controller->updateColumnHeight(0, true);
    }
    stagesChanged();
}

void MacKanbanColumnsViewController::rebuildStages(Kanban* kanban, const QMap<int, QJsonObject>& record)
{
    if (!isLive(kanban))
        return;
    QList<KanbanColumn*> stages = kanban->column();
    QList<int> rebuiltAt;
    QList<KanbanColumn*> rebuilt;
    JSONReader& nodes = reader();
    for (auto entry = record.cbegin(); entry != record.cend(); ++entry) {
        nodes.importedObjects().clear();
        const QList<ManagedObject*> made = nodes.makeObjectsFromArrayOf(QJsonArray {entry.value()});
        auto* stage = made.size() == 1 ? dynamic_cast<KanbanColumn*>(made.first()) : nullptr;
        if (!stage) {
            // An entry that does not make one stage is left out, and leaves nothing behind.
            for (ManagedObject* object : made)
                m_services.context->deleteObject(object);
            continue;
        }
        const int at = std::min(entry.key(), int(stages.size()));
        stages.insert(at, stage);
        rebuiltAt.append(at);
        rebuilt.append(stage);
    }
    nodes.importedObjects().clear();
    if (rebuilt.isEmpty())
        return;
    kanban->setColumn(stages);
    // The rebuilt cards' tags are copies: the board's own tags of those names take their place.
    cleanUpTags(kanban, cardsOf(rebuilt));

    if (UndoManager* undo = undoManager()) {
        undo->registerUndo(this, [this, kanban, rebuilt] {
            QList<int> indexes;
            const QList<KanbanColumn*> now = kanban->isDeleted() ? QList<KanbanColumn*>() : kanban->column();
            for (KanbanColumn* stage : rebuilt)
                if (const qsizetype index = now.indexOf(stage); index >= 0)
                    indexes.append(int(index));
            deleteStages(kanban, indexes);
        });
        undo->setActionName(deleteSectionsActionName);
    }
    if (kanban != m_kanban)
        return;

    for (MacKanbanColumnController* controller : std::as_const(m_columnControllers)) {
        int shift = 0;
        int running = controller->specifiedSection();
        for (int at : std::as_const(rebuiltAt)) {
            if (at <= running) {
                ++shift;
                ++running;
            }
        }
        controller->setSpecifiedSection(controller->specifiedSection() + shift);
    }
    for (int at : std::as_const(rebuiltAt)) {
        MacKanbanColumnController* controller = addStageController(at);
        // Hidden columns of the single list are never selected.
        if (m_viewAsMultiColumn)
            selectStageColumn(controller);
    }
    for (MacKanbanColumnController* controller : std::as_const(m_columnControllers))
        controller->updateColumnHeight(0, true);
    stagesChanged([this] {
        // The Delete key now acts on the restored, selected stages.
        setFocus(Qt::OtherFocusReason);
    });
}

// Selecting and re-arranging

void MacKanbanColumnsViewController::selectColumn(MacKanbanColumnController* controller)
{
    MacKanbanColumnController* anchor = m_lastSelectedController;
    if (!controller || !anchor || !anchor->isSelected())
        return;
    const int a = anchor->specifiedSection();
    const int b = controller->specifiedSection();
    for (int section = std::min(a, b); section < std::max(a, b); ++section)
        if (MacKanbanColumnController* column = columnControllerFor(section))
            selectStageColumn(column);
}

void MacKanbanColumnsViewController::rearrangeSections(const QList<int>& indexes, int to)
{
    moveStages(m_kanban, indexes, to, false);
}

void MacKanbanColumnsViewController::moveStages(Kanban* kanban, const QList<int>& indexes, int to, bool restoring)
{
    const QList<KanbanColumn*> stages = isLive(kanban) ? kanban->column() : QList<KanbanColumn*>();
    const QList<int> moving = validIndexes(indexes, int(stages.size()));
    QList<KanbanColumn*> moved = stages;
    if (!moving.isEmpty()) {
        to = std::clamp(to, 0, int(stages.size() - moving.size()));
        if (!restoring) {
            OrderedSet::moveIndexes(moved, moving, to);
        } else {
            const QList<KanbanColumn*> block = moved.mid(to, moving.size());
            moved.remove(to, block.size());
            OrderedSet::insertAtIndexes(moved, block, moving);
        }
    }
    // An unchanged order is no step; the columns a drag moved still go back to their places.
    if (moved != stages) {
        QHash<MacKanbanColumnController*, KanbanColumn*> shown;
        if (kanban == m_kanban)
            for (MacKanbanColumnController* controller : std::as_const(m_columnControllers))
                if (isStageColumn(controller))
                    shown.insert(controller, stages.at(controller->specifiedSection()));
        kanban->setColumn(moved);
        if (UndoManager* undo = undoManager()) {
            undo->registerUndo(
                this, [this, kanban, moving, to, restoring] { moveStages(kanban, moving, to, !restoring); });
            undo->setActionName(rearrangeSectionsActionName);
        }
        for (auto entry = shown.cbegin(); entry != shown.cend(); ++entry)
            entry.key()->setSpecifiedSection(int(moved.indexOf(entry.value())));
    }
    if (kanban != m_kanban)
        return;
    for (MacKanbanColumnController* controller : std::as_const(m_columnControllers)) {
        controller->updateTopHeader();
        controller->updateColumnHeight(0, true);
    }
    if (!m_viewAsMultiColumn)
        if (MacKanbanColumnController* list = allSectionsController())
            list->reloadData();
    animateLayoutChanges();
}

// Copying and pasting

void MacKanbanColumnsViewController::copy()
{
    const QList<KanbanColumn*> stages = kanbanColumns();
    QJsonArray nodes;
    for (int section = 0; section < stages.size(); ++section)
        if (MacKanbanColumnController* controller = columnControllerFor(section);
            controller && controller->isSelected())
            nodes.append(JSONWriter::snapshotNode(stages.at(section)));
    if (nodes.isEmpty())
        return;
    auto* data = new QMimeData;
    data->setData(QString(columnDataPasteboardType), QJsonDocument(nodes).toJson(QJsonDocument::Compact));
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setMimeData(data);
}

void MacKanbanColumnsViewController::cut() { }

void MacKanbanColumnsViewController::paste()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data || !data->hasFormat(QString(columnDataPasteboardType)) || !isLive(m_kanban))
        return;
    const std::optional<QJsonArray> nodes = ClipboardNodes::read(
        data->data(QString(columnDataPasteboardType)), stageEntityName, QStringLiteral("column data"));
    if (!nodes || nodes->isEmpty())
        return;
    JSONReader& read = reader();
    read.importedObjects().clear();
    const QList<ManagedObject*> made = read.makeObjectsFromArrayOf(*nodes);
    read.importedObjects().clear();
    QList<KanbanColumn*> pasted;
    for (ManagedObject* object : made)
        if (auto* stage = dynamic_cast<KanbanColumn*>(object))
            pasted.append(stage);
    if (pasted.isEmpty() || pasted.size() != made.size()) {
        for (ManagedObject* object : made)
            m_services.context->deleteObject(object);
        return;
    }

    const int stages = stageCount();
    int insertion = stages;
    bool selected = false;
    for (int section = 0; section < stages; ++section) {
        MacKanbanColumnController* controller = columnControllerFor(section);
        if (!controller || !controller->isSelected())
            continue;
        deselectColumn(controller);
        insertion = section + 1;
        selected = true;
    }
    if (!selected)
        insertion = stages;

    QList<KanbanColumn*> columns = m_kanban->column();
    for (int j = 0; j < pasted.size(); ++j)
        columns.insert(insertion + j, pasted.at(j));
    m_kanban->setColumn(columns);
    // Pasted cards carry copies of their tags: the board's own tags of those names replace them.
    cleanUpTags(m_kanban, cardsOf(pasted));

    shiftControllers(insertion, int(pasted.size()));
    QList<MacKanbanColumnController*> added;
    for (int j = 0; j < pasted.size(); ++j) {
        MacKanbanColumnController* controller = addStageController(insertion + j);
        if (m_viewAsMultiColumn)
            selectStageColumn(controller);
        added.append(controller);
    }
    stagesChanged();
    if (m_viewAsMultiColumn)
        for (MacKanbanColumnController* controller : std::as_const(added))
            scrollToController(controller);
}

// Controllers of stages that come and go

MacKanbanColumnController* MacKanbanColumnsViewController::addStageController(int section)
{
    auto* controller = new MacKanbanColumnController(section, this, this);
    m_columnControllers.append(controller);
    controller->setMargins(addColumnView(controller->containerView(), section, false));
    if (!m_viewAsMultiColumn)
        controller->containerView()->hide();
    controller->updateColumnHeight(0, true);
    return controller;
}

void MacKanbanColumnsViewController::freeController(MacKanbanColumnController* controller)
{
    m_columnControllers.removeOne(controller);
    if (m_lastSelectedController == controller)
        m_lastSelectedController = nullptr;
    controller->containerView()->hide();
    controller->containerView()->setParent(nullptr);
    // Its header's menu or mouse handler may be what deleted its stage.
    controller->deleteLater();
}

void MacKanbanColumnsViewController::shiftControllers(int from, int by)
{
    const QList<MacKanbanColumnController*> controllers = m_columnControllers;
    for (MacKanbanColumnController* controller : controllers) {
        if (controller->specifiedSection() < from)
            continue;
        controller->setSpecifiedSection(controller->specifiedSection() + by);
        controller->updateColumnHeight(0, true);
    }
}

void MacKanbanColumnsViewController::stagesChanged(const std::function<void()>& completion)
{
    if (!m_viewAsMultiColumn) {
        // The single list stays on screen, whichever stage went, and shows the stages as they are.
        MacKanbanColumnController* list = allSectionsController();
        if (!list) {
            list = columnControllerFor(bookmarkedColumnIndex());
            if (!list && !m_columnControllers.isEmpty())
                list = m_columnControllers.constFirst();
            if (list)
                list->setShowAllSections(true);
        }
        for (MacKanbanColumnController* controller : std::as_const(m_columnControllers))
            controller->containerView()->setVisible(controller == list);
        if (list)
            list->reloadData();
        for (MacKanbanColumnController* controller : std::as_const(m_columnControllers))
            controller->updateColumnHeight(0, true);
    }
    if (m_addColumnButton)
        m_addColumnButton->updatePosition();
    updateDocumentWidth();
    m_animator.run(
        sectionChangeSeconds,
        [this] {
            m_needsDocumentLayout = true;
            layoutDocumentIfNeeded();
        },
        completion);
}

void MacKanbanColumnsViewController::deselectColumn(MacKanbanColumnController* controller)
{
    if (controller->isSelected())
        controller->setSelected(false);
}

void MacKanbanColumnsViewController::selectStageColumn(MacKanbanColumnController* controller)
{
    controller->setSelected(true);
}

JSONReader& MacKanbanColumnsViewController::reader()
{
    if (m_services.reader)
        return *m_services.reader;
    if (!m_ownReader)
        m_ownReader = std::make_unique<JSONReader>(m_services.context);
    return *m_ownReader;
}
