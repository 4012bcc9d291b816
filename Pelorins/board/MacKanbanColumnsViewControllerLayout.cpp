// Where the board view's columns go: the bookmark jump and sideways scrolling, the columns'
// places in the document, the zoom, and the switch between one column and separate columns.

#include "Pelorins/board/MacKanbanColumnsViewController.h"

#include "Pelorins/board/BoardHost.h"
#include "Pelorins/column/AddColumnButtonView.h"
#include "Pelorins/column/ColumnCollectionView.h"
#include "Pelorins/column/KanbanColumnContainerView.h"
#include "Pelorins/column/KanbanColumnScrollview.h"
#include "Pelorins/column/ListItemHeaderCellView.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "Platform/core/UserDefaults.h"

#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>

namespace {

constexpr double layoutChangeSeconds = 0.3;
constexpr double scrollIntoViewSeconds = 0.7;
// The window widths for a board shown outside a split view.
constexpr int singleColumnWindowFallback = 500;
constexpr int separateColumnsWindowFallback = 1000;

} // namespace

// Bookmark and sideways scrolling

void MacKanbanColumnsViewController::jumpToBookmarkedSection(bool animated)
{
    if (!m_kanban)
        return;
    if (!m_viewAsMultiColumn) {
        MacKanbanColumnController* controller = allSectionsController();
        if (!controller)
            return;
        const IndexPath path {bookmarkedColumnIndex(), 0};
        if (auto* header
            = qobject_cast<ListItemHeaderCellView*>(controller->collectionView()->headerWidget(path.section)))
            header->animateBookmarkButton();
        QPointer<MacKanbanColumnController> guard(controller);
        QMetaObject::invokeMethod(
            this,
            [this, guard, path, animated] {
                if (guard && m_columnControllers.contains(guard.data()))
                    scrollColumn(guard, path, animated);
            },
            Qt::QueuedConnection);
        return;
    }
    MacKanbanColumnController* controller = columnControllerFor(bookmarkedColumnIndex());
    if (!controller || !controller->margins() || !isStageColumn(controller))
        return;
    scrollToController(controller);
    if (ListItemHeaderCellView* header = controller->topHeaderView())
        header->animateBookmarkButton();
}

void MacKanbanColumnsViewController::scrollColumn(
    MacKanbanColumnController* controller, const IndexPath& path, bool animated)
{
    SectionedListView* list = controller->collectionView();
    if (path.section < 0 || path.section >= list->numberOfSections() || path.item < 0
        || path.item >= list->numberOfItems(path.section))
        return;
    list->scrollToItem(path, SectionedListView::ScrollPosition::Top, animated);
}

void MacKanbanColumnsViewController::scrollToController(KanbanColumnController* controller)
{
    if (!controller || !controller->margins())
        return;
    QScrollBar* bar = m_scrollView->horizontalScrollBar();
    const int visibleWidth = m_scrollView->viewport()->width();
    const int offset = bar->value();
    const qreal left = controller->margins()->left;
    const qreal right = left + columnWidth();
    qreal target = 0;
    if (visibleWidth < right - offset)
        target = right - visibleWidth;
    else if (left >= offset)
        return;
    else
        target = left;
    m_animator.run(scrollIntoViewSeconds, [&] { m_animator.setScrollValue(bar, qRound(target)); });
}

// Placing columns

KanbanColumnController::Margins MacKanbanColumnsViewController::addColumnView(QWidget* view, int at, bool atEnd)
{
    const int slot = atEnd ? int(m_columnControllers.size()) : at;
    view->setParent(m_documentView);
    view->show();
    const KanbanColumnController::Margins margins {columnWidth() * slot + leftPadding, 0, columnWidth()};
    updateDocumentWidth();
    return margins;
}

void MacKanbanColumnsViewController::updateDocumentWidth()
{
    const qreal width = m_viewAsMultiColumn
        ? columnWidth() * qreal(m_columnControllers.size()) + leftPadding + addButtonWidth
        : columnWidth();
    m_documentWidth = m_kanban ? qRound(width) : 0;
    fitDocumentSize();
}

void MacKanbanColumnsViewController::fitDocumentSize()
{
    const QSize size(m_documentWidth, m_scrollView->viewport()->height());
    if (m_documentView->size() == size)
        return;
    const bool heightChanged = m_documentView->height() != size.height();
    m_documentView->resize(size);
    // Columns span the document's height.
    if (heightChanged)
        setNeedsDocumentLayout();
}

void MacKanbanColumnsViewController::setNeedsDocumentLayout()
{
    m_needsDocumentLayout = true;
    if (m_documentLayoutPosted)
        return;
    m_documentLayoutPosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_documentLayoutPosted = false;
            layoutDocumentIfNeeded();
        },
        Qt::QueuedConnection);
}

void MacKanbanColumnsViewController::layoutDocumentIfNeeded()
{
    if (!m_needsDocumentLayout)
        return;
    m_needsDocumentLayout = false;
    const int height = m_documentView->height();
    for (MacKanbanColumnController* controller : std::as_const(m_columnControllers)) {
        const std::optional<KanbanColumnController::Margins> margins = controller->margins();
        QWidget* container = controller->containerView();
        if (!margins || container->parentWidget() != m_documentView)
            continue;
        m_animator.setGeometry(
            container, QRect(qRound(margins->left), qRound(margins->top), qRound(margins->width), height));
    }
    if (m_addColumnButton)
        m_animator.setGeometry(m_addColumnButton,
            QRect(m_addColumnButton->leftMargin(), m_addColumnButton->topMargin(), int(addButtonWidth),
                int(addButtonWidth)));
}

void MacKanbanColumnsViewController::animateLayoutChanges()
{
    m_animator.run(layoutChangeSeconds, [this] {
        m_needsDocumentLayout = true;
        layoutDocumentIfNeeded();
    });
}

// Layout and zoom

void MacKanbanColumnsViewController::setStoredMagnification(qreal storedMagnification)
{
    m_storedMagnification = storedMagnification;
    for (MacKanbanColumnController* controller : std::as_const(m_columnControllers)) {
        if (controller->scrollView()->magnification() == storedMagnification)
            continue;
        controller->scrollView()->setMagnification(storedMagnification);
        controller->updateColumnHeight(0, true);
    }
    if (m_addColumnButton)
        m_addColumnButton->updatePosition();
    updateDocumentWidth();
    setViewWidthConstraintInstalled(m_viewWidthConstraintInstalled);
    // The one column's window follows the column's width: zoomed in, the column's right side and
    // the corner buttons would be outside it.
    QWidget* window = mainWindow();
    if (m_viewWidthConstraintInstalled && window && !window->isFullScreen())
        m_animator.setWindowGeometry(window, singleColumnWindowFrame(window));
}

void MacKanbanColumnsViewController::toggleColumnLayout()
{
    // A selection of columns means nothing in the other layout, where the single list hides them.
    m_lastSelectedController = nullptr;
    for (MacKanbanColumnController* controller : std::as_const(m_columnControllers))
        if (controller->isSelected())
            controller->setSelected(false);
    if (m_viewAsMultiColumn)
        switchToSingleColumn();
    else
        switchToSeparateColumns();
}

void MacKanbanColumnsViewController::switchToSingleColumn()
{
    QWidget* window = mainWindow();
    if (window && window->isFullScreen())
        window->showNormal();
    MacKanbanColumnController* target = columnControllerFor(bookmarkedColumnIndex());
    if (target)
        target->setLastClipViewOffset(target->scrollView()->contentOffset());

    m_viewAsMultiColumn = false;
    updateChangeLayoutButton();
    m_scrollView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (MacKanbanColumnController* controller : std::as_const(m_columnControllers))
        controller->updateColumnHeight(0, true);
    if (m_addColumnButton)
        m_addColumnButton->updatePosition();
    updateDocumentWidth();

    m_services.defaults->setValue(expandedViewWidthKey, width());
    m_services.defaults->synchronize();

    QPointer<MacKanbanColumnController> guard(target);
    m_animator.run(
        scrollIntoViewSeconds,
        [this, window] {
            m_needsDocumentLayout = true;
            layoutDocumentIfNeeded();
            if (window)
                m_animator.setWindowGeometry(window, singleColumnWindowFrame(window));
        },
        [this, guard] {
            if (guard && m_columnControllers.contains(guard.data()))
                guard->expandToAllSections();
            const int bookmarked = bookmarkedColumnIndex();
            for (MacKanbanColumnController* controller : std::as_const(m_columnControllers))
                if (controller->specifiedSection() != bookmarked)
                    controller->containerView()->hide();
            setViewWidthConstraintInstalled(true);
            m_services.defaults->setValue(viewAsMultiColumnKey, m_viewAsMultiColumn);
        });
}

void MacKanbanColumnsViewController::switchToSeparateColumns()
{
    MacKanbanColumnController* single = allSectionsController();
    if (!single)
        return;
    // The stage at the top of the list, just under the title band, becomes the visible column.
    const QList<KanbanColumn*> stages = kanbanColumns();
    const qreal top = single->scrollView()->contentOffset() + titleBarHeight;
    int topStage = std::max(0, int(stages.size()) - 1);
    qreal sum = 0;
    for (int i = 0; i < stages.size(); ++i) {
        sum += single->heightOfSection(i);
        if (sum > top) {
            topStage = i;
            break;
        }
    }
    const int section = single->specifiedSection();
    if (!stages.isEmpty() && topStage != section) {
        if (MacKanbanColumnController* other = columnControllerFor(topStage)) {
            other->setSpecifiedSection(section);
            single->setSpecifiedSection(topStage);
        }
    }
    for (MacKanbanColumnController* controller : std::as_const(m_columnControllers)) {
        controller->updateColumnHeight(topStage, false);
        // Hidden while the one list showed every stage, they may show cards moved since.
        if (controller != single)
            controller->reloadData();
        if (ListItemHeaderCellView* header = controller->topHeaderView())
            header->updateBookmarkButton();
        controller->containerView()->show();
    }
    single->collapseToSpecifiedSection();

    QWidget* window = mainWindow();
    m_animator.run(
        0,
        [this] {
            m_needsDocumentLayout = true;
            layoutDocumentIfNeeded();
        },
        [this, window] {
            m_viewAsMultiColumn = true;
            updateChangeLayoutButton();
            for (MacKanbanColumnController* controller : std::as_const(m_columnControllers))
                controller->updateColumnHeight(0, true);
            if (m_addColumnButton)
                m_addColumnButton->updatePosition();
            updateDocumentWidth();
            setViewWidthConstraintInstalled(false);
            const QScreen* screen = window ? window->screen() : nullptr;
            const int screenWidth = screen ? screen->geometry().width() : std::numeric_limits<int>::max();
            const int boardWidth = separateColumnsBoardWidth(storedInteger(expandedViewWidthKey), columnWidth(),
                screenWidth - (mainSplitViewController() ? sidebarWidth() : 0));
            m_animator.run(
                scrollIntoViewSeconds,
                [this, window, screen, boardWidth] {
                    m_needsDocumentLayout = true;
                    layoutDocumentIfNeeded();
                    if (!window || window->isFullScreen())
                        return;
                    const int width = mainSplitViewController() ? sidebarWidth() + boardWidth + windowChrome()
                                                                : separateColumnsWindowFallback;
                    const QRect frame = window->geometry();
                    m_animator.setWindowGeometry(window,
                        screen ? clampedWindowFrame(frame, width, screen->geometry())
                               : QRect(frame.topLeft(), QSize(width, frame.height())));
                },
                [this] {
                    m_scrollView->setHorizontalScrollBarPolicy(
                        m_viewAsMultiColumn ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
                    m_services.defaults->setValue(viewAsMultiColumnKey, m_viewAsMultiColumn);
                });
        });
}

int MacKanbanColumnsViewController::separateColumnsBoardWidth(int expandedViewWidth, qreal columnWidth, int screenWidth)
{
    const int floor = 2 * int(columnWidth);
    return std::max(floor, std::min(expandedViewWidth, screenWidth));
}

QRect MacKanbanColumnsViewController::clampedWindowFrame(const QRect& frame, int width, const QRect& screen)
{
    int x = frame.x();
    const int screenRight = screen.x() + screen.width();
    if (x + width > screenRight)
        x = std::max(screen.x(), screenRight - width - 20);
    return QRect(x, frame.y(), width, frame.height());
}

void MacKanbanColumnsViewController::setViewWidthConstraintInstalled(bool installed)
{
    m_viewWidthConstraintInstalled = installed;
    if (installed)
        m_scrollView->setFixedWidth(qRound(columnWidth()));
    else
        m_scrollView->setMinimumWidth(0), m_scrollView->setMaximumWidth(QWIDGETSIZE_MAX);
    placeChildren();
}

QWidget* MacKanbanColumnsViewController::mainWindow() const
{
    QWidget* top = window();
    return top == this ? nullptr : top;
}

int MacKanbanColumnsViewController::sidebarWidth() const
{
    BoardHost* host = mainSplitViewController();
    return host ? host->shownSidebarWidth() : 0;
}

QRect MacKanbanColumnsViewController::singleColumnWindowFrame(const QWidget* window) const
{
    const int boardWidth
        = mainSplitViewController() ? sidebarWidth() + qRound(columnWidth()) : singleColumnWindowFallback;
    QRect frame = window->geometry();
    frame.setWidth(boardWidth + windowChrome());
    return frame;
}

// What the window adds around the sidebar and the board: the split view's handle, margins.
int MacKanbanColumnsViewController::windowChrome() const
{
    QWidget* window = mainWindow();
    if (!window || !mainSplitViewController())
        return 0;
    return std::max(0, window->width() - sidebarWidth() - width());
}

void MacKanbanColumnsViewController::contentViewScrolled()
{
    // Cards that slid under or away from the pointer show or hide their hover controls.
    const int stages = stageCount();
    for (MacKanbanColumnController* controller : std::as_const(m_columnControllers))
        if (controller->specifiedSection() < stages)
            controller->refreshHoverStates();
}
