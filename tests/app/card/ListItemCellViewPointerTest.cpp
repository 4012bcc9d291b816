#include "Pelorins/card/CheckedButton.h"
#include "support/CardCellFixture.h"

#include <QCursor>
#include <QGuiApplication>
#include <QToolButton>

namespace {

// The display's own pointer and clicks that the window system delivers, with its focus and
// activation: these run only on a display (xvfb-run).
class ListItemCellViewPointer : public CardCellFixture
{
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() == "offscreen")
            GTEST_SKIP() << "the pointer needs a display: run under xvfb-run with QT_QPA_PLATFORM=xcb";
        CardCellFixture::SetUp();
    }

    void showBoard()
    {
        show();
        QWidget* window = board.scrollView();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    }

    static void movePointer(QPoint global)
    {
        QCursor::setPos(global);
        QTest::qWait(200);
    }
};

TEST_F(ListItemCellViewPointer, TheBoxPreviewsItsTickUnderThePointer)
{
    ListItem* card = addCard(stage(0), QStringLiteral("Hover me"));
    movePointer({1400, 880});
    showBoard();
    CheckedButton* box = cell(card)->checkButton();
    EXPECT_FALSE(box->isTickShown());
    movePointer(box->mapToGlobal(box->rect().center()));
    EXPECT_TRUE(box->isTickShown()) << "the tick shows while the pointer is over an open card's box";
    movePointer({1400, 880});
    EXPECT_FALSE(box->isTickShown());
}

TEST_F(ListItemCellViewPointer, AClickIntoACollapsedCardEditsItsWholeTextWithoutExpanding)
{
    ListItem* card = addCard(stage(0), QStringLiteral("Line 1\nLine 2\nLine 3"));
    card->setNotesExpanded(false);
    showBoard();
    ListItemCellView* shown = cell(card);
    NotesTextView* editor = shown->noteTextView();
    ASSERT_EQ(editor->string(), QStringLiteral("Line 1\n"));
    QTest::mouseClick(editor->viewport(), Qt::LeftButton, {}, QPoint(30, 10));
    QTest::qWait(50);
    ASSERT_TRUE(editor->hasFocus());
    EXPECT_EQ(editor->string(), QStringLiteral("Line 1\nLine 2\nLine 3"));
    EXPECT_TRUE(shown->isSelected());
    EXPECT_FALSE(shown->editingButtons().first()->isHidden());
    EXPECT_EQ(card->notesExpanded(), std::optional<bool>(false));
    EXPECT_LT(editor->textCursor().position(), 7) << "the caret lands in line 1";

    QTest::keyClick(editor, Qt::Key_Down);
    EXPECT_EQ(card->notesExpanded(), std::optional<bool>(true)) << "a caret moved into line 2 expands the card";
}

} // namespace
