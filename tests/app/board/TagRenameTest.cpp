#include "BoardViewFixture.h"

#include "PelorinsKit/board/TagRenaming.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/NotificationName.h"
#include "PelorinsKit/model/Tag.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/widgets/ScriptedAlertPresenter.h"
#include "support/QStringPrinting.h"

namespace {

// A board with the tags home (yellow), house (blue) and tips (red) over cards in two stages and
// the done column; the board view asks its questions through scripted alerts.
class TagRename : public BoardViewFixture
{
protected:
    TagRename()
    {
        kanban = build.addBoard("Home", {"Now", "Later"});
        home = build.addTag(kanban, "home");
        house = build.addTag(kanban, "house");
        tips = build.addTag(kanban, "tips");
        home->setColour(2);
        house->setColour(4);
        tips->setColour(0);
        homework = addCard(kanban->column().at(0), "#home #homework ＃home #home. #Home", {home});
        both = addCard(kanban->column().at(0), "#tips before #home", {tips, home});
        moving = addCard(kanban->column().at(1), "#house move", {house});
        DoneDate* group = build.addDoneGroup(kanban, now.addDays(-1));
        done = build.addDoneCard(kanban, group);
        done->setAttributedNotes(AttributedString("done #home", normalAttributes()));
        done->setTags({home});

        auto boardServices = services();
        boardServices.alertPresenter = &alerts;
        board = std::make_unique<MacKanbanColumnsViewController>(boardServices);
        board->animator().setFinishesAtOnce(true);
        board->resize(1440, 900);
        board->show();
        show(kanban);
        notices.addObserver(&observer, NotificationName::tagValueChanged,
            [this](const NotificationCenter::Notification& notice) { posted.append(notice.userInfo); });
    }

    QString notesOf(const ListItem* card) const { return card->attributedNotes()->string(); }

    // Everything a rename or merge may change, to compare before and after.
    struct Snapshot
    {
        QStringList boardTags;
        QList<QStringList> cardTags;
        QList<QByteArray> notes;
        friend bool operator==(const Snapshot&, const Snapshot&) = default;
    };
    static QString describe(const Tag* tag)
    {
        return QStringLiteral("%1/%2/%3").arg(tag->name()).arg(tag->colour()).arg(tag->uniqueIdentifier());
    }
    Snapshot snapshot() const
    {
        Snapshot shot;
        for (const Tag* tag : kanban->tags())
            shot.boardTags << describe(tag);
        for (const ListItem* card : {homework, both, moving, done}) {
            QStringList tags;
            for (const Tag* tag : card->tags())
                tags << describe(tag);
            shot.cardTags << tags;
            shot.notes << card->attributedNotesData();
        }
        return shot;
    }

    ScriptedAlertPresenter alerts;
    QObject observer;
    QList<QVariantMap> posted;
    Kanban* kanban;
    Tag* home;
    Tag* house;
    Tag* tips;
    ListItem* homework;
    ListItem* both;
    ListItem* moving;
    ListItem* done;
};

} // namespace

TEST_F(TagRename, ARenameRewritesWholeTagsOnEveryCardAndUndoRestoresTheNotes)
{
    const Snapshot before = snapshot();
    board->renameTag(home, " house2 ");
    EXPECT_EQ(home->name(), "house2");
    EXPECT_EQ(notesOf(homework), "#house2 #homework ＃house2 #house2. #Home");
    EXPECT_EQ(notesOf(done), "done #house2");
    EXPECT_EQ(saves, 1);
    ASSERT_EQ(posted.size(), 1);
    EXPECT_EQ(TagRenaming::affectedTag(posted.first()), home);
    EXPECT_EQ(posted.first().value(TagRenaming::originalNameKey), "home");
    EXPECT_EQ(undoManager.undoActionName(), "Rename Tag");
    settle();

    undoManager.undo();
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(posted.last().value(TagRenaming::originalNameKey), "house2");
    undoManager.redo();
    EXPECT_EQ(notesOf(homework), "#house2 #homework ＃house2 #house2. #Home");
}

TEST_F(TagRename, AnUnchangedRefusedOrCaseOnlyDifferentNameAsksNothing)
{
    board->renameTag(home, "home");
    for (const QString& refused : {QString(), QStringLiteral("my tag"), QStringLiteral("#x"), QStringLiteral("a.b")}) {
        ConsoleLog::Capture console;
        board->renameTag(home, refused);
        EXPECT_EQ(console.lines().size(), 1) << refused.toStdString();
    }
    EXPECT_EQ(home->name(), "home");
    EXPECT_EQ(saves, 0);
    EXPECT_TRUE(posted.isEmpty());
    EXPECT_FALSE(undoManager.canUndo());

    // "House" is not "house": a plain rename, no question.
    board->renameTag(home, "House");
    EXPECT_TRUE(alerts.alerts().isEmpty());
    EXPECT_FALSE(home->isDeleted());
    EXPECT_EQ(home->name(), "House");
}

TEST_F(TagRename, MergingAsksFirstAndCancelChangesNothing)
{
    const Snapshot before = snapshot();
    board->renameTag(home, "house");
    ASSERT_EQ(alerts.alerts().size(), 1);
    const AlertPresenter::Alert& alert = alerts.alerts().first();
    EXPECT_EQ(alert.messageText, "A tag with this name already exists. Are you sure you want to rename it?");
    EXPECT_EQ(alert.informativeText, "Renaming it, will merge home with house.");
    EXPECT_EQ(alert.buttonTitles, (QStringList {"Rename", "Cancel"}));
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(saves, 0);
    EXPECT_FALSE(undoManager.canUndo());
}

TEST_F(TagRename, AMergeKeepsTheCardsTaggedAndUndoRedoUndoIsExact)
{
    const Snapshot before = snapshot();
    board->setTagFilter(QList<Tag*> {home, tips});
    alerts.enqueueAnswer(0);
    board->renameTag(home, "house");

    EXPECT_TRUE(home->isDeleted());
    EXPECT_EQ(kanban->tags(), (QList<Tag*> {house, tips}));
    EXPECT_EQ(homework->tags(), (QList<Tag*> {house}));
    EXPECT_EQ(both->tags(), (QList<Tag*> {tips, house}));
    EXPECT_EQ(done->tags(), (QList<Tag*> {house}));
    EXPECT_EQ(kanban->numberOfItemsWith(house), 4);
    EXPECT_EQ(notesOf(both), "#tips before #house");
    // The filter follows the merge instead of keeping a deleted tag.
    EXPECT_EQ(board->tagFilter(), (QList<Tag*> {tips, house}));
    ASSERT_EQ(posted.size(), 1);
    EXPECT_EQ(posted.first().value(TagRenaming::originalNameKey), "home");
    EXPECT_EQ(saves, 1);
    settle();

    undoManager.undo();
    EXPECT_EQ(snapshot(), before);
    Tag* restored = kanban->tags().at(0);
    EXPECT_NE(restored, home);
    EXPECT_EQ(kanban->numberOfItemsWith(house), 1);

    undoManager.redo();
    EXPECT_TRUE(restored->isDeleted());
    EXPECT_EQ(kanban->tags(), (QList<Tag*> {house, tips}));
    EXPECT_EQ(notesOf(homework), "#house #homework ＃house #house. #Home");
    EXPECT_EQ(both->tags(), (QList<Tag*> {tips, house}));

    undoManager.undo();
    EXPECT_EQ(snapshot(), before);
}

TEST_F(TagRename, OlderStepsReachTheTagAMergeUndoBroughtBack)
{
    board->changeTagColour(home, 5);
    ASSERT_EQ(posted.size(), 1);
    EXPECT_EQ(TagRenaming::newColour(posted.first()), 5);
    EXPECT_EQ(undoManager.undoActionName(), "Change Tag Color");
    settle();
    alerts.enqueueAnswer(0);
    board->renameTag(home, "house");
    settle();

    undoManager.undo();
    undoManager.undo();
    Tag* restored = kanban->tags().at(0);
    EXPECT_EQ(restored->name(), "home");
    EXPECT_EQ(restored->colour(), 2);
    EXPECT_EQ(TagRenaming::affectedTag(posted.last()), restored);
    EXPECT_EQ(TagRenaming::newColour(posted.last()), 2);
    EXPECT_EQ(house->colour(), 4);
}

TEST_F(TagRename, WithoutHistoryTheNotesAreRewrittenAllTheSame)
{
    auto boardServices = services();
    boardServices.undoManager = nullptr;
    boardServices.alertPresenter = &alerts;
    board = std::make_unique<MacKanbanColumnsViewController>(boardServices);
    show(kanban);
    alerts.enqueueAnswer(0);
    board->renameTag(home, "house");
    EXPECT_TRUE(home->isDeleted());
    EXPECT_EQ(notesOf(homework), "#house #homework ＃house #house. #Home");
    EXPECT_EQ(homework->tags(), (QList<Tag*> {house}));
}
