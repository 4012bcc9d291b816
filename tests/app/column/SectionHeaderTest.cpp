#include "app/board/SectionsFixture.h"

#include "Pelorins/common/ColourHelpers.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <functional>

namespace {

class SectionHeader : public SectionsFixture
{
};

TEST_F(SectionHeader, ASecondSingleClickEditsTheTitleWithAllOfItSelected)
{
    showRouted(boardWithCards(QStringLiteral("B"), {1, 1}));

    click(header(1));
    EXPECT_TRUE(controller(1)->isSelected());
    EXPECT_FALSE(header(1)->isEditingTitle());

    click(header(1));
    ASSERT_TRUE(header(1)->isEditingTitle());
    EXPECT_EQ(header(1)->editableTextField()->selectedText(), "B S2");
    EXPECT_TRUE(header(1)->editableTextField()->hasFocus());
}

TEST_F(SectionHeader, NeitherADoubleClickNorADragOfOneEventEdits)
{
    showRouted(boardWithCards(QStringLiteral("B"), {1, 1}));
    click(header(0));

    QTest::mouseDClick(header(0), Qt::LeftButton, Qt::NoModifier, titlePoint());
    settle();
    EXPECT_FALSE(header(0)->isEditingTitle());

    QTest::mousePress(header(0), Qt::LeftButton, Qt::NoModifier, titlePoint());
    QTest::mouseMove(header(0), titlePoint() + QPoint(3, 0));
    QTest::mouseRelease(header(0), Qt::LeftButton, Qt::NoModifier, titlePoint());
    settle();
    EXPECT_FALSE(header(0)->isEditingTitle());
    EXPECT_EQ(stageTitles(), (QStringList {"B S1", "B S2"}));
}

TEST_F(SectionHeader, EscapeCancelsTheEdit)
{
    showRouted(boardWithCards(QStringLiteral("B"), {1}));
    click(header(0));
    click(header(0));

    type(header(0), QStringLiteral("Other"), Qt::Key_Escape);

    EXPECT_FALSE(header(0)->isEditingTitle());
    EXPECT_EQ(stageTitles(), QStringList {"B S1"});
    EXPECT_EQ(header(0)->title(), "B S1");
    EXPECT_FALSE(undoManager.canUndo());
}

TEST_F(SectionHeader, ChangeTitleUndoesAndRedoesFromAnyOldTitle)
{
    for (const QString& old : {QStringLiteral("B S1"), QString()}) {
        undoManager.removeAllActions();
        Kanban* kanban = boardWithCards(QStringLiteral("B"), {1});
        kanban->column().first()->setTitle(old);
        showRouted(kanban);
        click(header(0));
        click(header(0));

        type(header(0), QStringLiteral("Doing"));

        EXPECT_FALSE(header(0)->isEditingTitle());
        EXPECT_EQ(stageTitles(), QStringList {"Doing"});
        EXPECT_EQ(header(0)->title(), "Doing");
        EXPECT_EQ(undoManager.undoMenuItemTitle(), "Undo Change Title");
        undoManager.undo();
        settle();
        EXPECT_EQ(stageTitles(), QStringList {old});
        EXPECT_EQ(header(0)->title(), old);
        undoManager.redo();
        settle();
        EXPECT_EQ(header(0)->title(), "Doing");
    }
}

TEST_F(SectionHeader, AnEditThatChangesNothingIsNoStep)
{
    showRouted(boardWithCards(QStringLiteral("B"), {1}));
    click(header(0));
    click(header(0));

    type(header(0), QString(), Qt::Key_Tab);

    EXPECT_FALSE(header(0)->isEditingTitle());
    EXPECT_EQ(stageTitles(), QStringList {"B S1"});
    EXPECT_FALSE(undoManager.canUndo());
}

// Ctrl+V in a title being edited pastes text only: copied cards or columns leave the title, and
// the history, as they were.
TEST_F(SectionHeader, ATitlePastesOnlyTextFromTheClipboard)
{
    showRouted(boardWithCards(QStringLiteral("B"), {1, 1}));
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QList<std::pair<const char*, std::function<void()>>> copies {
        {"a card",
            [this] {
                controller(1)->collectionView()->setSelectionIndexPaths({{0, 0}});
                controller(1)->copy();
            }},
        {"a column",
            [this] {
                click(header(1));
                board->copy();
            }},
    };
    for (const auto& [what, copy] : copies) {
        SCOPED_TRACE(what);
        clipboard->clear();
        copy();
        ASSERT_TRUE(clipboard->text().isEmpty());
        ASSERT_FALSE(clipboard->mimeData()->formats().isEmpty());
        click(header(0));
        click(header(0));
        ASSERT_TRUE(header(0)->isEditingTitle());

        QTest::keyClick(header(0)->editableTextField(), Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(header(0)->editableTextField()->text(), "B S1");
        type(header(0), QString());
        EXPECT_EQ(stageTitles(), (QStringList {"B S1", "B S2"}));
        EXPECT_FALSE(undoManager.canUndo());
    }

    // Text of several lines, as a card's notes copy: one line, a space at each break.
    clipboard->setText(QStringLiteral("Doing\nnow\r\nand\u2029then"));
    click(header(0));
    click(header(0));
    QTest::keyClick(header(0)->editableTextField(), Qt::Key_V, Qt::ControlModifier);
    type(header(0), QString());
    EXPECT_EQ(stageTitles(), (QStringList {"Doing now and then", "B S2"}));
    EXPECT_EQ(undoManager.undoMenuItemTitle(), "Undo Change Title");
}

TEST_F(SectionHeader, ADayHeaderHasNoFillDividerOrBackdrop)
{
    showRouted(boardWithCards(QStringLiteral("B"), {1}));
    auto* day = qobject_cast<ListItemHeaderCellView*>(controller(1)->collectionView()->headerWidget(0));
    ASSERT_TRUE(day);
    EXPECT_EQ(day->headerLayout(), ListItemHeaderCellView::HeaderLayouts::doneItem);
    EXPECT_FALSE(day->isFilled());
    EXPECT_FALSE(day->isDividerShown());
    EXPECT_FALSE(day->isBackdropShown());
}

// Tucked above an unbookmarked stage's header, the flag still shows enough of itself, drawn
// to stand out from the header, to be found before the pointer hovers it.
TEST_F(SectionHeader, AnUnbookmarkedFlagShowsItsTailReadably)
{
    showRouted(boardWithCards(QStringLiteral("B"), {1}));
    ListItemHeaderCellView* top = header(0);
    ASSERT_EQ(top->bookmarkImageName(), QStringLiteral("BookmarkIcon"));
    const QImage shot = top->grab().toImage();
    const QRect flag = top->bookmarkButton()->geometry().intersected(top->rect());
    const QColor fill = shot.pixelColor(flag.left() - 2, flag.top() + 1);
    int standingOut = 0;
    for (int y = flag.top(); y <= flag.bottom(); ++y)
        for (int x = flag.left(); x <= flag.right(); ++x)
            standingOut += contrastRatio(shot.pixelColor(x, y), fill) >= 3.0 ? 1 : 0;
    EXPECT_GE(standingOut, 12) << "of " << flag.width() << "x" << flag.height();
}

class HeaderClicks : public SectionsFixture
{
protected:
    void selectCard(int section) { controller(section)->collectionView()->setSelectionIndexPaths({{0, 0}}); }
    bool hasCardSelected(int section) const
    {
        return !controller(section)->collectionView()->selectionIndexPaths().isEmpty();
    }
};

TEST_F(HeaderClicks, InTheSingleListAClickChangesNothing)
{
    defaults.setValue(MacKanbanColumnsViewController::viewAsMultiColumnKey, false);
    showRouted(boardWithCards(QStringLiteral("B"), {1, 1}));
    MacKanbanColumnController* list = controller(0);
    ASSERT_TRUE(list->showAllSections());
    auto* first = qobject_cast<ListItemHeaderCellView*>(list->collectionView()->headerWidget(0));
    ASSERT_TRUE(first);

    click(first);
    click(first);

    EXPECT_TRUE(selectedColumns().isEmpty());
    EXPECT_FALSE(first->isEditingTitle());
}

TEST_F(HeaderClicks, APlainClickSelectsAnUnselectedColumnAloneAndClearsTheOthersCards)
{
    showRouted(boardWithCards(QStringLiteral("B"), {1, 1, 1}));
    click(header(0));
    click(header(2), Qt::ControlModifier);
    selectCard(1);

    click(header(1));

    EXPECT_EQ(selectedColumns(), QList<int> {1});
    EXPECT_EQ(board->lastSelectedController(), controller(1));
}

// A click on a header leaves no card of its column chosen, so that a Delete that follows deletes
// no card the user no longer sees as the target: a stage's header selects the stage instead, a
// day's header in the done column is a click on its list.
TEST_F(HeaderClicks, AClickOnAHeaderClearsTheCardsOfItsColumn)
{
    Kanban* kanban = boardWithCards(QStringLiteral("B"), {1, 1});
    ListItem* done = build.addDoneCard(kanban, build.addDoneGroup(kanban, now.toLocalTime().date().startOfDay()));
    showRouted(kanban);
    MacKanbanColumnController* doneColumn = controller(2);
    const std::optional<IndexPath> at = doneColumn->indexPathFor(done);
    ASSERT_TRUE(at);
    doneColumn->collectionView()->setSelectionIndexPaths({*at});
    auto* day = qobject_cast<ListItemHeaderCellView*>(doneColumn->collectionView()->headerWidget(at->section));
    ASSERT_TRUE(day);

    click(day);
    EXPECT_FALSE(hasCardSelected(2));
    QTest::keyClick(board.get(), Qt::Key_Delete);
    settle();
    EXPECT_FALSE(done->toBeDeleted());
    EXPECT_FALSE(undoManager.canUndo());

    selectCard(1);
    click(header(1));
    EXPECT_FALSE(hasCardSelected(1));
    EXPECT_EQ(selectedColumns(), QList<int> {1});
}

TEST_F(HeaderClicks, APlainClickOnASelectedColumnKeepsTheOthersUntilAnUnmovedRelease)
{
    showRouted(boardWithCards(QStringLiteral("B"), {1, 1, 1}));
    click(header(0));
    click(header(2), Qt::ControlModifier);
    selectCard(0);

    QTest::mousePress(header(0), Qt::LeftButton, Qt::NoModifier, titlePoint());
    EXPECT_EQ(selectedColumns(), (QList<int> {0, 2}));
    QTest::mouseRelease(header(0), Qt::LeftButton, Qt::NoModifier, titlePoint());
    settle();

    EXPECT_EQ(selectedColumns(), QList<int> {0});
}

TEST_F(HeaderClicks, CtrlAddsAColumnAndShiftSelectsARangeEitherWayFromTheAnchor)
{
    showRouted(boardWithCards(QStringLiteral("B"), {0, 0, 0, 0, 0}));
    click(header(1));
    click(header(3), Qt::ControlModifier);
    EXPECT_EQ(selectedColumns(), (QList<int> {1, 3}));

    click(header(1));
    click(header(3), Qt::ShiftModifier);
    EXPECT_EQ(selectedColumns(), (QList<int> {1, 2, 3}));

    click(header(4));
    click(header(2), Qt::ShiftModifier);
    EXPECT_EQ(selectedColumns(), (QList<int> {2, 3, 4}));

    click(header(2), Qt::ShiftModifier);
    EXPECT_EQ(selectedColumns(), (QList<int> {2, 3, 4}));
}

TEST_F(HeaderClicks, AOnePixelMoveKeepsTheSelectionAndTheColumnsInPlace)
{
    showRouted(boardWithCards(QStringLiteral("B"), {0, 0, 0}));
    click(header(0));
    click(header(1), Qt::ControlModifier);
    const QPoint start = header(0)->mapTo(board.get(), titlePoint());

    ListItemHeaderCellView* pressed = header(0);
    QTest::mousePress(pressed, Qt::LeftButton, Qt::NoModifier, titlePoint());
    QTest::mouseMove(pressed, pressed->mapFrom(board.get(), start + QPoint(1, 0)));
    QTest::mouseRelease(pressed, Qt::LeftButton, Qt::NoModifier, pressed->mapFrom(board.get(), start + QPoint(1, 0)));
    settle();

    EXPECT_EQ(selectedColumns(), (QList<int> {0, 1}));
    EXPECT_EQ(stageTitles(), (QStringList {"B S1", "B S2", "B S3"}));
    EXPECT_EQ(frameOf(controller(0)).left(), 0);
    EXPECT_FALSE(undoManager.canUndo());
}

TEST_F(HeaderClicks, AHeaderDraggedSidewaysMovesTheSelectedColumns)
{
    showRouted(boardWithCards(QStringLiteral("B"), {1, 1, 1, 0}));
    click(header(0));
    click(header(1), Qt::ControlModifier);
    // Measured on the board, which stays where it is while the dragged columns move.
    const QPoint start = header(0)->mapTo(board.get(), titlePoint());

    // The header keeps the mouse while it moves with its column: each point is the board's.
    ListItemHeaderCellView* dragged = header(0);
    QTest::mousePress(dragged, Qt::LeftButton, Qt::NoModifier, titlePoint());
    for (int x = 20; x <= 320; x += 20) {
        QTest::mouseMove(dragged, dragged->mapFrom(board.get(), start + QPoint(x, 0)));
        settle();
    }
    QTest::mouseRelease(dragged, Qt::LeftButton, Qt::NoModifier, dragged->mapFrom(board.get(), start + QPoint(320, 0)));
    settle();

    EXPECT_EQ(stageTitles(), (QStringList {"B S3", "B S1", "B S2", "B S4"}));
    EXPECT_EQ(headerTitles(), stageTitles());
    EXPECT_EQ(selectedColumns(), (QList<int> {1, 2}));
    EXPECT_EQ(frameOf(controller(1)).left(), 300);
    EXPECT_EQ(undoManager.undoMenuItemTitle(), "Undo Re-arrange Sections");
    undoManager.undo();
    settle();
    EXPECT_EQ(stageTitles(), (QStringList {"B S1", "B S2", "B S3", "B S4"}));
    EXPECT_EQ(headerTitles(), stageTitles());
}

} // namespace
