#include "Pelorins/shell/MainSplitViewController.h"

#include "Pelorins/board/BoardPane.h"
#include "Pelorins/common/MainWindowActions.h"
#include "Pelorins/sidebar/SidebarEditing.h"
#include "Pelorins/sidebar/SidebarPane.h"
#include "PelorinsKit/model/Kanban.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/widgets/FilePanelPresenter.h"
#include "Platform/widgets/RowText.h"
#include "Platform/widgets/WindowPlacement.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <algorithm>

namespace A = MainWindowActions;

namespace {

const QSet<QString>& routedActions()
{
    static const QSet<QString> actions {A::showHideSidebar, A::viewAsSingleColumn, A::viewAsMultipleColumns,
        A::showProjectSettings, A::jumpToBookmarkedSection, A::insertNewSectionAfter, A::insertNewSectionBefore,
        A::addFolderSelected, A::addKanbanSelected, A::duplicateSelected, A::addExampleProjects, A::showImport,
        A::showExport, A::showHidePrintSetup, A::printSelected, A::showTestPrint};
    return actions;
}

} // namespace

MainSplitViewController::MainSplitViewController(
    UserDefaults& defaults, FilePanelPresenter& filePanels, QWidget* parent)
    : QSplitter(Qt::Horizontal, parent)
    , m_defaults(defaults)
    , m_filePanels(filePanels)
{
    setObjectName(QStringLiteral("mainSplitView"));
    setChildrenCollapsible(false);
    // Empty places until the panes arrive, so that the sidebar is always item 0.
    addWidget(new QWidget(this));
    addWidget(new QWidget(this));
    setCollapsible(0, true);
    setCollapsible(1, false);
    setStretchFactor(0, 0);
    setStretchFactor(1, 1);
    setSizes({0, 1});
    connect(this, &QSplitter::splitterMoved, this, [this] { sidebarChanged(); });
}

SidebarPane* MainSplitViewController::sidebarViewController() const
{
    return m_sidebarView ? m_sidebar : nullptr;
}

BoardPane* MainSplitViewController::kanbanColumnsViewController() const
{
    return m_boardView ? m_board : nullptr;
}

void MainSplitViewController::setSidebarViewController(SidebarPane* sidebar)
{
    m_sidebar = sidebar;
    m_sidebarView = sidebar ? sidebar->view() : nullptr;
    setPane(0, m_sidebarView);
    if (sidebar) {
        const QByteArray state = m_defaults.dataForKey(autosaveName);
        if (state.isEmpty() || !restoreState(state))
            setSizes({m_sidebarWidth, std::max(1, width() - m_sidebarWidth)});
    }
    sidebarChanged();
}

void MainSplitViewController::setKanbanColumnsViewController(BoardPane* board)
{
    m_board = board;
    m_boardView = board ? board->view() : nullptr;
    setPane(1, m_boardView);
}

void MainSplitViewController::setImportExportSheetFactory(ImportExportSheetFactory factory)
{
    m_importExportSheetFactory = std::move(factory);
}

void MainSplitViewController::setTestPrintViewControllerFactory(const TestPrintViewControllerFactory& factory)
{
    m_testPrintViewControllerFactory = factory;
    m_printPreviewSplitViewItem.reset();
}

void MainSplitViewController::setPrintSetupWindowFactory(PrintSetupWindowFactory factory)
{
    m_printSetupWindowFactory = std::move(factory);
}

void MainSplitViewController::setExampleImporter(ExampleImporter importer)
{
    m_exampleImporter = std::move(importer);
}

void MainSplitViewController::showDisplayItem(DisplayItem* item)
{
    auto* kanban = dynamic_cast<Kanban*>(item);
    if (!kanban)
        return;
    BoardPane* pane = board();
    if (pane && pane->kanban() == kanban) {
        // The same board: what it shows, its search and its filter stay as they are.
        pane->setMainSplitViewController(this);
        return;
    }
    // Another board starts without the old search, with or without a board view. The term goes
    // first, so that emptying the field reloads nothing that is rebuilt next.
    if (pane)
        pane->setSearchTerm(std::nullopt);
    clearSearchField();
    if (!pane)
        return;
    pane->setTagFilter(std::nullopt);
    pane->setKanban(kanban);
    pane->loadKanban();
    pane->setMainSplitViewController(this);
}

void MainSplitViewController::clearSearchField()
{
    emit searchCleared();
    if (BoardPane* pane = board(); pane && pane->searchTerm()) {
        pane->setSearchTerm(std::nullopt);
        pane->reloadColumns();
    }
}

bool MainSplitViewController::isSidebarCollapsed() const
{
    return sizes().value(0) == 0;
}

int MainSplitViewController::shownSidebarWidth() const
{
    SidebarPane* pane = sidebar();
    return pane && !isSidebarCollapsed() ? pane->view()->width() : 0;
}

void MainSplitViewController::refreshSidebarListWhileKeepingSelection()
{
    if (SidebarPane* pane = sidebar())
        pane->refreshListWhileKeepingSelection();
}

void MainSplitViewController::toggleSidebar()
{
    if (isSidebarCollapsed()) {
        expandSidebar();
    } else {
        m_sidebarWidth = sizes().value(0);
        setSizes({0, sizes().value(0) + sizes().value(1)});
    }
    sidebarChanged();
}

int MainSplitViewController::insertionIndex(int stageCount, const QSet<int>& selectedSections, bool before)
{
    std::optional<int> leftMost;
    std::optional<int> rightMost;
    for (int section : selectedSections) {
        if (section < 0 || section >= stageCount)
            continue;
        leftMost = std::min(leftMost.value_or(section), section);
        rightMost = std::max(rightMost.value_or(section), section);
    }
    if (!rightMost)
        return stageCount;
    return before ? *leftMost : *rightMost + 1;
}

void MainSplitViewController::printTestPage(QPrinter& printer)
{
    const QSizeF testPage(3000, 3000);
    QMarginsF margins = printer.pageLayout().margins(QPageLayout::Point);
    margins.setTop(60);
    margins.setBottom(60);
    margins.setLeft(60);
    printer.setPageMargins(margins, QPageLayout::Point);
    const QPageLayout layout = printer.pageLayout();
    ConsoleLog::write(QStringLiteral("print selected printInfo ")
        + QStringLiteral("{printer \"%1\", paper %2, margins %3 %4 %5 %6 pt}")
              .arg(printer.printerName(), layout.pageSize().name())
              .arg(margins.top())
              .arg(margins.left())
              .arg(margins.bottom())
              .arg(margins.right()));

    // Drawn apart from the board: nothing is added to any view.
    QPainter painter;
    if (!painter.begin(&printer))
        return;
    const QRectF page
        = printer.pageRect(QPrinter::DevicePixel).translated(-printer.pageRect(QPrinter::DevicePixel).topLeft());
    const qreal scale = std::min(page.width() / testPage.width(), page.height() / testPage.height());
    painter.scale(scale, scale);
    QFont font = painter.font();
    font.setPixelSize(14);
    painter.setFont(font);
    painter.drawText(QRectF(0, 0, 100, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("top left"));
    painter.drawText(QRectF(2900, 0, 100, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Bottom right"));
    painter.end();
}

bool MainSplitViewController::respondsTo(const QString& action) const
{
    return routedActions().contains(action);
}

bool MainSplitViewController::validate(const QString& action, QAction*) const
{
    BoardPane* pane = board();
    const bool hasBoard = pane && pane->kanban();
    if (action == A::showHideSidebar)
        return sidebar();
    if (action == A::addFolderSelected || action == A::addKanbanSelected || action == A::duplicateSelected)
        return dynamic_cast<SidebarEditing*>(sidebar()) != nullptr;
    if (action == A::viewAsSingleColumn)
        return hasBoard && pane->viewAsMultiColumn();
    if (action == A::viewAsMultipleColumns)
        return hasBoard && !pane->viewAsMultiColumn();
    if (action == A::showProjectSettings || action == A::jumpToBookmarkedSection || action == A::insertNewSectionAfter
        || action == A::insertNewSectionBefore)
        return hasBoard;
    if (action == A::addExampleProjects)
        return sidebar() && m_exampleImporter;
    if (action == A::showImport || action == A::showExport)
        return bool(m_importExportSheetFactory);
    if (action == A::showHidePrintSetup)
        return bool(m_printSetupWindowFactory);
    if (action == A::showTestPrint)
        return bool(m_testPrintViewControllerFactory);
    return action == A::printSelected;
}

void MainSplitViewController::perform(const QString& action, QObject*)
{
    BoardPane* pane = board();
    if (action == A::showHideSidebar) {
        toggleSidebar();
    } else if (action == A::viewAsSingleColumn || action == A::viewAsMultipleColumns) {
        if (pane && pane->viewAsMultiColumn() == (action == A::viewAsSingleColumn))
            pane->toggleColumnLayout();
    } else if (action == A::showProjectSettings) {
        if (pane)
            pane->showProjectSettings();
    } else if (action == A::jumpToBookmarkedSection) {
        if (pane)
            pane->jumpToBookmarkedSection(true);
    } else if (action == A::insertNewSectionAfter || action == A::insertNewSectionBefore) {
        insertNewSection(action == A::insertNewSectionBefore);
    } else if (action == A::addFolderSelected || action == A::addKanbanSelected || action == A::duplicateSelected) {
        auto* editing = dynamic_cast<SidebarEditing*>(sidebar());
        if (!editing)
            return;
        if (action == A::addFolderSelected)
            editing->addFolder();
        else if (action == A::addKanbanSelected)
            editing->addKanban();
        else
            editing->duplicateItem();
        // The new or copied item must be seen.
        if (isSidebarCollapsed())
            toggleSidebar();
    } else if (action == A::addExampleProjects) {
        addExampleProjects();
    } else if (action == A::showImport) {
        showImport();
    } else if (action == A::showExport) {
        showExport();
    } else if (action == A::showHidePrintSetup) {
        showHidePrintSetup();
    } else if (action == A::showTestPrint) {
        if (!m_printPreviewSplitViewItem && m_testPrintViewControllerFactory)
            m_printPreviewSplitViewItem = m_testPrintViewControllerFactory();
        if (m_printPreviewSplitViewItem) {
            m_printPreviewSplitViewItem->show();
            m_printPreviewSplitViewItem->raise();
        }
    } else if (action == A::printSelected) {
        QPrinter printer;
        QPrintDialog dialog(&printer, window());
        if (dialog.exec() == QDialog::Accepted)
            printTestPage(printer);
    }
}

void MainSplitViewController::setPane(int index, QWidget* view)
{
    QWidget* old = widget(index);
    QWidget* replacement = view ? view : new QWidget;
    if (old == replacement)
        return;
    // A view made as the splitter's child is already a pane of its own; take it out first.
    if (indexOf(replacement) >= 0)
        replacement->setParent(nullptr);
    const QList<int> kept = sizes();
    replaceWidget(index, replacement);
    if (old)
        old->deleteLater();
    setSizes(kept);
    setCollapsible(0, true);
    setCollapsible(1, false);
    // Stretch lives in the panes' size policies: a window that grows widens the board only.
    setStretchFactor(0, 0);
    setStretchFactor(1, 1);
}

void MainSplitViewController::saveSplitState()
{
    m_defaults.setValue(autosaveName, saveState());
}

void MainSplitViewController::expandSidebar()
{
    const int total = sizes().value(0) + sizes().value(1);
    const int sidebarWidth = std::clamp(m_sidebarWidth, 1, std::max(1, total / 2));
    setSizes({sidebarWidth, std::max(1, total - sidebarWidth)});
}

void MainSplitViewController::insertNewSection(bool before)
{
    BoardPane* pane = board();
    if (!pane)
        return;
    Kanban* kanban = pane->kanban();
    const int stageCount = kanban ? int(kanban->column().size()) : 0;
    pane->insertNewSection(insertionIndex(stageCount, pane->selectedSections(), before), false);
}

void MainSplitViewController::showImport()
{
    if (!m_importExportSheetFactory || !window())
        return;
    FilePanelPresenter::OpenPanel panel;
    panel.identifier = QStringLiteral("import");
    panel.message = QStringLiteral("Please select a Pelorin file to import");
    panel.allowedFileTypes = {QStringLiteral("Pelorins"), QStringLiteral("Quenfield")};
    // A document may be a package folder.
    panel.canChooseDirectories = true;
    const std::optional<QString> path = m_filePanels.runOpenPanel(panel, window());
    if (!path)
        return;
    presentSheet(m_importExportSheetFactory(path, window()));
}

void MainSplitViewController::showExport()
{
    if (m_importExportSheetFactory)
        presentSheet(m_importExportSheetFactory(std::nullopt, window()));
}

void MainSplitViewController::showHidePrintSetup()
{
    if (!m_printSetupWindowFactory)
        return;
    Kanban* kanban = board() ? board()->kanban() : nullptr;
    m_windowController = m_printSetupWindowFactory(kanban);
    if (!m_windowController)
        return;
    // Owned by the main window, it goes before the store it shows does.
    m_windowController->setParent(window(), m_windowController->windowFlags() | Qt::Window);
    if (kanban && !kanban->title().isEmpty())
        m_windowController->setWindowTitle(QStringLiteral("Print Setup - ") + RowText::elided(kanban->title()));
    // The whole screen but its panels, title bar included.
    if (const std::optional<QRect> screen = WindowPlacement::availableArea(window()))
        WindowPlacement::setFrame(*m_windowController, *screen);
    m_windowController->show();
    m_windowController->raise();
}

void MainSplitViewController::addExampleProjects()
{
    if (!m_exampleImporter || !sidebar())
        return;
    if (isSidebarCollapsed()) {
        expandSidebar();
        sidebarChanged();
    }
    m_exampleImporter(false);
    sidebar()->refreshListWhileKeepingSelection();
}

void MainSplitViewController::presentSheet(QWidget* sheet)
{
    if (!sheet)
        return;
    // A dialog of the main window that holds the board behind it still while it runs.
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->show();
}

void MainSplitViewController::sidebarChanged()
{
    if (sidebar())
        saveSplitState();
    emit sidebarLayoutChanged();
}
