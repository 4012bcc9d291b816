#include "Pelorins/column/MacKanbanColumnController.h"

#include "Pelorins/board/MacKanbanColumnDelegate.h"
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
#include "PelorinsKit/board/KanbanColumnListItemsMover.h"
#include "PelorinsKit/model/DateHelpers.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/NotificationName.h"
#include "PelorinsKit/notes/AttributedString.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/TextMeasures.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/services/SystemEventMonitor.h"
#include "Platform/widgets/SectionedListViewDataSource.h"
#include "Platform/widgets/SectionedListViewDelegate.h"

#include <QCursor>
#include <QScrollBar>
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

    QWidget* createHeaderWidget() override { return new ListItemHeaderCellView; }

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
    m_collectionView->deleteItems(sorted(at));
}

void MacKanbanColumnController::animateInsertion(const QSet<IndexPath>& pathsToSelect, bool placeholderShown,
    const IndexPath& placeholderPath, bool newSection, int newSectionIndex, bool keepEarlierSelection,
    int numberOfCards)
{
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
    const bool shown = qobject_cast<KanbanColumnListItem*>(m_collectionView->itemWidget(inserted.first()))
        && frame.intersects(visible);
    if (shown)
        return;
    if (frame.top() < visible.top())
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
    if (skipLayout) {
        // Whatever drag gap was open closes.
        setCollectionViewLayout(std::make_unique<KanbanColumnCollectionViewFlowLayout>(this));
        return;
    }
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
        card->updateDueDateColour();
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

void MacKanbanColumnController::addNewItem(int toSection)
{
    Q_UNUSED(toSection)
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
