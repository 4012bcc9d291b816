#include "Pelorins/common/MainWindowActions.h"
#include "Pelorins/print/PrintPreviewViewController.h"
#include "Pelorins/print/PrintSetupViewController.h"
#include "Pelorins/print/PrintSplitViewController.h"
#include "Pelorins/shell/MainSplitViewController.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/widgets/ActionRouter.h"
#include "Platform/widgets/ScriptedAlertPresenter.h"
#include "Platform/widgets/ScriptedFilePanelPresenter.h"
#include "support/FakeBoardPane.h"
#include "support/PrintFixture.h"
#include "support/QStringPrinting.h"

#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <cmath>

namespace {

class PrintWindow : public PrintFixture
{
protected:
    PrintServices services() { return {*info, panels, printPanels, alerts}; }
    // The window, with the notes heights the test gives.
    std::unique_ptr<PrintSplitViewController> open()
    {
        std::unique_ptr<PrintSplitViewController> window(PrintSplitViewController::make(services(), board));
        preview(*window).setHeightMeasure([this](ListItem* card) { return heights.value(card); });
        preview(*window).layoutPages();
        return window;
    }
    PrintPreviewView& preview(PrintSplitViewController& window)
    {
        return *window.previewViewController()->previewView();
    }

    ScriptedFilePanelPresenter panels;
    ScriptedPrintPanelPresenter printPanels;
    ScriptedAlertPresenter alerts;
};

} // namespace

TEST_F(PrintWindow, OpensFromTheMainWindowTitledAfterTheBoard)
{
    makeBoard({"A"});
    QTemporaryDir folder;
    UserDefaults defaults(folder.filePath("defaults.conf"));
    ActionRouter router;
    MainSplitViewController split(defaults, panels);
    FakeBoardPane pane(&router);
    pane.setKanban(board);
    split.setKanbanColumnsViewController(&pane);
    split.setPrintSetupWindowFactory(
        [this](Kanban* kanban) -> QWidget* { return PrintSplitViewController::make(services(), kanban); });
    split.perform(MainWindowActions::showHidePrintSetup, nullptr);
    auto* window = qobject_cast<PrintSplitViewController*>(split.printSetupWindow());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Print Setup - Welcome to Pelorins"));
    EXPECT_EQ(window->previewViewController()->kanban(), board);
    EXPECT_TRUE(window->isVisible());
    delete window;
}

TEST_F(PrintWindow, TheSetUpPanesFirstScaleLaysThePagesOut)
{
    makeBoard({"A", "B"});
    addCard(0, 40);
    ConsoleLog::Capture console;
    const auto window = open();
    // 612 points across at the 0.6 aimed at: 3.3 columns, so 3, at floor(612 / 3) / 308.
    const double fitted = 204.0 / 308;
    EXPECT_DOUBLE_EQ(window->itemScale(), fitted);
    EXPECT_DOUBLE_EQ(preview(*window).itemScale(), fitted);
    EXPECT_DOUBLE_EQ(preview(*window).page(1)->headerRect.height(), 40 * fitted);
    EXPECT_EQ(
        console.lines().filter("sizeRequiredToFit").value(0), QStringLiteral("sizeRequiredToFit is (632.0, 812.0)"));
    EXPECT_TRUE(window->setupViewController()->printButton()->isEnabled());
    EXPECT_EQ(window->magnification(), 1.0);
}

TEST_F(PrintWindow, AnEmptyBoardHasNoPageAndCannotPrint)
{
    makeBoard({"A", "B"});
    ConsoleLog::Capture console;
    const auto window = open();
    EXPECT_EQ(preview(*window).pageCount(), 0);
    EXPECT_EQ(preview(*window).canvasSize(), QSizeF(612 + 20, 20));
    EXPECT_TRUE(console.contains("sizeRequiredToFit is (632.0, 20.0)"));
    EXPECT_FALSE(window->setupViewController()->printButton()->isEnabled());
}

TEST_F(PrintWindow, FollowsTheBoardWhileOpen)
{
    makeBoard({"A"});
    addCard(0, 40);
    const auto window = open();
    window->setMagnification(0.5);
    ASSERT_EQ(preview(*window).pageCount(), 1);

    // A card added, and another's notes grown long: both show after one turn of the event loop,
    // at the same scale and zoom.
    ListItem* added = builder.addCard(stage(0));
    heights.insert(added, 30);
    ListItem* grown = builder.addCard(stage(0));
    heights.insert(grown, 20);
    QCoreApplication::processEvents();
    ASSERT_EQ(preview(*window).slicesOf(added).size(), 1);
    heights.insert(grown, 3000);
    grown->setAttributedNotes(AttributedString(QStringLiteral("long"), normalAttributes()));
    QCoreApplication::processEvents();
    EXPECT_GT(preview(*window).pageCount(), 2);
    EXPECT_EQ(window->magnification(), 0.5);
    EXPECT_DOUBLE_EQ(preview(*window).itemScale(), window->itemScale());
}

TEST_F(PrintWindow, CtrlWheelZoomsThePreviewAndTheSliderFollows)
{
    makeBoard({"A"});
    addCard(0, 40);
    const auto window = open();
    PrintPreviewView& view = preview(*window);
    const QSize before = view.size();
    QWheelEvent wheel(QPointF(50, 50), view.mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, 120 * 3), Qt::NoButton,
        Qt::ControlModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&view, &wheel);
    EXPECT_GT(window->magnification(), 1.9);
    EXPECT_GT(view.width(), before.width());
    // 2^v x 0.125 = magnification.
    const double expected = std::log2(window->magnification() * 8);
    EXPECT_NEAR(
        window->setupViewController()->zoomSlider()->value(), expected * PrintSetupViewController::zoomSteps, 0.5);
}

TEST_F(PrintWindow, APaperTooSmallDisablesPrinting)
{
    makeBoard({"A"});
    addCard(0, 40);
    const auto window = open();
    usePaper(200, 40);
    NotificationCenter::shared().post(NotificationName::PrintInfoChanged);
    EXPECT_FALSE(preview(*window).canPaginate());
    EXPECT_FALSE(window->setupViewController()->printButton()->isEnabled());
    // It still paints, with its message.
    window->show();
    QImage shot = preview(*window).grab().toImage();
    EXPECT_FALSE(shot.isNull());
}
