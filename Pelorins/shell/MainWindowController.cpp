#include "Pelorins/shell/MainWindowController.h"

#include "Pelorins/board/BoardPane.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "Pelorins/shell/MainSplitViewController.h"
#include "Pelorins/common/MainWindowActions.h"
#include "Pelorins/shell/TAAdaptiveSpaceItem.h"
#include "Pelorins/shell/ToolbarInfoMenu.h"
#include "Pelorins/shell/ToolbarSymbols.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "PelorinsKit/model/NotificationName.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/core/UndoManager.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/widgets/AccessibleNames.h"
#include "Platform/widgets/ActionRouter.h"
#include "Platform/widgets/Popover.h"
#include "Platform/widgets/RowText.h"
#include "Platform/widgets/UndoActionBinding.h"
#include "Platform/widgets/WindowPlacement.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <typeinfo>

namespace A = MainWindowActions;

namespace {

const QString defaultWindowTitle = QStringLiteral("Pelorins");

QString describe(const QObject* object)
{
    QString text = QString::fromLatin1(object->metaObject()->className());
    if (!object->objectName().isEmpty())
        text += QStringLiteral(" \"%1\"").arg(object->objectName());
    return text + QStringLiteral(" 0x%1").arg(quintptr(object), 0, 16);
}

QString describe(const ActionResponder* responder)
{
    if (const auto* object = dynamic_cast<const QObject*>(responder))
        return describe(object);
    return QString::fromLatin1(typeid(*responder).name());
}

QToolButton* makeToolbarButton(const QIcon& icon, const QString& toolTip, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setIcon(icon);
    AccessibleNames::setToolTip(button, toolTip);
    button->setAutoRaise(true);
    button->setFixedWidth(MainWindowController::toolbarButtonWidth);
    return button;
}

} // namespace

MainWindowController::MainWindowController(const Services& services, QWidget* parent)
    : QMainWindow(parent)
    , m_router(services.router)
    , m_undoManager(services.undoManager)
    , m_defaults(services.defaults ? *services.defaults : UserDefaults::standard())
    , m_splitViewController(new MainSplitViewController(m_defaults, *services.filePanelPresenter, this))
{
    setObjectName(QStringLiteral("newMainWindow"));
    setWindowTitle(defaultWindowTitle);
    setCentralWidget(m_splitViewController);

    m_searchTimer.setSingleShot(true);
    m_searchTimer.setInterval(searchPauseMilliseconds);
    connect(&m_searchTimer, &QTimer::timeout, this, &MainWindowController::setSearchTermToKanban);

    buildToolbar();
    buildMenus();
    configureToolbarItems();
    updateSidebarButtonToolTip();
    restoreWindowFrame();

    auto& center = NotificationCenter::shared();
    for (const QString& name : {QString(NotificationName::refreshToolBar),
             QString(NotificationName::projectTitleChanged), QString(NotificationName::showHideArchivedSelected)})
        center.addObserver(this, name, [this](const NotificationCenter::Notification&) { configureToolbarItems(); });
}

MainWindowController::~MainWindowController()
{
    if (isVisible())
        saveWindowFrame();
}

void MainWindowController::showWindow()
{
    show();
    // The desktop's frame around the window is known only once the window is on screen.
    WindowPlacement::whenFramed(*this, [this] { fitFrameToScreen(); });
    raise();
    activateWindow();
    m_router->validateActions();
}

void MainWindowController::restoreWindowFrame()
{
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!m_defaults.boolForKey(windowPositionSetKey)) {
        if (screen)
            setGeometry(initialFrame(screen->availableGeometry()));
        m_firstFramePending = true;
        m_defaults.setValue(windowPositionSetKey, true);
        m_defaults.synchronize();
    } else if (!restoreGeometry(m_defaults.dataForKey(frameAutosaveName)) && screen) {
        setGeometry(initialFrame(screen->availableGeometry()));
    }
}

void MainWindowController::fitFrameToScreen()
{
    QScreen* screen = this->screen();
    if (!isVisible() || !screen)
        return;
    // The window system's frame goes around the window, and inside the screen's free area too.
    const QRect area = screen->availableGeometry() - WindowPlacement::decoration(*this);
    QRect frame = geometry();
    // Shown, the window has placed the sidebar and shows the first board the sidebar chose.
    BoardPane* board = m_splitViewController->kanbanColumnsViewController();
    if (m_firstFramePending && board && board->kanban()) {
        m_firstFramePending = false;
        if (const int missing = board->wholeBoardWidth() - board->view()->width(); missing > 0)
            frame = widenedFrame(frame, missing, area);
    }
    // Sized before the frame was known, a window may reach past the area, title bar and all.
    frame = WindowPlacement::centredFrame(area, frame.size(), frame);
    if (frame != geometry())
        setGeometry(frame);
}

QRect MainWindowController::widenedFrame(const QRect& frame, int missingWidth, const QRect& screenFrame)
{
    const int width = std::min(screenFrame.width(), frame.width() + std::max(0, missingWidth));
    return QRect(screenFrame.x() + (screenFrame.width() - width) / 2, frame.y(), width, frame.height());
}

QAction* MainWindowController::menuAction(const QString& action) const
{
    return m_menuActions.value(action);
}

void MainWindowController::setFilterPanelFactory(FilterPanelFactory factory)
{
    m_filterPanelFactory = std::move(factory);
    m_router->validateActions();
}

void MainWindowController::setTagFilterActive(bool active)
{
    m_tagsButton->setChecked(active);
}

void MainWindowController::clearSearchField()
{
    m_searchTimer.stop();
    {
        const QSignalBlocker blocker(m_searchField);
        m_searchField->clear();
    }
    BoardPane* board = m_splitViewController->kanbanColumnsViewController();
    if (board && board->searchTerm()) {
        board->setSearchTerm(std::nullopt);
        board->reloadColumns();
    }
}

void MainWindowController::updateSidebarButtonToolTip()
{
    const QString toolTip = m_splitViewController->isSidebarCollapsed() ? local(QStringLiteral("Show Sidebar"))
                                                                        : local(QStringLiteral("Hide Sidebar"));
    AccessibleNames::setToolTip(m_sidebarButton, toolTip);
}

QRect MainWindowController::initialFrame(const QRect& screenFrame)
{
    const int width = std::min(screenFrame.width(), 1200);
    const int height = std::min(screenFrame.height(), 720);
    return QRect(screenFrame.x() + (screenFrame.width() - width) / 2,
        screenFrame.y() + (screenFrame.height() - height) / 2, width, height);
}

qreal MainWindowController::magnificationForZoomTag(int tag)
{
    switch (tag) {
    case 1:
        return 0.75;
    case 2:
        return 0.5;
    default:
        return 1.0;
    }
}

void MainWindowController::setCurrentDisplayItem(DisplayItem* item)
{
    if (m_currentDisplayItem)
        m_currentDisplayItem->setExport(false);
    m_currentDisplayItem = item;
    configureToolbarItems();
}

void MainWindowController::setColour(int tag)
{
    if (m_currentDisplayItem)
        m_currentDisplayItem->setColour(tag);
}

// The content's actions are served from anywhere in the window (the toolbar and its search field
// lie outside the content), so the window passes them on.
bool MainWindowController::respondsTo(const QString& action) const
{
    return m_splitViewController->respondsTo(action) || action == A::searchKanban || action == A::zoomMenuSelected
        || action == A::showTagsView || action == A::showInfoView || action == A::showBackgroundPicker
        || action == A::toggleFullScreen || action == A::getResponderChain;
}

bool MainWindowController::validate(const QString& action, QAction* item) const
{
    BoardPane* board = m_splitViewController->kanbanColumnsViewController();
    const bool hasBoard = board && board->kanban();
    if (m_splitViewController->respondsTo(action))
        return m_splitViewController->validate(action, item);
    if (action == A::zoomMenuSelected)
        return hasBoard;
    if (action == A::showTagsView)
        return hasBoard && m_filterPanelFactory;
    if (action == A::showInfoView)
        return bool(m_infoPanelFactory);
    if (action == A::showBackgroundPicker)
        return hasBoard && m_picturePickerFactory;
    return true;
}

void MainWindowController::perform(const QString& action, QObject* sender)
{
    if (m_splitViewController->respondsTo(action)) {
        m_splitViewController->perform(action, sender);
    } else if (action == A::searchKanban) {
        m_searchField->setFocus(Qt::ShortcutFocusReason);
        m_searchField->selectAll();
    } else if (action == A::zoomMenuSelected) {
        zoomMenuSelected(sender);
    } else if (action == A::showTagsView) {
        showTagsView();
    } else if (action == A::showInfoView) {
        showBackgroundPanel(m_infoPanelFactory);
    } else if (action == A::showBackgroundPicker) {
        showBackgroundPanel(m_picturePickerFactory);
    } else if (action == A::toggleFullScreen) {
        if (isFullScreen())
            showNormal();
        else
            showFullScreen();
    } else if (action == A::getResponderChain) {
        printResponderChain();
    }
}

void MainWindowController::closeEvent(QCloseEvent* event)
{
    saveWindowFrame();
    QMainWindow::closeEvent(event);
}

void MainWindowController::buildToolbar()
{
    m_toolbar = new QToolBar(this);
    m_toolbar->setObjectName(toolbarIdentifier);
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolbar->toggleViewAction()->setEnabled(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    addToolBar(Qt::TopToolBarArea, m_toolbar);
    // The toolbar's own button for the items a narrow window has no room for.
    if (auto* overflow = m_toolbar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
        AccessibleNames::setToolTip(overflow, local(QStringLiteral("More Toolbar Items")));

    m_sidebarButton
        = makeToolbarButton(ToolbarSymbols::sidebarLeft(), local(QStringLiteral("LLHideSidebar")), m_toolbar);
    m_sidebarButton->setObjectName(QStringLiteral("customSidebar"));
    QAction* sidebarAction
        = addRoutedButtonAction(m_sidebarButton, local(QStringLiteral("LLHideSidebar")), A::showHideSidebar);
    connect(m_sidebarButton, &QToolButton::clicked, sidebarAction, &QAction::trigger);
    m_toolbar->addWidget(m_sidebarButton);

    // The board's own buttons sit in the middle of the toolbar, the search field at its end.
    m_toolbar->addWidget(new TAAdaptiveSpaceItem(m_toolbar));
    auto* boardButtons = new QWidget(m_toolbar);
    auto* boardButtonsLayout = new QHBoxLayout(boardButtons);
    boardButtonsLayout->setContentsMargins(0, 0, 0, 0);
    boardButtonsLayout->setSpacing(4);

    m_backgroundButton = makeToolbarButton(
        ToolbarSymbols::photoOnRectangle(), local(QStringLiteral("LLChangeBackdrop")), boardButtons);
    m_backgroundButton->setObjectName(QStringLiteral("themeItem"));
    QAction* infoAction
        = addRoutedButtonAction(m_backgroundButton, local(QStringLiteral("LLChangeBackdrop")), A::showInfoView);
    connect(m_backgroundButton, &QToolButton::clicked, infoAction, &QAction::trigger);
    boardButtonsLayout->addWidget(m_backgroundButton);

    m_tagsButton = makeToolbarButton(ToolbarSymbols::tag(), local(QStringLiteral("LLTags")), boardButtons);
    m_tagsButton->setObjectName(QStringLiteral("tagsItem"));
    m_tagsButton->setCheckable(true);
    QAction* tagsAction = addRoutedButtonAction(m_tagsButton, local(QStringLiteral("LLTags")), A::showTagsView);
    // The button's lit state is the board's filter, not the click.
    connect(m_tagsButton, &QToolButton::clicked, this, [this, tagsAction](bool checked) {
        m_tagsButton->setChecked(!checked);
        tagsAction->trigger();
    });
    boardButtonsLayout->addWidget(m_tagsButton);
    m_toolbar->addWidget(boardButtons);

    auto* spacer = new QWidget(m_toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_toolbar->addWidget(spacer);

    m_searchField = new QLineEdit(m_toolbar);
    m_searchField->setObjectName(QStringLiteral("searchItem"));
    m_searchField->setPlaceholderText(local(QStringLiteral("Search")));
    m_searchField->setAccessibleName(local(QStringLiteral("Search")));
    m_searchField->setClearButtonEnabled(true);
    // The clear button shows once there is text; it reads as its action.
    if (auto* clear = m_searchField->findChild<QAction*>(QStringLiteral("_q_qlineeditclearaction")))
        clear->setText(local(QStringLiteral("Clear")));
    m_searchField->addAction(ToolbarSymbols::magnifyingGlass(), QLineEdit::LeadingPosition)
        ->setText(local(QStringLiteral("Search")));
    m_searchField->setMaximumWidth(searchFieldMaximumWidth);
    m_searchField->setMinimumWidth(120);
    m_searchField->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(m_searchField, &QLineEdit::textChanged, this, &MainWindowController::searchTextChanged);
    m_toolbar->addWidget(m_searchField);
}

QAction* MainWindowController::addRoutedAction(
    QMenu* menu, const QString& title, const QString& action, const QKeySequence& shortcut, int tag)
{
    QAction* item = menu->addAction(title);
    item->setShortcut(shortcut);
    if (tag >= 0)
        item->setData(tag);
    m_router->connectAction(item, action);
    if (tag < 0)
        m_menuActions.insert(action, item);
    else
        m_menuActions.insert(action + QString::number(tag), item);
    return item;
}

QAction* MainWindowController::addRoutedButtonAction(QToolButton* button, const QString& title, const QString& action)
{
    auto* routed = new QAction(button->icon(), title, this);
    m_router->connectAction(routed, action);
    connect(routed, &QAction::enabledChanged, button, &QWidget::setEnabled);
    button->setEnabled(routed->isEnabled());
    return routed;
}

void MainWindowController::buildMenus()
{
    QMenu* file = menuBar()->addMenu(local(QStringLiteral("&File")));
    addRoutedAction(file, local(QStringLiteral("New Board")), A::addKanbanSelected, QKeySequence::New);
    addRoutedAction(
        file, local(QStringLiteral("New Folder")), A::addFolderSelected, QKeySequence(QStringLiteral("Ctrl+Shift+N")));
    addRoutedAction(
        file, local(QStringLiteral("Duplicate")), A::duplicateSelected, QKeySequence(QStringLiteral("Ctrl+D")));
    file->addSeparator();
    addRoutedAction(file, local(QStringLiteral("Import…")), A::showImport, QKeySequence::Open);
    addRoutedAction(file, local(QStringLiteral("Export…")), A::showExport, QKeySequence(QStringLiteral("Ctrl+E")));
    file->addSeparator();
    addRoutedAction(file, local(QStringLiteral("Print Setup…")), A::showHidePrintSetup, QKeySequence::Print);
    file->addSeparator();
    addRoutedAction(file, local(QStringLiteral("Add Example Projects")), A::addExampleProjects);
    file->addSeparator();
    // Closes whichever of the program's windows is in front, the preferences as well.
    QAction* close = file->addAction(local(QStringLiteral("Close Window")), this, [this] {
        QWidget* window = QApplication::activeWindow();
        (window ? window : this)->close();
    });
    // Every key the desktop binds to Close (Ctrl+W, and Ctrl+F4 on some).
    close->setShortcuts(QKeySequence::Close);
    close->setShortcutContext(Qt::ApplicationShortcut);

    QMenu* edit = menuBar()->addMenu(local(QStringLiteral("&Edit")));
    QAction* undo = edit->addAction(local(QStringLiteral("Undo")));
    QAction* redo = edit->addAction(local(QStringLiteral("Redo")));
    m_undoBinding = new UndoActionBinding(undo, redo, this);
    m_undoBinding->setUndoManager(m_undoManager);
    m_menuActions.insert(QStringLiteral("undo:"), undo);
    m_menuActions.insert(QStringLiteral("redo:"), redo);
    edit->addSeparator();
    const QList<std::tuple<QString, QString, QString, QKeySequence>> clipboard {
        {local(QStringLiteral("Cut")), NotesTextView::cutAction, NotesTextView::cutIdentifier, QKeySequence::Cut},
        {local(QStringLiteral("Copy")), NotesTextView::copyAction, NotesTextView::copyIdentifier, QKeySequence::Copy},
        {local(QStringLiteral("Paste")), NotesTextView::pasteAction, NotesTextView::pasteIdentifier,
            QKeySequence::Paste}};
    for (const auto& [title, action, identifier, shortcut] : clipboard)
        addRoutedAction(edit, title, action, shortcut)->setObjectName(identifier);
    edit->addSeparator();
    addRoutedAction(edit, local(QStringLiteral("Find")), A::searchKanban, QKeySequence::Find);

    QMenu* format = menuBar()->addMenu(local(QStringLiteral("F&ormat")));
    const QList<std::tuple<QString, QString, QString>> styles {
        {local(QStringLiteral("Title")), NotesTextView::formatAsTitleAction, NotesTextView::formatAsTitleIdentifier},
        {local(QStringLiteral("Header")), NotesTextView::formatAsHeaderAction, NotesTextView::formatAsHeaderIdentifier},
        {local(QStringLiteral("Body")), NotesTextView::formatAsBodyAction, NotesTextView::formatAsBodyIdentifier}};
    for (const auto& [title, action, identifier] : styles)
        addRoutedAction(format, title, action)->setObjectName(identifier);
    format->addSeparator();
    addRoutedAction(format, local(QStringLiteral("Checklist")), NotesTextView::makeChecklistAction)
        ->setObjectName(NotesTextView::makeChecklistIdentifier);

    QMenu* view = menuBar()->addMenu(local(QStringLiteral("&View")));
    addRoutedAction(view, local(QStringLiteral("Show or Hide Sidebar")), A::showHideSidebar,
        QKeySequence(QStringLiteral("Ctrl+Alt+S")));
    view->addSeparator();
    addRoutedAction(view, local(QStringLiteral("View as Single Column")), A::viewAsSingleColumn);
    addRoutedAction(view, local(QStringLiteral("View as Multiple Columns")), A::viewAsMultipleColumns);
    view->addSeparator();
    QMenu* zoom = view->addMenu(local(QStringLiteral("Zoom")));
    addRoutedAction(zoom, local(QStringLiteral("100%")), A::zoomMenuSelected, {}, 0);
    addRoutedAction(zoom, local(QStringLiteral("75%")), A::zoomMenuSelected, {}, 1);
    addRoutedAction(zoom, local(QStringLiteral("50%")), A::zoomMenuSelected, {}, 2);
    m_router->trackMenu(zoom);
    view->addSeparator();
    addRoutedAction(view, local(QStringLiteral("Toggle Full Screen")), A::toggleFullScreen, QKeySequence::FullScreen);

    QMenu* board = menuBar()->addMenu(local(QStringLiteral("&Board")));
    addRoutedAction(board, local(QStringLiteral("Insert Section Before")), A::insertNewSectionBefore);
    addRoutedAction(board, local(QStringLiteral("Insert Section After")), A::insertNewSectionAfter,
        QKeySequence(QStringLiteral("Ctrl+Shift+K")));
    addRoutedAction(board, local(QStringLiteral("Jump to Bookmarked Section")), A::jumpToBookmarkedSection,
        QKeySequence(QStringLiteral("Ctrl+J")));
    board->addSeparator();
    addRoutedAction(board, local(QStringLiteral("New Card Above")), MacKanbanColumnController::insertNewCardAboveAction,
        QKeySequence(QStringLiteral("Ctrl+Shift+Return")));
    addRoutedAction(board, local(QStringLiteral("New Card Below")), MacKanbanColumnController::insertNewCardBelowAction,
        QKeySequence(QStringLiteral("Ctrl+Return")));
    addRoutedAction(board, local(QStringLiteral("Mark Done or Undone")),
        MacKanbanColumnController::flipDoneStatesOfSelectedItemsAction, QKeySequence(QStringLiteral("Ctrl+Shift+D")));
    board->addSeparator();
    addRoutedAction(board, local(QStringLiteral("Tags…")), A::showTagsView);
    m_backgroundMenu = new ToolbarInfoMenu(this, this);
    m_backgroundMenu->setTitle(local(QStringLiteral("Background")));
    board->addMenu(m_backgroundMenu);
    addRoutedAction(board, local(QStringLiteral("Project Settings…")), A::showProjectSettings);

    for (QMenu* menu : {file, edit, format, view, board})
        m_router->trackMenu(menu);

    if (qEnvironmentVariable(debugMenuVariable.latin1()) == QStringLiteral("1")) {
        QMenu* debug = menuBar()->addMenu(QStringLiteral("Debug"));
        addRoutedAction(debug, local(QStringLiteral("Print Responder Chain")), A::getResponderChain);
        addRoutedAction(debug, local(QStringLiteral("Print Test Page")), A::printSelected);
        addRoutedAction(debug, QStringLiteral("Test Print…"), A::showTestPrint);
        addRoutedAction(debug, QStringLiteral("Relayout Notes"), ListItemCellView::relayoutNotesTextViewAction);
        addRoutedAction(debug, QStringLiteral("Test"), ListItemCellView::testAction);
        addRoutedAction(debug, local(QStringLiteral("Get Offset")), A::getOffset);
        addRoutedAction(debug, QStringLiteral("Get Column Unique Identifier"),
            MacKanbanColumnController::getColumnUniqueIdentifierAction);
        addRoutedAction(
            debug, QStringLiteral("Show Items Last History"), MacKanbanColumnController::showItemsLastHistoryAction);
        addRoutedAction(debug, QStringLiteral("Background Picture Picker"), A::showBackgroundPicker);
        debug->addSeparator();
        const QStringList notesTitles {QStringLiteral("Show Typing Attributes"),
            QStringLiteral("Get Attributes in Selection"), QStringLiteral("Replace Links with Attachment"),
            QStringLiteral("Test Custom Attachment"), QStringLiteral("Test Image Attachment"),
            QStringLiteral("Test Write Out Image"), QStringLiteral("Find All Checklists"),
            QStringLiteral("Find All Attachments"), QStringLiteral("Print Tags in Current Card"),
            QStringLiteral("Test Identify Tags")};
        for (qsizetype i = 0; i < notesTitles.size(); ++i)
            addRoutedAction(debug, notesTitles.at(i), NotesTextView::debugActions.at(i));
        m_router->trackMenu(debug);
    }
}

void MainWindowController::configureToolbarItems()
{
    const auto* kanban = dynamic_cast<const Kanban*>(m_currentDisplayItem);
    if (kanban && !kanban->title().isEmpty())
        setWindowTitle(RowText::elided(kanban->title()));
    else if (!m_currentDisplayItem)
        setWindowTitle(defaultWindowTitle);
}

void MainWindowController::searchTextChanged()
{
    m_searchTimer.stop();
    if (m_searchField->text().isEmpty())
        setSearchTermToKanban();
    else
        m_searchTimer.start();
}

void MainWindowController::setSearchTermToKanban()
{
    BoardPane* board = m_splitViewController->kanbanColumnsViewController();
    if (!board)
        return;
    const QString text = m_searchField->text();
    // An empty field never turns no search into an empty one.
    if (!board->searchTerm() && text.isEmpty())
        return;
    board->setSearchTerm(text);
    board->reloadColumns();
}

void MainWindowController::zoomMenuSelected(QObject* sender)
{
    BoardPane* board = m_splitViewController->kanbanColumnsViewController();
    const auto* item = qobject_cast<QAction*>(sender);
    if (!board || !item)
        return;
    board->setStoredMagnification(magnificationForZoomTag(item->data().toInt()));
}

void MainWindowController::showTagsView()
{
    BoardPane* board = m_splitViewController->kanbanColumnsViewController();
    if (!board || !m_filterPanelFactory)
        return;
    QWidget* panel = m_filterPanelFactory(board);
    if (!panel)
        return;
    auto* popover = new Popover(this);
    popover->setAttribute(Qt::WA_DeleteOnClose);
    popover->setContentWidget(panel);
    popover->showRelativeTo(m_tagsButton);
}

void MainWindowController::showBackgroundPanel(const PanelFactory& factory)
{
    QWidget* panel = factory ? factory() : nullptr;
    if (!panel)
        return;
    auto* popover = new Popover(this);
    popover->setAttribute(Qt::WA_DeleteOnClose);
    popover->setContentWidget(panel);
    popover->showRelativeTo(m_backgroundButton);
}

void MainWindowController::saveWindowFrame()
{
    m_defaults.setValue(frameAutosaveName, saveGeometry());
}

void MainWindowController::printResponderChain() const
{
    const QList<ActionResponder*> chain = m_router->chain();
    QWidget* first = QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
    ConsoleLog::write(QStringLiteral("newFirstResponder ") + (first ? describe(first) : QStringLiteral("nil")));
    for (const ActionResponder* responder : chain) {
        if (dynamic_cast<const QObject*>(responder) == first)
            continue;
        ConsoleLog::write(QStringLiteral("responder is ") + describe(responder));
    }
}
