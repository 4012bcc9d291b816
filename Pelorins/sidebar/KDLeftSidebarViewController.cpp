#include "Pelorins/sidebar/KDLeftSidebarViewController.h"

#include "Pelorins/shell/PelorinsMainWindow.h"
#include "Pelorins/sidebar/SourceOutlineView.h"
#include "Pelorins/sidebar/SourceOutlineViewCell.h"
#include "Pelorins/sidebar/SourceTreeModel.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/NotificationName.h"
#include "PelorinsKit/model/Root.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"

#include <QVBoxLayout>

namespace {

constexpr QLatin1String listItemKey("listItem");
constexpr QLatin1String rootEntityName("Root");

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

} // namespace

KDLeftSidebarViewController::KDLeftSidebarViewController(
    ManagedObjectContext* context, UserDefaults& defaults, std::function<void()> saveAction, QWidget* parent)
    : QWidget(parent)
    , m_managedObjectContext(context)
    , m_defaults(defaults)
    , m_saveAction(std::move(saveAction))
    , m_outlineView(new SourceOutlineView(this))
    , m_model(new SourceTreeModel(this))
{
    setObjectName(QStringLiteral("sidebar"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_outlineView);
    m_outlineView->setItemDelegate(new SourceOutlineViewCell(m_outlineView));

    if (m_managedObjectContext) {
        const QList<Root*> roots = m_managedObjectContext->fetchAs<Root>(FetchRequest(rootEntityName));
        m_model->setRootObject(roots.value(0));
    }
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
}

KDLeftSidebarViewController::~KDLeftSidebarViewController() = default;

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
    DisplayItem* item = m_model->itemForIndex(m_outlineView->indexAtRow(row));
    if (item && m_shownBySelection != item)
        showItem(item);
}

void KDLeftSidebarViewController::refreshListWhileKeepingSelection()
{
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

void KDLeftSidebarViewController::selectionDidChange()
{
    DisplayItem* item = m_model->itemForIndex(m_outlineView->indexAtRow(m_outlineView->selectedRow()));
    // Rows moving around the selected one change the selection's row numbers, not its item.
    const bool sameItem = item == m_selectedItem;
    m_selectedItem = item;
    if (m_refreshOnlyAndDontDisplay) {
        m_refreshOnlyAndDontDisplay = false;
        return;
    }
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
            const int row = m_rowBeforeRemoval;
            m_rowBeforeRemoval = -1;
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

int KDLeftSidebarViewController::rowOfLastShownBoard()
{
    const QString identifier = m_defaults.stringForKey(lastSelectedBoardIdentifierKey);
    Kanban* kanban = identifier.isEmpty() ? nullptr : boardWithIdentifier(rootObject(), identifier);
    const QModelIndex index = kanban ? m_model->indexForItem(kanban) : QModelIndex();
    if (!index.isValid())
        return m_defaults.integerForKey(lastSelectedSourceItemKey);
    // A board inside a closed folder gets its row back, as a card link's board does.
    for (DisplayItem* folder : enclosingFolders(kanban))
        m_outlineView->expand(m_model->indexForItem(folder));
    return m_outlineView->rowForIndex(index);
}
