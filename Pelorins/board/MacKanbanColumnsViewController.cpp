#include "Pelorins/board/MacKanbanColumnsViewController.h"

#include "Pelorins/board/BoardHost.h"
#include "Pelorins/board/BoardSearchText.h"
#include "Pelorins/column/AddButton.h"
#include "Pelorins/column/AddColumnButtonView.h"
#include "Pelorins/column/ColumnCollectionView.h"
#include "Pelorins/column/KanbanColumnContainerView.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "Pelorins/common/MainWindowActions.h"
#include "PelorinsKit/archive/JSONReader.h"
#include "PelorinsKit/board/DoneItemsMover.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "PelorinsKit/model/NotificationName.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"
#include "Platform/widgets/AccessibleNames.h"
#include "Platform/widgets/ActionRouter.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <algorithm>

namespace {

constexpr int cornerButtonSize = 24;
constexpr int cornerButtonMargin = 8;

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

    startTimers();
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
