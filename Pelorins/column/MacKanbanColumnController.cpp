#include "Pelorins/column/MacKanbanColumnController.h"

#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/column/ColumnCollectionView.h"
#include "Pelorins/column/KanbanColumnAddButtonItem.h"
#include "Pelorins/column/KanbanColumnCollectionViewFlowLayout.h"
#include "Pelorins/column/KanbanColumnContainerView.h"
#include "Pelorins/column/KanbanColumnEmptySpacerViewItem.h"
#include "Pelorins/column/KanbanColumnListItem.h"
#include "Pelorins/column/ListItemAddItemButtonCell.h"
#include "Pelorins/column/ListItemHeaderCellView.h"
#include "Pelorins/column/MacKanbanColumnControllerListAdapter.h"
#include "Pelorins/column/MacKanbanColumnControllerSnapshot.h"
#include "Pelorins/common/ColourHelpers.h"
#include "PelorinsKit/board/KanbanColumnListItemsMover.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "PelorinsKit/model/NotificationName.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/core/UndoManager.h"
#include "Platform/services/SystemEventMonitor.h"
#include "Platform/widgets/SectionedListViewDataSource.h"

#include <QCursor>
#include <QScrollBar>
#include <algorithm>

namespace {

// Full-size measures of a column.
constexpr qreal scrollerBand = 40.0;

// Where a card's hover controls are, in the card.
const QRectF hoverRectangle(0, 12, 40, 29);

QString pathsDescription(const QList<IndexPath>& paths)
{
    QStringList parts;
    for (const IndexPath& path : paths)
        parts.append(QStringLiteral("[%1, %2]").arg(path.section).arg(path.item));
    return QLatin1Char('[') + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
}

} // namespace

MacKanbanColumnController::MacKanbanColumnController(int section, MacKanbanColumnDelegate* delegate, QObject* parent)
    : QObject(parent)
    , m_delegate(delegate)
    , m_specifiedSection(section)
    , m_layout(std::make_unique<KanbanColumnCollectionViewFlowLayout>(this))
    , m_adapter(std::make_unique<ListAdapter>(*this))
{
    m_itemsMover = std::make_unique<KanbanColumnListItemsMover>(this);
    setupCollectionView();
    observeBoard();
    registerActions();
    m_dragAutoscroll.setInterval(50);
    connect(&m_dragAutoscroll, &QTimer::timeout, this, &MacKanbanColumnController::autoscrollSourceList);
}

MacKanbanColumnController::~MacKanbanColumnController()
{
    // The list reads this controller: it goes first.
    delete m_containerView.data();
}

QList<IndexPath> MacKanbanColumnController::sorted(const QSet<IndexPath>& paths)
{
    QList<IndexPath> list(paths.cbegin(), paths.cend());
    std::sort(list.begin(), list.end());
    return list;
}

KanbanColumnContainerView* MacKanbanColumnController::containerView() const
{
    return m_containerView;
}

KanbanColumnScrollview* MacKanbanColumnController::scrollView() const
{
    return m_collectionView;
}

ColumnCollectionView* MacKanbanColumnController::collectionView() const
{
    return m_collectionView;
}

SectionedListViewDataSource& MacKanbanColumnController::dataSource() const
{
    return *m_adapter;
}

void MacKanbanColumnController::setCollectionViewLayout(std::unique_ptr<KanbanColumnCollectionViewFlowLayout> layout)
{
    if (!layout)
        return;
    layout->setHeaderHeight(m_layout->headerHeight());
    m_layout = std::move(layout);
    m_layout->applyTo(*m_collectionView);
}

void MacKanbanColumnController::setSpecifiedSection(int section)
{
    if (section == m_specifiedSection)
        return;
    m_specifiedSection = section;
    reloadData();
}

void MacKanbanColumnController::setSelected(bool selected)
{
    m_selected = selected;
    m_collectionView->setSelected(selected);
    if (ListItemHeaderCellView* header = topHeaderView())
        header->updateSelectionAppearance();
    m_containerView->setSelected(selected);
}

KanbanColumnDelegate* MacKanbanColumnController::kanbanColumnDelegate() const
{
    return m_delegate;
}

void MacKanbanColumnController::setKanbanColumnDelegate(KanbanColumnDelegate* delegate)
{
    // The board is set at creation and stays: only the board itself may be written back.
    if (delegate == m_delegate)
        return;
    m_delegate = dynamic_cast<MacKanbanColumnDelegate*>(delegate);
    reloadData();
}

void MacKanbanColumnController::setMargins(const std::optional<Margins>& margins)
{
    m_margins = margins;
    if (m_delegate)
        m_delegate->setNeedsDocumentLayout();
}

void MacKanbanColumnController::setShowAllSections(bool showAllSections)
{
    if (showAllSections == m_showAllSections)
        return;
    m_showAllSections = showAllSections;
    reloadData();
}

UndoManager* MacKanbanColumnController::undoManager() const
{
    return m_delegate ? m_delegate->undoManager() : nullptr;
}

void MacKanbanColumnController::updateColumnPosition()
{
    if (!m_delegate || !m_margins)
        return;
    const int before = sectionPositionInDocument();
    Margins place = *m_margins;
    place.left
        = m_delegate->columnWidth() * (m_specifiedSection + m_delegate->offsetForPushedColumns(m_specifiedSection));
    setMargins(place);
    if (sectionPositionInDocument() != before)
        m_delegate->animateLayoutChanges();
}

void MacKanbanColumnController::reloadData()
{
    invalidateSnapshot();
    m_collectionView->reloadData();
    applyModeGeometry();
}

void MacKanbanColumnController::deleteItems(const QSet<IndexPath>& at)
{
    invalidateSnapshot();
    if (handedToSingleList())
        return;
    m_collectionView->deleteItems(sorted(at));
}

void MacKanbanColumnController::animateInsertion(const QSet<IndexPath>& pathsToSelect, bool placeholderShown,
    const IndexPath& placeholderPath, bool newSection, int newSectionIndex, bool keepEarlierSelection,
    int numberOfCards)
{
    if (MacKanbanColumnController* list = listShowingThis()) {
        invalidateSnapshot();
        QList<ListItem*> cards;
        if (newSection) {
            for (int item = 0; item < numberOfCards; ++item)
                cards.append(itemFor(IndexPath {newSectionIndex, item}));
        } else {
            for (const IndexPath& path : sorted(pathsToSelect))
                cards.append(itemFor(path));
        }
        cards.removeAll(nullptr);
        m_collectionView->reloadData();
        if (filterActive())
            list->addFilteredModeItems(cards);
        list->followModel(cards, keepEarlierSelection);
        return;
    }
    // The rows to insert, less the placeholder that becomes a card in place.
    QSet<IndexPath> inserted = pathsToSelect;
    if (placeholderShown)
        inserted.remove(placeholderPath);
    invalidateSnapshot();
    m_collectionView->performBatchUpdates(
        [&] {
            if (placeholderShown)
                m_collectionView->reloadItems({placeholderPath});
            if (newSection) {
                m_collectionView->insertSections({newSectionIndex});
            } else {
                ConsoleLog::write(QStringLiteral("ipOfInserted ") + pathsDescription(sorted(inserted)));
                m_collectionView->insertItems(sorted(inserted));
            }
        },
        [this, pathsToSelect, inserted, newSection, newSectionIndex, keepEarlierSelection, numberOfCards] {
            updateSectionHeaders(pathsToSelect);
            if (!keepEarlierSelection)
                deselectAllItems();
            if (newSection) {
                QSet<IndexPath> section;
                for (int item = 0; item < numberOfCards; ++item)
                    section.insert(IndexPath {newSectionIndex, item});
                selectItems(section);
                return;
            }
            selectItems(inserted);
            revealInsertedItems(sorted(inserted));
            deselectOtherColumns();
            focusInsertedItems(sorted(inserted));
        });
}

void MacKanbanColumnController::revealInsertedItems(const QList<IndexPath>& inserted)
{
    if (inserted.isEmpty() || !m_collectionView->listLayout().contains(inserted.first()))
        return;
    const QRect visible = m_collectionView->visibleRect();
    const QRect frame = m_collectionView->itemFrame(inserted.first());
    // Shown only when wholly clear of the pinned header and of the buttons at the column's foot:
    // a card half below them has its editing buttons cut off.
    const int top = visible.top() + int(headerHeight);
    const int bottom = visible.top() + visible.height() - m_collectionView->bottomContentInset();
    const bool shown = qobject_cast<KanbanColumnListItem*>(m_collectionView->itemWidget(inserted.first()))
        && frame.top() >= top && frame.top() + frame.height() <= bottom;
    if (shown)
        return;
    if (frame.top() < top)
        m_collectionView->setContentOffset(frame.top() - int(2 * headerHeight));
    else
        m_collectionView->scrollToItem(inserted.first(), SectionedListView::ScrollPosition::Bottom, true);
}

void MacKanbanColumnController::focusInsertedItems(const QList<IndexPath>& inserted)
{
    if (m_collectionView->selectionIndexPaths().size() != 1) {
        m_collectionView->setFocus();
        return;
    }
    if (inserted.isEmpty())
        return;
    if (auto* item = qobject_cast<KanbanColumnListItem*>(m_collectionView->itemWidget(inserted.first())))
        if (!item->view()->noteTextView()->hasFocus())
            item->view()->noteTextView()->setFocus();
}

void MacKanbanColumnController::animateRemoval(
    const QList<int>& sections, const QSet<IndexPath>& rows, bool reload, const IndexPath& reloadPath)
{
    invalidateSnapshot();
    if (handedToSingleList())
        return;
    m_collectionView->performBatchUpdates(
        [&] {
            m_collectionView->deleteSections(sections);
            m_collectionView->deleteItems(sorted(rows));
            if (reload)
                m_collectionView->reloadItems({reloadPath});
        },
        [this, rows, reload, reloadPath] {
            QSet<IndexPath> removed = rows;
            if (reload)
                removed.insert(reloadPath);
            updateSectionHeaders(removed);
        });
}

void MacKanbanColumnController::setItemsAddedWhenInFilteredMode(const QList<ListItem*>& items)
{
    m_itemsAddedWhenInFilteredMode = items;
}

void MacKanbanColumnController::updateColumnHeight(int section, bool animated)
{
    if (!m_margins || !m_delegate)
        return;
    Margins place = *m_margins;
    place.width = m_delegate->columnWidth();
    if (m_delegate->viewAsMultiColumn()) {
        const qreal gap = isDoneColumn() ? m_delegate->columnGap() : 0.0;
        place.top = 0;
        place.left = gap + m_delegate->columnWidth() * m_specifiedSection + m_delegate->columnsLeftInset();
    } else {
        const int target = animated ? singleListSection() : section;
        place.left = m_delegate->columnsLeftInset();
        if (m_specifiedSection == target) {
            place.top = 0;
        } else if (m_specifiedSection < target) {
            place.top = -(target - m_specifiedSection) * scrollViewHeight();
        } else {
            qreal top = 0;
            for (int stage = target; stage < m_specifiedSection; ++stage)
                top += heightOfSection(stage);
            place.top = top;
        }
    }
    setMargins(place);
}

void MacKanbanColumnController::clearFilteredModeItems()
{
    m_itemsAddedWhenInFilteredMode.clear();
}

void MacKanbanColumnController::removeFilteredModeItem(ListItem* item)
{
    m_itemsAddedWhenInFilteredMode.removeOne(item);
}

void MacKanbanColumnController::addFilteredModeItems(const QList<ListItem*>& items)
{
    m_itemsAddedWhenInFilteredMode.append(items);
}

qreal MacKanbanColumnController::scrollViewHeight() const
{
    return m_collectionView->height();
}

qreal MacKanbanColumnController::scrollViewWidth() const
{
    return m_collectionView->width();
}

void MacKanbanColumnController::setDoneItemsOnDateCached(const QHash<QDateTime, QList<ListItem*>>& cached)
{
    m_doneItemsOnDateCached = cached;
}

void MacKanbanColumnController::moveItem(const IndexPath& at, const IndexPath& to)
{
    invalidateSnapshot();
    if (handedToSingleList())
        return;
    m_collectionView->moveItem(at, to);
}

bool MacKanbanColumnController::respondsTo(const QString& action) const
{
    return m_actions.contains(action);
}

void MacKanbanColumnController::perform(const QString& action, QObject* sender)
{
    if (const auto found = m_actions.constFind(action); found != m_actions.cend())
        (*found)(sender);
}

void MacKanbanColumnController::scrollToTop()
{
    m_collectionView->setContentOffset(-int(headerHeight));
    if (showsTopHeader())
        m_collectionView->setContentOffset(-int(2 * headerHeight));
}

void MacKanbanColumnController::refreshHoverStates()
{
    const QPoint pointer = QCursor::pos();
    const QRectF hover(hoverRectangle.topLeft() * zoom(), hoverRectangle.size() * zoom());
    for (ListItemCellView* card : visibleCardViews()) {
        if (!card->window())
            continue;
        if (hover.contains(card->mapFromGlobal(pointer)))
            card->mouseEntered();
        else
            card->mouseExited();
    }
}

void MacKanbanColumnController::updateDueDateColours()
{
    for (ListItemCellView* card : visibleCardViews())
        card->updateDueDate();
}

void MacKanbanColumnController::updateTagLooks()
{
    for (ListItemCellView* card : visibleCardViews())
        card->updateTagLook();
}

void MacKanbanColumnController::expandToAllSections()
{
    setShowAllSections(true);
    // The stage's place in the list as the list lays it out, shown cards only, so that the same
    // cards stay in view also while a filter hides some above.
    const int stageTop = m_collectionView->listLayout().headerFrame(m_specifiedSection).top();
    m_collectionView->setContentOffset(stageTop + qRound(m_lastClipViewOffset));
}

void MacKanbanColumnController::collapseToSpecifiedSection()
{
    const int offset = m_collectionView->contentOffset();
    const int stageTop = m_collectionView->listLayout().headerFrame(m_specifiedSection).top();
    setShowAllSections(false);
    m_collectionView->setContentOffset(offset - stageTop);
}

QDateTime MacKanbanColumnController::now() const
{
    return m_delegate ? m_delegate->now() : QDateTime::currentDateTimeUtc();
}

int MacKanbanColumnController::singleListSection() const
{
    // The list on screen decides; a bookmark moved inside it must not push it away.
    for (const MacKanbanColumnController* column : m_delegate->columnControllers())
        if (column->showAllSections())
            return column->specifiedSection();
    return m_delegate->bookmarkedColumnIndex();
}

bool MacKanbanColumnController::isDoneColumn() const
{
    return m_delegate && m_specifiedSection >= m_delegate->kanbanColumns().size();
}

bool MacKanbanColumnController::showsTopHeader() const
{
    return !m_showAllSections && m_delegate && m_specifiedSection >= 0
        && m_specifiedSection < m_delegate->kanbanColumns().size();
}

void MacKanbanColumnController::setupCollectionView()
{
    m_containerView = new KanbanColumnContainerView;
    m_containerView->setMediumResponder(this);
    m_containerView->setActionRouter(m_delegate ? m_delegate->actionRouter() : nullptr);
    m_collectionView = new ColumnCollectionView;
    m_collectionView->setDragAndDropDelegate(this);
    m_containerView->setContentView(m_collectionView);
    if (m_delegate)
        m_collectionView->setMagnification(m_delegate->storedMagnification());
    connect(m_collectionView, &RFOverlayScrollView::magnificationChanged, this, [this] { reloadData(); });
    m_collectionView->setDataSource(m_adapter.get());
    m_collectionView->setDelegate(m_adapter.get());
    m_collectionView->setDragDelegate(this);
    applyModeGeometry();
    scrollToTop();
}

void MacKanbanColumnController::applyModeGeometry()
{
    // What the column shows on top of its list follows what it is now: a stage column in
    // separate columns pins its own header and hides the section headers, every other list pins
    // its section headers.
    const bool topHeader = showsTopHeader();
    const int headers = topHeader ? 0 : int(headerHeight);
    m_layout->setHeaderHeight(headers);
    m_collectionView->setHeaderHeight(headers);
    m_collectionView->setPinsHeaders(true);
    m_collectionView->setTopContentInset(int(topHeader ? 2 * headerHeight : headerHeight));
    // The board's corner buttons lie over the single list wherever it is scrolled: it keeps their
    // band clear. Every other list only lets its end scroll clear of them.
    const int bottomInset = m_delegate ? m_delegate->columnsBottomInset() : 0;
    m_collectionView->setBottomContentInset(bottomInset);
    m_collectionView->setClipsBottomInset(m_showAllSections);
    m_collectionView->setHeaderOffset(int(scrollerBand));
    m_collectionView->setScrollerTopInset(int(headerHeight));
    m_collectionView->setScrollerBottomInset(m_showAllSections ? bottomInset : 0);
    m_containerView->setShowsTranslucentFill(isDoneColumn() && !m_showAllSections);
    if (topHeader) {
        setupTopHeaderView();
        m_topHeaderView->setScale(zoom());
        m_containerView->setTopHeaderView(m_topHeaderView, int(headerHeight), int(headerHeight));
        m_topHeaderView->updateSelectionAppearance();
        updateTopHeader();
    } else if (m_topHeaderView) {
        m_containerView->setTopHeaderView(nullptr, 0, 0);
        m_topHeaderView->hide();
    }
}

ListItemCellView* MacKanbanColumnController::cellShowing(ListItem* item) const
{
    for (ListItemCellView* cell : visibleCardViews())
        if (cell->objectValue() == item)
            return cell;
    return nullptr;
}

QList<ListItemCellView*> MacKanbanColumnController::visibleCardViews() const
{
    QList<ListItemCellView*> cards;
    for (const IndexPath& path : m_collectionView->indexPathsForVisibleItems())
        if (auto* item = qobject_cast<KanbanColumnListItem*>(m_collectionView->itemWidget(path)))
            cards.append(item->view());
    return cards;
}

void MacKanbanColumnController::observeBoard()
{
    if (!m_delegate)
        return;
    // Tag colours and names show on cards; whatever the notice says, the column shows them anew.
    m_delegate->notificationCenter().addObserver(
        this, NotificationName::tagValueChanged, [this](const NotificationCenter::Notification&) { reloadData(); });
    if (SystemEventMonitor* monitor = m_delegate->systemEventMonitor())
        connect(monitor, &SystemEventMonitor::didWake, this, &MacKanbanColumnController::updateDoneColumnHeaders);
    connect(m_collectionView->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (showsTopHeader())
            refreshHoverStates();
    });
}

const QString MacKanbanColumnController::insertNewCardAboveAction = QStringLiteral("insertNewCardAbove:");

const QString MacKanbanColumnController::insertNewCardBelowAction = QStringLiteral("insertNewCardBelow:");

const QString MacKanbanColumnController::flipDoneStatesOfSelectedItemsAction
    = QStringLiteral("flipDoneStatesOfSelectedItems:");

const QString MacKanbanColumnController::getColumnUniqueIdentifierAction = QStringLiteral("getColumnUniqueIdentifier:");

const QString MacKanbanColumnController::showItemsLastHistoryAction = QStringLiteral("showItemsLastHistory:");

// The editor's own names, spelled here: a static of another file may not be made yet when these are.
const QString MacKanbanColumnController::copyAction = QStringLiteral("copy:");

const QString MacKanbanColumnController::cutAction = QStringLiteral("cut:");

const QString MacKanbanColumnController::pasteAction = QStringLiteral("paste:");

void MacKanbanColumnController::registerActions()
{
    m_actions.insert(insertNewCardAboveAction, [this](QObject*) { insertNewCardAbove(); });
    m_actions.insert(insertNewCardBelowAction, [this](QObject*) { insertNewCardBelow(); });
    m_actions.insert(flipDoneStatesOfSelectedItemsAction, [this](QObject*) { flipDoneStatesOfSelectedItems(); });
    m_actions.insert(getColumnUniqueIdentifierAction, [this](QObject*) { getColumnUniqueIdentifier(); });
    m_actions.insert(showItemsLastHistoryAction, [this](QObject*) { showItemsLastHistory(); });
    m_actions.insert(ListItemHeaderCellView::addSectionBeforeAction, [this](QObject* s) { addSectionBefore(s); });
    m_actions.insert(ListItemHeaderCellView::addSectionAfterAction, [this](QObject* s) { addSectionAfter(s); });
    m_actions.insert(
        ListItemHeaderCellView::deleteSelectedSectionsAction, [this](QObject* s) { deleteSelectedSections(s); });
    m_actions.insert(ListItemHeaderCellView::editTitleAction, [this](QObject* s) { editTitle(s); });
    m_actions.insert(copyAction, [this](QObject*) { copy(); });
    m_actions.insert(cutAction, [this](QObject*) { cut(); });
    m_actions.insert(pasteAction, [this](QObject*) { paste(); });
}

bool MacKanbanColumnController::validate(const QString& action, QAction*) const
{
    if (!m_delegate || !m_delegate->kanban())
        return false;
    const QList<IndexPath> selection = sorted(m_collectionView->selectionIndexPaths());
    auto* self = const_cast<MacKanbanColumnController*>(this);
    if (action == insertNewCardAboveAction)
        return self->stageAt(selection.isEmpty() ? IndexPath {0, 0} : selection.first());
    if (action == insertNewCardBelowAction)
        return self->stageAt(selection.isEmpty() ? IndexPath {0, 0} : selection.last());
    if (action == flipDoneStatesOfSelectedItemsAction)
        return std::any_of(
            selection.cbegin(), selection.cend(), [self](const IndexPath& path) { return self->itemFor(path); });
    return true;
}

bool MacKanbanColumnController::filterActive() const
{
    if (!m_delegate)
        return false;
    const std::optional<QString> search = m_delegate->searchTerm();
    return m_delegate->tagFilter() || (search && !search->isEmpty());
}

KanbanColumn* MacKanbanColumnController::stageAt(const IndexPath& path) const
{
    if (!m_delegate || !m_delegate->kanban())
        return nullptr;
    const QList<KanbanColumn*> stages = m_delegate->kanbanColumns();
    const int index = m_showAllSections ? path.section : m_specifiedSection;
    return index >= 0 && index < stages.size() ? stages.at(index) : nullptr;
}

MacKanbanColumnController* MacKanbanColumnController::ownerOf(const IndexPath& path) const
{
    if (!m_showAllSections || !m_delegate)
        return const_cast<MacKanbanColumnController*>(this);
    const int stages = int(m_delegate->kanbanColumns().size());
    const int section = std::min(path.section, stages);
    for (MacKanbanColumnController* column : m_delegate->columnControllers())
        if (column->specifiedSection() == section)
            return column;
    return const_cast<MacKanbanColumnController*>(this);
}

IndexPath MacKanbanColumnController::pathInOwner(const IndexPath& path) const
{
    const MacKanbanColumnController* owner = ownerOf(path);
    if (owner == this || !m_delegate)
        return path;
    const int stages = int(m_delegate->kanbanColumns().size());
    return path.section < stages ? IndexPath {0, path.item} : IndexPath {path.section - stages, path.item};
}

MacKanbanColumnController* MacKanbanColumnController::listShowingThis() const
{
    if (!m_delegate || m_showAllSections || m_delegate->viewAsMultiColumn())
        return nullptr;
    for (MacKanbanColumnController* column : m_delegate->columnControllers())
        if (column->showAllSections())
            return column;
    return nullptr;
}

bool MacKanbanColumnController::handedToSingleList()
{
    MacKanbanColumnController* list = listShowingThis();
    if (!list)
        return false;
    m_collectionView->reloadData();
    list->followModel(std::nullopt, true);
    return true;
}

void MacKanbanColumnController::followModel(const std::optional<QList<ListItem*>>& select, bool keepEarlierSelection)
{
    invalidateSnapshot();
    m_collectionView->performBatchUpdates({}, [this, select, keepEarlierSelection] {
        if (!select)
            return;
        QSet<IndexPath> paths;
        for (ListItem* card : *select)
            if (const std::optional<IndexPath> path = snapshot().pathOf(card))
                paths.insert(*path);
        if (!keepEarlierSelection)
            deselectAllItems();
        selectItems(paths);
        deselectOtherColumns();
        const QList<IndexPath> shown = sorted(paths);
        revealInsertedItems(shown);
        focusInsertedItems(shown);
    });
}

QColor MacKanbanColumnController::colourBehindItems() const
{
    const QColor board
        = m_delegate ? m_delegate->colourBehindColumns() : m_containerView->palette().color(QPalette::Window);
    return m_containerView->showsTranslucentFill() ? composited(m_containerView->translucentFill(), board) : board;
}

void MacKanbanColumnController::getColumnUniqueIdentifier()
{
    if (KanbanColumn* stage = stageAt(IndexPath {m_specifiedSection, 0}))
        ConsoleLog::write(QStringLiteral("unique identifier ") + stage->uniqueIdentifier());
    else if (m_delegate && m_delegate->kanban() && m_delegate->kanban()->mainColumn())
        ConsoleLog::write(
            QStringLiteral("unique identifier ") + m_delegate->kanban()->mainColumn()->uniqueIdentifier());
}

void MacKanbanColumnController::showItemsLastHistory()
{
    getColumnUniqueIdentifier();
    KanbanColumn* stage = stageAt(IndexPath {m_specifiedSection, 0});
    if (!stage)
        return;
    int in = 0;
    int out = 0;
    for (ListItem* card : stage->item()) {
        const QList<ListItemHistory*> history = card->history();
        const auto newest = std::max_element(history.cbegin(), history.cend(),
            [](const ListItemHistory* a, const ListItemHistory* b) { return a->date() < b->date(); });
        const QString identifier = newest == history.cend() ? QString() : (*newest)->kanbanColumnUniqueIdentifier();
        ConsoleLog::write(QStringLiteral("lastEntryUUID :") + identifier);
        ++(identifier == stage->uniqueIdentifier() ? in : out);
    }
    ConsoleLog::write(QStringLiteral("Total In: %1 out: %2").arg(in).arg(out));
}
