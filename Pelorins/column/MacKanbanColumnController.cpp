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
#include "Pelorins/column/MacKanbanColumnDelegate.h"
#include "Pelorins/common/AppConstants.h"
#include "Pelorins/common/ClipboardNodes.h"
#include "Pelorins/common/ColourHelpers.h"
#include "PelorinsKit/archive/JSONReader.h"
#include "PelorinsKit/archive/JSONWriter.h"
#include "PelorinsKit/board/CardHistory.h"
#include "PelorinsKit/board/CardPlacement.h"
#include "PelorinsKit/board/KanbanColumnListItemsMover.h"
#include "PelorinsKit/board/LiveObjects.h"
#include "PelorinsKit/model/DateHelpers.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "PelorinsKit/model/NotificationName.h"
#include "PelorinsKit/notes/AttributedString.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/TextMeasures.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/core/OrderedSet.h"
#include "Platform/core/UndoManager.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"
#include "Platform/services/SystemEventMonitor.h"
#include "Platform/widgets/SectionedListViewDataSource.h"
#include "Platform/widgets/SectionedListViewDelegate.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QCursor>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

// Full-size measures of a column.
constexpr qreal scrollerBand = 40.0;
constexpr qreal heightWithoutNotes = 108.0;
// Where a card's hover controls are, in the card.
const QRectF hoverRectangle(0, 12, 40, 29);

const QLatin1String nothingDoneTodayYet("nothing done today yet");

// Identities of the rows that are not cards: one of each kind per section. Cards are told by
// their address, which is never odd.
constexpr quint64 addButtonIdentity = 1;
constexpr quint64 emptySpacerIdentity = 3;

quint64 rowIdentity(int section, quint64 kind)
{
    return (quint64(quint32(section)) << 3) | kind;
}

QList<ListItem*> withoutDeleted(const QList<ListItem*>& cards)
{
    QList<ListItem*> kept = cards;
    kept.removeIf([](const ListItem* card) { return card->toBeDeleted(); });
    return kept;
}

// The height of a card as a list can use it: a broken measure takes the card's fixed height.
qreal usableHeight(qreal height, qreal zoom)
{
    return std::isfinite(height) && height >= 0 ? height : heightWithoutNotes * zoom;
}

// The text height of one line of body text, which the estimate of an unmeasured card adds to the
// fixed part of a card.
qreal oneLineHeight()
{
    static const qreal height = heightToFit(AttributedString(QStringLiteral("M"), normalAttributes()), 300.0 - 2 * 8.0);
    return height;
}

QString pathsDescription(const QList<IndexPath>& paths)
{
    QStringList parts;
    for (const IndexPath& path : paths)
        parts.append(QStringLiteral("[%1, %2]").arg(path.section).arg(path.item));
    return QLatin1Char('[') + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
}

QList<IndexPath> sorted(const QSet<IndexPath>& paths)
{
    QList<IndexPath> list(paths.cbegin(), paths.cend());
    std::sort(list.begin(), list.end());
    return list;
}

QColor blended(const QColor& from, const QColor& to, qreal fraction)
{
    const auto mix = [fraction](qreal a, qreal b) { return a + (b - a) * fraction; };
    return QColor::fromRgbF(mix(from.redF(), to.redF()), mix(from.greenF(), to.greenF()), mix(from.blueF(), to.blueF()),
        mix(from.alphaF(), to.alphaF()));
}

} // namespace

// What the list shows, read once per reload: each section's shown cards, and whether it is a
// stage (then its last row is the add-card cell) or a day (then, in the done column alone,
// today without cards shows the empty spacer).
struct MacKanbanColumnController::Snapshot
{
    struct Section
    {
        KanbanColumn* stage = nullptr;
        std::optional<QDateTime> day;
        QList<ListItem*> cards;
    };

    QList<Section> sections;
    int stageCount = 0;
    bool doneColumnAlone = false;

    const Section* section(int index) const
    {
        return index >= 0 && index < sections.size() ? &sections.at(index) : nullptr;
    }
    bool showsSpacer(int index) const
    {
        return doneColumnAlone && index == 0 && !sections.isEmpty() && sections.first().cards.isEmpty();
    }
    int numberOfItems(int index) const
    {
        const Section* s = section(index);
        if (!s)
            return 0;
        if (s->stage)
            return int(s->cards.size()) + 1;
        return showsSpacer(index) ? 1 : int(s->cards.size());
    }
    bool isAddButton(const IndexPath& path) const
    {
        const Section* s = section(path.section);
        return s && s->stage && path.item == s->cards.size();
    }
    bool isEmptySpacer(const IndexPath& path) const { return showsSpacer(path.section) && path.item == 0; }
    ListItem* card(const IndexPath& path) const
    {
        const Section* s = section(path.section);
        return s && path.item >= 0 && path.item < s->cards.size() ? s->cards.at(path.item) : nullptr;
    }
    std::optional<IndexPath> pathOf(const ListItem* item) const
    {
        for (int s = 0; s < sections.size(); ++s) {
            const qsizetype index = sections.at(s).cards.indexOf(item);
            if (index >= 0)
                return IndexPath {s, int(index)};
        }
        return std::nullopt;
    }
};

// The column as its list sees it: the data source of its rows and headers, and the delegate
// that hears where the headers are.
class MacKanbanColumnController::ListAdapter : public SectionedListViewDataSource, public SectionedListViewDelegate
{
public:
    explicit ListAdapter(MacKanbanColumnController& column)
        : m_column(column)
    {
    }

    int numberOfSections() const override { return int(m_column.snapshot().sections.size()); }
    int numberOfItems(int section) const override { return m_column.snapshot().numberOfItems(section); }

    QString itemKind(const IndexPath& path) const override
    {
        const Snapshot& snapshot = m_column.snapshot();
        if (snapshot.isAddButton(path))
            return KanbanColumnAddButtonItem::identifier;
        if (snapshot.isEmptySpacer(path))
            return KanbanColumnEmptySpacerViewItem::identifier;
        return KanbanColumnListItem::identifier;
    }

    quint64 itemIdentity(const IndexPath& path) const override
    {
        const Snapshot& snapshot = m_column.snapshot();
        if (snapshot.isAddButton(path))
            return rowIdentity(path.section, addButtonIdentity);
        if (snapshot.isEmptySpacer(path))
            return rowIdentity(path.section, emptySpacerIdentity);
        return quint64(quintptr(snapshot.card(path)));
    }

    QSize sizeForItem(const IndexPath& path, int) const override
    {
        const Snapshot& snapshot = m_column.snapshot();
        const int columnWidth = m_column.m_delegate ? int(m_column.m_delegate->columnWidth()) : 0;
        if (snapshot.isAddButton(path))
            return QSize(columnWidth, m_column.scaled(addButtonHeight));
        if (snapshot.isEmptySpacer(path))
            return QSize(columnWidth, m_column.scaled(emptySpacerHeight));
        ListItem* card = snapshot.card(path);
        if (!card)
            return QSize(0, m_column.scaled(missingCardHeight));
        return QSize(0, m_column.measuredHeight(card));
    }

    std::optional<QSize> estimatedSizeForItem(const IndexPath& path, int) const override
    {
        ListItem* card = m_column.snapshot().card(path);
        if (!card || !m_column.m_delegate)
            return std::nullopt;
        return QSize(0, m_column.estimatedHeight(card));
    }

    QWidget* createItemWidget(const QString& kind) override
    {
        if (kind == KanbanColumnAddButtonItem::identifier && m_column.m_delegate)
            return new KanbanColumnAddButtonItem(
                m_column.m_delegate->userDefaults(), m_column.m_delegate->notificationCenter());
        if (kind == KanbanColumnListItem::identifier)
            return new KanbanColumnListItem;
        return new KanbanColumnEmptySpacerViewItem;
    }

    void configureItem(QWidget* widget, const IndexPath& path) override
    {
        if (auto* add = qobject_cast<KanbanColumnAddButtonItem*>(widget)) {
            ListItemAddItemButtonCell* cell = add->view();
            cell->setKanbanColumnController(&m_column);
            cell->setSection(path.section);
            cell->setScale(m_column.zoom());
            return;
        }
        auto* item = qobject_cast<KanbanColumnListItem*>(widget);
        if (!item)
            return;
        ListItemCellView* card = item->view();
        card->setPresentedContext(ListItemCellViewPresentedInContext::kanbanColumn);
        card->setDelegate(&m_column);
        card->setScale(m_column.zoom());
        card->setObjectValue(m_column.snapshot().card(path));
        card->setSelected(m_column.m_collectionView->selectionIndexPaths().contains(path));
        card->updateSelectionAppearance();
    }

    QWidget* createHeaderWidget() override
    {
        auto* header = new ListItemHeaderCellView;
        // As a click on an empty part of the list, it leaves no card chosen.
        QObject::connect(header, &ListItemHeaderCellView::pressedOnList, &m_column,
            [column = &m_column] { column->deselectAllItems(); });
        return header;
    }

    void configureHeader(QWidget* widget, int section) override
    {
        auto* header = qobject_cast<ListItemHeaderCellView*>(widget);
        const Snapshot::Section* shown = m_column.snapshot().section(section);
        if (!header || !shown)
            return;
        header->setScale(m_column.zoom());
        if (shown->stage)
            fillStageHeader(*header, *shown);
        else
            fillDayHeader(*header, section, *shown);
    }

    void headerPlaced(int section, int top) override { m_column.m_layout->headerPlaced(section, top); }

    QSet<IndexPath> shouldSelectItems(const QSet<IndexPath>& proposed) override
    {
        return m_column.shouldSelectItems(proposed);
    }
    QSet<IndexPath> shouldDeselectItems(const QSet<IndexPath>& proposed) override
    {
        return m_column.shouldDeselectItems(proposed);
    }
    void didSelectItems(const QSet<IndexPath>& paths) override { m_column.didSelectItems(paths); }
    void didDeselectItems(const QSet<IndexPath>& paths) override { m_column.didDeselectItems(paths); }

    // A click on a card's notes edits them there; pressing and moving drags the card instead.
    void itemClicked(const IndexPath& path, const QPoint& viewportPoint) override
    {
        auto* item = qobject_cast<KanbanColumnListItem*>(m_column.m_collectionView->itemWidget(path));
        if (!item)
            return;
        ListItemCellView* card = item->view();
        card->clicked(card->mapFrom(m_column.m_collectionView->viewport(), viewportPoint));
    }

private:
    void fillStageHeader(ListItemHeaderCellView& header, const Snapshot::Section& shown) const
    {
        const bool firstOfSeparate = !m_column.m_showAllSections && m_column.m_specifiedSection == 0;
        header.setHeaderLayout(firstOfSeparate ? ListItemHeaderCellView::HeaderLayouts::firstColumn
                                               : ListItemHeaderCellView::HeaderLayouts::column);
        header.setColumn(shown.stage);
        header.setObjectValue(shown.stage->title());
        header.setDelegate(&m_column);
        header.applyHeaderLayout();
        header.updateSelectionAppearance();
        header.setRightLabel(m_column.countText(shown.stage, int(shown.cards.size())));
        header.updateBookmarkButton();
    }

    void fillDayHeader(ListItemHeaderCellView& header, int section, const Snapshot::Section& shown) const
    {
        const Snapshot& snapshot = m_column.snapshot();
        header.setColumn(nullptr);
        if (snapshot.doneColumnAlone) {
            header.setHeaderLayout(ListItemHeaderCellView::HeaderLayouts::doneItem);
            header.setTitleColour(section == 0 ? header.palette().color(QPalette::WindowText)
                                               : header.palette().color(QPalette::PlaceholderText));
        } else {
            header.setHeaderLayout(ListItemHeaderCellView::HeaderLayouts::column);
        }
        header.applyHeaderLayout();
        header.setObjectValue(DateHelpers::relativeDateString(*shown.day, m_column.now()));
        header.setRightLabel(snapshot.doneColumnAlone && section == 0 && shown.cards.isEmpty()
                ? QString(nothingDoneTodayYet)
                : m_column.numberAsCards(int(shown.cards.size())));
        header.updateBookmarkButton();
    }

    MacKanbanColumnController& m_column;
};

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

void MacKanbanColumnController::deselectAllItems()
{
    const QSet<IndexPath> selected = m_collectionView->selectionIndexPaths();
    m_collectionView->deselectAll();
    for (const IndexPath& path : selected) {
        if (auto* item = qobject_cast<KanbanColumnListItem*>(m_collectionView->itemWidget(path))) {
            item->view()->setSelected(false);
            item->view()->updateSelectionAppearance();
        }
    }
}

void MacKanbanColumnController::selectItems(const QSet<IndexPath>& at)
{
    m_collectionView->setSelectionIndexPaths(at);
    for (const IndexPath& path : at) {
        if (auto* item = qobject_cast<KanbanColumnListItem*>(m_collectionView->itemWidget(path))) {
            item->view()->setSelected(true);
            item->view()->updateSelectionAppearance();
        }
    }
    setSelected(false);
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
    if (MacKanbanColumnController* list = listShowingThis()) {
        m_collectionView->reloadData();
        list->followModel(std::nullopt, true);
        return;
    }
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
            if (m_delegate) {
                for (MacKanbanColumnController* other : m_delegate->columnControllers()) {
                    if (other == this)
                        continue;
                    other->deselectAllItems();
                    other->setSelected(false);
                }
            }
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
    if (MacKanbanColumnController* list = listShowingThis()) {
        m_collectionView->reloadData();
        list->followModel(std::nullopt, true);
        return;
    }
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

void MacKanbanColumnController::updateSectionHeaders(const std::optional<QSet<IndexPath>>& paths)
{
    if (showsTopHeader()) {
        updateTopHeader();
        return;
    }
    if (!paths)
        return;
    const Snapshot& shown = snapshot();
    QSet<int> sections;
    for (const IndexPath& path : *paths)
        sections.insert(path.section);
    for (int section : sections) {
        auto* header = qobject_cast<ListItemHeaderCellView*>(m_collectionView->headerWidget(section));
        const Snapshot::Section* s = shown.section(section);
        if (!header || !s)
            continue;
        if (s->stage)
            header->setRightLabel(countText(s->stage, int(s->cards.size())));
        else if (shown.doneColumnAlone && section == 0 && s->cards.isEmpty())
            header->setRightLabel(nothingDoneTodayYet);
        else
            header->setRightLabel(numberAsCards(int(s->cards.size())));
    }
}

void MacKanbanColumnController::setDoneItemsOnDateCached(const QHash<QDateTime, QList<ListItem*>>& cached)
{
    m_doneItemsOnDateCached = cached;
}

int MacKanbanColumnController::numberOfItems(int inSection)
{
    return m_collectionView->numberOfItems(inSection);
}

void MacKanbanColumnController::moveItem(const IndexPath& at, const IndexPath& to)
{
    invalidateSnapshot();
    if (MacKanbanColumnController* list = listShowingThis()) {
        m_collectionView->reloadData();
        list->followModel(std::nullopt, true);
        return;
    }
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

void MacKanbanColumnController::selectItem(ListItem* item)
{
    deselectAllItems();
    if (m_delegate) {
        for (MacKanbanColumnController* other : m_delegate->columnControllers()) {
            if (other == this)
                continue;
            other->deselectAllItems();
            other->setSelected(false);
        }
    }
    if (const std::optional<IndexPath> path = snapshot().pathOf(item)) {
        m_collectionView->setSelectionIndexPaths({*path});
        if (auto* shown = qobject_cast<KanbanColumnListItem*>(m_collectionView->itemWidget(*path))) {
            shown->view()->setSelected(true);
            shown->view()->updateSelectionAppearance();
        }
    }
    setSelected(false);
}

void MacKanbanColumnController::itemHeightChanged(ListItem* item, bool skipLayout)
{
    if (m_delegate && m_delegate->useItemHeightCache() && m_delegate->cachedItemHeight(item)) {
        QHash<ListItem*, qreal> cache = m_delegate->itemHeightCache();
        cache.remove(item);
        m_delegate->setItemHeightCache(cache);
    }
    // Whatever drag gap was open closes.
    if (skipLayout)
        setCollectionViewLayout(std::make_unique<KanbanColumnCollectionViewFlowLayout>(this));
    // Either way the card takes its new height at once: a collapsed card shrinks as the chevron
    // turns.
    if (const std::optional<IndexPath> path = snapshot().pathOf(item))
        m_collectionView->invalidateItemSize(*path);
}

qreal MacKanbanColumnController::draggedItemsHeight()
{
    MacKanbanColumnController* holder = m_draggingIndexPaths ? this : nullptr;
    if (!holder && m_delegate) {
        const QList<MacKanbanColumnController*> controllers = m_delegate->columnControllers();
        const auto found = std::find_if(controllers.cbegin(), controllers.cend(),
            [](const MacKanbanColumnController* controller) { return controller->m_draggingIndexPaths.has_value(); });
        holder = found == controllers.cend() ? nullptr : *found;
    }
    if (!holder)
        return 0.0;
    qreal height = 0;
    for (const IndexPath& path : *holder->m_draggingIndexPaths)
        if (ListItem* card = holder->itemFor(path))
            height += holder->heightForItem(card);
    return height;
}

void MacKanbanColumnController::headerTextColourChanged(const IndexPath& path, qreal offset)
{
    if (!isDoneColumn() || m_showAllSections)
        return;
    auto* header = qobject_cast<ListItemHeaderCellView*>(m_collectionView->headerWidget(path.section));
    if (!header)
        return;
    const QColor label = header->palette().color(QPalette::WindowText);
    const QColor secondary = header->palette().color(QPalette::PlaceholderText);
    if (path.section == 0) {
        header->setTitleColour(label);
        return;
    }
    // How far the header lies below the pinned band.
    const qreal band = headerHeight;
    const qreal fadeDistance = 44.0;
    const qreal d = offset - (m_collectionView->contentOffset() + band);
    if (d >= 0 && d < fadeDistance)
        header->setTitleColour(blended(label, secondary, d / fadeDistance));
    else if (d >= fadeDistance || d <= -fadeDistance)
        header->setTitleColour(secondary);
}

void MacKanbanColumnController::scrollToTop()
{
    m_collectionView->setContentOffset(-int(headerHeight));
    if (showsTopHeader())
        m_collectionView->setContentOffset(-int(2 * headerHeight));
}

void MacKanbanColumnController::updateTopHeader()
{
    ListItemHeaderCellView* header = topHeaderView();
    if (!header || !m_delegate)
        return;
    const QList<KanbanColumn*> stages = m_delegate->kanbanColumns();
    KanbanColumn* stage = stages.value(m_specifiedSection);
    if (!stage)
        return;
    header->setColumn(stage);
    header->setHeaderLayout(m_specifiedSection == 0 ? ListItemHeaderCellView::HeaderLayouts::firstColumn
                                                    : ListItemHeaderCellView::HeaderLayouts::column);
    header->setObjectValue(stage->title());
    header->applyHeaderLayout();
    header->setRightLabel(countText(stage, int(filteredItemsFor(stage).size())));
    header->updateBookmarkButton();
}

qreal MacKanbanColumnController::heightOfSection(int section)
{
    KanbanColumn* stage = m_delegate ? m_delegate->kanbanColumns().value(section) : nullptr;
    qreal height = headerHeight + scaled(addButtonHeight);
    if (!stage)
        return height;
    // As the list lays the stage out: measured cards at their height, the others at their
    // estimate until the list measures them, so that no card is measured to place a column.
    const bool estimates = m_delegate->useItemHeightCache();
    for (ListItem* card : withoutDeleted(stage->item()))
        height += estimates ? estimatedHeight(card) : measuredHeight(card);
    return height;
}

int MacKanbanColumnController::measuredHeight(ListItem* card) const
{
    // What is typed into long notes reaches the card a little later: such a card is measured by
    // its notes as its editor holds them.
    if (ListItemCellView* cell = cellShowing(card); cell && cell->hasUnwrittenNotes())
        return qRound(
            usableHeight(heightForShownNotes(card, cell->noteTextView()->storage().attributedString()), zoom()));
    return qRound(usableHeight(heightForItem(card), zoom()));
}

int MacKanbanColumnController::estimatedHeight(ListItem* card) const
{
    if (m_delegate && m_delegate->useItemHeightCache())
        if (const std::optional<qreal> cached = m_delegate->cachedItemHeight(card))
            return qRound(usableHeight(*cached * zoom(), zoom()));
    return qRound((heightOfFixedItems() + oneLineHeight()) * zoom());
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

void MacKanbanColumnController::updateDoneColumnHeaders()
{
    // Only a list that shows days has day headers.
    if (!m_showAllSections && !isDoneColumn())
        return;
    const Snapshot& before = snapshot();
    const int firstDay = m_showAllSections ? before.stageCount : 0;
    const QDateTime today = DateHelpers::beginningOfDate(now());
    // The first day's first card was done on an earlier day: today begins a new section on top.
    const Snapshot::Section* first = before.section(firstDay);
    ListItem* firstCard = first && !first->cards.isEmpty() ? first->cards.first() : nullptr;
    const bool todayIsNew
        = firstCard && firstCard->doneDate() && DateHelpers::beginningOfDate(*firstCard->doneDate()) != today;
    QList<int> shownSections;
    for (const IndexPath& path : m_collectionView->indexPathsForVisibleItems())
        if (!shownSections.contains(path.section))
            shownSections.append(path.section);
    invalidateSnapshot();
    m_collectionView->performBatchUpdates([&] {
        if (todayIsNew)
            m_collectionView->insertSections({firstDay});
        m_collectionView->reloadSections(shownSections);
    });
}

void MacKanbanColumnController::updateHeaderTitles()
{
    updateTopHeader();
    for (int section = 0; section < m_collectionView->numberOfSections(); ++section)
        if (auto* header = qobject_cast<ListItemHeaderCellView*>(m_collectionView->headerWidget(section)))
            if (KanbanColumn* stage = header->column())
                header->setObjectValue(stage->title());
}

void MacKanbanColumnController::deselectColumn()
{
    deselectAllItems();
    setSelected(false);
}

// Header clicks

void MacKanbanColumnController::headerMouseDown(QMouseEvent* event)
{
    // The single list is no column of a selection.
    if (m_showAllSections || !m_delegate)
        return;
    // The column becomes what the user chose: its cards no longer are.
    deselectAllItems();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool command = modifiers & Qt::ControlModifier;
    if (!shift && !command && !m_selected)
        deselectOtherColumns();
    if (shift)
        m_delegate->selectColumn(this);
    setSelected(true);
    m_delegate->setLastSelectedController(this);
    // Selected columns go over the others, as a sideways drag carries them past them.
    for (MacKanbanColumnController* column : m_delegate->columnControllers())
        if (column->isSelected())
            column->containerView()->raise();
    m_containerView->setFocus(Qt::MouseFocusReason);
    if (QWidget* document = m_delegate->documentView())
        m_mouseDownPoint = document->mapFromGlobal(event->globalPosition());
}

void MacKanbanColumnController::headerMouseUp(QMouseEvent* event)
{
    if (m_showAllSections || !m_delegate)
        return;
    QWidget* document = m_delegate->documentView();
    if (!document || !m_mouseDownPoint)
        return;
    const QPointF location = document->mapFromGlobal(event->globalPosition());
    const bool plain = !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier));
    if (location == *m_mouseDownPoint && plain)
        deselectOtherColumns();
    m_delegate->columnReleased(location.x() - m_mouseDownPoint->x(), std::nullopt);
}

void MacKanbanColumnController::headerScrollWheel(QWheelEvent* event)
{
    QCoreApplication::sendEvent(m_collectionView->viewport(), event);
}

void MacKanbanColumnController::deselectOtherColumns()
{
    for (MacKanbanColumnController* column : m_delegate->columnControllers())
        if (column != this)
            column->deselectColumn();
}

void MacKanbanColumnController::bookmarkToggled(KanbanColumn* column)
{
    if (!column || !m_delegate)
        return;
    if (column->bookmarked()) {
        column->setBookmarked(false);
        return;
    }
    const QList<KanbanColumn*> stages = m_delegate->kanbanColumns();
    for (int i = 0; i < stages.size(); ++i) {
        KanbanColumn* other = stages.at(i);
        if (other == column || !other->bookmarked())
            continue;
        // Only the first bookmarked stage counts, so only it is cleared.
        other->setBookmarked(false);
        if (ListItemHeaderCellView* header = headerOf(i))
            header->updateBookmarkButton();
        break;
    }
    column->setBookmarked(true);
}

ListItemHeaderCellView* MacKanbanColumnController::headerOf(int section) const
{
    if (m_showAllSections)
        return qobject_cast<ListItemHeaderCellView*>(m_collectionView->headerWidget(section));
    const auto* column = static_cast<const MacKanbanColumnController*>(m_delegate->controllerFor(section));
    return column ? column->topHeaderView() : nullptr;
}

// Section actions

int MacKanbanColumnController::actionSection(QObject* sender) const
{
    if (m_showAllSections && m_delegate)
        if (auto* header = qobject_cast<ListItemHeaderCellView*>(sender); header && header->column())
            if (const qsizetype section = m_delegate->kanbanColumns().indexOf(header->column()); section >= 0)
                return int(section);
    return m_specifiedSection;
}

void MacKanbanColumnController::addSectionBefore(QObject* sender)
{
    if (m_delegate)
        m_delegate->insertNewSection(actionSection(sender), false);
}

void MacKanbanColumnController::addSectionAfter(QObject* sender)
{
    if (m_delegate)
        m_delegate->insertNewSection(actionSection(sender) + 1, false);
}

void MacKanbanColumnController::deleteSelectedSections(QObject* sender)
{
    if (!m_delegate)
        return;
    if (m_showAllSections)
        m_delegate->deleteSection(actionSection(sender));
    else
        m_delegate->deleteSelectedSections();
}

void MacKanbanColumnController::editTitle(QObject* sender)
{
    if (ListItemHeaderCellView* header = topHeaderView()) {
        header->beginEditingTitle();
        return;
    }
    if (m_showAllSections)
        if (auto* header = qobject_cast<ListItemHeaderCellView*>(sender); header && header->column())
            header->beginEditingTitle();
}

QString MacKanbanColumnController::countText(KanbanColumn* stage, int shown)
{
    const int total = stage ? int(withoutDeleted(stage->item()).size()) : 0;
    if (shown == total)
        return numberAsCards(total);
    return QString::number(shown) + QLatin1Char('/') + numberAsCards(total);
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

qreal MacKanbanColumnController::zoom() const
{
    return m_collectionView ? m_collectionView->magnification() : 1.0;
}

int MacKanbanColumnController::scaled(qreal fullSize) const
{
    return qRound(fullSize * zoom());
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

void MacKanbanColumnController::setupTopHeaderView()
{
    if (m_topHeaderView)
        return;
    m_topHeaderView = new ListItemHeaderCellView(m_containerView);
    m_topHeaderView->setDelegate(this);
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
    m_collectionView->setBottomContentInset(m_delegate ? m_delegate->columnsBottomInset() : 0);
    m_collectionView->setHeaderOffset(int(scrollerBand));
    m_collectionView->setScrollerTopInset(int(headerHeight));
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

void MacKanbanColumnController::invalidateSnapshot()
{
    m_snapshot.reset();
}

const MacKanbanColumnController::Snapshot& MacKanbanColumnController::snapshot()
{
    if (m_snapshot)
        return *m_snapshot;
    auto shown = std::make_unique<Snapshot>();
    const Kanban* board = m_delegate ? m_delegate->kanban() : nullptr;
    if (board) {
        const QList<KanbanColumn*> stages = m_delegate->kanbanColumns();
        shown->stageCount = int(stages.size());
        const auto addDays = [&] {
            for (const QDateTime& day : distinctDoneDates())
                shown->sections.append({nullptr, day, doneItemsOn(day, true)});
        };
        if (m_showAllSections) {
            for (KanbanColumn* stage : stages)
                shown->sections.append({stage, std::nullopt, filteredItemsFor(stage)});
            addDays();
        } else if (m_specifiedSection >= shown->stageCount) {
            shown->doneColumnAlone = true;
            addDays();
        } else if (m_specifiedSection >= 0) {
            KanbanColumn* stage = stages.at(m_specifiedSection);
            shown->sections.append({stage, std::nullopt, filteredItemsFor(stage)});
        }
    }
    m_snapshot = std::move(shown);
    return *m_snapshot;
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

// ---- Cards: adding, deleting, selecting, dragging, copying

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

namespace {

const QString addCardActionName = QStringLiteral("Add Card");
const QString pasteCardsActionName = QStringLiteral("Paste Cards");

// The column that shows `stage` on `board` now, or null when the board shows another board. In
// the single-column layout that is the stage's own controller, hidden or not.
MacKanbanColumnController* liveColumnOf(MacKanbanColumnDelegate* board, KanbanColumn* stage)
{
    if (!board || !stage || stage->isDeleted() || !board->kanban() || board->kanban() != stage->kanban())
        return nullptr;
    const int index = int(board->kanbanColumns().indexOf(stage));
    for (MacKanbanColumnController* column : board->columnControllers())
        if (column->specifiedSection() == index)
            return column;
    return nullptr;
}

// Where row `row` of `stage` is in the rows of the column showing it.
IndexPath stageRow(MacKanbanColumnController* column, KanbanColumn* stage, int row)
{
    if (!column->showAllSections())
        return {0, row};
    return {int(column->kanbanColumnDelegate()->kanbanColumns().indexOf(stage)), row};
}

// Shows a change made to `kanban` in the model on the board when it shows that board: the one
// list slides its cards, separate columns read themselves again.
void showChange(MacKanbanColumnDelegate* board, const Kanban* kanban, const std::optional<QList<ListItem*>>& select)
{
    if (!board || board->kanban() != kanban)
        return;
    for (MacKanbanColumnController* column : board->columnControllers()) {
        if (column->showAllSections())
            column->followModel(select, false);
        else
            column->reloadData();
    }
}

// A new open card for `stage`, its notes open for typing; with `identifier`, the card takes the
// identifier of the card whose adding was undone, so that the steps filed for that card while it
// lived act on this one (they find cards by identifier once theirs is deleted).
ListItem* newCard(KanbanColumn* stage, const QString& identifier)
{
    auto* card = stage->managedObjectContext()->insertNewObject<ListItem>(QStringLiteral("ListItem"));
    card->setNotesExpanded(true);
    if (!identifier.isEmpty())
        card->setUniqueIdentifier(identifier);
    return card;
}

void fileAddCardRedo(MacKanbanColumnDelegate* board, KanbanColumn* stage, int row, const QString& identifier);

// Files the step that takes the card added at `row` of `stage` out again. It holds graph objects
// only and reaches the column showing the stage when it runs; with the board not shown, the card
// leaves the model alone, and either way its redo is filed.
void fileAddCardUndo(MacKanbanColumnDelegate* board, KanbanColumn* stage, ListItem* card, int row)
{
    UndoManager* undo = board->undoManager();
    if (!undo)
        return;
    undo->registerUndo(board->undoOwner(), [board, stage, card, row] {
        if (MacKanbanColumnController* live = liveColumnOf(board, stage)) {
            live->addNewItem(stageRow(live, stage, row), card);
            return;
        }
        // Unless it went with its stage or board.
        if (stage->isDeleted() || !stage->kanban() || stage->kanban()->isDeleted() || card->isDeleted())
            return;
        const QString identifier = card->uniqueIdentifier();
        CardPlacement::takeOff(stage->kanban(), {card});
        card->managedObjectContext()->deleteObject(card);
        board->saveAction();
        fileAddCardRedo(board, stage, row, identifier);
    });
    undo->setActionName(addCardActionName);
}

// Files the redo of an undone "Add Card": a new, empty card at the same row of the stage, through
// the column showing it, or in the model alone when the board is not shown.
void fileAddCardRedo(MacKanbanColumnDelegate* board, KanbanColumn* stage, int row, const QString& identifier)
{
    UndoManager* undo = board->undoManager();
    if (!undo)
        return;
    undo->registerUndo(board->undoOwner(), [board, stage, row, identifier] {
        if (MacKanbanColumnController* live = liveColumnOf(board, stage)) {
            live->addNewItem(stageRow(live, stage, row), nullptr, identifier);
            return;
        }
        if (stage->isDeleted() || !stage->kanban() || stage->kanban()->isDeleted())
            return;
        ListItem* card = newCard(stage, identifier);
        CardHistory::append(card, ListItemAction::created, stage->uniqueIdentifier());
        CardPlacement::placeInStageColumn(stage->kanban(), stage, {card}, row);
        board->saveAction();
        fileAddCardUndo(board, stage, card, row);
    });
    undo->setActionName(addCardActionName);
}

// A drop into a stage of the single list, recorded by graph objects only: the cards in their
// order, those arriving from other sections (they get a history entry), and where they land.
struct CardDrop
{
    Kanban* kanban = nullptr;
    KanbanColumn* stage = nullptr;
    QList<ListItem*> cards;
    QList<ListItem*> arriving;
    int index = 0;
    QString actionName;

    bool gone() const { return kanban->isDeleted() || stage->isDeleted(); }
};

void performDrop(MacKanbanColumnDelegate* board, const CardDrop& drop)
{
    const QHash<ListItem*, CardPlacement::Place> places = CardPlacement::placesOf(drop.kanban, drop.cards);
    // A done card leaves its day as unmarking makes it: open, without strike-through.
    CardPlacement::takeOff(drop.kanban, drop.cards);
    QList<ListItem*> cards = drop.stage->item();
    qsizetype at = std::clamp<qsizetype>(drop.index, 0, cards.size());
    for (ListItem* card : drop.cards)
        if (OrderedSet::insert(cards, card, at))
            ++at;
    drop.stage->setItem(cards);
    for (ListItem* card : drop.arriving)
        CardHistory::append(card, ListItemAction::moved, drop.stage->uniqueIdentifier());
    showChange(board, drop.kanban, drop.cards);
    board->saveAction();
    UndoManager* undoManager = board->undoManager();
    if (!undoManager)
        return;
    undoManager->registerUndo(board->undoOwner(), [board, drop, places] {
        // A board or stage deleted since leaves nothing to put back.
        if (drop.gone())
            return;
        for (ListItem* card : drop.arriving)
            CardHistory::removeLast(card);
        CardPlacement::refile(drop.kanban, places);
        showChange(board, drop.kanban, drop.cards);
        board->saveAction();
        if (UndoManager* redo = board->undoManager()) {
            redo->registerUndo(board->undoOwner(), [board, drop] {
                if (!drop.gone())
                    performDrop(board, drop);
            });
            redo->setActionName(drop.actionName);
        }
    });
    undoManager->setActionName(drop.actionName);
}

} // namespace

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
        if (m_delegate) {
            for (MacKanbanColumnController* other : m_delegate->columnControllers()) {
                if (other == this)
                    continue;
                other->deselectAllItems();
                other->setSelected(false);
            }
        }
        const QList<IndexPath> shown = sorted(paths);
        revealInsertedItems(shown);
        focusInsertedItems(shown);
    });
}

void MacKanbanColumnController::addNewItem(int toSection)
{
    const int section = m_showAllSections ? toSection : 0;
    if (KanbanColumn* stage = stageAt(IndexPath {section, 0}))
        addNewItem(IndexPath {section, int(filteredItemsFor(stage).size())}, nullptr);
}

void MacKanbanColumnController::addNewItem(const IndexPath& at, ListItem* existing, const QString& identifier)
{
    // In the single list a stage's own column files the card; the list follows.
    if (MacKanbanColumnController* owner = ownerOf(at); owner != this) {
        owner->addNewItem(pathInOwner(at), existing, identifier);
        return;
    }
    KanbanColumn* stage = stageAt(at);
    UndoManager* undo = undoManager();
    // A day section or the done column has no stage to add to.
    if (!stage || !m_delegate)
        return;
    MacKanbanColumnDelegate* board = m_delegate;
    if (undo && !undo->isUndoing()) {
        ListItem* card = existing ? existing : newCard(stage, identifier);
        CardHistory::append(card, ListItemAction::created, stage->uniqueIdentifier());
        m_itemsMover->insertItems({card}, at, true, false);
        fileAddCardUndo(board, stage, card, at.item);
        return;
    }
    if (!existing)
        return;
    m_itemsMover->removeItemsFromController({existing}, this);
    const QString undoneIdentifier = existing->uniqueIdentifier();
    existing->managedObjectContext()->deleteObject(existing);
    board->saveAction();
    fileAddCardRedo(board, stage, at.item, undoneIdentifier);
}

QColor MacKanbanColumnController::colourBehindItems() const
{
    const QColor board = m_delegate ? m_delegate->colourBehindColumns() : m_containerView->palette().color(QPalette::Window);
    return m_containerView->showsTranslucentFill() ? composited(m_containerView->translucentFill(), board) : board;
}

void MacKanbanColumnController::deleteSelectedItems()
{
    QHash<MacKanbanColumnController*, QList<ListItem*>> cardsByOwner;
    QList<MacKanbanColumnController*> owners;
    for (const IndexPath& path : sorted(m_collectionView->selectionIndexPaths())) {
        ListItem* card = itemFor(path);
        if (!card)
            continue;
        MacKanbanColumnController* owner = ownerOf(path);
        if (!owners.contains(owner))
            owners.append(owner);
        cardsByOwner[owner].append(card);
    }
    // In the single list each stage's own mover deletes its cards: one step for them all.
    for (MacKanbanColumnController* owner : std::as_const(owners))
        owner->itemsMover()->deleteItems(cardsByOwner.value(owner));
    if (m_delegate)
        m_delegate->saveAction();
}

void MacKanbanColumnController::insertNewCardAbove()
{
    const QList<IndexPath> selection = sorted(m_collectionView->selectionIndexPaths());
    addNewItem(selection.isEmpty() ? IndexPath {0, 0} : selection.first(), nullptr);
}

void MacKanbanColumnController::insertNewCardBelow()
{
    const QList<IndexPath> selection = sorted(m_collectionView->selectionIndexPaths());
    if (selection.isEmpty())
        addNewItem(0);
    else
        addNewItem(IndexPath {selection.last().section, selection.last().item + 1}, nullptr);
}

void MacKanbanColumnController::flipDoneStatesOfSelectedItems()
{
    QList<ListItem*> cards;
    for (const IndexPath& path : sorted(m_collectionView->selectionIndexPaths()))
        if (ListItem* card = itemFor(path))
            cards.append(card);
    if (m_delegate)
        m_delegate->flipDoneStatesOf(cards);
}

// ---- Selection

void MacKanbanColumnController::clampAnchors()
{
    // Deletions may have left an end past the list: it moves to the list's last row.
    const auto clamp = [this](std::optional<IndexPath>& path) {
        if (!path)
            return;
        const int sections = m_collectionView->numberOfSections();
        int section = std::clamp(path->section, 0, std::max(sections - 1, 0));
        while (section > 0 && m_collectionView->numberOfItems(section) == 0)
            --section;
        const int items = sections > 0 ? m_collectionView->numberOfItems(section) : 0;
        if (items == 0) {
            path.reset();
            return;
        }
        const bool past = path->section > section || path->item >= items;
        path = IndexPath {section, past ? items - 1 : std::max(path->item, 0)};
    };
    clamp(m_lastNonShiftSelectedIndexPath);
    clamp(m_lastShiftSelectedIndexPath);
}

QSet<IndexPath> MacKanbanColumnController::shouldSelectItems(const QSet<IndexPath>& proposed)
{
    const std::optional<IndexPath> first
        = proposed.isEmpty() ? std::nullopt : std::optional<IndexPath>(*proposed.cbegin());
    // Shift as the click has it, whichever widget had the focus before.
    if (!QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier)) {
        m_lastNonShiftSelectedIndexPath = first;
        return proposed;
    }
    clampAnchors();
    QSet<IndexPath> extended = proposed;
    if (m_lastShiftSelectedIndexPath && m_lastNonShiftSelectedIndexPath) {
        // The previous range goes, all but its anchor.
        QSet<IndexPath> previous
            = m_collectionView->indexPathsBetween(*m_lastNonShiftSelectedIndexPath, *m_lastShiftSelectedIndexPath);
        previous.remove(*m_lastNonShiftSelectedIndexPath);
        m_collectionView->deselectItems(previous);
        didDeselectItems(previous);
    }
    if (first && m_lastNonShiftSelectedIndexPath) {
        QSet<IndexPath> between = m_collectionView->indexPathsBetween(*first, *m_lastNonShiftSelectedIndexPath);
        between.remove(*m_lastNonShiftSelectedIndexPath);
        extended += between;
    }
    m_lastShiftSelectedIndexPath = first;
    return extended;
}

QSet<IndexPath> MacKanbanColumnController::shouldDeselectItems(const QSet<IndexPath>& proposed)
{
    const std::optional<IndexPath> first
        = proposed.isEmpty() ? std::nullopt : std::optional<IndexPath>(*proposed.cbegin());
    if (!QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier)) {
        m_lastNonShiftSelectedIndexPath = first;
        return proposed;
    }
    clampAnchors();
    if (!first || !m_lastShiftSelectedIndexPath)
        return proposed;
    // The range shrinks back to the card clicked inside it.
    QSet<IndexPath> shrunk = m_collectionView->indexPathsBetween(*first, *m_lastShiftSelectedIndexPath);
    shrunk.remove(*first);
    m_lastShiftSelectedIndexPath = first;
    return shrunk;
}

void MacKanbanColumnController::didSelectItems(const QSet<IndexPath>& paths)
{
    ListItemCellView* focus = nullptr;
    for (const IndexPath& path : sorted(paths)) {
        auto* item = qobject_cast<KanbanColumnListItem*>(m_collectionView->itemWidget(path));
        if (!item)
            continue;
        item->view()->setSelected(true);
        item->view()->updateSelectionAppearance();
        if (!focus)
            focus = item->view();
    }
    // Keys reach the selected card; an editor already inside it keeps the focus.
    if (focus && !focus->isAncestorOf(QApplication::focusWidget()))
        focus->setFocus(Qt::MouseFocusReason);
    if (m_delegate) {
        for (MacKanbanColumnController* other : m_delegate->columnControllers()) {
            if (other == this)
                continue;
            other->deselectAllItems();
            other->setSelected(false);
        }
    }
    setSelected(false);
}

void MacKanbanColumnController::didDeselectItems(const QSet<IndexPath>& paths)
{
    for (const IndexPath& path : paths) {
        if (auto* item = qobject_cast<KanbanColumnListItem*>(m_collectionView->itemWidget(path))) {
            item->view()->setSelected(false);
            item->view()->updateSelectionAppearance();
        }
    }
}

// ---- Dragging and dropping

QMimeData* MacKanbanColumnController::mimeDataForItems(SectionedListView*, const QList<IndexPath>& paths)
{
    QStringList lines;
    for (const IndexPath& path : paths) {
        ListItem* card = itemFor(path);
        lines.append(card ? card->objectIDURI().toString() : QString());
    }
    auto* data = new QMimeData;
    data->setData(listItemPasteboardType, lines.join(QLatin1Char('\n')).toUtf8());
    m_dragData = data->data(listItemPasteboardType);
    return data;
}

void MacKanbanColumnController::dragWillBegin(
    SectionedListView*, const QSet<IndexPath>& paths, const IndexPath& pressedPath)
{
    m_collectionView->setDragAndDropDelegate(this);
    m_collectionView->setDragIsInside(true);
    m_dragOriginatedPath = pressedPath;
    m_draggingIndexPaths = paths;
    m_dragAutoscroll.start();
}

QPixmap MacKanbanColumnController::dragPixmap(
    SectionedListView*, const QList<IndexPath>& paths, const IndexPath& pressedPath)
{
    // The pressed card on top of at most two more, each a little lower and to the right, as
    // large as they are on the board.
    constexpr int maximumCards = 3;
    constexpr int offset = 6;
    QList<QWidget*> cards;
    if (QWidget* pressed = m_collectionView->itemWidget(pressedPath))
        cards.append(pressed);
    for (const IndexPath& path : paths) {
        if (cards.size() == maximumCards)
            break;
        QWidget* widget = path == pressedPath ? nullptr : m_collectionView->itemWidget(path);
        if (widget && itemFor(path))
            cards.append(widget);
    }
    if (cards.isEmpty())
        return {};
    QSize size;
    for (qsizetype i = 0; i < cards.size(); ++i)
        size = size.expandedTo(cards.at(i)->size() + QSize(int(i) * offset, int(i) * offset));
    const qreal ratio = m_collectionView->devicePixelRatioF();
    QPixmap picture((QSizeF(size) * ratio).toSize());
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    for (qsizetype i = cards.size() - 1; i >= 0; --i) {
        QWidget* card = cards.at(i);
        painter.drawPixmap(QRect(QPoint(int(i) * offset, int(i) * offset), card->size()), card->grab());
    }
    return picture;
}

void MacKanbanColumnController::autoscrollSourceList()
{
    // The list scrolls itself while the pointer is over it; outside it, the pointer near or past
    // its top or bottom edge scrolls it too.
    constexpr int band = 40;
    const QPoint pointer = QCursor::pos();
    QWidget* viewport = m_collectionView->viewport();
    const QRect area(viewport->mapToGlobal(QPoint(0, 0)), viewport->size());
    if (area.contains(pointer))
        return;
    int step = 0;
    if (pointer.y() < area.top() + band)
        step = -std::max(2, (area.top() + band - pointer.y()) / 2);
    else if (pointer.y() > area.bottom() - band)
        step = std::max(2, (pointer.y() - area.bottom() + band) / 2);
    if (step != 0)
        m_collectionView->setContentOffset(m_collectionView->contentOffset() + std::clamp(step, -40, 40));
}

void MacKanbanColumnController::dragEnded(SectionedListView*, Qt::DropAction action)
{
    m_dragAutoscroll.stop();
    // Released where no list took the cards: over a day header of the done column, they go
    // into that day.
    if (action == Qt::IgnoreAction && m_delegate && m_draggingIndexPaths) {
        if (const std::optional<IndexPath> path = m_delegate->doneColumnDropIndexPath(QCursor::pos())) {
            const int stages = int(m_delegate->kanbanColumns().size());
            const QList<MacKanbanColumnController*> columns = m_delegate->columnControllers();
            const auto done = std::find_if(columns.cbegin(), columns.cend(),
                [stages](const MacKanbanColumnController* column) { return column->specifiedSection() == stages; });
            if (done != columns.cend()) {
                ConsoleLog::write(QStringLiteral("using accept drop"));
                QMimeData data;
                data.setData(listItemPasteboardType, m_dragData);
                const bool accepted = (*done)->acceptDrop(
                    (*done)->collectionView(), &data, *path, DropOperation::Before, m_collectionView);
                ConsoleLog::write(
                    accepted ? QStringLiteral("accept drop worked") : QStringLiteral("accept drop didin't work"));
            }
        }
    }
    m_draggingIndexPaths.reset();
    m_dragData.clear();
    if (!m_delegate)
        return;
    for (MacKanbanColumnController* column : m_delegate->columnControllers()) {
        column->m_lastProposedDropIndexPath.reset();
        column->m_dragOriginatedPath.reset();
        column->resetDropGap();
    }
}

MacKanbanColumnController* MacKanbanColumnController::draggingController(SectionedListView* source) const
{
    if (!m_delegate || !source)
        return nullptr;
    for (MacKanbanColumnController* column : m_delegate->columnControllers())
        if (column->collectionView() == source && column->m_draggingIndexPaths)
            return column;
    return nullptr;
}

Qt::DropAction MacKanbanColumnController::validateDrop(
    SectionedListView*, const QMimeData* data, IndexPath& proposedPath, DropOperation& operation)
{
    if (!m_delegate || !m_delegate->kanban() || !data || !data->hasFormat(listItemPasteboardType))
        return Qt::IgnoreAction;
    // Only cards dragged out of a column of this board, as that column wrote them.
    const QList<MacKanbanColumnController*> columns = m_delegate->columnControllers();
    const auto source = std::find_if(columns.cbegin(), columns.cend(),
        [](const MacKanbanColumnController* column) { return column->m_draggingIndexPaths.has_value(); });
    if (source == columns.cend() || (*source)->m_dragData != data->data(listItemPasteboardType))
        return Qt::IgnoreAction;

    const Snapshot& shown = snapshot();
    IndexPath path = proposedPath;
    if (operation == DropOperation::On) {
        operation = DropOperation::Before;
        if (!pathIsEmptyCell(path) && m_collectionView->listLayout().contains(path)) {
            const std::optional<QPoint> pointer = m_collectionView->dragPosition();
            const QRect frame = m_collectionView->itemFrame(path);
            const int y = pointer ? m_collectionView->contentPointFromViewport(*pointer).y() : frame.top();
            // The lower half of a row proposes the row after it.
            if (frame.top() + frame.height() * 0.5 < y) {
                const Snapshot::Section* section = shown.section(path.section);
                const int cards = section ? int(section->cards.size()) : 0;
                if (!section || !section->stage)
                    path.item += isDoneColumn() && !m_showAllSections ? 1 : 0;
                else if (path.item < cards - (m_showAllSections ? 1 : 0))
                    path.item += 1;
                else if (m_showAllSections && path.section + 1 < shown.stageCount)
                    path = IndexPath {path.section + 1, 0};
                else if (m_showAllSections)
                    path.item = cards;
            }
        }
    }
    const Snapshot::Section* section = shown.section(path.section);
    // Cards go into a day of the single list only by being marked done.
    if (m_showAllSections && (!section || !section->stage)) {
        if (m_lastProposedDropIndexPath)
            resetDropGap();
        return Qt::IgnoreAction;
    }
    if (section && section->stage)
        path.item = std::min(path.item, int(section->cards.size()));
    else if (section)
        path.item = std::min(path.item, shown.numberOfItems(path.section));
    path.item = std::max(path.item, 0);
    proposedPath = path;
    if (m_lastProposedDropIndexPath != path)
        installDropGap(path);
    return Qt::MoveAction;
}

void MacKanbanColumnController::installDropGap(const IndexPath& proposed)
{
    auto layout = std::make_unique<KanbanColumnCollectionViewFlowLayout>(this);
    layout->setDragging(true);
    layout->setProposedDropIndexPath(proposed);
    layout->setLastContentOffset(m_collectionView->contentOffset());
    setCollectionViewLayout(std::move(layout));
    m_lastProposedDropIndexPath = proposed;
}

void MacKanbanColumnController::resetDropGap()
{
    auto layout = std::make_unique<KanbanColumnCollectionViewFlowLayout>(this);
    layout->setLastContentOffset(m_collectionView->contentOffset());
    setCollectionViewLayout(std::move(layout));
    m_lastProposedDropIndexPath.reset();
}

void MacKanbanColumnController::dragExited(SectionedListView*)
{
    // Cards of this column keep their gap; cards from elsewhere take theirs with them.
    if (!m_draggingIndexPaths)
        resetDropGap();
}

bool MacKanbanColumnController::acceptDrop(SectionedListView*, const QMimeData* data, const IndexPath& path,
    DropOperation operation, SectionedListView* source)
{
    resetDropGap();
    if (operation != DropOperation::Before)
        return false;
    // The paths come from the column the drag started in, never from the dragged text.
    MacKanbanColumnController* from = draggingController(source);
    if (!from || !data || data->data(listItemPasteboardType) != from->m_dragData)
        return false;
    const QSet<IndexPath> paths = *from->m_draggingIndexPaths;
    m_dragOriginatedPath.reset();
    if (from == this)
        m_draggingIndexPaths.reset();
    moveDraggedItems(paths, path, from == this ? nullptr : from);
    return true;
}

void MacKanbanColumnController::moveDraggedItems(
    const QSet<IndexPath>& fromPaths, const IndexPath& to, MacKanbanColumnController* source)
{
    if (m_showAllSections) {
        moveInSingleList(sorted(fromPaths), to, source ? source : this);
        return;
    }
    m_itemsMover->moveItems(fromPaths, to, source);
}

void MacKanbanColumnController::moveInSingleList(
    const QList<IndexPath>& fromPaths, const IndexPath& to, MacKanbanColumnController* source)
{
    KanbanColumn* stage = stageAt(to);
    if (!stage || !m_delegate)
        return;
    // The cards shown at the dragged rows, in the list's order.
    CardDrop drop;
    drop.kanban = m_delegate->kanban();
    drop.stage = stage;
    for (const IndexPath& path : fromPaths) {
        ListItem* card = source->itemFor(path);
        if (!card || drop.cards.contains(card))
            continue;
        drop.cards.append(card);
        if (path.section != to.section)
            drop.arriving.append(card);
    }
    if (drop.cards.isEmpty())
        return;
    // They land right after the last card shown above the drop row that stays where it is,
    // wherever hidden cards lie.
    ListItem* previous = nullptr;
    for (int row = to.item - 1; row >= 0 && !previous; --row)
        if (ListItem* card = itemFor(IndexPath {to.section, row}); card && !drop.cards.contains(card))
            previous = card;
    QList<ListItem*> staying = stage->item();
    for (ListItem* card : std::as_const(drop.cards))
        staying.removeAll(card);
    drop.index = previous ? int(staying.indexOf(previous)) + 1 : 0;
    if (drop.arriving.isEmpty())
        drop.actionName = QStringLiteral("Rearrange Cards");
    else
        drop.actionName = drop.cards.size() == 1 ? QStringLiteral("Move Card") : QStringLiteral("Move Cards");
    if (filterActive())
        addFilteredModeItems(drop.cards);
    performDrop(m_delegate, drop);
}

std::optional<IndexPath> MacKanbanColumnController::headerDropIndexPath(const QPoint& documentPoint)
{
    QWidget* document = m_delegate ? m_delegate->documentView() : nullptr;
    if (!document || !document->isAncestorOf(m_collectionView))
        return std::nullopt;
    const QPoint viewportPoint = m_collectionView->viewport()->mapFrom(document, documentPoint);
    const QPoint content = m_collectionView->contentPointFromViewport(viewportPoint);
    for (int section = 0; section < m_collectionView->numberOfSections(); ++section) {
        if (!m_collectionView->headerFrame(section).contains(content))
            continue;
        const IndexPath path {section, 0};
        if (m_lastProposedDropIndexPath != path)
            installDropGap(path);
        return path;
    }
    return std::nullopt;
}

// ---- Diagnostics

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

// ---- Copy, cut and paste

namespace {

const QString cardEntityName = QStringLiteral("ListItem");

// The column where a paste into `target` (a stage, or the done column when null) shows on the
// board now: the one list when the paste was made there and the board still shows it.
MacKanbanColumnController* pasteColumn(
    MacKanbanColumnDelegate* board, Kanban* kanban, KanbanColumn* target, bool oneList)
{
    if (!board || board->kanban() != kanban)
        return nullptr;
    const QList<MacKanbanColumnController*> columns = board->columnControllers();
    if (oneList)
        for (MacKanbanColumnController* column : columns)
            if (column->showAllSections())
                return column;
    if (target)
        return liveColumnOf(board, target);
    const int done = int(board->kanbanColumns().size());
    for (MacKanbanColumnController* column : columns)
        if (column->specifiedSection() == done)
            return column;
    return nullptr;
}

} // namespace

void MacKanbanColumnController::copy()
{
    // A whole column selected copies the column.
    if (m_selected && m_delegate) {
        m_delegate->copy();
        return;
    }
    copySelectedCards();
}

void MacKanbanColumnController::copySelectedCards()
{
    // The cards shown at the selected rows, days of the one list included.
    QJsonArray nodes;
    for (const IndexPath& path : sorted(m_collectionView->selectionIndexPaths()))
        if (ListItem* card = itemFor(path))
            nodes.append(JSONWriter::genericTraversingNode(card, true));
    // A copy of nothing leaves the user's clipboard as it was.
    if (nodes.isEmpty())
        return;
    auto* data = new QMimeData;
    data->setData(NotesTextView::cardDataType, QJsonDocument(nodes).toJson(QJsonDocument::Compact));
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setMimeData(data);
}

void MacKanbanColumnController::cut()
{
    copySelectedCards();
    deleteSelectedItems();
}

void MacKanbanColumnController::paste()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data)
        return;
    if (data->hasFormat(NotesTextView::cardDataType)) {
        if (const std::optional<QJsonArray> nodes = ClipboardNodes::read(
                data->data(NotesTextView::cardDataType), cardEntityName, QStringLiteral("card data")))
            insertPastedCards(*nodes, std::nullopt, std::nullopt);
        return;
    }
    if (data->hasFormat(NotesTextView::columnDataType) && m_delegate)
        m_delegate->paste();
}

void MacKanbanColumnController::insertPastedCards(const QJsonArray& nodes,
    const std::optional<QList<ListItem*>>& removing, const std::optional<QSet<IndexPath>>& restoringSelection)
{
    Kanban* kanban = m_delegate ? m_delegate->kanban() : nullptr;
    if (!kanban)
        return;
    MacKanbanColumnDelegate* board = m_delegate;
    UndoManager* undo = undoManager();
    const bool oneList = m_showAllSections;
    if (undo && !undo->isUndoing()) {
        // Where the cards go, settled before anything is made: after the highest selected card,
        // else at the end of the column's stage (of the stage at the top of the one list).
        const QSet<IndexPath> selection = m_collectionView->selectionIndexPaths();
        IndexPath at;
        if (!selection.isEmpty()) {
            const IndexPath highest = sorted(selection).last();
            at = IndexPath {highest.section, highest.item + 1};
        } else if (m_showAllSections) {
            const int stages = int(m_delegate->kanbanColumns().size());
            const int top = m_collectionView->contentOffset() + int(headerHeight);
            int section = stages - 1;
            qreal bottom = 0;
            for (int stage = 0; stage < stages; ++stage) {
                bottom += heightOfSection(stage);
                if (bottom > top) {
                    section = stage;
                    break;
                }
            }
            at = IndexPath {section, std::max(numberOfItems(section) - 1, 0)};
        } else {
            at = IndexPath {0, isDoneColumn() ? 0 : std::max(numberOfItems(0) - 1, 0)};
        }
        // The one list of a board without stages has no section to paste into.
        if (at.section < 0)
            return;
        MacKanbanColumnController* owner = ownerOf(at);
        const IndexPath ownerPath = pathInOwner(at);
        KanbanColumn* stage = owner->stageAt(ownerPath);
        KanbanColumn* target = stage ? stage : (owner->isDoneColumn() ? kanban->mainColumn() : nullptr);
        if (!target)
            return;

        JSONReader reader(kanban->managedObjectContext());
        QString error;
        const QList<ManagedObject*> made = reader.makeObjectsFromArrayOf(nodes, &error);
        if (!error.isEmpty())
            return;
        QList<ListItem*> cards;
        for (ManagedObject* object : made)
            if (auto* card = dynamic_cast<ListItem*>(object))
                cards.append(card);
        m_delegate->cleanUpTagsIn(cards);
        for (ListItem* card : std::as_const(cards)) {
            if (stage && card->done()) {
                card->setDone(false);
                card->applyRemoveStrikeThrough();
            }
        }
        owner->itemsMover()->insertItems(cards, ownerPath, true, false);
        for (ListItem* card : std::as_const(cards))
            CardHistory::append(card, ListItemAction::created, target->uniqueIdentifier());
        KanbanColumn* stageOrDone = stage;
        undo->registerUndo(board->undoOwner(), [board, kanban, stageOrDone, oneList, nodes, cards, selection] {
            KanbanColumn* liveStage = LiveObjects::stage(kanban, stageOrDone);
            if (kanban->isDeleted() || (stageOrDone && !liveStage))
                return;
            if (MacKanbanColumnController* live = pasteColumn(board, kanban, liveStage, oneList))
                live->insertPastedCards(nodes, cards, selection);
        });
        undo->setActionName(pasteCardsActionName);
        return;
    }

    if (removing) {
        // Cards deleted with their stage since and rebuilt by its undo are the rebuilt ones.
        QList<ListItem*> cards;
        for (ListItem* card : *removing)
            if (ListItem* live = LiveObjects::card(kanban, card))
                cards.append(live);
        if (!m_showAllSections)
            m_itemsMover->removeItemsFromController(cards, this);
        CardPlacement::takeOff(kanban, cards);
        for (ListItem* card : std::as_const(cards))
            card->managedObjectContext()->deleteObject(card);
        showChange(board, kanban, std::nullopt);
    }
    if (restoringSelection)
        selectItems(*restoringSelection);
    if (!undo)
        return;
    // Redo pastes anew into this column, after the selection just restored.
    KanbanColumn* stage = m_showAllSections ? nullptr : stageAt(IndexPath {0, 0});
    undo->registerUndo(board->undoOwner(), [board, kanban, stage, oneList, nodes] {
        KanbanColumn* liveStage = LiveObjects::stage(kanban, stage);
        if (kanban->isDeleted() || (stage && !liveStage))
            return;
        if (MacKanbanColumnController* live = pasteColumn(board, kanban, liveStage, oneList))
            live->insertPastedCards(nodes, std::nullopt, std::nullopt);
    });
    undo->setActionName(pasteCardsActionName);
}
