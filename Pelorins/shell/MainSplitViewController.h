#pragma once

#include "Pelorins/board/BoardHost.h"
#include "Platform/widgets/ActionResponder.h"

#include <QLatin1String>
#include <QPointer>
#include <QSet>
#include <QSplitter>
#include <functional>
#include <memory>
#include <optional>

class BoardPane;
class DisplayItem;
class FilePanelPresenter;
class Kanban;
class QPrinter;
class SidebarPane;
class UserDefaults;

// The main window's content: the project sidebar on the left, the board on the right. Actions
// about the sidebar, the board's layout and sections, import and export, and printing are routed
// here. An action is enabled only when what serves it is present. What the window shows of the
// content (its search field, its sidebar button) follows the signals below.
class MainSplitViewController : public QSplitter, public ActionResponder, public BoardHost
{
    Q_OBJECT
public:
    static constexpr QLatin1String autosaveName {"mainSplitView"};

    // Makes the import and export sheet: with a document it imports from it, else it exports.
    using ImportExportSheetFactory
        = std::function<QWidget*(const std::optional<QString>& urlOfDocumentToImport, QWidget* parent)>;
    // Makes the print set-up window for a board (or none) with nothing shown yet.
    using PrintSetupWindowFactory = std::function<QWidget*(Kanban* kanban)>;
    // Makes the test print's window, with nothing shown yet.
    using TestPrintViewControllerFactory = std::function<std::unique_ptr<QWidget>()>;
    // Imports the example projects; `shortExamples` picks the short set.
    using ExampleImporter = std::function<void(bool shortExamples)>;

    MainSplitViewController(UserDefaults& defaults, FilePanelPresenter& filePanels, QWidget* parent = nullptr);

    SidebarPane* sidebarViewController() const;
    BoardPane* kanbanColumnsViewController() const;
    // Puts the pane's view into its place in the split; a pane whose view is destroyed is gone.
    void setSidebarViewController(SidebarPane* sidebar);
    void setKanbanColumnsViewController(BoardPane* board);
    void setImportExportSheetFactory(ImportExportSheetFactory factory);
    void setPrintSetupWindowFactory(PrintSetupWindowFactory factory);
    void setExampleImporter(ExampleImporter importer);
    // The test print is made when it is first shown (making it asks for the printers, which
    // would hold up the window's first paint); it is kept, never placed in the split.
    void setTestPrintViewControllerFactory(const TestPrintViewControllerFactory& factory);
    // Null until the test print was first shown.
    QWidget* testPrintViewController() const { return m_printPreviewSplitViewItem.get(); }
    // The print set-up window opened last.
    QWidget* printSetupWindow() const { return m_windowController; }

    // Shows a board chosen in the sidebar. The board shown already keeps its search and filter;
    // another board starts with neither.
    void showDisplayItem(DisplayItem* item);
    void clearSearchField() override;

    bool isSidebarCollapsed() const;
    QWidget* view() override { return this; }
    int shownSidebarWidth() const override;
    void refreshSidebarListWhileKeepingSelection() override;
    void toggleSidebar();

    // Where a new stage column goes among `stageCount`: after the right-most selected stage, or
    // before the left-most one; at the end when no stage is selected. The done column's section
    // (`stageCount`) never counts.
    static int insertionIndex(int stageCount, const QSet<int>& selectedSections, bool before);
    // Prints the fixed test page, labelled in two corners, scaled onto one page.
    static void printTestPage(QPrinter& printer);

    bool respondsTo(const QString& action) const override;
    void perform(const QString& action, QObject* sender) override;
    bool validate(const QString& action, QAction* item) const override;

signals:
    // The search is dropped: the window's search field empties without searching again.
    void searchCleared();
    // The sidebar was shown, hidden or resized.
    void sidebarLayoutChanged();

private:
    void setPane(int index, QWidget* view);
    void saveSplitState();
    void expandSidebar();
    void insertNewSection(bool before);
    void showImport();
    void showExport();
    void showHidePrintSetup();
    void addExampleProjects();
    void presentSheet(QWidget* sheet);
    void sidebarChanged();
    SidebarPane* sidebar() const { return sidebarViewController(); }
    BoardPane* board() const { return kanbanColumnsViewController(); }

    UserDefaults& m_defaults;
    FilePanelPresenter& m_filePanels;
    // A pane is gone once its view is. The views are watched by pointer, not by a connection to
    // their destruction, which may run while this is half destroyed already.
    SidebarPane* m_sidebar = nullptr;
    QPointer<QWidget> m_sidebarView;
    BoardPane* m_board = nullptr;
    QPointer<QWidget> m_boardView;
    ImportExportSheetFactory m_importExportSheetFactory;
    PrintSetupWindowFactory m_printSetupWindowFactory;
    ExampleImporter m_exampleImporter;
    QPointer<QWidget> m_windowController;
    TestPrintViewControllerFactory m_testPrintViewControllerFactory;
    std::unique_ptr<QWidget> m_printPreviewSplitViewItem;
    int m_sidebarWidth = 220;
};
