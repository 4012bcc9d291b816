#include "Pelorins/card/CheckedButton.h"
#include "Pelorins/card/ChecklistButton.h"
#include "Pelorins/card/DeferredSave.h"
#include "Pelorins/card/DateDisplayButton.h"
#include "Pelorins/card/DueDateTextField.h"
#include "Pelorins/common/AppConstants.h"
#include "Pelorins/common/ColourHelpers.h"
#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/model/Hashtags.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/DataFolders.h"
#include "support/CardCellFixture.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QElapsedTimer>
#include <QGraphicsOpacityEffect>
#include <QImage>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolButton>
#include <functional>

// The suite takes the class's name; inside the namespace that name is the fixture.
namespace cards {

using ListItemCellView = CardCellFixture;

TEST_F(ListItemCellView, ShowsTheChevronForSeveralLinesAndTheFirstLineWhileCollapsed)
{
    ListItem* one = addCard(stage(0), QStringLiteral("One line"));
    ListItem* two = addCard(stage(0), QStringLiteral("First\nSecond"));
    ListItem* three = addCard(stage(0), QStringLiteral("Line 1\nLine 2\nLine 3"));
    two->setNotesExpanded(true);
    three->setNotesExpanded(false);
    show();
    EXPECT_TRUE(cell(one)->noteButton()->isHidden());
    EXPECT_FALSE(cell(two)->noteButton()->isHidden());
    EXPECT_EQ(cell(two)->noteTextView()->string(), QStringLiteral("First\nSecond"));
    EXPECT_EQ(cell(three)->noteTextView()->string(), QStringLiteral("Line 1\n")) << "line 1 and its break";
    EXPECT_FALSE(cell(three)->noteButton()->isHidden());
    EXPECT_FALSE(cell(three)->fullTextSet());
}

TEST_F(ListItemCellView, ADoneCardIsFadedAndOffersUnmarkDone)
{
    ListItem* done = addCard(stage(0), QStringLiteral("Finished"));
    done->setDone(true);
    done->setDoneDate(QDateTime(QDate(2026, 12, 9), QTime(15, 45)));
    done->setDueDate(QDateTime::currentDateTimeUtc().addDays(-2));
    ListItem* open = addCard(stage(0), QStringLiteral("Open"));
    show();
    ::ListItemCellView* shown = cell(done);
    EXPECT_DOUBLE_EQ(shown->notesOpacity(), 0.3);
    EXPECT_EQ(shown->checkButton()->toolTip(), QStringLiteral("Unmark Done"));
    EXPECT_EQ(shown->checkButton()->state(), 1);
    EXPECT_FALSE(shown->doneDateField()->isHidden());
    EXPECT_TRUE(shown->doneDateField()->text().contains(QStringLiteral("45")));
    EXPECT_EQ(shown->showDateButton()->backgroundColour(), QColor(170, 170, 170)) << "grey, though overdue";
    EXPECT_EQ(cell(open)->checkButton()->toolTip(), QStringLiteral("Mark Done"));
    EXPECT_TRUE(cell(open)->doneDateField()->isHidden());
    EXPECT_DOUBLE_EQ(cell(open)->notesOpacity(), 1.0);
    EXPECT_NE(cell(open)->backdropColour(), shown->backdropColour());
}

TEST_F(ListItemCellView, TheBadgeIsColouredAndWordedByTheBoardsClock)
{
    // A Thursday noon on the board's clock, not the wall clock: the cases mean the same at every hour.
    const QDateTime now = QDateTime(QDate(2026, 3, 12), QTime(12, 0)).toUTC();
    board.setNow(now);
    board.userDefaults().setValue(QStringLiteral("dueSoonDefinition"), 1);
    struct Case
    {
        const char* name;
        QDateTime due;
        QColor colour;
        const char* text;
    };
    const QList<Case> cases {
        {"overdue", now.addSecs(-60), badgeRedColour(), "Today"},
        {"due soon", now.addSecs(3600), badgeOrangeColour(), "Today at 13:00"},
        {"due tomorrow, inside the board's window of 40 hours", now.addSecs(30 * 3600), badgeOrangeColour(),
            "Tomorrow at 18:00"},
        {"due later", now.addDays(30), badgeGreyColour(), "Sat 11 Apr 2026"},
    };
    QList<ListItem*> cards;
    for (const Case& each : cases) {
        cards.append(addCard(stage(0), QString::fromLatin1(each.name)));
        cards.last()->setDueDate(each.due);
    }
    ListItem* none = addCard(stage(0), QStringLiteral("no date"));
    show();
    for (qsizetype i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(cell(cards.at(i))->showDateButton()->backgroundColour(), cases.at(i).colour) << cases.at(i).name;
        EXPECT_EQ(cell(cards.at(i))->showDateButton()->text(), QString::fromLatin1(cases.at(i).text)) << cases.at(i).name;
    }
    const std::optional<QColor> clear = cell(none)->showDateButton()->backgroundColour();
    ASSERT_TRUE(clear);
    EXPECT_LT(clear->alpha(), 255) << "a card without date gets the card's translucent fill";
    EXPECT_TRUE(cell(none)->showDateButton()->showsIcon());

    // The board's minutely check, once the card due soon is past its time: red, and worded so.
    board.setNow(now.addSecs(2 * 3600));
    column(0).updateDueDateColours();
    EXPECT_EQ(cell(cards.at(1))->showDateButton()->backgroundColour(), badgeRedColour());
    EXPECT_EQ(cell(cards.at(1))->showDateButton()->text(), QStringLiteral("Today"));
}

TEST_F(ListItemCellView, ZoomedNotesKeepTheirLineBreaksShowWholeAndTakeClicksWhereDrawn)
{
    ListItem* card = addCard(stage(0));
    card->setAttributedNotes(AttributedString(
        QStringLiteral("A line long enough to wrap around the width of the card at least once, maybe twice\nlast"),
        normalAttributes()));
    card->setNotesExpanded(true);
    const auto lineCount = [](::NotesTextView* editor) {
        int lines = 0;
        for (QTextBlock block = editor->document()->begin(); block.isValid(); block = block.next())
            lines += block.layout()->lineCount();
        return lines;
    };
    int fullSizeLines = 0;
    for (const qreal zoom : {1.0, 0.75, 0.5}) {
        board.removeColumns();
        board.setStoredMagnification(zoom);
        show();
        ::NotesTextView* editor = cell(card)->noteTextView();
        if (zoom == 1.0)
            fullSizeLines = lineCount(editor);
        EXPECT_GT(fullSizeLines, 2);
        EXPECT_EQ(lineCount(editor), fullSizeLines) << "zoom " << zoom;
        EXPECT_GE(editor->height(), editor->intrinsicHeight() * zoom - 1) << "nothing clipped at zoom " << zoom;
        EXPECT_LE(editor->width(), qRound(::ListItemCellView::notesWidth * zoom)) << zoom;

        // A click lands on the character drawn under the pointer.
        QTextCursor last(editor->document());
        last.setPosition(int(editor->string().size()) - 2);
        const QPoint drawn = (QPointF(editor->cursorRect(last).center()) * zoom).toPoint();
        edit(card);
        QTest::mouseClick(editor->viewport(), Qt::LeftButton, {}, drawn);
        EXPECT_NEAR(editor->textCursor().position(), last.position(), 1) << zoom;
        QTest::keyClicks(editor, "Z");
        EXPECT_TRUE(notes(card).contains(QStringLiteral("Z"))) << zoom;
        EXPECT_EQ(editor->storage().attribute(AttributeKey::font, 0), normalAttributes().value(AttributeKey::font))
            << "the stored notes never carry the zoom";
        endEditing(card);
    }
}

TEST_F(ListItemCellView, ZoomDrawsEveryControlOfACardSmallerSoThatNoneCoversAnother)
{
    AttributedString notes(QStringLiteral("Title\n"), normalAttributes());
    QVariantMap item = checkListAttributes();
    item.insert(AttributeKey::isChecklistChecked, false);
    notes.append(AttributedString(QStringLiteral("First item\nSecond item\n"), item));
    ListItem* open = addCard(stage(0));
    open->setAttributedNotes(notes);
    open->setNotesExpanded(true);
    open->setDueDate(QDateTime::currentDateTimeUtc().addDays(30));
    ListItem* done = addCard(stage(0));
    done->setAttributedNotes(notes);
    done->setNotesExpanded(true);
    done->setDone(true);
    done->setDoneDate(QDateTime(QDate(2026, 12, 9), QTime(16, 45)));
    for (const qreal zoom : {1.0, 0.75, 0.5}) {
        board.removeColumns();
        board.setStoredMagnification(zoom);
        show();
        for (ListItem* card : {open, done}) {
            ::ListItemCellView* shown = cell(card);
            ASSERT_TRUE(shown);
            const std::string where = QStringLiteral("zoom %1, %2").arg(zoom).arg(card == done ? "done" : "open").toStdString();
            EXPECT_EQ(shown->checkButton()->size(), QSize(qRound(18 * zoom), qRound(18 * zoom))) << where;

            // The checklist boxes stay left of their lines' text.
            ::NotesTextView* editor = shown->noteTextView();
            ASSERT_EQ(editor->checkButtons().size(), 2) << where;
            const QString text = editor->string();
            for (qsizetype i = 0; i < 2; ++i) {
                QAbstractButton* box = editor->checkButtons().at(i);
                EXPECT_EQ(box->width(), qRound(ChecklistButton::defaultWidth * zoom)) << where;
                QTextCursor line(editor->document());
                line.setPosition(int(text.indexOf(i == 0 ? QStringLiteral("First") : QStringLiteral("Second"))));
                EXPECT_LE(box->geometry().right(), editor->cursorRect(line).left() * zoom) << where;
            }

            // Whatever the card shows lies inside it, whole, and apart from the rest.
            QList<QWidget*> controls {
                shown->checkButton(), shown->flagButton(), shown->noteButton(), shown->showDateButton()};
            if (card == done)
                controls.append(shown->doneDateField());
            for (QWidget* control : controls) {
                ASSERT_TRUE(control->isVisibleTo(shown)) << where;
                EXPECT_TRUE(shown->rect().contains(control->geometry())) << where;
                if (auto* button = qobject_cast<QToolButton*>(control)) {
                    EXPECT_LE(button->iconSize().height(), button->height()) << where;
                }
                for (QWidget* other : controls) {
                    if (other != control) {
                        EXPECT_FALSE(control->geometry().intersects(other->geometry())) << where;
                    }
                }
                EXPECT_FALSE(control->geometry().intersects(editor->geometry())) << where;
            }
            if (card == done) {
                const DueDateTextField* time = shown->doneDateField();
                EXPECT_LE(time->fontMetrics().horizontalAdvance(time->text()), time->width()) << where;
                EXPECT_LE(time->fontMetrics().height(), time->height()) << "16:45 is not cut off at " << where;
            }
        }
    }
}

// Pressing and moving on a card not being edited is the start of a drag of the card (which the
// column runs), never a text selection; in the card being edited it selects text.
TEST_F(ListItemCellView, PressAndMoveSelectsTextOnlyInTheCardBeingEdited)
{
    ListItem* card = addCard(stage(0), QStringLiteral("Several words to select here"));
    show();
    ::NotesTextView* editor = cell(card)->noteTextView();
    const QPoint from(20, 12);
    const QPoint to(from + QPoint(QApplication::startDragDistance() + 60, 0));
    const auto pressAndMove = [&] {
        QTest::mousePress(editor->viewport(), Qt::LeftButton, {}, from);
        QTest::mouseMove(editor->viewport(), to);
        QTest::mouseRelease(editor->viewport(), Qt::LeftButton, {}, to);
        QCoreApplication::processEvents();
    };

    pressAndMove();
    EXPECT_FALSE(editor->isFirstResponder());
    EXPECT_FALSE(editor->textCursor().hasSelection());

    edit(card);
    pressAndMove();
    EXPECT_TRUE(editor->isFirstResponder());
    EXPECT_TRUE(editor->textCursor().hasSelection());
    EXPECT_EQ(notes(card), QStringLiteral("Several words to select here"));
}

// A selection made while editing is not left painted on the card once editing ends, whether the
// card stays selected (Escape) or another card is clicked: the caret waits at the end of the text.
TEST_F(ListItemCellView, EndingEditingLeavesNoTextSelected)
{
    ListItem* card = addCard(stage(0), QStringLiteral("Several words to select"));
    ListItem* other = addCard(stage(0), QStringLiteral("Other"));
    show();
    ::NotesTextView* editor = cell(card)->noteTextView();
    const std::pair<const char*, std::function<void()>> endings[] {
        {"Escape", [&] { QTest::keyClick(editor, Qt::Key_Escape); }},
        {"another card", [&] { edit(other); }},
    };
    for (const auto& [name, end] : endings) {
        edit(card);
        QTest::keyClick(editor, Qt::Key_Home);
        QTest::keyClick(editor, Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier);
        ASSERT_TRUE(editor->textCursor().hasSelection()) << name;
        end();
        EXPECT_FALSE(editor->isFirstResponder()) << name;
        EXPECT_FALSE(editor->textCursor().hasSelection()) << name;
        EXPECT_EQ(editor->textCursor().position(), editor->string().size()) << name;
        EXPECT_EQ(notes(card), QStringLiteral("Several words to select")) << name;
    }
}

// The buttons shown while editing act on the notes being edited: a click on one leaves the card
// in editing, and the keys typed next reach it.
TEST_F(ListItemCellView, AClickOnAnEditingButtonKeepsTheCardInEditing)
{
    ListItem* card = addCard(stage(0), QStringLiteral("Shopping\nmilk"));
    card->setNotesExpanded(true);
    show();
    ::NotesTextView* editor = edit(card);
    QTest::keyClick(editor, Qt::Key_End, Qt::ControlModifier);
    QTest::mouseClick(cell(card)->editingButtons().at(1), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(editor->hasFocus());
    EXPECT_TRUE(editor->isFirstResponder());
    EXPECT_FALSE(cell(card)->editingButtons().first()->isHidden());
    EXPECT_EQ(editor->checkButtons().size(), 1) << "the line of the caret became a checklist line";
    type(editor, QStringLiteral(" and eggs"));
    EXPECT_EQ(notes(card), QStringLiteral("Shopping\nmilk and eggs"));
}

// A yellow tag on a light card, and a red one on a faded done card: each is drawn readable on
// what shows behind its text, while the notes keep the tag's own colour.
TEST_F(ListItemCellView, HashtagsAreDrawnReadableOnTheirCardWithoutChangingTheirColour)
{
    Tag* yellow = builder.addTag(kanban, QStringLiteral("idea"));
    yellow->setColour(2);
    Tag* red = builder.addTag(kanban, QStringLiteral("urgent"));
    red->setColour(0);
    ListItem* open = addCard(stage(0), QStringLiteral("An #idea to try"));
    ListItem* done = addCard(stage(0), QStringLiteral("Finished #urgent work"));
    done->setDone(true);
    done->setDoneDate(QDateTime(QDate(2026, 12, 9), QTime(15, 45)));
    const QList<QColor> boards {Qt::white, QColor(74, 144, 226), QColor(40, 44, 52)};
    for (const QColor& behind : boards) {
        board.behindColumns = behind;
        board.removeColumns();
        show();
        const struct
        {
            ListItem* card;
            Tag* tag;
        } cases[] = {{open, yellow}, {done, red}};
        for (const auto& c : cases) {
            ::ListItemCellView* shown = cell(c.card);
            ASSERT_TRUE(shown);
            ::NotesTextView* editor = shown->noteTextView();
            const int at = int(editor->string().indexOf(QLatin1Char('#')));
            const std::string where = behind.name().toStdString() + " " + c.tag->name().toStdString();
            EXPECT_EQ(editor->storage().attribute(AttributeKey::foregroundColor, at).value<QColor>(),
                tagColour(c.tag->colour()))
                << "the notes keep the tag's colour, " << where;
            const QColor background = composited(shown->backdropColour(), behind);
            EXPECT_GE(contrastRatio(editor->drawnTagColour(at), background), 3.0) << where;
            // On the done card the tag is not faded with the rest of the text.
            const QRegion tags = editor->hashtagRegion();
            ASSERT_FALSE(tags.isEmpty()) << where;
            if (c.card == open) {
                // Its letters are painted in the colour drawn, whether or not that is the tag's own.
                const QImage painted = editor->viewport()->grab().toImage();
                const QRect onTags = tags.boundingRect().translated(-editor->viewport()->pos());
                bool inDrawnColour = false;
                for (int y = onTags.top(); y <= onTags.bottom() && !inDrawnColour; ++y)
                    for (int x = onTags.left(); x <= onTags.right() && !inDrawnColour; ++x)
                        inDrawnColour = painted.pixelColor(x, y).rgb() == editor->drawnTagColour(at).rgb();
                EXPECT_TRUE(inDrawnColour) << where;
            }
            auto* effect = qobject_cast<QGraphicsOpacityEffect*>(editor->graphicsEffect());
            ASSERT_TRUE(effect);
            const QImage mask = effect->opacityMask().textureImage();
            const QPoint onTag = tags.boundingRect().center();
            if (c.card == done) {
                ASSERT_FALSE(mask.isNull()) << where;
                EXPECT_EQ(qAlpha(mask.pixel(onTag)), 255) << where;
                EXPECT_EQ(qAlpha(mask.pixel(2, 2)), qRound(255 * 0.3)) << "the rest is faded, " << where;
            } else {
                EXPECT_EQ(effect->opacity(), 1.0);
                EXPECT_EQ(effect->opacityMask().style(), Qt::NoBrush);
            }
        }
    }
}

TEST_F(ListItemCellView, TheChevronExpandsAndCollapsingMovesTheCaretToTheFirstLine)
{
    ListItem* card = addCard(stage(0), QStringLiteral("Line 1\nLine 2\nLine 3"));
    card->setNotesExpanded(false);
    show();
    ::ListItemCellView* shown = cell(card);
    const int collapsedHeight = shown->height();
    shown->noteButton()->click();
    EXPECT_EQ(card->notesExpanded(), std::optional<bool>(true));
    EXPECT_EQ(shown->noteTextView()->string(), QStringLiteral("Line 1\nLine 2\nLine 3"));
    EXPECT_EQ(shown->noteButton()->toolTip(), QStringLiteral("Collapse"));
    EXPECT_GT(cell(card)->height(), collapsedHeight) << "the card grows at once";

    QTextCursor caret = shown->noteTextView()->textCursor();
    caret.setPosition(17); // in line 3
    shown->noteTextView()->setTextCursor(caret);
    shown->noteButton()->click();
    EXPECT_EQ(card->notesExpanded(), std::optional<bool>(false));
    EXPECT_EQ(shown->noteTextView()->string(), QStringLiteral("Line 1\nLine 2\nLine 3")) << "the text stays whole";
    EXPECT_EQ(shown->noteTextView()->textCursor().position(), 6) << "the end of line 1";
    EXPECT_EQ(cell(card)->height(), collapsedHeight) << "and shrinks at once";
}

TEST_F(ListItemCellView, TheFirstClickShowsAllTextAndACaretInLineTwoExpands)
{
    ListItem* card = addCard(stage(0), QStringLiteral("Line 1\nLine 2\nLine 3"));
    card->setNotesExpanded(false);
    show();
    NotesTextView* editor = edit(card);
    ASSERT_TRUE(editor->hasFocus());
    EXPECT_EQ(editor->string(), QStringLiteral("Line 1\nLine 2\nLine 3"));
    EXPECT_TRUE(cell(card)->isSelected()) << "the card becomes the selected card";
    EXPECT_FALSE(cell(card)->editingButtons().first()->isHidden());
    QTextCursor caret = editor->textCursor();
    caret.setPosition(2);
    editor->setTextCursor(caret);
    EXPECT_EQ(card->notesExpanded(), std::optional<bool>(false)) << "a caret in line 1 does not expand";
    caret.setPosition(9);
    editor->setTextCursor(caret);
    EXPECT_EQ(card->notesExpanded(), std::optional<bool>(true));
}

TEST_F(ListItemCellView, SearchHighlightsEveryOccurrenceWithoutTouchingTheNotes)
{
    ListItem* card = addCard(stage(0), QStringLiteral("Milk and MILK and milkshake"));
    card->setNotesExpanded(true);
    ListItem* collapsed = addCard(stage(0), QStringLiteral("milk\nmore milk"));
    board.setSearchTerm(QStringLiteral("mIlK"));
    show();
    NotesTextView* editor = cell(card)->noteTextView();
    EXPECT_EQ(editor->searchHighlights(), (QList<TextRange> {{0, 4}, {9, 4}, {18, 4}}));
    EXPECT_EQ(cell(collapsed)->noteTextView()->searchHighlights(), (QList<TextRange> {{0, 4}}));
    cell(collapsed)->noteButtonTapped();
    EXPECT_EQ(cell(collapsed)->noteTextView()->searchHighlights(), (QList<TextRange> {{0, 4}, {10, 4}}))
        << "the lines an expanding card shows are highlighted too";
    ASSERT_EQ(editor->extraSelections().size(), 3);
    EXPECT_EQ(editor->extraSelections().first().format.background().color(), QColor(Qt::yellow));

    edit(card);
    QTest::keyClick(editor, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(editor, " milk");
    endEditing(card);
    const AttributedString stored = *card->attributedNotes();
    EXPECT_EQ(stored.string(), QStringLiteral("Milk and MILK and milkshake milk"));
    bool background = false;
    stored.enumerateAttributes({0, stored.length()}, [&](const QVariantMap& attributes, TextRange) {
        background = background || attributes.contains(QStringLiteral("NSBackgroundColor"));
    });
    EXPECT_FALSE(background);

    board.setSearchTerm(QStringLiteral("absent"));
    cell(card)->configure();
    EXPECT_TRUE(editor->searchHighlights().isEmpty()) << "an earlier search's highlights go";
}

TEST_F(ListItemCellView, AReusedCellStartsCleanAndKeepsTypingInTheOldCard)
{
    ListItem* first = addCard(stage(0), QStringLiteral("First"));
    ListItem* second = addCard(stage(0), QStringLiteral("Second"));
    ListItem* empty = addCard(stage(0), QString());
    empty->setAttributedNotes(std::nullopt);
    board.setSearchTerm(QStringLiteral("first"));
    show();
    ::ListItemCellView* shown = cell(first);
    NotesTextView* editor = edit(first);
    QTest::keyClick(editor, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(editor, "!");
    ASSERT_TRUE(shown->isTypingStepOpen());
    shown->checkButton()->setTickShown(true);

    shown->setObjectValue(second);
    EXPECT_EQ(notes(first), QStringLiteral("First!"));
    EXPECT_EQ(notes(second), QStringLiteral("Second"));
    EXPECT_FALSE(shown->isTypingStepOpen());

    shown->setObjectValue(empty);
    EXPECT_EQ(editor->string(), QString());
    EXPECT_TRUE(editor->searchHighlights().isEmpty());
    EXPECT_FALSE(shown->checkButton()->isTickShown());
    EXPECT_TRUE(shown->noteButton()->isHidden());
}

TEST_F(ListItemCellView, TheBoxHandsTheCardToTheBoard)
{
    AnimatedCheckButton::setTimeScale(0.01);
    ListItem* card = addCard(stage(0));
    show();
    QTest::mouseClick(cell(card)->checkButton(), Qt::LeftButton, {}, QPoint(9, 9));
    QTRY_COMPARE(board.flippedItems, QList<ListItem*> {card});
    AnimatedCheckButton::setTimeScale(1.0);
}

TEST_F(ListItemCellView, TypingIsSavedOnceItPausesAndAtLeastEveryTwoSecondsAndEndingEditingAtOnce)
{
    ListItem* card = addCard(stage(0), QStringLiteral("Note"));
    show();
    NotesTextView* editor = edit(card);
    QTest::keyClick(editor, Qt::Key_End);
    QTest::keyClicks(editor, "abc");
    EXPECT_EQ(notes(card), QStringLiteral("Noteabc")) << "typing reaches the card at once";
    EXPECT_EQ(board.saves, 0) << "no save in a keystroke";
    const DeferredSave* saving = cell(card)->deferredSave();
    // What a user may lose to a crash: half a second after the last key, two seconds of typing.
    constexpr int pause = 500;
    constexpr int longestWait = 2000;
    // Keys 200 ms apart for two and a half seconds: each one puts the save half a second off,
    // never further than two seconds after the first key since the last save.
    int saves = board.saves;
    std::optional<QElapsedTimer> sinceSave;
    for (int key = 0; key < 12; ++key) {
        type(editor, QStringLiteral("a"));
        if (board.saves != saves) {
            // The longest wait ran out as the key was handled: the save took it along.
            saves = board.saves;
            sinceSave.reset();
            QTest::qWait(200);
            continue;
        }
        if (!sinceSave) {
            sinceSave.emplace();
            sinceSave->start();
        }
        const int remaining = saving->remainingMilliseconds();
        EXPECT_GE(remaining, 0) << "a save is due after key " << key;
        EXPECT_LE(remaining, pause);
        EXPECT_LE(remaining, longestWait - sinceSave->elapsed() + 20)
            << "key " << key;
        QTest::qWait(200);
    }
    EXPECT_GE(board.saves, 1) << "typing for longer than two seconds saved meanwhile";
    QTRY_VERIFY_WITH_TIMEOUT(!saving->isPending(), 5000);
    EXPECT_EQ(notes(card), editor->string()) << "the card has the notes saved";

    type(editor, QStringLiteral("b"));
    saves = board.saves;
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_TRUE(cell(card)->hasFocus()) << "Escape leaves the card focused";
    EXPECT_FALSE(editor->isFirstResponder());
    EXPECT_EQ(board.saves, saves + 1);
    EXPECT_FALSE(saving->isPending());
    EXPECT_TRUE(notes(card).endsWith(QStringLiteral("ab")));
    EXPECT_TRUE(cell(card)->editingButtons().first()->isHidden());
}

TEST_F(ListItemCellView, RelayoutStopsAtTheTopOrAfterTwoPasses)
{
    ListItem* card = addCard(stage(0));
    show();
    ConsoleLog::Capture log;
    cell(card)->relayoutNotesTextView();
    EXPECT_EQ(log.lines(), QStringList {QStringLiteral("relayout called")});
    EXPECT_EQ(cell(card)->noteTextView()->y(), ::ListItemCellView::notesTop);
}

TEST_F(ListItemCellView, APictureWiderThanTheCardFitsItsLinesAndTheTextStartsAtTheLeftInset)
{
    QTemporaryDir data;
    DataFolders::setBaseFolderForTesting(data.path());
    const QString folderName = QStringLiteral("0000000A-0000-4000-8000-000000000000");
    const std::optional<QString> folder
        = PictureFolders::pictureFolderPath(PictureFolders::attachmentPicturesFolderURL().value(), folderName);
    ASSERT_TRUE(folder && QDir().mkpath(*folder));
    QImage image(600, 300, QImage::Format_RGB32);
    image.fill(Qt::blue);
    ASSERT_TRUE(image.save(QDir(*folder).filePath(QStringLiteral("wide.png"))));
    QVariantMap pictureAttributes = normalAttributes();
    pictureAttributes.insert(AttributeKey::fileFolderUUID, folderName);
    pictureAttributes.insert(AttributeKey::filename, QStringLiteral("wide.png"));
    AttributedString notes(QStringLiteral("Title\n"), titleAttributes());
    notes.append(AttributedString(QString(AttributedString::attachmentCharacter), pictureAttributes));
    ListItem* card = addCard(stage(0));
    card->setAttributedNotes(notes);
    card->setNotesExpanded(true);
    show();
    DataFolders::setBaseFolderForTesting(QString());

    // The caret ends after the picture; a view that scrolled to show it would cut the text.
    NotesTextView* view = cell(card)->noteTextView();
    EXPECT_EQ(view->horizontalScrollBar()->value(), 0);
    EXPECT_EQ(view->cursorRect(QTextCursor(view->document())).left(), NotesTextView::lineFragmentPadding);
    const QRectF pictureLine = view->document()->documentLayout()->blockBoundingRect(view->document()->lastBlock());
    EXPECT_LE(pictureLine.right(), view->viewport()->width() - NotesTextView::lineFragmentPadding);
    EXPECT_NEAR(pictureLine.height(), (view->viewport()->width() - 2 * NotesTextView::lineFragmentPadding) / 2.0, 2);
}

} // namespace cards
