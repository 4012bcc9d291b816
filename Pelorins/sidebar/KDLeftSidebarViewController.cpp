#include "Pelorins/sidebar/KDLeftSidebarViewController.h"

#include "Pelorins/common/AppConstants.h"
#include "Pelorins/common/PelorinsMainWindow.h"
#include "Pelorins/sidebar/SourceOutlineView.h"
#include "Pelorins/sidebar/SourceOutlineViewCell.h"
#include "Pelorins/sidebar/SourceTreeModel.h"
#include "PelorinsKit/archive/JSONReader.h"
#include "PelorinsKit/archive/JSONWriter.h"
#include "PelorinsKit/store/StoreLoading.h"
#include "PelorinsKit/board/CardPlacement.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/FeedbackState.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/NotificationName.h"
#include "PelorinsKit/model/Root.h"
#include "PelorinsKit/model/UniqueIdentifier.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/core/UndoManager.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"
#include "Platform/widgets/AlertPresenter.h"
#include "Platform/widgets/Animator.h"

#include <QFrame>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace {

constexpr QLatin1String listItemKey("listItem");
constexpr QLatin1String rootEntityName("Root");
constexpr QLatin1String folderEntityName("Folder");
constexpr QLatin1String kanbanEntityName("Kanban");
constexpr QLatin1String kanbanColumnEntityName("KanbanColumn");
constexpr QLatin1String displayItemEntityName("DisplayItem");

// The board with `identifier` in the tree from `item` down; null when there is none.
Kanban* boardWithIdentifier(DisplayItem* item, const QString& identifier)
{
    if (auto* kanban = dynamic_cast<Kanban*>(item))
        return kanban->uniqueIdentifier() == identifier ? kanban : nullptr;
    if (!dynamic_cast<Folder*>(item))
        return nullptr;
    for (DisplayItem* child : item->children()) {
        if (Kanban* found = boardWithIdentifier(child, identifier))
            return found;
    }
    return nullptr;
}

// The folders above an item, outermost first, the root left out.
QList<DisplayItem*> enclosingFolders(const DisplayItem* item)
{
    QList<DisplayItem*> folders;
    for (DisplayItem* up = item->parent(); up && !dynamic_cast<Root*>(up); up = up->parent())
        folders.prepend(up);
    return folders;
}

// Whether `item` is `ancestor` or lies somewhere below it.
bool isInside(const DisplayItem* item, const DisplayItem* ancestor)
{
    for (const DisplayItem* up = item; up; up = up->parent())
        if (up == ancestor)
            return true;
    return false;
}

// The cards in the day groups of the boards under `item`. A done card sits in its day group
// only, which does not take its cards along when it goes.
QList<ListItem*> doneCardsUnder(DisplayItem* item)
{
    QList<ListItem*> cards;
    if (auto* kanban = dynamic_cast<Kanban*>(item)) {
        for (const DoneDate* group : kanban->doneDates())
            cards.append(group->items());
    } else if (dynamic_cast<Folder*>(item)) {
        for (DisplayItem* child : item->children())
            cards.append(doneCardsUnder(child));
    }
    return cards;
}

QString titleOf(const DisplayItem* item)
{
    if (const auto* folder = dynamic_cast<const Folder*>(item))
        return folder->title();
    if (const auto* kanban = dynamic_cast<const Kanban*>(item))
        return kanban->title();
    return {};
}

AlertPresenter::Alert deleteAlert(const QList<DisplayItem*>& items)
{
    AlertPresenter::Alert alert;
    alert.style = AlertPresenter::Style::Critical;
    if (items.size() == 1) {
        const DisplayItem* item = items.first();
        QString kind;
        if (dynamic_cast<const Folder*>(item))
            kind = QStringLiteral("Folder");
        else if (dynamic_cast<const Kanban*>(item))
            kind = QStringLiteral("Project");
        alert.messageText = QStringLiteral("Are you sure you want to delete the %1 \"%2\"?").arg(kind, titleOf(item));
        alert.informativeText = QStringLiteral("This %1 will be deleted immediately.").arg(kind);
    } else {
        alert.messageText = QStringLiteral("Are you sure you want to delete the %1 selected items?").arg(items.size());
        alert.informativeText = QStringLiteral("These items will be deleted immediately.");
    }
    // Return keeps everything; deleting takes a deliberate click.
    alert.buttonTitles = {QStringLiteral("Delete"), QStringLiteral("Cancel")};
    alert.defaultButton = 1;
    alert.destructiveButton = 0;
    return alert;
}

} // namespace

KDLeftSidebarViewController::KDLeftSidebarViewController(Services services, QWidget* parent)
    : QWidget(parent)
    , m_managedObjectContext(services.context)
    , m_defaults(services.defaults)
    , m_saveAction(services.saveAction ? std::move(services.saveAction) : [] {})
    , m_undoManager(services.undoManager)
    , m_alertPresenter(services.alertPresenter)
    , m_urlOpener(std::move(services.urlOpener))
    , m_openSupportPage(std::move(services.openSupportPage))
    , m_loading(services.loading)
    , m_outlineView(new SourceOutlineView(this))
    , m_model(new SourceTreeModel(this))
    , m_animator(new Animator(this))
{
    setObjectName(QStringLiteral("sidebar"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_outlineView);
    buildReviewBox();
    layout->addWidget(m_reviewBox);
    m_outlineView->setItemDelegate(new SourceOutlineViewCell([this] { m_saveAction(); }, m_outlineView));
    m_outlineView->setViewController(this);

    if (m_loading) {
        m_model->setOpenCardsSource([loading = m_loading](const Kanban* kanban) -> std::optional<SourceTreeModel::OpenCards> {
            const std::optional<StoreLoading::OpenCards> open = loading ? loading->openCards(kanban) : std::nullopt;
            if (!open)
                return std::nullopt;
            return SourceTreeModel::OpenCards {open->count, open->earliestDueDate};
        });
        connect(m_loading, &StoreLoading::openCardsCounted, m_model, &SourceTreeModel::refreshBadges);
    }
    fetchRootObject();
    // Ahead of the selection model, which drops the selection of rows about to go.
    connect(m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this, &KDLeftSidebarViewController::rowsWillBeRemoved);
    m_outlineView->setModel(m_model);

    connect(m_outlineView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &KDLeftSidebarViewController::selectionDidChange);
    connect(m_outlineView, &QTreeView::expanded, this, &KDLeftSidebarViewController::itemDidExpand);
    connect(m_outlineView, &QTreeView::collapsed, this, &KDLeftSidebarViewController::itemDidCollapse);

    NotificationCenter& center = NotificationCenter::shared();
    const auto refresh = [this](const NotificationCenter::Notification&) { refreshListWhileKeepingSelection(); };
    center.addObserver(this, NotificationName::itemMarkedDone, refresh);
    center.addObserver(this, NotificationName::dueDateChanged, refresh);
    center.addObserver(this, NotificationName::dueSoonDefinitionChanged, refresh);
    center.addObserver(
        this, NotificationName::cardURLReceived, [this](const NotificationCenter::Notification& notification) {
            selectKanbanFromIncomingURL(notification.userInfo);
        });

    showReviewBoxIfDue();
}

KDLeftSidebarViewController::KDLeftSidebarViewController(
    ManagedObjectContext* context, UserDefaults& defaults, std::function<void()> saveAction, QWidget* parent)
    : KDLeftSidebarViewController(Services(context, defaults, std::move(saveAction)), parent)
{
}

KDLeftSidebarViewController::~KDLeftSidebarViewController()
{
    // Steps that remake or delete items call back into this sidebar.
    if (m_undoManager)
        m_undoManager->removeAllActions(this);
}

Root* KDLeftSidebarViewController::rootObject() const
{
    return m_model->rootObject();
}

void KDLeftSidebarViewController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    viewDidAppear();
}

void KDLeftSidebarViewController::viewDidAppear()
{
    if (m_windowRestoredOnce)
        return;
    m_windowRestoredOnce = true;
    if (Root* root = rootObject())
        expandSavedFolders(root);
    const int row = rowOfLastShownBoard();
    m_shownBySelection = nullptr;
    m_outlineView->selectRow(row, false);
    // A row that was selected already brings no selection change to show it.
    DisplayItem* item = itemAtRow(row);
    if (item && m_shownBySelection != item)
        showItem(item);
}

void KDLeftSidebarViewController::fetchRootObject()
{
    if (!m_managedObjectContext)
        return;
    const QList<Root*> roots = m_managedObjectContext->fetchAs<Root>(FetchRequest(rootEntityName));
    m_model->setRootObject(roots.value(0));
}

void KDLeftSidebarViewController::refreshListWhileKeepingSelection()
{
    // A store that started empty gains its root with the first import, the example boards say.
    if (!rootObject())
        fetchRootObject();
    const int row = m_outlineView->selectedRow();
    m_model->refreshBadges();
    restoreSelection(row);
}

void KDLeftSidebarViewController::showItem(DisplayItem* item)
{
    if (!item)
        return;
    item->setExport(true);
    if (auto* kanban = dynamic_cast<Kanban*>(item)) {
        m_defaults.setValue(lastSelectedSourceItemKey, m_outlineView->selectedRow());
        m_defaults.setValue(lastSelectedBoardIdentifierKey, kanban->uniqueIdentifier());
        emit boardShown(kanban);
        if (auto* mainWindow = dynamic_cast<PelorinsMainWindow*>(window()))
            mainWindow->setCurrentDisplayItem(kanban);
    }
    m_defaults.synchronize();
}

void KDLeftSidebarViewController::selectKanban(Kanban* kanban)
{
    if (!m_model->indexForItem(kanban).isValid())
        return;
    for (DisplayItem* folder : enclosingFolders(kanban)) {
        const QModelIndex index = m_model->indexForItem(folder);
        m_outlineView->expand(index);
        m_outlineView->selectRow(m_outlineView->rowForIndex(index), false);
    }
    const QModelIndex index = m_model->indexForItem(kanban);
    m_outlineView->selectRow(m_outlineView->rowForIndex(index), false);
    m_outlineView->scrollTo(index);
}

void KDLeftSidebarViewController::addFolder()
{
    if (!m_managedObjectContext || !rootObject())
        return;
    auto* folder = m_managedObjectContext->insertNewObject<Folder>(folderEntityName);
    if (!folder)
        return;
    folder->setTitle(QStringLiteral("untitled folder"));
    placeNewItem(folder);
}

void KDLeftSidebarViewController::addKanban()
{
    if (!m_managedObjectContext || !rootObject())
        return;
    auto* kanban = m_managedObjectContext->insertNewObject<Kanban>(kanbanEntityName);
    auto* column = m_managedObjectContext->insertNewObject<KanbanColumn>(kanbanColumnEntityName);
    if (!kanban || !column)
        return;
    kanban->setTitle(QStringLiteral("untitled project"));
    column->setTitle(QStringLiteral("To do"));
    column->setKanban(kanban);
    placeNewItem(kanban);
}

void KDLeftSidebarViewController::duplicateItem()
{
    m_outlineView->duplicateItem();
}

void KDLeftSidebarViewController::insertItemNextToSelection(DisplayItem* item)
{
    if (!item)
        return;
    int row = m_outlineView->clickedRow();
    if (row < 0)
        row = m_outlineView->selectedRow();
    DisplayItem* target = nullptr;
    for (; row >= 0 && !target; --row) {
        DisplayItem* candidate = itemAtRow(row);
        if (dynamic_cast<Folder*>(candidate) || dynamic_cast<Kanban*>(candidate))
            target = candidate;
    }

    if (auto* folder = dynamic_cast<Folder*>(target)) {
        item->setParent(folder);
        return;
    }
    // After the board among its siblings; a board out of the tree takes no neighbour.
    if (auto* kanban = dynamic_cast<Kanban*>(target); kanban && kanban->parent()) {
        DisplayItem* parent = kanban->parent();
        QList<DisplayItem*> children = parent->children();
        const qsizetype index = children.indexOf(kanban);
        if (index + 1 < children.size()) {
            children.insert(index + 1, item);
            parent->setChildren(children);
        } else {
            item->setParent(parent);
        }
        return;
    }
    item->setParent(rootObject());
}

void KDLeftSidebarViewController::placeNewItem(DisplayItem* item)
{
    insertItemNextToSelection(item);
    m_saveAction();
    selectItem(item, true);
}

void KDLeftSidebarViewController::selectItem(DisplayItem* item, bool editTitle)
{
    if (!item)
        return;
    // Every folder on the way opens, so that the row is shown.
    expandFoldersAbove(item);
    const QModelIndex index = m_model->indexForItem(item);
    if (!index.isValid())
        return;
    m_outlineView->selectRow(m_outlineView->rowForIndex(index), false);
    m_outlineView->scrollTo(index);
    if (editTitle) {
        m_outlineView->setCurrentIndex(index);
        m_outlineView->edit(index);
    }
}

DisplayItem* KDLeftSidebarViewController::duplicate(DisplayItem* item)
{
    // The copy's identifiers must be new to the whole store.
    if (!item || item->isDeleted() || dynamic_cast<Root*>(item) || !m_managedObjectContext || !waitForWholeStore())
        return nullptr;
    JSONReader& reader = this->reader();
    reader.setImportedObjects({});
    const QList<ManagedObject*> made = reader.makeObjectsFromArrayOf(QJsonArray {JSONWriter::snapshotNode(item)});
    reader.setImportedObjects({});
    DisplayItem* copy = nullptr;
    for (ManagedObject* object : made) {
        auto* madeItem = dynamic_cast<DisplayItem*>(object);
        if (!madeItem)
            continue;
        if (auto* kanban = dynamic_cast<Kanban*>(madeItem); kanban && !kanban->title().isNull())
            kanban->setTitle(m_outlineView->uniqueCopyTitle(kanban->title()));
        placeNewItem(madeItem);
        copy = madeItem;
    }
    return copy;
}

void KDLeftSidebarViewController::deleteSelectedItems()
{
    QList<DisplayItem*> items;
    for (int row : m_outlineView->selectedRows())
        if (DisplayItem* item = itemAtRow(row))
            items.append(item);
    if (!items.isEmpty())
        confirmDelete(items);
}

void KDLeftSidebarViewController::confirmDelete(const QList<DisplayItem*>& items)
{
    if (items.isEmpty() || !m_alertPresenter)
        return;
    if (m_alertPresenter->runModal(deleteAlert(items), window()) == 0)
        deleteItems(items);
}

void KDLeftSidebarViewController::deleteItems(const QList<DisplayItem*>& items)
{
    if (!m_managedObjectContext)
        return;
    // An item inside another one of the list goes with it: its own snapshot would remake it twice.
    QList<DisplayItem*> deleting;
    for (DisplayItem* item : items) {
        if (!item || item->isDeleted() || dynamic_cast<Root*>(item) || deleting.contains(item))
            continue;
        const bool inAnother = std::any_of(items.cbegin(), items.cend(),
            [item](const DisplayItem* other) { return other != item && isInside(item, other); });
        if (!inAnother)
            deleting.append(item);
    }
    if (deleting.isEmpty())
        return;

    Root* root = rootObject();
    DisplayItem* last = deleting.last();
    const int selected = m_outlineView->selectedRow();
    if (root && last->parent() == root && root->children().last() == last && selected > 0)
        m_outlineView->selectRow(selected - 1, false);

    // Every place is read before anything goes, so that positions are those of the old order.
    QList<SidebarSnapshot> snapshots;
    for (DisplayItem* item : std::as_const(deleting))
        snapshots.append(SidebarSnapshot::take(item));
    {
        const QScopedValueRollback changing(m_changingTree, true);
        for (DisplayItem* item : std::as_const(deleting)) {
            const QList<ListItem*> doneCards = doneCardsUnder(item);
            m_managedObjectContext->deleteObject(item);
            for (ListItem* card : doneCards)
                m_managedObjectContext->deleteObject(card);
        }
    }
    itemsChanged();
    fileDeletionStep([this, snapshots] { deleteItems(snapshots); });
}

QList<DisplayItem*> KDLeftSidebarViewController::deleteItems(const QList<SidebarSnapshot>& snapshots)
{
    // What is remade keeps its identifiers and finds its picture records across the store.
    if (!m_managedObjectContext || snapshots.isEmpty() || !waitForWholeStore())
        return {};
    // In the recorded order at the recorded positions: the items of one parent come in ascending
    // position order, so the old order comes back.
    QList<DisplayItem*> restored;
    {
        const QScopedValueRollback changing(m_changingTree, true);
        for (const SidebarSnapshot& snapshot : snapshots) {
            // The parent as it is now: remade meanwhile, or gone for good (then the top level).
            DisplayItem* parent = findItem(snapshot.parentIdentifier());
            if (!dynamic_cast<Folder*>(parent))
                parent = rootObject();
            DisplayItem* item = parent ? snapshot.remake(*m_managedObjectContext) : nullptr;
            if (!item)
                continue;
            QList<DisplayItem*> children = parent->children();
            const int position = snapshot.position();
            children.insert(position < 0 ? children.size() : std::clamp<qsizetype>(position, 0, children.size()), item);
            parent->setChildren(children);
            restored.append(item);
        }
    }
    // New rows come closed: the folders open as they were stored, as after a restart.
    for (DisplayItem* item : std::as_const(restored))
        expandSavedFolders(item);
    itemsChanged();
    if (!restored.isEmpty())
        fileDeletionStep([this, restored] { deleteItems(restored); });
    return restored;
}

void KDLeftSidebarViewController::fileDeletionStep(std::function<void()> step)
{
    if (!m_undoManager)
        return;
    m_undoManager->registerUndo(this, std::move(step));
    m_undoManager->setActionName(deleteItemActionName);
}

QMimeData* KDLeftSidebarViewController::pasteboardWriterForItems(const QList<DisplayItem*>&) const
{
    auto* data = new QMimeData;
    data->setData(sourceItemPasteboardType, QByteArray(sourceItemMarker.data(), sourceItemMarker.size()));
    return data;
}

void KDLeftSidebarViewController::draggingSessionWillBegin(const QList<DisplayItem*>& items)
{
    m_dragging = true;
    m_draggedItems.clear();
    for (DisplayItem* item : items)
        if (item)
            m_draggedItems.append(item);
}

void KDLeftSidebarViewController::draggingSessionEnded()
{
    // Rows of a finished drag never count for a later one, from here or elsewhere.
    m_dragging = false;
    m_draggedItems.clear();
}

Qt::DropAction KDLeftSidebarViewController::validateDrop(
    const QMimeData* data, const QObject* source, DisplayItem*& proposedItem, int& proposedChildIndex) const
{
    if (!data)
        return Qt::IgnoreAction;
    const bool rows = data->hasFormat(sourceItemPasteboardType);
    const bool cards = !rows && data->hasFormat(listItemPasteboardType);
    // Rows travel only within this outline, during its own drag.
    if ((!rows && !cards) || (rows && (source != m_outlineView || !m_dragging)))
        return Qt::IgnoreAction;
    if (proposedItem && m_draggedItems.contains(proposedItem)) {
        ConsoleLog::write(QStringLiteral("return NSDragOperation.None"));
        return Qt::IgnoreAction;
    }
    if (!proposedItem)
        return rows ? Qt::MoveAction : Qt::IgnoreAction;
    if (cards)
        return dynamic_cast<Kanban*>(proposedItem) ? Qt::CopyAction : Qt::IgnoreAction;

    if (auto* kanban = dynamic_cast<Kanban*>(proposedItem)) {
        // Rows dropped on a board go just before it.
        DisplayItem* parent = kanban->parent();
        if (!parent)
            return Qt::IgnoreAction;
        proposedChildIndex = int(parent->children().indexOf(kanban));
        proposedItem = dynamic_cast<Root*>(parent) ? nullptr : parent;
    } else if (!dynamic_cast<Folder*>(proposedItem) || m_draggedItems.isEmpty()) {
        return Qt::IgnoreAction;
    }
    // A folder never goes into itself or one of its own folders.
    const bool intoItself = std::any_of(m_draggedItems.cbegin(), m_draggedItems.cend(),
        [proposedItem](const DisplayItem* dragged) { return isInside(proposedItem, dragged); });
    return intoItself ? Qt::IgnoreAction : Qt::MoveAction;
}

bool KDLeftSidebarViewController::acceptDrop(
    const QMimeData* data, const QObject* source, DisplayItem* item, int childIndex)
{
    if (!data)
        return false;
    if (!data->hasFormat(sourceItemPasteboardType)) {
        if (!data->hasFormat(listItemPasteboardType))
            return false;
        return acceptCards(data, item);
    }
    if (source != m_outlineView || !m_dragging)
        return false;
    DisplayItem* target = item ? item : rootObject();
    if (!target)
        return false;
    moveDraggedItems(target, childIndex);
    m_draggedItems.clear();
    m_saveAction();
    if (item)
        m_outlineView->expand(m_model->indexForItem(item));
    return true;
}

void KDLeftSidebarViewController::moveDraggedItems(DisplayItem* toParent, int at)
{
    if (!toParent || toParent->isDeleted() || m_draggedItems.isEmpty())
        return;
    QList<DisplayItem*> children = toParent->children();
    for (DisplayItem* item : std::as_const(m_draggedItems)) {
        if (item->isDeleted() || dynamic_cast<Root*>(item) || isInside(toParent, item))
            continue;
        if (item->parent() == toParent) {
            const qsizetype old = children.indexOf(item);
            children.removeAt(old);
            const int index = old < at ? at - 1 : at;
            if (index == -1)
                children.append(item);
            else
                children.insert(std::clamp<qsizetype>(index, 0, children.size()), item);
        } else if (at == -1 || children.isEmpty()) {
            children.append(item);
        } else {
            children.insert(std::clamp<qsizetype>(at, 0, children.size()), item);
        }
    }
    toParent->setChildren(children);
}

void KDLeftSidebarViewController::updateReviewPrompt()
{
    switch (feedbackState()) {
    case int(FeedbackState::notEnjoy):
        m_promptTextLabel->setText(QStringLiteral("😭 Oh no, can you tell us why?"));
        m_promptLeftButton->setText(QStringLiteral("Not now"));
        m_promptRightButton->setText(QStringLiteral("Yeah, ok"));
        break;
    case int(FeedbackState::enjoyTheApp):
        m_promptTextLabel->setText(QStringLiteral("Yay, can you leave a review? 😄"));
        m_promptLeftButton->setText(QStringLiteral("Not now"));
        m_promptRightButton->setText(QStringLiteral("Sure can!"));
        break;
    default:
        break;
    }
}

void KDLeftSidebarViewController::hideReviewBox()
{
    QWidget* box = m_reviewBox;
    auto* fade = qobject_cast<QGraphicsOpacityEffect*>(box->graphicsEffect());
    if (!fade) {
        fade = new QGraphicsOpacityEffect(box);
        box->setGraphicsEffect(fade);
    }
    const int height = box->height();
    m_animator->run(
        reviewBoxHideMilliseconds / 1000.0,
        [this, box, fade, height] {
            m_animator->setValue(
                box, "opacity", fade->opacity(), 0.0, [fade](double value) { fade->setOpacity(value); });
            // The box slides below the sidebar's bottom edge.
            m_animator->setValue(box, "height", height, 0.0, [box](double value) { box->setFixedHeight(int(value)); });
        },
        [box] {
            box->hide();
            box->setMinimumHeight(0);
            box->setMaximumHeight(QWIDGETSIZE_MAX);
        });
}

void KDLeftSidebarViewController::promptLeftButtonClicked()
{
    switch (feedbackState()) {
    case int(FeedbackState::enjoyTheApp):
    case int(FeedbackState::notEnjoy):
        hideReviewBox();
        break;
    case int(FeedbackState::notAnswered):
        setFeedbackState(int(FeedbackState::notEnjoy));
        updateReviewPrompt();
        break;
    default:
        break;
    }
}

void KDLeftSidebarViewController::promptRightButtonClicked()
{
    switch (feedbackState()) {
    case int(FeedbackState::notAnswered):
        setFeedbackState(int(FeedbackState::enjoyTheApp));
        updateReviewPrompt();
        break;
    case int(FeedbackState::enjoyTheApp):
        setFeedbackState(int(FeedbackState::ratedOnAppStore));
        if (m_urlOpener && m_urlOpener(QUrl(reviewPageAddress)))
            ConsoleLog::write(QStringLiteral("opened review page on iTunes"));
        hideReviewBox();
        break;
    case int(FeedbackState::notEnjoy):
        setFeedbackState(int(FeedbackState::feedbackSent));
        if (m_openSupportPage)
            m_openSupportPage();
        hideReviewBox();
        break;
    default:
        break;
    }
}

void KDLeftSidebarViewController::buildReviewBox()
{
    m_reviewBox = new QFrame(this);
    m_reviewBox->setObjectName(QStringLiteral("reviewBox"));
    m_promptTextLabel = new QLabel(QStringLiteral("Do you enjoy using Pelorins?"), m_reviewBox);
    m_promptTextLabel->setObjectName(QStringLiteral("promptTextLabel"));
    m_promptTextLabel->setAlignment(Qt::AlignCenter);
    m_promptTextLabel->setWordWrap(true);
    m_promptLeftButton = new QPushButton(QStringLiteral("Not really"), m_reviewBox);
    m_promptLeftButton->setObjectName(QStringLiteral("promptLeftButton"));
    m_promptRightButton = new QPushButton(QStringLiteral("Yes!"), m_reviewBox);
    m_promptRightButton->setObjectName(QStringLiteral("promptRightButton"));
    connect(m_promptLeftButton, &QPushButton::clicked, this, &KDLeftSidebarViewController::promptLeftButtonClicked);
    connect(m_promptRightButton, &QPushButton::clicked, this, &KDLeftSidebarViewController::promptRightButtonClicked);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_promptLeftButton);
    buttons->addWidget(m_promptRightButton);
    auto* layout = new QVBoxLayout(m_reviewBox);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(m_promptTextLabel);
    layout->addLayout(buttons);
}

void KDLeftSidebarViewController::showReviewBoxIfDue()
{
    const int state = feedbackState();
    const bool unanswered = state == int(FeedbackState::notAnswered) || state == int(FeedbackState::enjoyTheApp)
        || state == int(FeedbackState::notEnjoy);
    const bool due = unanswered && m_defaults.integerForKey(numberOfLaunchesKey) >= launchesBeforeReviewPrompt;
    m_reviewBox->setVisible(due);
    if (due)
        updateReviewPrompt();
}

void KDLeftSidebarViewController::selectionDidChange()
{
    DisplayItem* item = itemAtRow(m_outlineView->selectedRow());
    // Rows moving around the selected one change the selection's row numbers, not its item.
    const bool sameItem = item == m_selectedItem;
    m_selectedItem = item;
    if (m_refreshOnlyAndDontDisplay) {
        m_refreshOnlyAndDontDisplay = false;
        return;
    }
    // Rows leaving in the middle of a deletion move the selection while the graph is half
    // changed: what it lands on is shown, and everything saved, once the whole change is made.
    if (m_changingTree)
        return;
    if (!item || sameItem)
        return;
    m_shownBySelection = item;
    showItem(item);
    m_saveAction();
}

void KDLeftSidebarViewController::itemDidExpand(const QModelIndex& index)
{
    auto* folder = dynamic_cast<Folder*>(m_model->itemForIndex(index));
    if (!folder)
        return;
    // A folder opened inside a closed one is shown closed, and so it is kept.
    bool insideClosedFolder = false;
    for (DisplayItem* up = folder->parent(); up && !dynamic_cast<Root*>(up); up = up->parent())
        if (auto* enclosing = dynamic_cast<Folder*>(up); enclosing && !enclosing->expanded())
            insideClosedFolder = true;
    folder->setExpanded(!insideClosedFolder);
}

void KDLeftSidebarViewController::itemDidCollapse(const QModelIndex& index)
{
    if (auto* folder = dynamic_cast<Folder*>(m_model->itemForIndex(index)))
        folder->setExpanded(false);
}

void KDLeftSidebarViewController::expandFoldersAbove(const DisplayItem* item)
{
    for (DisplayItem* folder : enclosingFolders(item))
        m_outlineView->expand(m_model->indexForItem(folder));
}

void KDLeftSidebarViewController::expandSavedFolders(DisplayItem* item)
{
    auto* folder = dynamic_cast<Folder*>(item);
    if (!folder)
        return;
    if (folder->expanded()) {
        const QModelIndex index = m_model->indexForItem(folder);
        if (index.isValid())
            m_outlineView->expand(index);
    }
    for (DisplayItem* child : folder->children())
        expandSavedFolders(child);
}

void KDLeftSidebarViewController::selectKanbanFromIncomingURL(const QVariantMap& userInfo)
{
    auto* card = userInfo.value(listItemKey).value<ListItem*>();
    if (!card)
        return;
    KanbanColumn* column = card->column();
    if (!column)
        return;
    Kanban* kanban = column->kanban() ? column->kanban() : column->mainKanban();
    if (!kanban || !m_model->indexForItem(kanban).isValid())
        return;
    selectKanban(kanban);
    emit cardRevealRequested(card);
}

void KDLeftSidebarViewController::rowsWillBeRemoved()
{
    // Removals arrive in the middle of the graph's change notices; the selection is mended once
    // they are over, so that showing an item and saving never run inside them.
    if (m_rowBeforeRemoval >= 0 || !m_outlineView->selectionModel()->hasSelection())
        return;
    m_rowBeforeRemoval = m_outlineView->selectedRow();
    // A selection hidden inside a closed folder has no row to mend from.
    if (m_rowBeforeRemoval < 0)
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            const int row = std::exchange(m_rowBeforeRemoval, -1);
            restoreSelection(row);
        },
        Qt::QueuedConnection);
}

void KDLeftSidebarViewController::restoreSelection(int row)
{
    // Rows keep their selection across changes; only a selection that went with its row is mended.
    if (row < 0 || m_outlineView->selectionModel()->hasSelection())
        return;
    if (m_outlineView->indexAtRow(row).isValid()) {
        m_refreshOnlyAndDontDisplay = true;
        m_outlineView->selectRow(row, true);
        m_refreshOnlyAndDontDisplay = false;
    } else if (row >= 1) {
        m_outlineView->selectRow(row - 1, true);
    }
}

void KDLeftSidebarViewController::itemsChanged()
{
    // A selection that went with the rows is mended now, so that what is shown next is the row
    // in its place.
    const int removedRow = std::exchange(m_rowBeforeRemoval, -1);
    if (removedRow >= 0)
        restoreSelection(removedRow);
    refreshListWhileKeepingSelection();
    if (auto* kanban = dynamic_cast<Kanban*>(itemAtRow(m_outlineView->selectedRow())))
        showItem(kanban);
    else
        emit searchFieldClearRequested();
    // Last, so that the mark of the item shown is saved with the change.
    m_saveAction();
    m_defaults.synchronize();
}

bool KDLeftSidebarViewController::acceptCards(const QMimeData* data, DisplayItem* item)
{
    QList<QByteArray> lines = data->data(listItemPasteboardType).split('\n');
    lines.removeIf([](const QByteArray& line) { return line.trimmed().isEmpty(); });
    ConsoleLog::write(QStringLiteral("info.numberOfValidItemsForDrop ") + QString::number(lines.size()));
    auto* kanban = dynamic_cast<Kanban*>(item);
    // A card named by URI may be on any board.
    if (!kanban || !m_managedObjectContext || !waitForWholeStore())
        return false;
    bool moved = false;
    for (const QByteArray& line : std::as_const(lines)) {
        const QUrl uri(QString::fromUtf8(line.trimmed()), QUrl::StrictMode);
        auto* card = uri.isValid() ? dynamic_cast<ListItem*>(m_managedObjectContext->objectForURI(uri)) : nullptr;
        if (!card || card->isDeleted()) {
            ConsoleLog::write(QStringLiteral("could not find item"));
            continue;
        }
        moved = CardPlacement::moveToBoard(card, kanban) || moved;
    }
    if (moved) {
        m_saveAction();
        emit cardsMovedToBoard();
    }
    return moved;
}

bool KDLeftSidebarViewController::waitForWholeStore()
{
    return !m_loading || m_loading->loadWholeStore();
}

DisplayItem* KDLeftSidebarViewController::itemAtRow(int row) const
{
    return m_model->itemForIndex(m_outlineView->indexAtRow(row));
}

DisplayItem* KDLeftSidebarViewController::findItem(const QString& uniqueIdentifier) const
{
    if (uniqueIdentifier.isEmpty() || !m_managedObjectContext)
        return nullptr;
    FetchRequest request(displayItemEntityName, [&uniqueIdentifier](const ManagedObject* object) {
        return object->stringValue(UniqueIdentifier::key) == uniqueIdentifier;
    });
    request.fetchLimit = 1;
    return m_managedObjectContext->fetchAs<DisplayItem>(request).value(0);
}

int KDLeftSidebarViewController::rowOfLastShownBoard()
{
    const QString identifier = m_defaults.stringForKey(lastSelectedBoardIdentifierKey);
    Kanban* kanban = identifier.isEmpty() ? nullptr : boardWithIdentifier(rootObject(), identifier);
    const QModelIndex index = kanban ? m_model->indexForItem(kanban) : QModelIndex();
    if (!index.isValid())
        return m_defaults.integerForKey(lastSelectedSourceItemKey);
    // A board inside a closed folder gets its row back, as a card link's board does.
    expandFoldersAbove(kanban);
    return m_outlineView->rowForIndex(index);
}

JSONReader& KDLeftSidebarViewController::reader()
{
    if (!m_reader)
        m_reader = std::make_unique<JSONReader>(m_managedObjectContext);
    return *m_reader;
}

int KDLeftSidebarViewController::feedbackState() const
{
    return int(m_defaults.integerForKey(feedbackStateKey));
}

void KDLeftSidebarViewController::setFeedbackState(int state)
{
    m_defaults.setValue(feedbackStateKey, state);
    m_defaults.synchronize();
}
