#include "Pelorins/card/CalendarEventDialog.h"
#include "Pelorins/card/DateDisplayButton.h"
#include "Pelorins/card/DatePickerViewController.h"
#include "Pelorins/column/KanbanColumnListItem.h"
#include "PelorinsKit/board/CardHistory.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NotesTextViewFormatHelper.h"
#include "PelorinsKit/notes/RichTextCodec.h"
#include "PelorinsKit/notes/TextAttachment.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/services/FileBookmark.h"
#include "support/CardCellFixture.h"
#include "support/FakeCalendarStore.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>

namespace {

class CardCellActions : public CardCellFixture
{
protected:
    // Right-clicks the widget and picks `title` from the menu that opens.
    void chooseFromContextMenu(QWidget* widget, const QString& title)
    {
        const QPoint at = widget->rect().center();
        QTest::mousePress(widget, Qt::RightButton, {}, at);
        QTest::mouseRelease(widget, Qt::RightButton, {}, at);
        QTimer::singleShot(0, [title] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr) << "a menu opens";
            for (QAction* item : menu->actions())
                if (item->text() == title) {
                    menu->setActiveAction(item);
                    QTest::keyClick(menu, Qt::Key_Return);
                    return;
                }
            menu->close();
            ADD_FAILURE() << "no menu item " << title.toStdString();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, widget->mapToGlobal(at));
        QApplication::sendEvent(widget, &event);
        QCoreApplication::processEvents();
    }

    // A card whose notes are one link card of `link`.
    ListItem* addLinkCard(const QVariantMap& link)
    {
        ListItem* card = addCard(stage(0), QString());
        AttributedString notes = AttributedString::withAttachment(
            TextAttachment {AttributeKey::link, RichTextCodec::encodeDictionary(link), std::nullopt});
        notes.addAttribute(AttributeKey::attachmentLinkData, link, {0, 1});
        card->setAttributedNotes(notes);
        card->setNotesExpanded(true);
        return card;
    }

    // The card's notes being edited, links opened into `opened`.
    NotesTextView* editLinks(ListItem* card)
    {
        NotesTextView* editor = edit(card);
        editor->setUrlOpener([this](const QUrl& url) { opened.append(url); });
        return editor;
    }

    // The one link card of `link`, shown and edited.
    NotesTextView* showLinkCard(const QVariantMap& link)
    {
        linkCard = addLinkCard(link);
        show();
        return editLinks(linkCard);
    }

    // The middle of the link card at `position`, where a user points at it.
    static QPoint middleOf(NotesTextView* editor, int position)
    {
        QTextCursor before(editor->document());
        before.setPosition(position);
        QTextCursor after(editor->document());
        after.setPosition(position + 1);
        const QRect from = editor->cursorRect(before);
        const QRect to = editor->cursorRect(after);
        return QPoint((from.left() + to.left()) / 2, from.center().y());
    }

    static void doubleClick(NotesTextView* editor, int position)
    {
        const QPoint at = middleOf(editor, position);
        QTest::mouseClick(editor->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(editor->viewport(), Qt::LeftButton, {}, at);
    }

    ListItem* linkCard = nullptr;
    QList<QUrl> opened;
    QTemporaryDir files;
};

} // namespace

TEST_F(CardCellActions, FlagSetsThenClearsThePriorityWithoutAnUndoStep)
{
    ListItem* card = addCard(stage(0));
    show();
    QToolButton* flag = cell(card)->flagButton();
    QTest::mouseClick(flag, Qt::LeftButton);
    EXPECT_EQ(card->priority(), std::optional<bool>(true));
    EXPECT_TRUE(flag->isChecked());
    QTest::mouseClick(flag, Qt::LeftButton);
    EXPECT_EQ(card->priority(), std::optional<bool>(false));
    EXPECT_FALSE(flag->isChecked());
    EXPECT_FALSE(undo.canUndo());
}

TEST_F(CardCellActions, RightClickDeletesTheCardUnderThePointerAndNoOtherSelectedCard)
{
    const QList<ListItem*> cards = addCards(stage(0), 3);
    show();
    column(0).selectItem(cards.at(0));
    chooseFromContextMenu(cell(cards.at(2)), QStringLiteral("Delete"));
    EXPECT_EQ(stage(0)->item(), (QList<ListItem*> {cards.at(0), cards.at(1)}));
    EXPECT_EQ(undo.undoActionName(), QStringLiteral("Delete Items"));

    // Right-clicking into the notes offers the same actions.
    chooseFromContextMenu(cell(cards.at(1))->noteTextView()->viewport(), QStringLiteral("Delete"));
    EXPECT_EQ(stage(0)->item(), (QList<ListItem*> {cards.at(0)}));
}

TEST_F(CardCellActions, AddCardAboveTheFirstAndBelowTheLastCard)
{
    const QList<ListItem*> cards = addCards(stage(0), 2);
    show();
    chooseFromContextMenu(cell(cards.at(1)), QStringLiteral("Add Card Below"));
    ASSERT_EQ(stage(0)->item().size(), 3);
    EXPECT_EQ(stage(0)->item().mid(0, 2), cards);
    EXPECT_EQ(undo.undoActionName(), QStringLiteral("Add Card"));

    chooseFromContextMenu(cell(cards.at(0)), QStringLiteral("Add Card Above"));
    ASSERT_EQ(stage(0)->item().size(), 4);
    EXPECT_EQ(stage(0)->item().at(1), cards.at(0));
    undo.undo();
    EXPECT_EQ(stage(0)->item().size(), 3);
}

TEST_F(CardCellActions, ACardTheColumnDoesNotShowAddsNothing)
{
    addCards(stage(0), 1);
    ListItem* elsewhere = addCard(stage(1));
    show();
    ListItemCellView loose;
    loose.setDelegate(&column(0));
    loose.setObjectValue(elsewhere);
    loose.addCardBelow();
    loose.addCardAbove();
    EXPECT_EQ(stage(0)->item().size(), 1);
    EXPECT_EQ(stage(1)->item().size(), 1);
    EXPECT_FALSE(undo.canUndo());
}

TEST_F(CardCellActions, ItemHistoryPrintsTheEntriesThatNameAColumn)
{
    ListItem* card = addCard(stage(0));
    CardHistory::append(card, ListItemAction::created, QStringLiteral("COLUMN-A"));
    CardHistory::append(card, ListItemAction::markedDone);
    CardHistory::append(card, ListItemAction::moved, QStringLiteral("COLUMN-B"));
    const QDateTime when(QDate(2024, 1, 5), QTime(10, 30, 15), Qt::UTC);
    for (ListItemHistory* entry : card->history())
        entry->setDate(when);
    show();
    ConsoleLog::Capture console;
    chooseFromContextMenu(cell(card), QStringLiteral("Item History"));
    EXPECT_EQ(console.lines(),
        (QStringList {QStringLiteral("Item history:"),
            QStringLiteral("history entry action, created, date 2024-01-05 10:30:15 +0000, columnUUID: COLUMN-A"),
            QStringLiteral("history entry action, moved, date 2024-01-05 10:30:15 +0000, columnUUID: COLUMN-B")}));
}

TEST_F(CardCellActions, MakeChecklistAndAttachFileReachTheNotes)
{
    ListItem* card = addCard(stage(0), QStringLiteral("Milk"));
    card->setNotesExpanded(true);
    show();
    chooseFromContextMenu(cell(card), QStringLiteral("Make Checklist"));
    EXPECT_EQ(cell(card)->noteTextView()->checkButtons().size(), 1);
    EXPECT_EQ(undo.undoActionName(), NotesTextViewFormatHelper::styleChangeActionName);
}

TEST_F(CardCellActions, AClickSelectsALinkCard)
{
    NotesTextView* editor = showLinkCard({{"URL", QUrl("https://example.org/")}, {"title", "Example"}});
    QTest::mouseClick(editor->viewport(), Qt::LeftButton, {}, middleOf(editor, 0));
    EXPECT_EQ(editor->selectedRanges().first(), (TextRange {0, 1}));
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(CardCellActions, DoubleClickOpensOnlyTheLinksACardStandsFor)
{
    struct Case
    {
        const char* name;
        QVariantMap link;
        QList<QUrl> opens;
        QStringList prints;
    };
    const QUrl web("https://example.org/guide");
    const QList<Case> cases {
        {"web link", {{"URL", web}}, {web}, {"Old link attachmeent cell double clicked"}},
        {"mail message", {{"URL", QUrl("message:%3C1@example.org%3E")}}, {QUrl("message:%3C1@example.org%3E")},
            {"Old link attachmeent cell double clicked"}},
        {"script", {{"URL", QUrl("javascript:alert(1)")}}, {}, {"scheme javascript"}},
        {"no URL", {{"title", "Nothing"}}, {}, {}},
        {"URL as text", {{"URL", QString("https://example.org/")}}, {}, {}},
        {"calendar link without a title", {{"URL", QUrl("calendar://EVENT-1")}, {"calendarData", QVariantMap {}}}, {},
            {}},
        {"unreadable bookmark", {{"URL", QUrl("file:///nowhere/at/all.pdf")}, {"secureScopeBookmark", QByteArray("x")}},
            {}, {}},
    };
    QList<ListItem*> cards;
    for (const Case& test : cases)
        cards.append(addLinkCard(test.link));
    show();
    for (qsizetype i = 0; i < cases.size(); ++i) {
        const Case& test = cases.at(i);
        SCOPED_TRACE(test.name);
        opened.clear();
        NotesTextView* editor = editLinks(cards.at(i));
        ConsoleLog::Capture console;
        doubleClick(editor, 0);
        EXPECT_EQ(opened, test.opens);
        if (QString(test.name) == "unreadable bookmark") {
            ASSERT_EQ(console.lines().size(), 1);
            EXPECT_TRUE(console.lines().first().startsWith("Error decoding secure bookmark "));
        } else {
            EXPECT_EQ(console.lines(), test.prints);
        }
    }
}

TEST_F(CardCellActions, AStaleFileBookmarkOpensTheFileAndIsRewritten)
{
    const QString path = files.filePath(QStringLiteral("plan.txt"));
    QFile original(path);
    ASSERT_TRUE(original.open(QIODevice::WriteOnly));
    original.write("first");
    original.close();
    const QByteArray bookmark = *FileBookmark::make(path);
    // Saved anew by an editor: another file at the same path.
    ASSERT_TRUE(QFile::remove(path));
    const QString other = files.filePath(QStringLiteral("keep.txt"));
    QFile(other).open(QIODevice::WriteOnly);
    QFile replacement(path);
    ASSERT_TRUE(replacement.open(QIODevice::WriteOnly));
    replacement.write("second");
    replacement.close();
    bool stale = false;
    ASSERT_TRUE(FileBookmark::resolve(bookmark, QUrl::fromLocalFile(path), &stale));
    ASSERT_TRUE(stale) << "the fixture replaces the file";

    NotesTextView* editor
        = showLinkCard({{"URL", QUrl::fromLocalFile(path)}, {"title", "plan.txt"}, {"secureScopeBookmark", bookmark}});
    const int savesBefore = board.saves;
    doubleClick(editor, 0);
    EXPECT_EQ(opened, (QList<QUrl> {QUrl::fromLocalFile(path)}));

    const QVariantMap stored = linkCard->getAttributedNotes()->attribute(AttributeKey::attachmentLinkData, 0).toMap();
    const QByteArray renewed = stored.value("secureScopeBookmark").toByteArray();
    EXPECT_NE(renewed, bookmark);
    stale = true;
    EXPECT_TRUE(FileBookmark::resolve(renewed, QUrl(), &stale));
    EXPECT_FALSE(stale);
    const TextAttachment attachment
        = linkCard->getAttributedNotes()->attribute(AttributeKey::attachment, 0).value<TextAttachment>();
    EXPECT_EQ(
        RichTextCodec::decodeDictionary(attachment.contents)->value("secureScopeBookmark").toByteArray(), renewed);
    EXPECT_GT(board.saves, savesBefore);

    // Opened again, it is no longer stale: nothing is rewritten.
    opened.clear();
    const int savesAfter = board.saves;
    doubleClick(cell(linkCard)->noteTextView(), 0);
    EXPECT_EQ(opened.size(), 1);
    EXPECT_EQ(board.saves, savesAfter);
}

TEST_F(CardCellActions, ACalendarLinkShowsItsEventAsText)
{
    FakeCalendarStore calendars;
    CalendarEvent event;
    event.eventIdentifier = QStringLiteral("EVENT-1");
    event.calendarItemExternalIdentifier = QStringLiteral("EVENT-1");
    event.title = QStringLiteral("Review \"Q3\" <b>plan</b> \\ notes");
    event.startDate = QDateTime(QDate(2024, 3, 4), QTime(9, 0));
    event.endDate = QDateTime(QDate(2024, 3, 4), QTime(10, 0));
    event.notes = QStringLiteral("Bring the numbers");
    event.calendar.title = QStringLiteral("Work");
    calendars.storedEvents = {event};
    board.calendarStore = &calendars;

    NotesTextView* editor = showLinkCard({{"URL", QUrl("calendar://EVENT-1")},
        {"calendarData", QVariantMap {{"calendarTitle", "Work"}}}, {"title", "Review"}});
    ConsoleLog::Capture console;
    doubleClick(editor, 0);
    EXPECT_EQ(console.lines(), QStringList {"open calendar"});
    EXPECT_TRUE(opened.isEmpty());
    CalendarEventDialog* dialog = editor->window()->findChild<CalendarEventDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->titleText(), event.title);
    EXPECT_EQ(dialog->calendarText(), QStringLiteral("Work"));
    EXPECT_EQ(dialog->notesText(), QStringLiteral("Bring the numbers"));
    EXPECT_TRUE(dialog->timeText().contains(QStringLiteral(" – ")));
    dialog->close();

    calendars.storedEvents.clear();
    console.clear();
    doubleClick(cell(linkCard)->noteTextView(), 0);
    ASSERT_EQ(console.lines().size(), 2);
    EXPECT_TRUE(console.lines().at(1).startsWith("error: "));
}

TEST_F(CardCellActions, PickingADueDateIsOneUndoableStepThatFollowsTheCard)
{
    const QList<ListItem*> cards = addCards(stage(0), 2);
    const QDateTime before(QDate(2024, 3, 1), QTime(17, 0), Qt::LocalTime);
    cards.at(0)->setDueDate(before);
    show();
    ListItemCellView* shown = cell(cards.at(0));
    QTest::mouseClick(shown->showDateButton(), Qt::LeftButton);
    DatePickerViewController* picker = shown->datePicker();
    ASSERT_NE(picker, nullptr);
    QCoreApplication::processEvents();
    EXPECT_FALSE(undo.canUndo()) << "opening on the card's own date changes nothing";

    picker->timePicker()->setTime(QTime(9, 0));
    QCoreApplication::processEvents();
    const QDateTime picked(QDate(2024, 3, 1), QTime(9, 0), Qt::LocalTime);
    EXPECT_EQ(cards.at(0)->dueDate(), picked);
    EXPECT_EQ(shown->showDateButton()->dateValue(), picked);
    EXPECT_EQ(undo.undoMenuItemTitle(), QStringLiteral("Undo Change Due Date"));

    undo.undo();
    EXPECT_EQ(cards.at(0)->dueDate(), before);
    EXPECT_EQ(undo.redoActionName(), ListItemCellView::changeDueDateActionName);
    undo.redo();
    EXPECT_EQ(cards.at(0)->dueDate(), picked);
    EXPECT_EQ(undo.undoActionName(), ListItemCellView::changeDueDateActionName);

    // The cell now shows another card: undo still changes the card that was dated.
    shown->setObjectValue(cards.at(1));
    undo.undo();
    EXPECT_EQ(cards.at(0)->dueDate(), before);
    EXPECT_EQ(cards.at(1)->dueDate(), std::nullopt);
}

TEST_F(CardCellActions, OpeningTheBadgeOfAnUndatedCardDatesItAndClearRemovesTheDate)
{
    ListItem* card = addCard(stage(0));
    show();
    ListItemCellView* shown = cell(card);
    EXPECT_TRUE(shown->showDateButton()->showsIcon());
    QTest::mouseClick(shown->showDateButton(), Qt::LeftButton);
    QCoreApplication::processEvents();
    ASSERT_TRUE(card->dueDate());
    EXPECT_EQ(card->dueDate()->toLocalTime().time().second(), 0);
    EXPECT_FALSE(shown->showDateButton()->showsIcon());

    QTest::mouseClick(shown->datePicker()->clearButton(), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(card->dueDate(), std::nullopt);
    EXPECT_TRUE(shown->showDateButton()->showsIcon()) << "the badge's empty state";
    EXPECT_TRUE(!shown->datePicker() || !shown->datePicker()->isVisible()) << "the popover closed";
    undo.undo();
    EXPECT_TRUE(card->dueDate());
}
