#include "Platform/widgets/SectionedListView.h"

#include "Platform/widgets/DragPictureWindow.h"
#include "Platform/widgets/IdleTurns.h"
#include "Platform/widgets/SectionedListViewDataSource.h"
#include "Platform/widgets/SectionedListViewDelegate.h"

#include <QApplication>
#include <QCursor>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QRegion>
#include <QResizeEvent>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QSet>
#include <QTimer>
#include <QVariantAnimation>
#include <algorithm>

namespace {

// Widgets are kept ready this far above and below the visible band, so that a small scroll
// finds them made and configured.
constexpr int kPreparedMargin = 100;
// A drag this close to the top or bottom edge scrolls the list, faster nearer the edge.
constexpr int kAutoscrollBand = 40;
// Measuring the band can change which items are in it; this many passes settle any estimate.
constexpr int kBandMeasuringPasses = 32;

} // namespace

SectionedListView::SectionedListView(QWidget* parent)
    : QAbstractScrollArea(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    verticalScrollBar()->setSingleStep(20);
    m_layout.setSizeProvider([this](const IndexPath& path, int width) {
        return m_dataSource ? m_dataSource->sizeForItem(path, width) : QSize();
    });
    m_layout.setSizeEstimator([this](const IndexPath& path, int width) {
        return m_dataSource ? m_dataSource->estimatedSizeForItem(path, width) : std::optional<QSize>();
    });
    m_layout.setWidth(viewport()->width());

    m_animation = new QVariantAnimation(this);
    m_animation->setStartValue(0.0);
    m_animation->setEndValue(1.0);
    m_animation->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const qreal t = value.toReal();
        for (const Move& move : std::as_const(m_moves)) {
            if (!move.widget)
                continue;
            const auto blend = [t](int from, int to) { return from + qRound((to - from) * t); };
            move.widget->setGeometry(QRect(blend(move.from.x(), move.to.x()), blend(move.from.y(), move.to.y()),
                blend(move.from.width(), move.to.width()), blend(move.from.height(), move.to.height())));
        }
    });
    connect(m_animation, &QVariantAnimation::finished, this, &SectionedListView::finishAnimation);

    m_scrollAnimation = new QVariantAnimation(this);
    m_scrollAnimation->setEasingCurve(QEasingCurve::OutCubic);
    m_scrollAnimation->setStartValue(0.0);
    m_scrollAnimation->setEndValue(1.0);
    // The target is found again at every step: rows measured on the way may move it.
    connect(m_scrollAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        if (!m_scrollTarget || !m_layout.contains(m_scrollTarget->path))
            return;
        const int target = scrollValueFor(m_scrollTarget->path, m_scrollTarget->position);
        verticalScrollBar()->setValue(m_scrollFrom + qRound((target - m_scrollFrom) * value.toReal()));
    });

    viewport()->setAcceptDrops(true);
    m_autoscrollTimer = new QTimer(this);
    m_autoscrollTimer->setInterval(16);
    connect(m_autoscrollTimer, &QTimer::timeout, this, [this] {
        QScrollBar* bar = verticalScrollBar();
        const int before = bar->value();
        bar->setValue(before + m_autoscrollStep);
        if (bar->value() == before)
            stopAutoscroll();
    });
}

SectionedListView::~SectionedListView() = default;

void SectionedListView::setDataSource(SectionedListViewDataSource* dataSource)
{
    finishAnimation();
    m_dataSource = dataSource;
    // Widgets of the old data source must not be handed to the new one.
    for (const ShownItem& shown : std::as_const(m_shownItems))
        delete shown.widget;
    m_shownItems.clear();
    for (QWidget* header : std::as_const(m_shownHeaders))
        delete header;
    m_shownHeaders.clear();
    for (const QList<QWidget*>& pool : std::as_const(m_reusableItems))
        qDeleteAll(pool);
    m_reusableItems.clear();
    qDeleteAll(m_reusableHeaders);
    m_reusableHeaders.clear();
    m_selection.clear();
    reloadData();
}

void SectionedListView::setDelegate(SectionedListViewDelegate* delegate)
{
    m_delegate = delegate;
}

void SectionedListView::setDragDelegate(SectionedListViewDragDelegate* delegate)
{
    m_dragDelegate = delegate;
}

void SectionedListView::setHeaderHeight(int height)
{
    m_layout.setHeaderHeight(height);
    updateScrollRange();
    placeWidgets();
}

void SectionedListView::setPinsHeaders(bool pins)
{
    m_layout.setPinsHeaders(pins);
    maskInsetBands();
    placeWidgets();
}

void SectionedListView::setTopContentInset(int inset)
{
    // A list at its top stays at its top; otherwise the same content stays in view.
    const bool atTop = verticalScrollBar()->value() == 0;
    const int offset = contentOffset();
    m_topInset = std::max(0, inset);
    updateScrollRange();
    if (atTop)
        verticalScrollBar()->setValue(0);
    else
        setContentOffset(offset);
    maskInsetBands();
    placeWidgets();
}

void SectionedListView::setBottomContentInset(int inset)
{
    inset = std::max(0, inset);
    if (inset == m_bottomInset)
        return;
    m_bottomInset = inset;
    updateScrollRange();
    maskInsetBands();
    placeWidgets();
}

void SectionedListView::setClipsBottomInset(bool clips)
{
    if (clips == m_clipsBottomInset)
        return;
    m_clipsBottomInset = clips;
    maskInsetBands();
}

void SectionedListView::setAnimationDuration(int milliseconds)
{
    m_animationDuration = std::max(0, milliseconds);
}

void SectionedListView::reloadData()
{
    if (m_pending) {
        m_pending->reloadAll = true;
        return;
    }
    finishAnimation();
    for (const ShownItem& shown : std::as_const(m_shownItems))
        recycleItem(shown);
    m_shownItems.clear();
    for (QWidget* header : std::as_const(m_shownHeaders))
        recycleHeader(header);
    m_shownHeaders.clear();
    readStructure();
    m_selection.removeIf([this](const IndexPath& path) { return !m_layout.contains(path); });
    updateScrollRange();
    placeWidgets();
}

void SectionedListView::invalidateItemSize(const IndexPath& path)
{
    m_layout.invalidateItem(path);
    updateScrollRange();
    placeWidgets();
}

void SectionedListView::performBatchUpdates(const std::function<void()>& updates, std::function<void()> completion)
{
    if (m_pending) {
        // Nested in another batch: part of it.
        if (updates)
            updates();
        if (completion)
            m_pending->completions.append(std::move(completion));
        return;
    }
    finishAnimation();
    m_pending.emplace();
    if (updates)
        updates();
    PendingUpdates pending = std::move(*m_pending);
    m_pending.reset();
    if (completion)
        pending.completions.append(std::move(completion));
    applyUpdates(pending);
}

void SectionedListView::insertItems(const QList<IndexPath>& paths)
{
    record([&](PendingUpdates& updates) {
        for (const IndexPath& path : paths)
            updates.inserted.insert(path);
    });
}

void SectionedListView::deleteItems(const QList<IndexPath>& paths)
{
    record([&](PendingUpdates& updates) {
        for (const IndexPath& path : paths)
            updates.deleted.insert(path);
    });
}

void SectionedListView::moveItem(const IndexPath& from, const IndexPath& to)
{
    record([&](PendingUpdates& updates) { updates.moves.append({from, to}); });
}

void SectionedListView::reloadItems(const QList<IndexPath>& paths)
{
    record([&](PendingUpdates& updates) {
        for (const IndexPath& path : paths)
            updates.reloaded.insert(path);
    });
}

void SectionedListView::insertSections(const QList<int>& sections)
{
    record([&](PendingUpdates& updates) {
        for (int section : sections)
            updates.insertedSections.insert(section);
    });
}

void SectionedListView::deleteSections(const QList<int>& sections)
{
    record([&](PendingUpdates& updates) {
        for (int section : sections)
            updates.deletedSections.insert(section);
    });
}

void SectionedListView::reloadSections(const QList<int>& sections)
{
    record([&](PendingUpdates& updates) {
        for (int section : sections)
            updates.reloadedSections.insert(section);
    });
}

QRect SectionedListView::itemFrame(const IndexPath& path) const
{
    return m_layout.itemFrame(path);
}

QRect SectionedListView::headerFrame(int section) const
{
    return m_layout.pinnedHeaderFrame(section, pinnedTop());
}

std::optional<IndexPath> SectionedListView::indexPathAt(const QPoint& contentPoint) const
{
    return m_layout.indexPathAt(contentPoint);
}

QPoint SectionedListView::contentPointFromViewport(const QPoint& viewportPoint) const
{
    return viewportPoint + QPoint(0, contentOffset());
}

QRect SectionedListView::visibleRect() const
{
    return QRect(0, contentOffset(), viewport()->width(), viewport()->height());
}

QList<IndexPath> SectionedListView::indexPathsForVisibleItems() const
{
    const QRect visible = visibleRect();
    return m_layout.itemsIn(visible.top(), visible.top() + visible.height());
}

QWidget* SectionedListView::itemWidget(const IndexPath& path) const
{
    return m_shownItems.value(path).widget;
}

QWidget* SectionedListView::headerWidget(int section) const
{
    return m_shownHeaders.value(section);
}

void SectionedListView::setSelectionIndexPaths(const QSet<IndexPath>& paths)
{
    m_selection.clear();
    selectItems(paths);
}

void SectionedListView::selectItems(const QSet<IndexPath>& paths)
{
    for (const IndexPath& path : paths) {
        if (m_layout.contains(path))
            m_selection.insert(path);
    }
}

void SectionedListView::deselectItems(const QSet<IndexPath>& paths)
{
    m_selection -= paths;
}

void SectionedListView::deselectAll()
{
    m_selection.clear();
}

QSet<IndexPath> SectionedListView::indexPathsBetween(const IndexPath& first, const IndexPath& second) const
{
    const IndexPath low = std::min(first, second);
    const IndexPath high = std::max(first, second);
    QSet<IndexPath> paths;
    for (int s = std::max(low.section, 0); s <= high.section && s < numberOfSections(); ++s) {
        const int from = s == low.section ? std::max(low.item, 0) : 0;
        const int to = s == high.section ? std::min(high.item, numberOfItems(s) - 1) : numberOfItems(s) - 1;
        for (int item = from; item <= to; ++item)
            paths.insert(IndexPath {s, item});
    }
    return paths;
}

int SectionedListView::contentOffset() const
{
    return verticalScrollBar()->value() - m_topInset;
}

void SectionedListView::setContentOffset(int offset)
{
    m_scrollAnimation->stop();
    m_scrollTarget.reset();
    verticalScrollBar()->setValue(offset + m_topInset);
}

void SectionedListView::scrollToItem(const IndexPath& path, ScrollPosition position, bool animated)
{
    m_scrollAnimation->stop();
    m_scrollTarget.reset();
    if (!m_layout.contains(path))
        return;
    // Whatever can show around the item is measured first, so that it lands where asked.
    const int reach = viewport()->height() + kPreparedMargin;
    measureAround(path, reach, reach);
    updateScrollRange();
    QScrollBar* bar = verticalScrollBar();
    const int target = scrollValueFor(path, position);
    if (!animated || m_animationDuration == 0 || target == bar->value()) {
        bar->setValue(target);
        return;
    }
    m_scrollTarget = ScrollTarget {path, position};
    m_scrollFrom = bar->value();
    m_scrollAnimation->setDuration(m_animationDuration);
    m_scrollAnimation->start();
}

int SectionedListView::scrollValueFor(const IndexPath& path, ScrollPosition position) const
{
    const QRect frame = m_layout.itemFrame(path);
    // A pinned header covers the top of the band; an item scrolled to the top goes below it.
    const int coveredTop = m_topInset + (m_layout.pinsHeaders() ? m_layout.headerHeight() : 0);
    const int height = viewport()->height();
    int offset = 0;
    switch (position) {
    case ScrollPosition::Top:
        offset = frame.top() - coveredTop;
        break;
    case ScrollPosition::Centre:
        offset = frame.top() + frame.height() / 2 - (coveredTop + height) / 2;
        break;
    case ScrollPosition::Bottom:
        offset = frame.top() + frame.height() - (height - m_bottomInset);
        break;
    }
    const QScrollBar* bar = verticalScrollBar();
    return std::clamp(offset + m_topInset, bar->minimum(), bar->maximum());
}

void SectionedListView::showEvent(QShowEvent* event)
{
    QAbstractScrollArea::showEvent(event);
    scheduleIdleMeasuring();
}

void SectionedListView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    // A new width measures every item again; the item at the top stays where it is.
    const std::optional<Anchor> anchor = topAnchor();
    {
        const QScopedValueRollback placing(m_placing, true);
        keepAnchor(anchor);
    }
    maskInsetBands();
    placeWidgets();
}

void SectionedListView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || isOnHeader(event->position().toPoint())) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    event->accept();
    m_narrowSelectionOnRelease.reset();
    m_pressPoint = event->position().toPoint();
    const std::optional<IndexPath> path = indexPathAt(contentPointFromViewport(m_pressPoint));
    m_pressedPath = path;
    m_pressWasPlain = !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier));
    if (!path) {
        proposeDeselection(m_selection);
        return;
    }
    // Shift and Control toggle the clicked item; a delegate may widen that into a range.
    if (!m_pressWasPlain) {
        if (m_selection.contains(*path))
            proposeDeselection({*path});
        else
            proposeSelection({*path});
        return;
    }
    if (m_selection.contains(*path)) {
        m_narrowSelectionOnRelease = path;
        return;
    }
    // The others go first, so that a delegate sees the clicked item last.
    proposeDeselection(m_selection - QSet<IndexPath> {*path});
    proposeSelection({*path});
}

void SectionedListView::mouseMoveEvent(QMouseEvent* event)
{
    const bool dragging = (event->buttons() & Qt::LeftButton) && m_pressedPath && m_dragDelegate;
    if (!dragging
        || (event->position().toPoint() - m_pressPoint).manhattanLength() < QApplication::startDragDistance()) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    event->accept();
    startDrag(*std::exchange(m_pressedPath, std::nullopt));
}

void SectionedListView::mouseReleaseEvent(QMouseEvent* event)
{
    const std::optional<IndexPath> pressed = std::exchange(m_pressedPath, std::nullopt);
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    bool handled = false;
    if (m_narrowSelectionOnRelease) {
        const IndexPath path = *std::exchange(m_narrowSelectionOnRelease, std::nullopt);
        proposeDeselection(m_selection - QSet<IndexPath> {path});
        handled = true;
    }
    // No drag started (it takes the pressed path): the press and release were a click.
    const QPoint point = event->position().toPoint();
    if (pressed && m_pressWasPlain && m_delegate && m_layout.contains(*pressed)
        && indexPathAt(contentPointFromViewport(point)) == pressed) {
        m_delegate->itemClicked(*pressed, point);
        handled = true;
    }
    if (handled)
        event->accept();
    else
        QAbstractScrollArea::mouseReleaseEvent(event);
}

void SectionedListView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!m_dragDelegate) {
        event->ignore();
        return;
    }
    // Entering is always accepted: the platform follows it with a move, and each move is
    // validated on its own, so that a refusal at one place does not end the drag here.
    m_validatedDrop.reset();
    event->accept();
}

void SectionedListView::dragMoveEvent(QDragMoveEvent* event)
{
    if (!m_dragDelegate) {
        event->ignore();
        return;
    }
    const QPoint point = event->position().toPoint();
    updateAutoscroll(point);
    SectionedListViewDragDelegate::DropProposal proposal = proposedDrop(contentPointFromViewport(point));
    const Qt::DropAction action
        = m_dragDelegate->validateDrop(this, event->mimeData(), proposal.path, proposal.operation);
    if (action == Qt::IgnoreAction) {
        m_validatedDrop.reset();
        event->ignore();
        return;
    }
    m_validatedDrop = proposal;
    m_validatedAction = action;
    event->setDropAction(action);
    event->accept();
}

void SectionedListView::dragLeaveEvent(QDragLeaveEvent* event)
{
    stopAutoscroll();
    m_validatedDrop.reset();
    if (m_dragDelegate)
        m_dragDelegate->dragExited(this);
    event->accept();
}

void SectionedListView::dropEvent(QDropEvent* event)
{
    stopAutoscroll();
    const std::optional<SectionedListViewDragDelegate::DropProposal> proposal
        = std::exchange(m_validatedDrop, std::nullopt);
    auto* source = qobject_cast<SectionedListView*>(event->source());
    if (!m_dragDelegate || !proposal
        || !m_dragDelegate->acceptDrop(this, event->mimeData(), proposal->path, proposal->operation, source)) {
        event->ignore();
        return;
    }
    event->setDropAction(m_validatedAction);
    event->accept();
}

void SectionedListView::scrollContentsBy(int, int)
{
    placeWidgets();
}

SectionedListViewDragDelegate::DropProposal SectionedListView::proposedDrop(const QPoint& contentPoint) const
{
    using Operation = SectionedListViewDragDelegate::DropOperation;
    const int y = contentPoint.y();
    const int pinTop = pinnedTop();
    if (m_layout.headerHeight() > 0) {
        for (int section : m_layout.sectionsIn(y, y + 1)) {
            if (m_layout.pinnedHeaderFrame(section, pinTop).contains(0, y))
                return {IndexPath {section, 0}, Operation::Before};
        }
    }
    if (const std::optional<IndexPath> path = indexPathAt(contentPoint))
        return {*path, Operation::On};

    const QList<int> sections = m_layout.sectionsIn(y, y + 1);
    if (sections.isEmpty()) {
        const int last = numberOfSections() - 1;
        if (last < 0 || y < 0)
            return {IndexPath {0, 0}, Operation::Before};
        return {IndexPath {last, numberOfItems(last)}, Operation::Before};
    }
    // Between rows (in an open gap, say): before the next row of the section.
    const int section = sections.last();
    std::optional<IndexPath> next;
    for (const IndexPath& path : m_layout.itemsIn(y, y + viewport()->height() + 1)) {
        if (path.section == section && m_layout.itemFrame(path).top() >= y && (!next || path < *next))
            next = path;
    }
    return {next.value_or(IndexPath {section, numberOfItems(section)}), Operation::Before};
}

void SectionedListView::setDropGap(std::optional<SectionedListDropGap> gap)
{
    if (gap == m_layout.dropGap())
        return;
    m_layout.setDropGap(std::move(gap));
    placeWidgetsAnimated({});
}

void SectionedListView::startDrag(const IndexPath& pressedPath)
{
    m_narrowSelectionOnRelease.reset();
    // The list may have changed under the pressed pointer.
    if (!m_layout.contains(pressedPath))
        return;
    const QSet<IndexPath> paths = m_selection.contains(pressedPath) ? m_selection : QSet<IndexPath> {pressedPath};
    QList<IndexPath> sorted(paths.cbegin(), paths.cend());
    std::sort(sorted.begin(), sorted.end());
    QMimeData* data = m_dragDelegate->mimeDataForItems(this, sorted);
    if (!data)
        return;
    m_dragDelegate->dragWillBegin(this, paths, pressedPath);

    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    QTimer* following = nullptr;
    if (QWidget* widget = itemWidget(pressedPath)) {
        const QPoint inWidget = m_pressPoint - widget->geometry().topLeft();
        QPixmap picture = m_dragDelegate->dragPixmap(this, sorted, pressedPath);
        QPoint hotSpot = inWidget;
        if (picture.isNull()) {
            picture = widget->grab();
        } else {
            // The pointer keeps its place on the pressed item, scaled with the picture.
            const qreal scale = widget->width() > 0 ? picture.deviceIndependentSize().width() / widget->width() : 1.0;
            hotSpot = (QPointF(inWidget) * scale).toPoint();
        }
        // The drag itself carries an empty picture; ours follows the pointer and can change.
        QPixmap nothing(1, 1);
        nothing.fill(Qt::transparent);
        drag->setPixmap(nothing);
        m_dragPicture = std::make_unique<DragPictureWindow>();
        m_dragPicture->setPicture(picture, hotSpot);
        m_dragPicture->follow(QCursor::pos());
        m_dragPicture->show();
        // The drag's own loop tells the source nothing of the pointer's moves: they are watched.
        following = new QTimer(this);
        following->setInterval(16);
        connect(following, &QTimer::timeout, this, [this, last = QPoint()]() mutable {
            const QPoint pointer = QCursor::pos();
            if (pointer == last || !m_dragPicture)
                return;
            last = pointer;
            m_dragPicture->follow(pointer);
            draggingSessionMoved(pointer);
        });
        following->start();
    }
    // The list may go away while the drag runs its own event loop.
    const QPointer<SectionedListView> self(this);
    const Qt::DropAction action = drag->exec(Qt::MoveAction);
    if (!self)
        return;
    delete following;
    m_dragPicture.reset();
    if (m_dragDelegate)
        m_dragDelegate->dragEnded(this, action);
}

void SectionedListView::updateAutoscroll(const QPoint& viewportPoint)
{
    const int fromTop = viewportPoint.y() - m_topInset;
    const int fromBottom = viewport()->height() - clippedFootHeight() - viewportPoint.y();
    if (fromTop < kAutoscrollBand)
        m_autoscrollStep = -std::max(2, (kAutoscrollBand - fromTop) / 2);
    else if (fromBottom < kAutoscrollBand)
        m_autoscrollStep = std::max(2, (kAutoscrollBand - fromBottom) / 2);
    else
        m_autoscrollStep = 0;
    if (m_autoscrollStep == 0)
        stopAutoscroll();
    else if (!m_autoscrollTimer->isActive())
        m_autoscrollTimer->start();
}

void SectionedListView::stopAutoscroll()
{
    m_autoscrollTimer->stop();
    m_autoscrollStep = 0;
}

bool SectionedListView::isHiddenForDrag(const IndexPath& path) const
{
    // Rows dragged within the list leave their place to the rows closing up behind them.
    const std::optional<SectionedListDropGap>& gap = m_layout.dropGap();
    return gap && gap->draggedFromThisList && gap->draggedItemHeights.contains(path);
}

void SectionedListView::proposeSelection(const QSet<IndexPath>& proposed)
{
    if (proposed.isEmpty())
        return;
    QSet<IndexPath> accepted = m_delegate ? m_delegate->shouldSelectItems(proposed) : proposed;
    accepted.removeIf([this](const IndexPath& path) { return !m_layout.contains(path) || m_selection.contains(path); });
    if (accepted.isEmpty())
        return;
    m_selection += accepted;
    if (m_delegate)
        m_delegate->didSelectItems(accepted);
}

void SectionedListView::proposeDeselection(const QSet<IndexPath>& proposed)
{
    if (proposed.isEmpty())
        return;
    QSet<IndexPath> accepted = m_delegate ? m_delegate->shouldDeselectItems(proposed) : proposed;
    accepted.intersect(m_selection);
    if (accepted.isEmpty())
        return;
    m_selection -= accepted;
    if (m_delegate)
        m_delegate->didDeselectItems(accepted);
}

bool SectionedListView::isOnHeader(const QPoint& viewportPoint) const
{
    for (QWidget* header : m_shownHeaders) {
        if (header->isVisible() && header->geometry().contains(viewportPoint))
            return true;
    }
    return false;
}

void SectionedListView::record(const std::function<void(PendingUpdates&)>& change)
{
    performBatchUpdates([&] { change(*m_pending); });
}

void SectionedListView::applyUpdates(PendingUpdates& updates)
{
    if (!m_dataSource || updates.reloadAll) {
        reloadData();
        animateMoves({}, updates.completions);
        return;
    }

    // What was shown before, in the old paths.
    const std::vector<quint64> oldIdentities = std::move(m_identities);
    const std::vector<int> oldStarts = m_sectionStarts;
    std::vector<std::optional<QSize>> oldSizes(oldIdentities.size());
    for (int s = 0; s + 1 < int(oldStarts.size()); ++s) {
        for (int i = oldStarts[s]; i < oldStarts[s + 1]; ++i)
            oldSizes[i] = m_layout.cachedSize(IndexPath {s, i - oldStarts[s]});
    }
    const QMap<IndexPath, ShownItem> oldShown = std::exchange(m_shownItems, {});
    const QSet<IndexPath> oldSelection = std::exchange(m_selection, {});
    // Headers show counts and titles that may have changed: they are configured afresh.
    for (QWidget* header : std::as_const(m_shownHeaders))
        recycleHeader(header);
    m_shownHeaders.clear();

    readStructure();
    std::vector<bool> oldDirty(oldIdentities.size(), false);
    const std::vector<int> newToOld = matchItems(updates, oldIdentities, oldStarts, oldDirty);
    std::vector<int> oldToNew(oldIdentities.size(), -1);
    for (int s = 0; s + 1 < int(m_sectionStarts.size()); ++s) {
        for (int n = m_sectionStarts[s]; n < m_sectionStarts[s + 1]; ++n) {
            const int o = newToOld[n];
            if (o < 0)
                continue;
            oldToNew[o] = n;
            if (!oldDirty[o] && oldSizes[o])
                m_layout.setItemSize(IndexPath {s, n - m_sectionStarts[s]}, *oldSizes[o]);
        }
    }

    // The selection stays with the selected items.
    for (const IndexPath& path : oldSelection) {
        const int o = flatIndex(oldStarts, path);
        if (o >= 0 && oldToNew[o] >= 0)
            m_selection.insert(pathOfFlatIndex(m_sectionStarts, oldToNew[o]));
    }

    for (auto it = oldShown.cbegin(); it != oldShown.cend(); ++it) {
        const int o = flatIndex(oldStarts, it.key());
        const int n = o >= 0 ? oldToNew[o] : -1;
        if (n < 0) {
            recycleItem(it.value());
            continue;
        }
        const IndexPath path = pathOfFlatIndex(m_sectionStarts, n);
        if (m_dataSource->itemKind(path) != it->kind) {
            recycleItem(it.value());
            continue;
        }
        if (oldDirty[o] || path != it.key())
            m_dataSource->configureItem(it->widget, path);
        m_shownItems.insert(path, it.value());
    }

    updateScrollRange();
    placeWidgetsAnimated(updates.completions);
}

std::vector<int> SectionedListView::matchItems(const PendingUpdates& updates, const std::vector<quint64>& oldIdentities,
    const std::vector<int>& oldStarts, std::vector<bool>& oldDirty) const
{
    const int oldCount = int(oldIdentities.size());
    const int newCount = int(m_identities.size());
    std::vector<int> newToOld(newCount, -1);
    std::vector<bool> oldTaken(oldCount, false);
    std::vector<bool> newFresh(newCount, false);
    const auto markSection = [](const std::vector<int>& starts, int section, std::vector<bool>& flags) {
        if (section < 0 || section + 1 >= int(starts.size()))
            return;
        for (int i = starts[section]; i < starts[section + 1]; ++i)
            flags[i] = true;
    };

    for (const IndexPath& path : updates.deleted) {
        if (const int o = flatIndex(oldStarts, path); o >= 0)
            oldTaken[o] = true;
    }
    for (int section : updates.deletedSections)
        markSection(oldStarts, section, oldTaken);
    for (const IndexPath& path : updates.reloaded) {
        if (const int o = flatIndex(oldStarts, path); o >= 0)
            oldDirty[o] = true;
    }
    for (int section : updates.reloadedSections)
        markSection(oldStarts, section, oldDirty);
    for (const IndexPath& path : updates.inserted) {
        if (const int n = flatIndex(m_sectionStarts, path); n >= 0)
            newFresh[n] = true;
    }
    for (int section : updates.insertedSections)
        markSection(m_sectionStarts, section, newFresh);

    // Explicit moves pair items of equal identity first, which settles duplicated identities.
    for (const auto& [from, to] : updates.moves) {
        const int o = flatIndex(oldStarts, from);
        const int n = flatIndex(m_sectionStarts, to);
        // A move between different items is a wrong hint; trusting it would show stale sizes.
        if (o < 0 || n < 0 || oldTaken[o] || newFresh[n] || newToOld[n] >= 0 || oldIdentities[o] != m_identities[n])
            continue;
        newToOld[n] = o;
        oldTaken[o] = true;
    }

    // The rest by identity, in order, so that duplicated identities pair up first with first. The
    // old items of one identity form a chain in order (`nextOld`), the hash holding its head; a
    // done column has thousands of items, so nothing here allocates per item.
    QHash<quint64, int> oldHead;
    oldHead.reserve(oldCount);
    std::vector<int> nextOld(oldCount, -1);
    std::vector<bool> oldShared(oldCount, false);
    for (int o = oldCount - 1; o >= 0; --o) {
        auto entry = oldHead.find(oldIdentities[o]);
        if (entry == oldHead.end())
            entry = oldHead.insert(oldIdentities[o], -1);
        int& head = entry.value();
        if (head >= 0)
            oldShared[o] = oldShared[head] = true;
        nextOld[o] = head;
        head = o;
    }
    QHash<quint64, int> firstNew;
    firstNew.reserve(newCount);
    std::vector<bool> newShared(newCount, false);
    for (int n = 0; n < newCount; ++n) {
        const auto first = firstNew.constFind(m_identities[n]);
        if (first == firstNew.cend())
            firstNew.insert(m_identities[n], n);
        else
            newShared[n] = newShared[first.value()] = true;
    }
    for (int n = 0; n < newCount; ++n) {
        if (newToOld[n] >= 0 || newFresh[n])
            continue;
        const auto head = oldHead.find(m_identities[n]);
        if (head == oldHead.end())
            continue;
        int o = head.value();
        while (o >= 0 && oldTaken[o])
            o = nextOld[o];
        if (o < 0) {
            head.value() = -1;
            continue;
        }
        head.value() = nextOld[o];
        newToOld[n] = o;
        oldTaken[o] = true;
        // Items sharing an identity cannot be told apart: their sizes and contents are renewed.
        if (oldShared[o] || newShared[n])
            oldDirty[o] = true;
    }
    return newToOld;
}

void SectionedListView::placeWidgetsAnimated(QList<std::function<void()>> completions)
{
    finishAnimation();
    QHash<IndexPath, std::pair<QWidget*, QRect>> before;
    for (auto it = m_shownItems.cbegin(); it != m_shownItems.cend(); ++it)
        before.insert(it.key(), {it->widget, it->widget->geometry()});
    placeWidgets();
    // Widgets that stay with their items slide from where they were to their new frames.
    QList<Move> moves;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        QWidget* widget = m_shownItems.value(it.key()).widget;
        if (widget == it->first && widget->geometry() != it->second)
            moves.append(Move {widget, it->second, widget->geometry()});
    }
    animateMoves(moves, completions);
}

void SectionedListView::animateMoves(QList<Move> moves, QList<std::function<void()>> completions)
{
    m_completions += completions;
    if (moves.isEmpty() || m_animationDuration == 0) {
        finishAnimation();
        return;
    }
    for (const Move& move : std::as_const(moves))
        move.widget->setGeometry(move.from);
    m_moves = std::move(moves);
    m_animation->setDuration(m_animationDuration);
    m_animation->start();
}

void SectionedListView::finishAnimation()
{
    if (m_animation->state() == QAbstractAnimation::Running)
        m_animation->stop();
    const QList<Move> moves = std::exchange(m_moves, {});
    for (const Move& move : moves) {
        if (move.widget)
            move.widget->setGeometry(move.to);
    }
    // Taken first: a completion may start the next update.
    const QList<std::function<void()>> completions = std::exchange(m_completions, {});
    for (const std::function<void()>& completion : completions)
        completion();
}

int SectionedListView::flatIndex(const std::vector<int>& starts, const IndexPath& path) const
{
    if (path.section < 0 || path.section + 1 >= int(starts.size()) || path.item < 0)
        return -1;
    const int index = starts[path.section] + path.item;
    return index < starts[path.section + 1] ? index : -1;
}

IndexPath SectionedListView::pathOfFlatIndex(const std::vector<int>& starts, int index) const
{
    // The last section starting at or before the index; empty sections start where the next does.
    const auto after = std::upper_bound(starts.begin(), starts.end(), index);
    const int section = int(after - starts.begin()) - 1;
    return IndexPath {section, index - starts[section]};
}

void SectionedListView::readStructure()
{
    QList<int> counts;
    m_identities.clear();
    m_sectionStarts.assign(1, 0);
    const int sections = m_dataSource ? std::max(0, m_dataSource->numberOfSections()) : 0;
    for (int s = 0; s < sections; ++s) {
        const int count = std::max(0, m_dataSource->numberOfItems(s));
        counts.append(count);
        for (int i = 0; i < count; ++i)
            m_identities.push_back(m_dataSource->itemIdentity(IndexPath {s, i}));
        m_sectionStarts.push_back(int(m_identities.size()));
    }
    m_layout.reset(counts);
    m_idleCursor = IndexPath {0, 0};
}

void SectionedListView::updateScrollRange()
{
    m_layout.setWidth(viewport()->width());
    const int height = viewport()->height();
    QScrollBar* bar = verticalScrollBar();
    bar->setPageStep(height);
    bar->setRange(0, std::max(0, m_topInset + m_layout.contentHeight() + m_bottomInset - height));
}

void SectionedListView::placeWidgets()
{
    // Measuring may scroll, which places the widgets again: once is enough.
    if (m_placing)
        return;
    finishAnimation();
    if (!m_dataSource)
        return;
    const QScopedValueRollback placing(m_placing, true);
    measurePreparedBand();
    const QRect visible = visibleRect();
    const int top = visible.top() - kPreparedMargin;
    const int bottom = visible.top() + visible.height() + kPreparedMargin;

    const QList<IndexPath> wanted = m_layout.itemsIn(top, bottom);
    const QSet<IndexPath> wantedSet(wanted.cbegin(), wanted.cend());
    for (auto it = m_shownItems.begin(); it != m_shownItems.end();) {
        if (wantedSet.contains(it.key())) {
            ++it;
        } else {
            recycleItem(it.value());
            it = m_shownItems.erase(it);
        }
    }
    for (const IndexPath& path : wanted) {
        auto it = m_shownItems.find(path);
        if (it == m_shownItems.end()) {
            const QString kind = m_dataSource->itemKind(path);
            QWidget* widget = dequeueItemWidget(kind);
            m_dataSource->configureItem(widget, path);
            it = m_shownItems.insert(path, ShownItem {widget, kind});
        }
        it->widget->setGeometry(toViewport(m_layout.itemFrame(path)));
        const bool hidden = isHiddenForDrag(path);
        if (hidden)
            keepFocusFrom(it->widget);
        it->widget->setVisible(!hidden);
    }

    QList<int> sections;
    if (m_layout.headerHeight() > 0)
        sections = m_layout.sectionsIn(top, bottom);
    for (auto it = m_shownHeaders.begin(); it != m_shownHeaders.end();) {
        if (sections.contains(it.key())) {
            ++it;
        } else {
            recycleHeader(it.value());
            it = m_shownHeaders.erase(it);
        }
    }
    const int pinTop = pinnedTop();
    for (int section : std::as_const(sections)) {
        auto it = m_shownHeaders.find(section);
        if (it == m_shownHeaders.end()) {
            QWidget* header = dequeueHeaderWidget();
            m_dataSource->configureHeader(header, section);
            it = m_shownHeaders.insert(section, header);
        }
        const QRect frame = m_layout.pinnedHeaderFrame(section, pinTop);
        it.value()->setGeometry(toViewport(frame));
        it.value()->show();
        it.value()->raise();
        if (m_delegate)
            m_delegate->headerPlaced(section, frame.top());
    }
    clipItemsUnderHeaders();
    scheduleIdleMeasuring();
}

void SectionedListView::maskInsetBands()
{
    // Pinned headers stop at the top inset: the band above belongs to the views laid over the
    // list, so rows scrolled into it vanish instead of showing through those views. A clipped
    // bottom inset is such a band at the foot.
    const int top = m_layout.pinsHeaders() ? m_topInset : 0;
    const int foot = clippedFootHeight();
    if (top > 0 || foot > 0)
        viewport()->setMask(QRect(0, top, viewport()->width(), std::max(1, viewport()->height() - top - foot)));
    else if (!viewport()->mask().isEmpty())
        viewport()->clearMask();
}

int SectionedListView::clippedFootHeight() const
{
    return m_clipsBottomInset ? m_bottomInset : 0;
}

void SectionedListView::clipItemsUnderHeaders()
{
    // A row that slides under a pinned header is hidden there, not drawn through the header.
    QList<QRect> headers;
    for (const QWidget* header : std::as_const(m_shownHeaders))
        headers.append(header->geometry());
    for (const ShownItem& shown : std::as_const(m_shownItems)) {
        QWidget* widget = shown.widget;
        QRegion visible(widget->rect());
        for (const QRect& header : std::as_const(headers))
            visible -= header.translated(-widget->pos());
        if (visible == QRegion(widget->rect())) {
            if (!widget->mask().isEmpty())
                widget->clearMask();
        } else {
            // An empty mask would mean no mask at all: a row wholly under a header keeps a
            // region outside itself, so nothing of it shows.
            widget->setMask(visible.isEmpty() ? QRegion(-1, -1, 1, 1) : visible);
        }
    }
}

std::optional<SectionedListView::Anchor> SectionedListView::topAnchor() const
{
    const QRect visible = visibleRect();
    const QList<IndexPath> items = m_layout.itemsIn(visible.top(), visible.top() + visible.height());
    if (items.isEmpty())
        return std::nullopt;
    return Anchor {items.first(), m_layout.itemFrame(items.first()).top() - contentOffset()};
}

void SectionedListView::keepAnchor(const std::optional<Anchor>& anchor)
{
    updateScrollRange();
    if (!anchor || !m_layout.contains(anchor->path))
        return;
    const int shift = m_layout.itemFrame(anchor->path).top() - contentOffset() - anchor->viewportTop;
    if (shift != 0)
        verticalScrollBar()->setValue(verticalScrollBar()->value() + shift);
}

void SectionedListView::measurePreparedBand()
{
    for (int pass = 0; pass < kBandMeasuringPasses; ++pass) {
        const QRect visible = visibleRect();
        const QList<IndexPath> band
            = m_layout.itemsIn(visible.top() - kPreparedMargin, visible.top() + visible.height() + kPreparedMargin);
        const std::optional<Anchor> anchor = topAnchor();
        const int bandBottom = visible.top() + visible.height() + kPreparedMargin;
        std::vector<int> tops;
        tops.reserve(size_t(band.size()));
        for (const IndexPath& path : band)
            tops.push_back(m_layout.itemFrame(path).top());
        // Estimates are mostly shorter than the items: what grows from the anchor down pushes
        // the items after it out of the band, and those are left to idle measuring. Growth
        // above the anchor moves the band along with it.
        int growth = 0;
        bool measured = false;
        for (qsizetype i = 0; i < band.size(); ++i) {
            const IndexPath& path = band.at(i);
            const bool belowAnchor = anchor && !(path < anchor->path);
            if (belowAnchor && tops.at(size_t(i)) + growth >= bandBottom)
                break;
            if (m_layout.isMeasured(path))
                continue;
            const int change = m_layout.measure(path);
            if (belowAnchor)
                growth += change;
            measured = true;
        }
        if (!measured)
            return;
        keepAnchor(anchor);
    }
}

void SectionedListView::measureAround(const IndexPath& path, int above, int below)
{
    m_layout.measure(path);
    int reach = 0;
    for (IndexPath p = path; reach < above;) {
        if (p.item > 0) {
            --p.item;
        } else {
            do
                --p.section;
            while (p.section >= 0 && numberOfItems(p.section) == 0);
            if (p.section < 0)
                break;
            p.item = numberOfItems(p.section) - 1;
            reach += m_layout.headerHeight();
        }
        m_layout.measure(p);
        reach += m_layout.cachedSize(p).value_or(QSize()).height();
    }
    reach = m_layout.cachedSize(path).value_or(QSize()).height();
    for (IndexPath p = path; reach < below;) {
        if (p.item + 1 < numberOfItems(p.section)) {
            ++p.item;
        } else {
            do
                ++p.section;
            while (p.section < numberOfSections() && numberOfItems(p.section) == 0);
            if (p.section >= numberOfSections())
                break;
            p.item = 0;
            reach += m_layout.headerHeight();
        }
        m_layout.measure(p);
        reach += m_layout.cachedSize(p).value_or(QSize()).height();
    }
}

bool SectionedListView::measureWhileIdle(const QDeadlineTimer& deadline)
{
    if (!m_dataSource || !isVisible())
        return false;
    const std::optional<Anchor> anchor = topAnchor();
    bool left = true;
    bool measured = false;
    do {
        std::optional<IndexPath> next = m_layout.nextUnmeasured(m_idleCursor);
        if (!next)
            next = m_layout.nextUnmeasured(IndexPath {0, 0});
        if (!next) {
            left = false;
            break;
        }
        m_layout.measure(*next);
        m_idleCursor = *next;
        measured = true;
    } while (!deadline.hasExpired());
    if (!measured)
        return left;
    {
        const QScopedValueRollback placing(m_placing, true);
        keepAnchor(anchor);
    }
    maskInsetBands();
    placeWidgets();
    return left;
}

void SectionedListView::scheduleIdleMeasuring()
{
    // Estimated items are measured in the window's idle turns, so that input and painting never
    // wait long for them.
    if (!isVisible())
        return;
    if (m_layout.nextUnmeasured(m_idleCursor) || m_layout.nextUnmeasured(IndexPath {0, 0}))
        IdleTurns::of(this).want(this, [this](const QDeadlineTimer& deadline) { return measureWhileIdle(deadline); });
}

QWidget* SectionedListView::dequeueItemWidget(const QString& kind)
{
    QList<QWidget*>& pool = m_reusableItems[kind];
    if (!pool.isEmpty())
        return pool.takeLast();
    QWidget* widget = m_dataSource->createItemWidget(kind);
    if (!widget)
        widget = new QWidget;
    widget->setParent(viewport());
    return widget;
}

QWidget* SectionedListView::dequeueHeaderWidget()
{
    if (!m_reusableHeaders.isEmpty())
        return m_reusableHeaders.takeLast();
    QWidget* header = m_dataSource->createHeaderWidget();
    if (!header)
        header = new QWidget;
    header->setParent(viewport());
    return header;
}

void SectionedListView::keepFocusFrom(QWidget* widget)
{
    // Hiding the focus would pass it on to the next item's widget, which may act on it (a card's
    // editor selects its card): the list keeps it instead.
    if (QWidget* focus = QApplication::focusWidget(); focus && (focus == widget || widget->isAncestorOf(focus)))
        setFocus(Qt::OtherFocusReason);
}

void SectionedListView::recycleItem(const ShownItem& shown)
{
    keepFocusFrom(shown.widget);
    shown.widget->hide();
    m_reusableItems[shown.kind].append(shown.widget);
}

void SectionedListView::recycleHeader(QWidget* widget)
{
    widget->hide();
    m_reusableHeaders.append(widget);
}

QRect SectionedListView::toViewport(const QRect& contentRect) const
{
    return contentRect.translated(0, -contentOffset());
}

int SectionedListView::pinnedTop() const
{
    return contentOffset() + m_topInset;
}
