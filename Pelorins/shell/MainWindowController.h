#pragma once

#include "Pelorins/common/PelorinsMainWindow.h"
#include "Platform/widgets/ActionResponder.h"

#include <QLatin1String>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <functional>

class ActionRouter;
class BoardPane;
class FilePanelPresenter;
class MainSplitViewController;
class QLineEdit;
class QMenu;
class QToolBar;
class QToolButton;
class ToolbarInfoMenu;
class UndoActionBinding;
class UndoManager;
class UserDefaults;

// The main window: the sidebar and one board side by side under a toolbar with the sidebar
// button, the background menu, the tag filter button and the search field. It owns the window's
// menus, applies the search after a pause in typing, zooms the board and keeps its frame.
class MainWindowController : public QMainWindow, public ActionResponder, public PelorinsMainWindow
{
    Q_OBJECT
public:
    struct Services
    {
        ActionRouter* router = nullptr;
        // The window's history; the Edit menu undoes and redoes through it.
        UndoManager* undoManager = nullptr;
        // Required.
        FilePanelPresenter* filePanelPresenter = nullptr;
        // The standard defaults when none are given.
        UserDefaults* defaults = nullptr;
    };

    static constexpr QLatin1String frameAutosaveName {"MainWindow"};
    static constexpr QLatin1String windowPositionSetKey {"windowPositionSet"};
    static constexpr QLatin1String toolbarIdentifier {"MyMainToolbar"};
    static constexpr QLatin1String debugMenuVariable {"PELORINS_DEBUG_MENU"};
    // Typing applies the search only after this pause; emptying the field applies at once.
    static constexpr int searchPauseMilliseconds = 800;
    static constexpr int searchFieldMaximumWidth = 280;
    static constexpr int toolbarButtonWidth = 40;

    explicit MainWindowController(const Services& services, QWidget* parent = nullptr);
    ~MainWindowController() override;

    // Shows the window in front. It opens centred at its first size on the very first launch,
    // later at the frame it had when it was last closed.
    void showWindow();

    MainSplitViewController* splitViewController() const { return m_splitViewController; }
    UndoManager* undoManager() const { return m_undoManager; }
    QLineEdit* searchField() const { return m_searchField; }
    QToolButton* sidebarButton() const { return m_sidebarButton; }
    QToolButton* tagsButton() const { return m_tagsButton; }
    ToolbarInfoMenu* backgroundMenu() const { return m_backgroundMenu; }
    QToolBar* toolbar() const { return m_toolbar; }
    // The menu item that sends `action`; null when the window has none.
    QAction* menuAction(const QString& action) const;

    // Makes the tag filter panel for the board; until one is given the tag button is disabled.
    using FilterPanelFactory = std::function<QWidget*(BoardPane* board)>;
    void setFilterPanelFactory(FilterPanelFactory factory);
    // Makes the board's info panel for the window; until one is given the background button
    // only shows its menu in the Board menu.
    using PanelFactory = std::function<QWidget*()>;
    void setInfoPanelFactory(PanelFactory factory) { m_infoPanelFactory = std::move(factory); }
    // Makes the smaller picture picker for the board shown (the Debug menu opens it).
    void setPicturePickerFactory(PanelFactory factory) { m_picturePickerFactory = std::move(factory); }
    QToolButton* backgroundButton() const { return m_backgroundButton; }

    // Lit while the board is filtered by tags.
    void setTagFilterActive(bool active);

    // Empties the field without applying the emptiness later, and drops the board's search.
    void clearSearchField();
    // "Show Sidebar" while the sidebar is collapsed, else "Hide Sidebar".
    void updateSidebarButtonToolTip();

    // The first frame on a screen whose available area is `screenFrame`: at most 1200 x 720,
    // centred.
    static QRect initialFrame(const QRect& screenFrame);
    // The first frame grown by `missingWidth` so that the first board shows whole: as wide as
    // the available area allows, centred in it again.
    static QRect widenedFrame(const QRect& frame, int missingWidth, const QRect& screenFrame);
    // The zoom menu's items: 0 is "100%", 1 "75%", 2 "50%"; any other tag is 100%.
    static qreal magnificationForZoomTag(int tag);

    DisplayItem* currentDisplayItem() const override { return m_currentDisplayItem; }
    QWidget* window() const override { return const_cast<MainWindowController*>(this); }
    void setCurrentDisplayItem(DisplayItem* item) override;
    void setColour(int tag) override;

    bool respondsTo(const QString& action) const override;
    void perform(const QString& action, QObject* sender) override;
    bool validate(const QString& action, QAction* item) const override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildToolbar();
    void buildMenus();
    QAction* addRoutedAction(
        QMenu* menu, const QString& title, const QString& action, const QKeySequence& shortcut = {}, int tag = -1);
    // The action a toolbar button sends, routed as the menus' are; the button is enabled as it is.
    QAction* addRoutedButtonAction(QToolButton* button, const QString& title, const QString& action);
    void configureToolbarItems();
    void searchTextChanged();
    void setSearchTermToKanban();
    void zoomMenuSelected(QObject* sender);
    void showTagsView();
    // Shows the panel `factory` makes in a popover under the background button.
    void showBackgroundPanel(const PanelFactory& factory);
    void restoreWindowFrame();
    // Once the desktop has framed the window: the first launch's window widens to show its whole
    // board, and every window keeps its frame inside the screen's free area.
    void fitFrameToScreen();
    void saveWindowFrame();
    void printResponderChain() const;

    ActionRouter* m_router;
    UndoManager* m_undoManager;
    UserDefaults& m_defaults;
    // The first launch's window waits to be shown to take the width of its first board.
    bool m_firstFramePending = false;
    MainSplitViewController* m_splitViewController;
    QToolBar* m_toolbar = nullptr;
    QToolButton* m_sidebarButton = nullptr;
    QToolButton* m_backgroundButton = nullptr;
    QToolButton* m_tagsButton = nullptr;
    ToolbarInfoMenu* m_backgroundMenu = nullptr;
    QLineEdit* m_searchField = nullptr;
    QTimer m_searchTimer;
    UndoActionBinding* m_undoBinding = nullptr;
    QHash<QString, QAction*> m_menuActions;
    FilterPanelFactory m_filterPanelFactory;
    PanelFactory m_infoPanelFactory;
    PanelFactory m_picturePickerFactory;
    DisplayItem* m_currentDisplayItem = nullptr;
};
