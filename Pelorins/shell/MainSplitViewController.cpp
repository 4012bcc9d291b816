#include "Pelorins/shell/MainSplitViewController.h"

#include "Pelorins/board/BoardPane.h"
#include "Pelorins/shell/MainWindowActions.h"
#include "Pelorins/sidebar/SidebarEditing.h"
#include "Pelorins/sidebar/SidebarPane.h"
#include "PelorinsKit/model/Kanban.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/widgets/FilePanelPresenter.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <algorithm>

namespace A = MainWindowActions;

namespace {

const QSet<QString>& routedActions()
{
    static const QSet<QString> actions {A::showHideSidebar, A::viewAsSingleColumn, A::viewAsMultipleColumns,
        A::showProjectSettings, A::jumpToBookmarkedSection, A::insertNewSectionAfter, A::insertNewSectionBefore,
        A::addFolderSelected, A::addKanbanSelected, A::duplicateSelected, A::addExampleProjects, A::showImport,
        A::showExport, A::showHidePrintSetup, A::printSelected};
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
    return m_sidebar;
}

BoardPane* MainSplitViewController::kanbanColumnsViewController() const
{
    return m_board;
}

void MainSplitViewController::setSidebarViewController(SidebarPane* sidebar)
{
    m_sidebar = sidebar;
    setPane(0, sidebar ? sidebar->view() : nullptr);
    if (sidebar) {
        connect(sidebar->view(), &QObject::destroyed, this, [this] { m_sidebar = nullptr; });
        const QByteArray state = m_defaults.dataForKey(autosaveName);
        if (state.isEmpty() || !restoreState(state))
            setSizes({m_sidebarWidth, std::max(1, width() - m_sidebarWidth)});
    }
    sidebarChanged();
}

void MainSplitViewController::setKanbanColumnsViewController(BoardPane* board)
{
    m_board = board;
    setPane(1, board ? board->view() : nullptr);
    if (board)
        connect(board->view(), &QObject::destroyed, this, [this] { m_board = nullptr; });
}

void MainSplitViewController::setImportExportSheetFactory(ImportExportSheetFactory factory)
{
    m_importExportSheetFactory = std::move(factory);
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
    if (m_board && m_board->kanban() == kanban) {
        // The same board: what it shows, its search and its filter stay as they are.
        m_board->setMainSplitViewController(this);
        return;
    }
    // Another board starts without the old search, with or without a board view. The term goes
    // first, so that emptying the field reloads nothing that is rebuilt next.
    if (m_board)
        m_board->setSearchTerm(std::nullopt);
    clearSearchField();
    if (!m_board)
        return;
    m_board->setTagFilter(std::nullopt);
    m_board->setKanban(kanban);
    m_board->loadKanban();
    m_board->setMainSplitViewController(this);
}

void MainSplitViewController::clearSearchField()
{
    emit searchCleared();
    if (m_board && m_board->searchTerm()) {
        m_board->setSearchTerm(std::nullopt);
        m_board->reloadColumns();
    }
}

bool MainSplitViewController::isSidebarCollapsed() const
{
    return sizes().value(0) == 0;
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
    const bool hasBoard = m_board && m_board->kanban();
    if (action == A::showHideSidebar)
        return m_sidebar;
    if (action == A::addFolderSelected || action == A::addKanbanSelected || action == A::duplicateSelected)
        return dynamic_cast<SidebarEditing*>(m_sidebar) != nullptr;
    if (action == A::viewAsSingleColumn)
        return hasBoard && m_board->viewAsMultiColumn();
    if (action == A::viewAsMultipleColumns)
        return hasBoard && !m_board->viewAsMultiColumn();
    if (action == A::showProjectSettings || action == A::jumpToBookmarkedSection || action == A::insertNewSectionAfter
        || action == A::insertNewSectionBefore)
        return hasBoard;
    if (action == A::addExampleProjects)
        return m_sidebar && m_exampleImporter;
    if (action == A::showImport || action == A::showExport)
        return bool(m_importExportSheetFactory);
    if (action == A::showHidePrintSetup)
        return bool(m_printSetupWindowFactory);
    return action == A::printSelected;
}

void MainSplitViewController::perform(const QString& action, QObject*)
{
    if (action == A::showHideSidebar) {
        toggleSidebar();
    } else if (action == A::viewAsSingleColumn || action == A::viewAsMultipleColumns) {
        if (m_board && m_board->viewAsMultiColumn() == (action == A::viewAsSingleColumn))
            m_board->toggleColumnLayout();
    } else if (action == A::showProjectSettings) {
        if (m_board)
            m_board->showProjectSettings();
    } else if (action == A::jumpToBookmarkedSection) {
        if (m_board)
            m_board->jumpToBookmarkedSection(true);
    } else if (action == A::insertNewSectionAfter || action == A::insertNewSectionBefore) {
        insertNewSection(action == A::insertNewSectionBefore);
    } else if (action == A::addFolderSelected || action == A::addKanbanSelected || action == A::duplicateSelected) {
        auto* editing = dynamic_cast<SidebarEditing*>(m_sidebar);
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
    if (!m_board)
        return;
    Kanban* kanban = m_board->kanban();
    const int stageCount = kanban ? int(kanban->column().size()) : 0;
    m_board->insertNewSection(insertionIndex(stageCount, m_board->selectedSections(), before), false);
}

void MainSplitViewController::showImport()
{
    if (!m_importExportSheetFactory || !window())
        return;
    FilePanelPresenter::OpenPanel panel;
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
    Kanban* kanban = m_board ? m_board->kanban() : nullptr;
    m_windowController = m_printSetupWindowFactory(kanban);
    if (!m_windowController)
        return;
    if (kanban && !kanban->title().isEmpty()) {
        m_windowController->setWindowTitle(QStringLiteral("Print Setup - ") + kanban->title());
        if (QScreen* screen = QGuiApplication::primaryScreen())
            m_windowController->setGeometry(screen->availableGeometry());
    }
    m_windowController->show();
    m_windowController->raise();
}

void MainSplitViewController::addExampleProjects()
{
    if (!m_exampleImporter || !m_sidebar)
        return;
    if (isSidebarCollapsed()) {
        expandSidebar();
        sidebarChanged();
    }
    m_exampleImporter(false);
    m_sidebar->refreshListWhileKeepingSelection();
}

void MainSplitViewController::presentSheet(QWidget* sheet)
{
    if (!sheet)
        return;
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowFlag(Qt::Sheet);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->show();
}

void MainSplitViewController::sidebarChanged()
{
    if (m_sidebar)
        saveSplitState();
    emit sidebarLayoutChanged();
}
