#include "app/board/SectionsFixture.h"

#include "Pelorins/common/AppConstants.h"
#include "PelorinsKit/model/Tag.h"
#include "Platform/core/ConsoleLog.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace {

class BoardColumnCopy : public SectionsFixture
{
protected:
    int stagesInStore() { return store.context().count(FetchRequest(QStringLiteral("KanbanColumn"))); }

    static void putColumnData(const QByteArray& data)
    {
        auto* mime = new QMimeData;
        mime->setData(columnDataPasteboardType, data);
        QGuiApplication::clipboard()->setMimeData(mime);
    }
};

TEST_F(BoardColumnCopy, CopiedStagesFollowTheSelectedStageSelectedWithTheirCards)
{
    Kanban* kanban = boardWithCards(QStringLiteral("B"), {2, 0, 1});
    const QString original = kanban->column().at(0)->item().at(0)->uniqueIdentifier();
    showRouted(kanban);
    MacKanbanColumnController* done = controller(3);
    click(header(0));
    click(header(2), Qt::ControlModifier);
    ASSERT_TRUE(router.send(QStringLiteral("copy:"), nullptr, header(2)));

    click(header(1));
    ASSERT_TRUE(router.send(QStringLiteral("paste:"), nullptr, header(1)));
    settle();

    EXPECT_EQ(stageTitles(), (QStringList {"B S1", "B S2", "B S1", "B S3", "B S3"}));
    EXPECT_EQ(headerTitles(), stageTitles());
    EXPECT_EQ(selectedColumns(), (QList<int> {2, 3}));
    EXPECT_EQ(done->specifiedSection(), 5);
    EXPECT_EQ(frameOf(done).left(), 5 * 300 + 40);
    const QList<ListItem*> pasted = shownCards(controller(2));
    ASSERT_EQ(pasted.size(), 2);
    EXPECT_EQ(pasted.at(0)->attributedNotes()->string(), "B S1 card 1");
    EXPECT_NE(pasted.at(0)->uniqueIdentifier(), original);
    EXPECT_EQ(shownCards(controller(3)).size(), 1);
    // A paste is no step of the history.
    EXPECT_FALSE(undoManager.canUndo());
}

TEST_F(BoardColumnCopy, WithNothingSelectedTheStagesGoBeforeTheDoneColumnOfAnotherBoardWithItsTags)
{
    Kanban* source = boardWithCards(QStringLiteral("Work"), {1, 1});
    Tag* errand = build.addTag(source, QStringLiteral("errand"));
    source->column().at(1)->item().at(0)->setTags({errand});
    Kanban* home = boardWithCards(QStringLiteral("Home"), {0});
    Tag* homeErrand = build.addTag(home, QStringLiteral("errand"));
    showRouted(source);
    click(header(1));
    board->copy();

    show(home);
    board->paste();
    settle();

    EXPECT_EQ(stageTitles(), (QStringList {"Home S1", "Work S2"}));
    EXPECT_EQ(selectedColumns(), (QList<int> {1}));
    EXPECT_EQ(controller(2)->specifiedSection(), 2);
    const QList<ListItem*> pasted = shownCards(controller(1));
    ASSERT_EQ(pasted.size(), 1);
    EXPECT_EQ(pasted.first()->tags(), QList<Tag*> {homeErrand});
    EXPECT_EQ(home->tags(), QList<Tag*> {homeErrand});
}

TEST_F(BoardColumnCopy, CopyingNothingKeepsTheClipboardAndCutChangesNothing)
{
    showRouted(boardWithCards(QStringLiteral("B"), {1, 1}));
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));

    board->copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "kept");

    click(header(0));
    ASSERT_TRUE(router.send(QStringLiteral("cut:"), nullptr, header(0)));
    settle();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "kept");
    EXPECT_EQ(stageTitles(), (QStringList {"B S1", "B S2"}));

    putColumnData("[]");
    board->paste();
    EXPECT_EQ(stageTitles(), (QStringList {"B S1", "B S2"}));
}

TEST_F(BoardColumnCopy, ColumnDataThatIsNotAListOfStagesIsRefusedWhole)
{
    showRouted(boardWithCards(QStringLiteral("B"), {1}));
    QByteArray deep = R"({"KanbanColumn": {}})";
    for (int i = 0; i < 130; ++i)
        deep = R"({"KanbanColumn": {"item": [{"ListItem": {"tags": [)" + deep + "]}}]}}";
    const QList<std::pair<const char*, QByteArray>> cases {
        {"not JSON", "[{\"KanbanColumn\": "},
        {"an object, not a list", R"({"KanbanColumn": {"title": "x"}})"},
        {"a card", R"([{"ListItem": {}}])"},
        {"a stage and a board", R"([{"KanbanColumn": {"title": "x"}}, {"Kanban": {}}])"},
        {"a node of two classes", R"([{"KanbanColumn": {}, "Tag": {}}])"},
        {"a stage with a wrong value", R"([{"KanbanColumn": {"title": 5}}])"},
        {"nested too deep", "[" + deep + "]"},
        {"an unsafe picture",
            R"([{"KanbanColumn": {"item": [{"ListItem": {"attributedNotes": {"string": "x", "runs": [{"range": {"location": 0, "length": 1}, "fileFolderUUID": "../../.ssh", "filename": "id_rsa"}]}}}]}}])"},
        {"over 64 MiB", QByteArray("[") + QByteArray(64 * 1024 * 1024, ' ') + "]"},
    };
    const int before = stagesInStore();
    const qsizetype inserted = store.context().insertedObjects().size();
    for (const auto& [name, data] : cases) {
        putColumnData(data);
        ConsoleLog::Capture console;
        board->paste();
        settle();
        EXPECT_EQ(stageTitles(), QStringList {"B S1"}) << name;
        EXPECT_EQ(stagesInStore(), before) << name;
        EXPECT_EQ(store.context().insertedObjects().size(), inserted) << name;
        EXPECT_FALSE(console.lines().isEmpty()) << name;
    }
}

TEST_F(BoardColumnCopy, PastingWithoutABoardMakesNothing)
{
    showRouted(boardWithCards(QStringLiteral("B"), {2}));
    click(header(0));
    board->copy();
    board->setKanban(nullptr);
    board->loadKanban();
    const int before = stagesInStore();

    board->paste();
    settle();

    EXPECT_EQ(stagesInStore(), before);
}

} // namespace
