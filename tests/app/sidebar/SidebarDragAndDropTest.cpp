#include "Pelorins/common/AppConstants.h"
#include "Pelorins/sidebar/KDLeftSidebarViewController.h"
#include "Pelorins/sidebar/SourceOutlineView.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "Platform/core/ConsoleLog.h"
#include "support/QStringPrinting.h"
#include "support/SidebarHarness.h"

#include <QAbstractItemModelTester>
#include <QMimeData>
#include <gtest/gtest.h>
#include <memory>

namespace {

std::unique_ptr<QMimeData> cardsData(const QStringList& lines)
{
    auto data = std::make_unique<QMimeData>();
    data->setData(listItemPasteboardType, lines.join(QLatin1Char('\n')).toUtf8());
    return data;
}

QString uriOf(const ManagedObject* object)
{
    return object->objectIDURI().toString(QUrl::FullyEncoded);
}

class SidebarDragAndDropTest : public ::testing::Test, public SidebarHarness
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(store.isOpen()) << store.error().toStdString();
        work = build.addFolder(QStringLiteral("Work"));
        a = build.addBoard(QStringLiteral("a"), {QStringLiteral("To Do"), QStringLiteral("Doing")}, work);
        b = build.addBoard(QStringLiteral("b"), {QStringLiteral("To Do")}, work);
        c = build.addBoard(QStringLiteral("c"), {QStringLiteral("To Do")}, work);
        d = build.addBoard(QStringLiteral("d"), {QStringLiteral("To Do")}, work);
        inner = build.addFolder(QStringLiteral("Inner"), work);
        home = build.addBoard(QStringLiteral("Home"), {QStringLiteral("To Do")});
        other = build.addFolder(QStringLiteral("Other"));
        e = build.addBoard(QStringLiteral("e"), {}, other);
        f = build.addBoard(QStringLiteral("f"), {}, other);
        work->setExpanded(true);
        makeSidebar();
        tester = std::make_unique<QAbstractItemModelTester>(
            sidebar->model(), QAbstractItemModelTester::FailureReportingMode::Warning);
    }

    // Drops the rows, dragged in this outline, on `item` at `index`, as the outline does.
    bool dropRows(const QList<DisplayItem*>& rows, DisplayItem* item, int index)
    {
        sidebar->draggingSessionWillBegin(rows);
        std::unique_ptr<QMimeData> data(sidebar->pasteboardWriterForItems(rows));
        const Qt::DropAction operation = sidebar->validateDrop(data.get(), &outline(), item, index);
        const bool dropped = operation != Qt::IgnoreAction && sidebar->acceptDrop(data.get(), &outline(), item, index);
        sidebar->draggingSessionEnded();
        return dropped;
    }
    Qt::DropAction validateRows(const QList<DisplayItem*>& rows, DisplayItem*& item, int& index)
    {
        sidebar->draggingSessionWillBegin(rows);
        std::unique_ptr<QMimeData> data(sidebar->pasteboardWriterForItems(rows));
        const Qt::DropAction operation = sidebar->validateDrop(data.get(), &outline(), item, index);
        sidebar->draggingSessionEnded();
        return operation;
    }
    bool dropCards(const QStringList& uris, DisplayItem* item)
    {
        const std::unique_ptr<QMimeData> data = cardsData(uris);
        int index = -1;
        if (sidebar->validateDrop(data.get(), nullptr, item, index) == Qt::IgnoreAction)
            return false;
        return sidebar->acceptDrop(data.get(), nullptr, item, index);
    }

    Folder* work = nullptr;
    Folder* inner = nullptr;
    Folder* other = nullptr;
    Kanban* a = nullptr;
    Kanban* b = nullptr;
    Kanban* c = nullptr;
    Kanban* d = nullptr;
    Kanban* e = nullptr;
    Kanban* f = nullptr;
    Kanban* home = nullptr;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

} // namespace

TEST_F(SidebarDragAndDropTest, RowsMoveWithinTheirFolder)
{
    saves = 0;
    EXPECT_TRUE(dropRows({a, b}, work, 5));
    EXPECT_EQ(tree(work), QStringLiteral("c d Inner[] a b"));
    EXPECT_EQ(saves, 1);
    work->setChildren({a, b, c, d, inner});
    EXPECT_TRUE(dropRows({c, d}, work, 0));
    EXPECT_EQ(tree(work), QStringLiteral("d c a b Inner[]"));
    EXPECT_TRUE(sidebar->draggedItems().isEmpty());
}

TEST_F(SidebarDragAndDropTest, RowsFromAnotherFolderLandTogetherAtOneIndex)
{
    EXPECT_TRUE(dropRows({e, f}, work, 1));
    EXPECT_EQ(tree(work), QStringLiteral("a f e b c d Inner[]"));
    EXPECT_EQ(tree(other), QString());
    // Between top-level rows.
    EXPECT_TRUE(dropRows({a}, nullptr, 0));
    EXPECT_EQ(tree(build.root()), QStringLiteral("a Work[f e b c d Inner[]] Home Other[]"));
}

TEST_F(SidebarDragAndDropTest, ADropOnAFolderAppendsAndOpensIt)
{
    EXPECT_FALSE(outline().isExpanded(sidebar->model()->indexForItem(other)));
    EXPECT_TRUE(dropRows({home, a}, other, -1));
    EXPECT_EQ(tree(other), QStringLiteral("e f Home a"));
    EXPECT_TRUE(outline().isExpanded(sidebar->model()->indexForItem(other)));
}

TEST_F(SidebarDragAndDropTest, ADropOnABoardGoesJustBeforeItInItsFolder)
{
    DisplayItem* item = c;
    int index = -1;
    EXPECT_EQ(validateRows({home}, item, index), Qt::MoveAction);
    EXPECT_EQ(item, work);
    EXPECT_EQ(index, 2);
    item = home;
    index = -1;
    EXPECT_EQ(validateRows({a}, item, index), Qt::MoveAction);
    EXPECT_EQ(item, nullptr);
    EXPECT_EQ(index, 1);
    EXPECT_TRUE(dropRows({home}, c, -1));
    EXPECT_EQ(tree(work), QStringLiteral("a b Home c d Inner[]"));
}

TEST_F(SidebarDragAndDropTest, AFolderNeverGoesIntoItselfOrBelowItself)
{
    ConsoleLog::Capture console;
    Folder* deeper = build.addFolder(QStringLiteral("Deeper"), inner);
    for (DisplayItem* target : {static_cast<DisplayItem*>(work), static_cast<DisplayItem*>(inner),
             static_cast<DisplayItem*>(deeper), static_cast<DisplayItem*>(c)}) {
        DisplayItem* item = target;
        int index = -1;
        EXPECT_EQ(validateRows({work}, item, index), Qt::IgnoreAction)
            << target->stringValue(QStringLiteral("title")).toStdString();
    }
    EXPECT_TRUE(console.contains(QStringLiteral("return NSDragOperation.None")));
    // Even when asked without a check first, the tree stays whole.
    sidebar->draggingSessionWillBegin({work});
    std::unique_ptr<QMimeData> data(sidebar->pasteboardWriterForItems({work}));
    sidebar->acceptDrop(data.get(), &outline(), inner, -1);
    sidebar->draggingSessionEnded();
    EXPECT_EQ(work->parent(), build.root());
    EXPECT_EQ(tree(inner), QStringLiteral("Deeper[]"));
}

TEST_F(SidebarDragAndDropTest, RowsOfAnotherDragOrOtherTypesAreRefused)
{
    std::unique_ptr<QMimeData> rows(sidebar->pasteboardWriterForItems({a}));
    DisplayItem* item = other;
    int index = -1;
    // Rows not dragged from this outline: another sidebar's, or a drag that ended.
    EXPECT_EQ(sidebar->validateDrop(rows.get(), nullptr, item, index), Qt::IgnoreAction);
    EXPECT_EQ(sidebar->validateDrop(rows.get(), &outline(), item, index), Qt::IgnoreAction);
    EXPECT_FALSE(sidebar->acceptDrop(rows.get(), &outline(), other, -1));
    sidebar->draggingSessionWillBegin({a});
    EXPECT_FALSE(sidebar->acceptDrop(rows.get(), nullptr, other, -1));
    sidebar->draggingSessionEnded();
    QMimeData text;
    text.setText(QStringLiteral("a"));
    EXPECT_EQ(sidebar->validateDrop(&text, &outline(), item, index), Qt::IgnoreAction);
    EXPECT_FALSE(sidebar->acceptDrop(&text, &outline(), other, -1));
    EXPECT_EQ(tree(other), QStringLiteral("e f"));
}

TEST_F(SidebarDragAndDropTest, CardsDroppedOnABoardGoToTheEndOfItsFirstStage)
{
    ConsoleLog::Capture console;
    ListItem* first = build.addCard(home->column().first());
    ListItem* second = build.addCard(a->column().at(1));
    ListItem* already = build.addCard(b->column().first());
    saves = 0;
    EXPECT_TRUE(dropCards({uriOf(first), uriOf(second)}, b));
    EXPECT_EQ(b->column().first()->item(), (QList<ListItem*> {already, first, second}));
    EXPECT_TRUE(home->column().first()->item().isEmpty());
    EXPECT_EQ(saves, 1);
    EXPECT_TRUE(console.contains(QStringLiteral("info.numberOfValidItemsForDrop 2")));

    // Refused on a folder and between rows; kept where they were on a board without stages.
    EXPECT_FALSE(dropCards({uriOf(first)}, work));
    EXPECT_FALSE(dropCards({uriOf(first)}, nullptr));
    EXPECT_FALSE(dropCards({uriOf(first)}, e));
    EXPECT_EQ(first->column(), b->column().first());
}

TEST_F(SidebarDragAndDropTest, CardsThatCannotBeFoundAreSkipped)
{
    ConsoleLog::Capture console;
    ListItem* card = build.addCard(home->column().first());
    ListItem* deleted = build.addCard(home->column().first());
    store.context().deleteObject(deleted);
    QString otherStore = uriOf(card);
    otherStore.replace(QStringLiteral("x-coredata://"), QStringLiteral("x-coredata://0"));
    EXPECT_TRUE(
        dropCards({QStringLiteral("not a uri %%"), otherStore, uriOf(deleted), uriOf(a), QString(), uriOf(card)}, b));
    EXPECT_EQ(b->column().first()->item(), QList<ListItem*> {card});
    EXPECT_EQ(console.lines().count(QStringLiteral("could not find item")), 4);
    EXPECT_FALSE(dropCards({uriOf(deleted)}, b));
}

TEST_F(SidebarDragAndDropTest, ADoneCardComesOutOpenAndItsTagsFollow)
{
    Tag* urgent = build.addTag(home, QStringLiteral("urgent"));
    urgent->setColour(3);
    Tag* shared = build.addTag(home, QStringLiteral("shared"));
    Tag* sharedThere = build.addTag(b, QStringLiteral("shared"));
    DoneDate* group = build.addDoneGroup(home, QDateTime(QDate(2024, 3, 1), QTime(0, 0)));
    ListItem* card = build.addDoneCard(home, group);
    card->setColumn(nullptr);
    card->setTags({urgent, shared});
    card->setAttributedNotes(
        AttributedString(QStringLiteral("Done #urgent #shared"), QVariantMap {{AttributeKey::strikethroughStyle, 1}}));

    EXPECT_TRUE(dropCards({uriOf(card)}, b));
    EXPECT_EQ(card->column(), b->column().first());
    EXPECT_FALSE(card->done());
    EXPECT_FALSE(card->doneDate().has_value());
    EXPECT_EQ(card->parentDoneGroup(), nullptr);
    EXPECT_TRUE(group->isDeleted());
    EXPECT_TRUE(home->doneDates().isEmpty());
    EXPECT_FALSE(card->attributedNotes()->attributes(0).contains(AttributeKey::strikethroughStyle));
    ASSERT_EQ(card->tags().size(), 2);
    EXPECT_EQ(card->tags().at(0)->kanban(), b);
    EXPECT_EQ(card->tags().at(0)->name(), QStringLiteral("urgent"));
    EXPECT_EQ(card->tags().at(0)->colour(), 3);
    EXPECT_EQ(card->tags().at(1), sharedThere);
    EXPECT_EQ(b->tags().size(), 2);
}
