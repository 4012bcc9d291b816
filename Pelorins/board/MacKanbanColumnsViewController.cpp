#include "Pelorins/board/MacKanbanColumnsViewController.h"

#include "Pelorins/board/BoardHost.h"
#include "Pelorins/board/BoardSearchText.h"
#include "Pelorins/column/AddButton.h"
#include "Pelorins/column/AddColumnButtonView.h"
#include "Pelorins/column/ColumnCollectionView.h"
#include "Pelorins/column/KanbanColumnContainerView.h"
#include "Pelorins/column/KanbanColumnScrollview.h"
#include "Pelorins/column/ListItemHeaderCellView.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "Pelorins/common/MainWindowActions.h"
#include "PelorinsKit/archive/JSONReader.h"
#include "PelorinsKit/board/DoneItemsMover.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "PelorinsKit/model/NotificationName.h"
#include "PelorinsKit/model/Tag.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/core/OrderedSet.h"
#include "Platform/core/UndoManager.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"
#include "Platform/services/SystemEventMonitor.h"
#include "Platform/widgets/AccessibleNames.h"
#include "Platform/widgets/ActionRouter.h"
#include "Platform/widgets/AlertPresenter.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <algorithm>
#include <cmath>

namespace {

constexpr double layoutChangeSeconds = 0.3;
constexpr double scrollIntoViewSeconds = 0.7;
constexpr int cornerButtonSize = 24;
constexpr int cornerButtonMargin = 8;
// The widths of the Part's fallbacks, for a board shown outside a split view.
constexpr int singleColumnWindowFallback = 500;
constexpr int separateColumnsWindowFallback = 1000;

const QString willSleepEvent = QStringLiteral("willSleep");
const QString didWakeEvent = QStringLiteral("didWake");

// Two arrows meeting in the middle (one column) or leaving it (separate columns).
QIcon layoutIcon(bool collapse)
{
    QPixmap pixmap(48, 48);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(60, 60, 60), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const auto arrow = [&](qreal tipX, qreal tailX) {
        painter.drawLine(QPointF(tailX, 24), QPointF(tipX, 24));
        const qreal back = tipX < tailX ? 7 : -7;
        painter.drawLine(QPointF(tipX, 24), QPointF(tipX + back, 17));
        painter.drawLine(QPointF(tipX, 24), QPointF(tipX + back, 31));
    };
    if (collapse) {
        arrow(20, 4);
        arrow(28, 44);
        painter.drawLine(QPointF(24, 10), QPointF(24, 38));
    } else {
        arrow(4, 20);
        arrow(44, 28);
        painter.drawLine(QPointF(24, 10), QPointF(24, 38));
    }
    return QIcon(pixmap);
}

QIcon bookmarkIcon()
{
    QPixmap pixmap(48, 48);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath ribbon;
    ribbon.moveTo(13, 6);
    ribbon.lineTo(35, 6);
    ribbon.lineTo(35, 42);
    ribbon.lineTo(24, 32);
    ribbon.lineTo(13, 42);
    ribbon.closeSubpath();
    painter.fillPath(ribbon, QColor(214, 59, 59));
    return QIcon(pixmap);
}

QToolButton* makeCornerButton(QWidget* parent, const QString& name)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setIconSize(QSize(cornerButtonSize - 6, cornerButtonSize - 6));
    button->resize(cornerButtonSize, cornerButtonSize);
    return button;
}

} // namespace

MacKanbanColumnsViewController::MacKanbanColumnsViewController(const Services& services, QWidget* parent)
    : ViewWithBackground(services.router, parent)
    , m_services(services)
    , m_searchText(new BoardSearchText(this))
{
    if (!m_services.defaults)
        m_services.defaults = &UserDefaults::standard();
    if (!m_services.notificationCenter)
        m_services.notificationCenter = &NotificationCenter::shared();
    if (!m_services.now)
        m_services.now = [] { return QDateTime::currentDateTimeUtc(); };
    setObjectName(QStringLiteral("kanbanColumnsView"));

    m_scrollView = new QScrollArea(this);
    m_scrollView->setObjectName(QStringLiteral("boardScrollView"));
    m_scrollView->setFrameShape(QFrame::NoFrame);
    m_scrollView->setWidgetResizable(false);
    m_scrollView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollView->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Transparent without a style sheet: one would restyle every column widget placed inside.
    m_scrollView->setAutoFillBackground(false);
    m_scrollView->viewport()->setAutoFillBackground(false);
    m_documentView = new QWidget;
    m_documentView->setObjectName(QStringLiteral("boardDocumentView"));
    m_scrollView->setWidget(m_documentView);
    // The board's background shows between and behind the columns.
    m_documentView->setAutoFillBackground(false);
    m_scrollView->viewport()->installEventFilter(this);

    m_titleTextField = new QLabel(this);
    m_titleTextField->setObjectName(QStringLiteral("titleTextField"));
    m_titleTextField->setAttribute(Qt::WA_TransparentForMouseEvents);
    QFont titleFont = m_titleTextField->font();
    titleFont.setBold(true);
    titleFont.setPixelSize(15);
    m_titleTextField->setFont(titleFont);
    m_titleTextField->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    m_bookmarkButton = makeCornerButton(this, QStringLiteral("bookmarkButton"));
    m_bookmarkButton->setIcon(bookmarkIcon());
    AccessibleNames::setToolTip(m_bookmarkButton, local(QStringLiteral("Jump to Bookmarked Section")));
    connect(m_bookmarkButton, &QToolButton::clicked, this, &MacKanbanColumnsViewController::bookmarkButtonTapped);
    m_changeLayoutButton = makeCornerButton(this, QStringLiteral("changeLayoutButton"));
    connect(
        m_changeLayoutButton, &QToolButton::clicked, this, &MacKanbanColumnsViewController::bottomRightButtonTapped);
    updateChangeLayoutButton();

    // Set-up as the view loads: the mover, the observers, the timers.
    m_doneItemsMover = std::make_unique<DoneItemsMover>(this, *m_services.defaults);
    NotificationCenter& center = *m_services.notificationCenter;
    center.addObserver(this, NotificationName::backgroundChanged,
        [this](const NotificationCenter::Notification&) { setBackgroundImage(); });
    center.addObserver(this, NotificationName::projectTitleChanged,
        [this](const NotificationCenter::Notification&) { updateTitle(); });
    connect(m_scrollView->horizontalScrollBar(), &QScrollBar::valueChanged, this,
        &MacKanbanColumnsViewController::contentViewScrolled);
    // A deleted board never stays on screen, where its cards would take typing nobody keeps.
    if (m_services.context)
        connect(m_services.context, &ManagedObjectContext::objectDidChange, this, [this](ManagedObject* object) {
            if (object && object == m_kanban && !m_deletionCheckPending) {
                m_deletionCheckPending = true;
                QMetaObject::invokeMethod(
                    this, &MacKanbanColumnsViewController::releaseKanbanIfDeleted, Qt::QueuedConnection);
            }
        });

    for (QTimer* timer : {&m_minutelyTimer, &m_dailyTimer}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    // Each fire sets the next one from the moment it was due, never from a fixed interval, so
    // that a day of 23 or 25 hours still ends at midnight.
    connect(&m_minutelyTimer, &QTimer::timeout, this, [this] {
        const QDateTime due = m_minutelyFireDate.value_or(now());
        checkForDueItems();
        armMinutelyTimer(std::max(now(), due));
    });
    connect(&m_dailyTimer, &QTimer::timeout, this, [this] {
        const QDateTime due = m_dailyFireDate.value_or(now());
        updateDoneColumnHeaders();
        armDailyTimer(std::max(now(), due));
    });
    scheduleMinutelyTimer();
    scheduleDailyTimer();

    center.addObserver(this, NotificationName::dueSoonDefinitionChanged,
        [this](const NotificationCenter::Notification&) { checkForDueItems(); });
    if (SystemEventMonitor* monitor = m_services.systemEvents) {
        connect(monitor, &SystemEventMonitor::clockChanged, this, &MacKanbanColumnsViewController::scheduleAllTimers);
        connect(
            monitor, &SystemEventMonitor::timeZoneChanged, this, &MacKanbanColumnsViewController::scheduleAllTimers);
        connect(monitor, &SystemEventMonitor::willSleep, this, [this] { sleepListener(willSleepEvent); });
        connect(monitor, &SystemEventMonitor::didWake, this, [this] { sleepListener(didWakeEvent); });
    }
    if (m_services.router)
        m_services.router->attach(this, this);
}

MacKanbanColumnsViewController::~MacKanbanColumnsViewController()
{
    // Columns call their board while they go; the board is still whole here.
    const QList<MacKanbanColumnController*> controllers = m_columnControllers + m_inactiveColumnControllers;
    m_columnControllers.clear();
    m_inactiveColumnControllers.clear();
    m_lastSelectedController = nullptr;
    qDeleteAll(controllers);
}

// Timers

QDateTime MacKanbanColumnsViewController::nextWholeMinute(const QDateTime& now)
{
    constexpr qint64 minute = 60 * 1000;
    const qint64 since = now.toMSecsSinceEpoch();
    const qint64 floored = since - ((since % minute) + minute) % minute;
    return QDateTime::fromMSecsSinceEpoch(floored + minute, Qt::UTC);
}

QDateTime MacKanbanColumnsViewController::nextLocalMidnight(const QDateTime& now, const QTimeZone& zone)
{
    const QDate today = now.toTimeZone(zone).date();
    return today.addDays(1).startOfDay(zone).toUTC();
}

void MacKanbanColumnsViewController::scheduleMinutelyTimer()
{
    armMinutelyTimer(now());
}

void MacKanbanColumnsViewController::scheduleDailyTimer()
{
    armDailyTimer(now());
}

void MacKanbanColumnsViewController::armMinutelyTimer(const QDateTime& after)
{
    m_minutelyTimer.stop();
    m_minutelyFireDate = nextWholeMinute(after);
    m_minutelyTimer.start(int(std::clamp<qint64>(now().msecsTo(*m_minutelyFireDate), 0, 60 * 1000)));
}

void MacKanbanColumnsViewController::armDailyTimer(const QDateTime& after)
{
    m_dailyTimer.stop();
    m_dailyFireDate = nextLocalMidnight(after);
    if (!m_dailyFireDate->isValid()) {
        m_dailyFireDate.reset();
        return;
    }
    m_dailyTimer.start(int(std::clamp<qint64>(now().msecsTo(*m_dailyFireDate), 0, 26 * 3600 * 1000)));
}

void MacKanbanColumnsViewController::scheduleAllTimers()
{
    scheduleMinutelyTimer();
    scheduleDailyTimer();
}

void MacKanbanColumnsViewController::sleepListener(const QString& eventName)
{
    if (eventName == willSleepEvent) {
        m_minutelyTimer.stop();
        m_dailyTimer.stop();
        m_minutelyFireDate.reset();
        m_dailyFireDate.reset();
    } else if (eventName == didWakeEvent) {
        scheduleMinutelyTimer();
        scheduleDailyTimer();
    } else {
        ConsoleLog::write(QStringLiteral("Some other event other than the first two"));
    }
}

std::optional<QDateTime> MacKanbanColumnsViewController::minutelyFireDate() const
{
    return m_minutelyTimer.isActive() ? m_minutelyFireDate : std::nullopt;
}

std::optional<QDateTime> MacKanbanColumnsViewController::dailyFireDate() const
{
    return m_dailyTimer.isActive() ? m_dailyFireDate : std::nullopt;
}

void MacKanbanColumnsViewController::contentViewScrolled()
{
    // Cards that slid under or away from the pointer show or hide their hover controls.
    const int stages = stageCount();
    for (MacKanbanColumnController* controller : std::as_const(m_columnControllers))
        if (controller->specifiedSection() < stages)
            controller->refreshHoverStates();
}

void MacKanbanColumnsViewController::checkForDueItems()
{
    for (MacKanbanColumnController* controller : std::as_const(m_columnControllers))
        controller->updateDueDateColours();
    if (BoardHost* host = mainSplitViewController())
        host->refreshSidebarListWhileKeepingSelection();
}

void MacKanbanColumnsViewController::updateDoneColumnHeaders()
{
    // The done column, and in one column the list that shows the days among its sections.
    const int stages = stageCount();
    for (MacKanbanColumnController* controller : std::as_const(m_columnControllers))
        if (controller->specifiedSection() == stages || controller->showAllSections())
            controller->updateDoneColumnHeaders();
}

// Loading

void MacKanbanColumnsViewController::setKanban(Kanban* kanban)
{
    if (m_kanban && m_kanban != kanban) {
        m_searchText->cancel();
        releaseNotesOf(m_kanban);
    }
    m_kanban = kanban;
}

void MacKanbanColumnsViewController::loadKanban()
{
    if (!m_kanban || m_kanban->isDeleted()) {
        showNoBoard();
        return;
    }
    if (m_services.prepareBoard)
        m_services.prepareBoard(m_kanban);
    // The layout the user chose last; the very first board is shown side by side.
    m_viewAsMultiColumn = storedBool(viewAsMultiColumnKey).value_or(true);
    updateChangeLayoutButton();
    if (!storedBool(firstSetupCompletedKey).value_or(false)) {
        m_viewAsMultiColumn = true;
        updateChangeLayoutButton();
        m_services.defaults->setValue(firstSetupCompletedKey, true);
    }

    if (!m_kanban->mainColumn()) {
        auto* doneColumn = m_services.context->insertNewObject<KanbanColumn>(QStringLiteral("KanbanColumn"));
        doneColumn->setMainKanban(m_kanban);
        m_kanban->setMainColumn(doneColumn);
    }
    setBackgroundImage();
    updateTitle();

    const int stages = stageCount();
    MacKanbanColumnController* carriedDone = nullptr;
    if (!m_columnControllers.isEmpty()) {
        carriedDone = *std::max_element(m_columnControllers.cbegin(), m_columnControllers.cend(),
            [](const auto* a, const auto* b) { return a->specifiedSection() < b->specifiedSection(); });
        m_columnControllers.removeOne(carriedDone);
        retireControllers(stages);
    }

    QList<MacKanbanColumnController*> newControllers;
    for (int section = int(m_columnControllers.size()); section < stages; ++section) {
        if (m_inactiveColumnControllers.isEmpty()) {
            installColumnController(section, nullptr, newControllers);
        } else {
            MacKanbanColumnController* pooled = m_inactiveColumnControllers.takeFirst();
            pooled->containerView()->setIntermediateResponderAdded(false);
            installColumnController(section, pooled, newControllers);
        }
    }
    if (carriedDone) {
        // Reloaded below with the other controllers this load keeps.
        carriedDone->setSpecifiedSection(stages);
        m_columnControllers.append(carriedDone);
        carriedDone->setDoneItemsOnDateCached({});
        carriedDone->updateColumnHeight(0, true);
    } else {
        installColumnController(stages, nullptr, newControllers);
    }
    updateDocumentWidth();
    if (m_addColumnButton)
        m_addColumnButton->updatePosition();
    for (MacKanbanColumnController* controller : std::as_const(m_columnControllers))
        if (!newControllers.contains(controller))
            refreshKeptController(controller);

    for (MacKanbanColumnController* controller : std::as_const(m_columnControllers))
        controller->updateTopHeader();
    m_scrollView->setHorizontalScrollBarPolicy(m_viewAsMultiColumn ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setupAddColumnButton();
    putControllersInCurrentLayout();
    layoutDocumentIfNeeded();
    // Once the window has laid the board out: a board loaded as its window appears has no width
    // yet, and would scroll as if it were a few pixels wide.
    QMetaObject::invokeMethod(
        this,
        [this, kanban = m_kanban] {
            if (m_kanban == kanban)
                jumpToBookmarkedSection(false);
        },
        Qt::QueuedConnection);
    m_searchTextWanted = true;
}

void MacKanbanColumnsViewController::retireControllers(int stages)
{
    const int left = int(m_columnControllers.size());
    for (int section = stages; section < left; ++section) {
        MacKanbanColumnController* controller = columnControllerFor(section);
        if (!controller)
            continue;
        controller->containerView()->hide();
        controller->containerView()->setParent(nullptr);
        m_columnControllers.removeOne(controller);
        m_inactiveColumnControllers.append(controller);
        if (m_lastSelectedController == controller)
            m_lastSelectedController = nullptr;
    }
}

void MacKanbanColumnsViewController::installColumnController(
    int section, MacKanbanColumnController* reusing, QList<MacKanbanColumnController*>& newControllers)
{
    MacKanbanColumnController* controller = reusing;
    if (controller)
        controller->setSpecifiedSection(section);
    else
        controller = new MacKanbanColumnController(section, this, this);
    m_columnControllers.append(controller);
    // A controller back from the pool is refreshed like one kept in place, so it never shows
    // the board it showed before.
    if (!reusing)
        newControllers.append(controller);
    controller->setMargins(addColumnView(controller->containerView(), section, false));
    if (!m_viewAsMultiColumn) {
        if (section != bookmarkedColumnIndex()) {
            controller->containerView()->hide();
        } else {
            controller->setShowAllSections(true);
        }
    }
    controller->updateColumnHeight(0, true);
}

void MacKanbanColumnsViewController::refreshKeptController(MacKanbanColumnController* controller)
{
    controller->reloadData();
    if (isStageColumn(controller))
        controller->scrollToTop();
    controller->setSelected(false);
}

// Separate columns: every column shown and none showing all sections. One column: only the
// bookmarked stage's, showing all of them.
void MacKanbanColumnsViewController::putControllersInCurrentLayout()
{
    MacKanbanColumnController* single = m_viewAsMultiColumn ? nullptr : columnControllerFor(bookmarkedColumnIndex());
    for (MacKanbanColumnController* controller : std::as_const(m_columnControllers)) {
        const bool showsAll = controller == single;
        controller->setShowAllSections(showsAll);
        controller->containerView()->setVisible(m_viewAsMultiColumn || showsAll);
    }
    for (MacKanbanColumnController* controller : std::as_const(m_columnControllers))
        controller->updateColumnHeight(0, true);
    setViewWidthConstraintInstalled(!m_viewAsMultiColumn);
}

void MacKanbanColumnsViewController::showNoBoard()
{
    m_kanban = nullptr;
    m_titleTextField->clear();
    // The done column's controller stays to be carried to the next board; the others wait in
    // the pool.
    std::sort(m_columnControllers.begin(), m_columnControllers.end(),
        [](const auto* a, const auto* b) { return a->specifiedSection() < b->specifiedSection(); });
    while (m_columnControllers.size() > 1) {
        MacKanbanColumnController* controller = m_columnControllers.takeFirst();
        controller->containerView()->hide();
        controller->containerView()->setParent(nullptr);
        m_inactiveColumnControllers.append(controller);
    }
    m_lastSelectedController = nullptr;
    for (MacKanbanColumnController* controller : std::as_const(m_columnControllers)) {
        controller->setSpecifiedSection(0);
        controller->containerView()->hide();
    }
    if (m_addColumnButton)
        m_addColumnButton->hide();
    updateDocumentWidth();
    update();
}

void MacKanbanColumnsViewController::releaseKanbanIfDeleted()
{
    // A deletion announces its changes before the object counts as deleted, so this runs after.
    m_deletionCheckPending = false;
    if (!m_kanban || !m_kanban->isDeleted())
        return;
    showNoBoard();
    emit kanbanReleased();
}

int MacKanbanColumnsViewController::stageCount() const
{
    return int(kanbanColumns().size());
}

bool MacKanbanColumnsViewController::isStageColumn(const MacKanbanColumnController* controller) const
{
    return controller->specifiedSection() < stageCount();
}

MacKanbanColumnController* MacKanbanColumnsViewController::allSectionsController() const
{
    for (MacKanbanColumnController* controller : m_columnControllers)
        if (controller->showAllSections())
            return controller;
    return nullptr;
}

void MacKanbanColumnsViewController::releaseNotesOf(Kanban* kanban)
{
    if (kanban->isDeleted())
        return;
    QList<KanbanColumn*> columns = kanban->column();
    if (KanbanColumn* done = kanban->mainColumn())
        columns.append(done);
    for (KanbanColumn* column : std::as_const(columns))
        for (ListItem* card : column->item())
            card->releaseDecodedNotes();
}

void MacKanbanColumnsViewController::setupAddColumnButton()
{
    if (m_addColumnButton) {
        m_addColumnButton->show();
        return;
    }
    m_addColumnButton = new AddColumnButtonView(this, m_documentView);
    m_addColumnButton->setObjectName(QStringLiteral("addColumnButton"));
    // The round holder shows the tooltip around the button, which is named by it.
    m_addColumnButton->setToolTip(local(QStringLiteral("Add Section")));
    AccessibleNames::setToolTip(m_addColumnButton->addButton(), m_addColumnButton->toolTip());
    m_addColumnButton->updatePosition();
    m_addColumnButton->show();
}

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
            if (!window)
                return;
            const int boardWidth
                = mainSplitViewController() ? sidebarWidth() + qRound(columnWidth()) : singleColumnWindowFallback;
            QRect frame = window->geometry();
            frame.setWidth(boardWidth + windowChrome());
            m_animator.setWindowGeometry(window, frame);
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

// What the window adds around the sidebar and the board: the split view's handle, margins.
int MacKanbanColumnsViewController::windowChrome() const
{
    QWidget* window = mainWindow();
    if (!window || !mainSplitViewController())
        return 0;
    return std::max(0, window->width() - sidebarWidth() - width());
}

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

// Lookups

QList<KanbanColumn*> MacKanbanColumnsViewController::kanbanColumns() const
{
    return m_kanban ? m_kanban->column() : QList<KanbanColumn*>();
}

int MacKanbanColumnsViewController::bookmarkedColumnIndex() const
{
    const QList<KanbanColumn*> columns = kanbanColumns();
    for (int i = 0; i < columns.size(); ++i)
        if (columns.at(i)->bookmarked())
            return i;
    return 0;
}

KanbanColumnController* MacKanbanColumnsViewController::controllerFor(int section) const
{
    return columnControllerFor(section);
}

MacKanbanColumnController* MacKanbanColumnsViewController::columnControllerFor(int section) const
{
    for (MacKanbanColumnController* controller : m_columnControllers)
        if (controller->specifiedSection() == section)
            return controller;
    return nullptr;
}

QSet<int> MacKanbanColumnsViewController::selectedSections() const
{
    QSet<int> sections;
    const int stages = stageCount();
    for (MacKanbanColumnController* controller : m_columnControllers) {
        if (controller->isSelected())
            sections.insert(controller->specifiedSection());
        const QSet<IndexPath> selection = controller->collectionView()->selectionIndexPaths();
        if (selection.isEmpty())
            continue;
        if (!controller->showAllSections()) {
            sections.insert(controller->specifiedSection());
            continue;
        }
        for (const IndexPath& path : selection)
            sections.insert(std::min(path.section, stages));
    }
    return sections;
}

void MacKanbanColumnsViewController::setItemHeightCache(const QHash<ListItem*, qreal>& itemHeightCache)
{
    m_itemHeightCache = itemHeightCache;
}

void MacKanbanColumnsViewController::cacheItemHeight(ListItem* item, qreal height)
{
    m_itemHeightCache.insert(item, height);
}

std::optional<qreal> MacKanbanColumnsViewController::cachedItemHeight(ListItem* item) const
{
    const auto found = m_itemHeightCache.constFind(item);
    return found == m_itemHeightCache.cend() ? std::nullopt : std::optional<qreal>(*found);
}

void MacKanbanColumnsViewController::setLastSelectedController(MacKanbanColumnController* controller)
{
    m_lastSelectedController = controller;
}

void MacKanbanColumnsViewController::setMainSplitViewController(BoardHost* controller)
{
    m_mainSplitViewController = controller;
    m_mainSplitView = controller ? controller->view() : nullptr;
}

void MacKanbanColumnsViewController::saveAction()
{
    if (m_services.save)
        m_services.save();
}

int MacKanbanColumnsViewController::storedInteger(const QString& key) const
{
    // A value that is not a whole number reads as absent.
    bool isNumber = false;
    const int value = m_services.defaults->stringForKey(key).trimmed().toInt(&isNumber);
    return isNumber ? value : 0;
}

std::optional<bool> MacKanbanColumnsViewController::storedBool(const QString& key) const
{
    // A value that is not a truth value reads as absent.
    const QString text = m_services.defaults->stringForKey(key).trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0"))
        return false;
    return std::nullopt;
}

// Look and chrome

void MacKanbanColumnsViewController::updateChangeLayoutButton()
{
    m_changeLayoutButton->setIcon(layoutIcon(m_viewAsMultiColumn));
    AccessibleNames::setToolTip(m_changeLayoutButton,
        m_viewAsMultiColumn ? local(QStringLiteral("View as Single Column"))
                            : local(QStringLiteral("View as Separate Columns")));
}

void MacKanbanColumnsViewController::updateTitle()
{
    if (m_kanban && !m_kanban->title().isEmpty())
        m_titleTextField->setText(m_kanban->title());
}

void MacKanbanColumnsViewController::setBackgroundImage()
{
    if (!m_kanban)
        return;
    showBackground(*m_kanban);
    for (MacKanbanColumnController* controller : std::as_const(m_columnControllers))
        controller->updateTagLooks();
}

void MacKanbanColumnsViewController::paintEvent(QPaintEvent* event)
{
    ViewWithBackground::paintEvent(event);
    // After the pass that paints the columns, so that the board shows before the reading starts.
    if (std::exchange(m_searchTextWanted, false))
        QTimer::singleShot(0, this, [this] { m_searchText->prepare(m_kanban); });
}

void MacKanbanColumnsViewController::resizeEvent(QResizeEvent* event)
{
    ViewWithBackground::resizeEvent(event);
    placeChildren();
}

bool MacKanbanColumnsViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_scrollView->viewport() && event->type() == QEvent::Resize) {
        fitDocumentSize();
        placeChildren();
    }
    return ViewWithBackground::eventFilter(watched, event);
}

void MacKanbanColumnsViewController::placeChildren()
{
    const int scrollWidth = std::clamp(width(), m_scrollView->minimumWidth(), m_scrollView->maximumWidth());
    m_scrollView->setGeometry(0, 0, scrollWidth, height());
    m_titleTextField->setGeometry(12, 0, std::max(0, scrollWidth - 24), int(titleBarHeight));
    const QRect viewport = m_scrollView->viewport()->geometry().translated(m_scrollView->pos());
    const int y = viewport.bottom() - cornerButtonMargin - cornerButtonSize;
    const int right = viewport.right() - cornerButtonMargin;
    m_changeLayoutButton->move(right - cornerButtonSize, y);
    m_bookmarkButton->move(right - 2 * cornerButtonSize - 4, y);
    m_titleTextField->raise();
    m_changeLayoutButton->raise();
    m_bookmarkButton->raise();
}

int MacKanbanColumnsViewController::columnsBottomInset() const
{
    // The corner buttons and the margins around them.
    return cornerButtonSize + 2 * cornerButtonMargin;
}

void MacKanbanColumnsViewController::bookmarkButtonTapped()
{
    jumpToBookmarkedSection(true);
}

void MacKanbanColumnsViewController::bottomRightButtonTapped()
{
    toggleColumnLayout();
}

void MacKanbanColumnsViewController::getOffset()
{
    m_scrollView->horizontalScrollBar()->setValue(200);
}

bool MacKanbanColumnsViewController::respondsTo(const QString& action) const
{
    return action == MainWindowActions::getOffset || sectionActions().contains(action);
}

void MacKanbanColumnsViewController::perform(const QString& action, QObject* sender)
{
    if (action == MainWindowActions::getOffset)
        getOffset();
    else
        performSectionAction(action, sender);
}

void MacKanbanColumnsViewController::showProjectSettings()
{
    // The board's settings panel comes with its backgrounds.
}

// Cards: filled by the work that builds them.

void MacKanbanColumnsViewController::flipDoneStatesOf(const QList<ListItem*>& items)
{
    QList<ListItem*> open;
    QList<ListItem*> done;
    for (ListItem* card : items)
        (card->done() ? done : open).append(card);
    if (!open.isEmpty())
        markItemsDone(open);
    if (!done.isEmpty())
        markItemsUndone(done);
}

void MacKanbanColumnsViewController::markItemsDone(const QList<ListItem*>& items)
{
    // Both layouts go through the done mover, so that a card done in the one list has its done
    // date, day and history as in separate columns; the list follows its hidden columns.
    if (m_doneItemsMover)
        m_doneItemsMover->moveDoneItems(items, std::nullopt);
    saveAction();
}

void MacKanbanColumnsViewController::markItemsUndone(const QList<ListItem*>& items)
{
    if (m_doneItemsMover)
        m_doneItemsMover->moveUnDoneItems(items, std::nullopt);
    saveAction();
}

std::optional<IndexPath> MacKanbanColumnsViewController::doneColumnDropIndexPath(const QPoint& globalPoint) const
{
    if (!m_viewAsMultiColumn || !m_documentView)
        return std::nullopt;
    MacKanbanColumnController* done = columnControllerFor(stageCount());
    if (!done || !done->containerView())
        return std::nullopt;
    const QPoint point = m_documentView->mapFromGlobal(globalPoint);
    if (!done->containerView()->geometry().contains(point))
        return std::nullopt;
    return done->headerDropIndexPath(point);
}

void MacKanbanColumnsViewController::deleteBackward()
{
    QList<int> sections;
    for (int section = 0; section < stageCount(); ++section)
        if (MacKanbanColumnController* controller = columnControllerFor(section);
            controller && controller->isSelected())
            sections.append(section);
    if (!sections.isEmpty()) {
        deleteSections(sections, std::nullopt);
        return;
    }
    for (MacKanbanColumnController* controller : std::as_const(m_columnControllers))
        controller->deleteSelectedItems();
}

void MacKanbanColumnsViewController::keyPressEvent(QKeyEvent* event)
{
    // Delete and Backspace reach the board only when no text field took them.
    const bool deleteKey = event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace;
    const QWidget* focus = QApplication::focusWidget();
    const bool typing = focus
        && (focus->inherits("QLineEdit") || focus->inherits("QTextEdit") || focus->inherits("QPlainTextEdit")
            || focus->inherits("QAbstractSpinBox"));
    if (deleteKey && !typing && event->modifiers() == Qt::NoModifier) {
        deleteBackward();
        event->accept();
        return;
    }
    ViewWithBackground::keyPressEvent(event);
}
