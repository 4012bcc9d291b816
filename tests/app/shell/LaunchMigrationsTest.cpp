#include "Pelorins/shell/AppDelegate.h"
#include "Pelorins/shell/DoneCardsMigrator.h"
#include "PelorinsKit/model/DateHelpers.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "PelorinsKit/store/CoreDataMigrator.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/DataFolders.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/services/PackageManagerUpdater.h"
#include "Platform/widgets/ScriptedAlertPresenter.h"
#include "support/FakeCalendarStore.h"
#include "support/StoreBuilder.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A loaded store with a delegate over it, not launched: each test runs one migration itself.
class LaunchMigrationsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataFolders::setBaseFolderForTesting(m_folder.path());
        m_manager.setup([] {}, [](const StoreError&) {});
        ASSERT_NE(m_manager.context(), nullptr);
        m_delegate = std::make_unique<AppDelegate>(AppDelegate::Services {
            m_defaults, m_manager, m_calendar, m_updater, m_alerts, {}, {}, {}, QString(), nullptr});
    }
    void TearDown() override { DataFolders::setBaseFolderForTesting(QString()); }

    ManagedObjectContext& context() { return *m_manager.context(); }

    // Runs the migration twice: the first must succeed, the second must find nothing to change.
    void runTwice(const std::function<bool()>& migration)
    {
        ASSERT_TRUE(m_manager.saveContext());
        EXPECT_TRUE(migration());
        EXPECT_FALSE(context().hasChanges());
        int changes = 0;
        const auto connection = QObject::connect(
            &context(), &ManagedObjectContext::objectDidChange, [&](ManagedObject*, const KeyChange&) { ++changes; });
        EXPECT_TRUE(migration());
        QObject::disconnect(connection);
        EXPECT_EQ(changes, 0);
    }

    QTemporaryDir m_folder;
    UserDefaults m_defaults {m_folder.filePath(QStringLiteral("prefs.conf"))};
    CoreDataManager m_manager {std::make_shared<CoreDataMigrator>()};
    FakeCalendarStore m_calendar;
    PackageManagerUpdater m_updater;
    ScriptedAlertPresenter m_alerts;
    std::unique_ptr<AppDelegate> m_delegate;
};

QStringList identifiersOf(const ListItem* card)
{
    QStringList identifiers;
    for (const ListItemHistory* entry : card->history())
        identifiers << entry->kanbanColumnUniqueIdentifier();
    return identifiers;
}

QDateTime localTime(int day, int hour)
{
    return QDateTime(QDate(2026, 3, day), QTime(hour, 0)).toUTC();
}

TEST_F(LaunchMigrationsTest, MissingHistoryPointsAtTheColumnACardCameFrom)
{
    StoreBuilder builder(context());
    Kanban* board = builder.addBoard(QStringLiteral("B"), {QStringLiteral("First"), QStringLiteral("Last")});
    const QString first = board->column().at(0)->uniqueIdentifier();
    const QString last = board->column().at(1)->uniqueIdentifier();

    ListItem* stageCard = builder.addCard(board->column().at(1));
    DoneDate* group = builder.addDoneGroup(board, localTime(2, 0));
    ListItem* doneWithoutHistory = builder.addDoneCard(board, group);
    ListItem* doneWithBareEntries = builder.addDoneCard(board, group);
    ListItem* partlyIdentified = builder.addCard(board->column().at(0));
    for (ListItem* card : {stageCard, doneWithoutHistory, doneWithBareEntries, partlyIdentified})
        card->setHistory({});
    for (int i = 0; i < 3; ++i)
        doneWithBareEntries->addHistory(ListItemHistory::create(ListItemAction::moved, &context()));
    partlyIdentified->addHistory(ListItemHistory::create(ListItemAction::created, &context()));
    partlyIdentified->addHistory(ListItemHistory::create(ListItemAction::moved, &context()));
    partlyIdentified->history().last()->setKanbanColumnUniqueIdentifier(last);

    runTwice([&] { return m_delegate->addMissingHistory(); });

    EXPECT_EQ(identifiersOf(stageCard), QStringList {last});
    EXPECT_EQ(stageCard->history().first()->action(), ListItemAction::created);
    EXPECT_EQ(identifiersOf(doneWithoutHistory), QStringList {last});
    EXPECT_EQ(identifiersOf(doneWithBareEntries), (QStringList {first, first, first}));
    EXPECT_EQ(identifiersOf(partlyIdentified), (QStringList {QString(), last}));
}

TEST_F(LaunchMigrationsTest, DoneCardsAreGroupedByDayNewestDayFirst)
{
    StoreBuilder builder(context());
    Kanban* board = builder.addBoard(QStringLiteral("B"));
    KanbanColumn* done = board->mainColumn();
    const auto doneCard = [&](KanbanColumn* column, const QDateTime& at) {
        ListItem* card = builder.addCard(column);
        card->setDone(true);
        card->setDoneDate(at);
        return card;
    };
    ListItem* morning = doneCard(done, localTime(10, 9));
    ListItem* evening = doneCard(done, localTime(10, 18));
    ListItem* nextDay = doneCard(done, localTime(11, 8));
    ListItem* inStage = doneCard(board->column().first(), localTime(10, 12));

    ConsoleLog::Capture console;
    runTwice([&] {
        return DoneCardsMigrator::migrateDoneCards(&context(), [&] { return m_delegate->saveAction(nullptr); });
    });
    // The second run finds every card filed and says so in one line, not one per card.
    EXPECT_EQ(console.lines().count(QStringLiteral("Item added to new done date object")), 2);
    EXPECT_EQ(console.lines().count(QStringLiteral("Item added to existing done date")), 1);
    EXPECT_EQ(console.lines().last(), QStringLiteral("4 done items found."));

    const QList<DoneDate*> groups = board->doneDates();
    ASSERT_EQ(groups.size(), 2);
    EXPECT_EQ(groups.at(0)->doneDate(), DateHelpers::beginningOfDate(localTime(11, 8)));
    EXPECT_EQ(groups.at(0)->items(), QList<ListItem*> {nextDay});
    EXPECT_EQ(groups.at(1)->doneDate(), DateHelpers::beginningOfDate(localTime(10, 9)));
    EXPECT_EQ(groups.at(1)->items(), (QList<ListItem*> {morning, evening}));
    EXPECT_EQ(inStage->parentDoneGroup(), nullptr);
}

TEST_F(LaunchMigrationsTest, ACardInALaterGroupOfItsDayJoinsTheFirstGroupOfThatDay)
{
    StoreBuilder builder(context());
    Kanban* board = builder.addBoard(QStringLiteral("B"));
    DoneDate* first = builder.addDoneGroup(board, DateHelpers::beginningOfDate(localTime(10, 0)));
    DoneDate* older = builder.addDoneGroup(board, DateHelpers::beginningOfDate(localTime(9, 0)));
    DoneDate* duplicate = builder.addDoneGroup(board, DateHelpers::beginningOfDate(localTime(10, 0)));
    ListItem* filed = builder.addDoneCard(board, first);
    ListItem* stray = builder.addDoneCard(board, duplicate);
    stray->setDoneDate(localTime(10, 15));
    ListItem* wrongDay = builder.addDoneCard(board, older);
    wrongDay->setDoneDate(localTime(8, 15));

    ConsoleLog::Capture console;
    runTwice([&] {
        return DoneCardsMigrator::migrateDoneCards(&context(), [&] { return m_delegate->saveAction(nullptr); });
    });

    EXPECT_EQ(first->items(), (QList<ListItem*> {filed, stray}));
    EXPECT_TRUE(duplicate->items().isEmpty());
    // A card filed under another day than its own is left where it is.
    EXPECT_EQ(wrongDay->parentDoneGroup(), older);
    EXPECT_EQ(board->doneDates(), (QList<DoneDate*> {first, duplicate, older}));
    EXPECT_EQ(console.lines().count(QStringLiteral("Item added to existing done date")), 1);
}

TEST_F(LaunchMigrationsTest, SpacesLeaveTagNamesButOtherWhiteSpaceStays)
{
    StoreBuilder builder(context());
    Kanban* board = builder.addBoard(QStringLiteral("B"));
    Tag* one = builder.addTag(board, QStringLiteral("two words"));
    Tag* two = builder.addTag(board, QStringLiteral("two  spaces"));
    Tag* tab = builder.addTag(board, QStringLiteral("a\ttab"));
    // Tags that no card carries go at the next save.
    builder.addCard(board->column().first(), {one, two, tab});

    runTwice([&] { return m_delegate->convertTagsToHashTags(); });

    EXPECT_EQ(one->name(), QStringLiteral("twowords"));
    EXPECT_EQ(two->name(), QStringLiteral("twospaces"));
    EXPECT_EQ(tab->name(), QStringLiteral("a\ttab"));
}

TEST_F(LaunchMigrationsTest, RestylingKeepsTickedChecklistsAndStrikesThroughOnlyDoneCards)
{
    StoreBuilder builder(context());
    Kanban* board = builder.addBoard(QStringLiteral("B"));
    const QString text = QStringLiteral("Title\nTicked\nBody");
    AttributedString notes(text);
    notes.addAttribute(AttributeKey::noteStyleName, QStringLiteral("title"), {0, 6});
    notes.addAttribute(AttributeKey::isChecklistChecked, true, {6, 7});
    notes.addAttribute(AttributeKey::noteStyleName, QStringLiteral("body"), {13, 4});
    notes.addAttribute(AttributeKey::link, QStringLiteral("https://example.org"), {13, 4});
    ListItem* open = builder.addCard(board->column().first());
    open->setAttributedNotes(notes);
    ListItem* done = builder.addCard(board->column().first());
    done->setDone(true);
    done->setAttributedNotes(notes);

    runTwice([&] {
        const bool restyled = m_delegate->updateNoteStylesToVersion3();
        return m_delegate->applyStrikeThroughToDoneCards() && restyled;
    });

    const AttributedString restyled = *open->attributedNotes();
    EXPECT_EQ(restyled.string(), text);
    EXPECT_EQ(restyled.attribute(AttributeKey::isChecklistChecked, 8), QVariant(true));
    EXPECT_EQ(
        restyled.attribute(AttributeKey::paragraphStyle, 8), checkListAttributes().value(AttributeKey::paragraphStyle));
    EXPECT_EQ(restyled.attribute(AttributeKey::font, 0), titleAttributes().value(AttributeKey::font));
    EXPECT_EQ(restyled.attribute(AttributeKey::link, 14), QVariant(QStringLiteral("https://example.org")));
    EXPECT_FALSE(restyled.attribute(AttributeKey::strikethroughStyle, 0).isValid());

    const AttributedString struck = *done->attributedNotes();
    TextRange range;
    EXPECT_EQ(struck.attribute(AttributeKey::strikethroughStyle, 0, &range), QVariant(1));
    EXPECT_EQ(range, (TextRange {0, int(text.size())}));
}

TEST_F(LaunchMigrationsTest, AMigrationWhoseSaveFailsShowsTheErrorAndReportsFailure)
{
    StoreBuilder builder(context());
    builder.addBoard(QStringLiteral("B"));
    ASSERT_TRUE(m_manager.saveContext());
    // A day group without its day cannot be saved, so every migration's save fails.
    context().insertNewObject(QStringLiteral("DoneDate"));
    for (int i = 0; i < 4; ++i)
        m_alerts.enqueueAnswer(0);
    EXPECT_FALSE(m_delegate->convertTagsToHashTags());
    EXPECT_EQ(m_alerts.alerts().size(), 1);
    EXPECT_EQ(m_alerts.alerts().first().messageText, QStringLiteral("Your changes could not be saved."));
}

} // namespace
