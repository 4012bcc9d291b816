#include "Pelorins/column/MacKanbanColumnController.h"

#include "Pelorins/card/ListItemCellView.h"
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
#include "Pelorins/column/MacKanbanColumnDelegate.h"
#include "PelorinsKit/model/DateHelpers.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWheelEvent>

namespace {

const QLatin1String nothingDoneTodayYet("nothing done today yet");

QColor blended(const QColor& from, const QColor& to, qreal fraction)
{
    const auto mix = [fraction](qreal a, qreal b) { return a + (b - a) * fraction; };
    return QColor::fromRgbF(mix(from.redF(), to.redF()), mix(from.greenF(), to.greenF()), mix(from.blueF(), to.blueF()),
        mix(from.alphaF(), to.alphaF()));
}

} // namespace

void MacKanbanColumnController::ListAdapter::headerPlaced(int section, int top)
{
    m_column.m_layout->headerPlaced(section, top);
}

QWidget* MacKanbanColumnController::ListAdapter::createHeaderWidget()
{
    auto* header = new ListItemHeaderCellView;
    // As a click on an empty part of the list, it leaves no card chosen.
    QObject::connect(header, &ListItemHeaderCellView::pressedOnList, &m_column,
        [column = &m_column] { column->deselectAllItems(); });
    return header;
}

void MacKanbanColumnController::ListAdapter::configureHeader(QWidget* widget, int section)
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

void MacKanbanColumnController::ListAdapter::fillStageHeader(
    ListItemHeaderCellView& header, const Snapshot::Section& shown) const
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

void MacKanbanColumnController::ListAdapter::fillDayHeader(
    ListItemHeaderCellView& header, int section, const Snapshot::Section& shown) const
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

void MacKanbanColumnController::setupTopHeaderView()
{
    if (m_topHeaderView)
        return;
    m_topHeaderView = new ListItemHeaderCellView(m_containerView);
    m_topHeaderView->setDelegate(this);
}
