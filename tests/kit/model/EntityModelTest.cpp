#include "PelorinsKit/model/EntityModel.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/ImageAttachment.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "PelorinsKit/model/Root.h"
#include "PelorinsKit/model/Tag.h"
#include "support/StoreBuilder.h"
#include "support/TestStore.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

std::unique_ptr<ManagedObjectContext> makeContext()
{
    QString error;
    auto model = EntityModel::currentModel(&error);
    EXPECT_TRUE(model) << error.toStdString();
    return EntityModel::makeContext(model);
}

bool isUpperCaseUuid(const QString& text)
{
    static const QRegularExpression form(
        QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
    return form.match(text).hasMatch();
}

TEST(EntityModel, ShippedModel_IsTheCurrentVersionWithAnAbstractDisplayItem)
{
    QString error;
    auto model = EntityModel::currentModel(&error);
    ASSERT_TRUE(model) << error.toStdString();
    EXPECT_EQ(model->versionName(), QStringLiteral("ReVudozu 34"));
    EXPECT_EQ(model->entities().size(), 10);
    ASSERT_TRUE(model->entity("DisplayItem"));
    EXPECT_TRUE(model->entity("DisplayItem")->isAbstract());
    EXPECT_EQ(model->entity("Root")->parentEntity(), model->entity("Folder"));
    for (const char* beneath : {"Folder", "Kanban", "Tag"})
        EXPECT_EQ(model->entity(beneath)->parentEntity(), model->entity("DisplayItem")) << beneath;
}

TEST(EntityModel, InsertingByEntityName_MakesTheEntityClass)
{
    auto context = makeContext();
    EXPECT_EQ(context->insertNewObject("DisplayItem"), nullptr);
    EXPECT_TRUE(context->insertNewObject<Folder>("Folder"));
    EXPECT_TRUE(context->insertNewObject<Root>("Root"));
    EXPECT_TRUE(context->insertNewObject<Kanban>("Kanban"));
    EXPECT_TRUE(context->insertNewObject<Tag>("Tag"));
    EXPECT_TRUE(context->insertNewObject<KanbanColumn>("KanbanColumn"));
    EXPECT_TRUE(context->insertNewObject<ListItem>("ListItem"));
    EXPECT_TRUE(context->insertNewObject<ListItemHistory>("ListItemHistory"));
    EXPECT_TRUE(context->insertNewObject<DoneDate>("DoneDate"));
    EXPECT_TRUE(context->insertNewObject<ImageAttachment>("ImageAttachment"));
}

// The pairs the card movers, the sidebar and the JSON reader rely on, with the kinds they expect.
TEST(EntityModel, Relationships_HaveTheirInversesAndKinds)
{
    struct Pair
    {
        const char* entity;
        const char* name;
        const char* destination;
        bool toMany;
        bool ordered;
        const char* inverse;
    };
    const Pair pairs[] = {
        {"DisplayItem", "children", "DisplayItem", true, true, "parent"},
        {"DisplayItem", "parent", "DisplayItem", false, false, "children"},
        {"Kanban", "column", "KanbanColumn", true, true, "kanban"},
        {"Kanban", "mainColumn", "KanbanColumn", false, false, "mainKanban"},
        {"Kanban", "tags", "Tag", true, true, "kanban"},
        {"Kanban", "doneDates", "DoneDate", true, true, "kanban"},
        {"KanbanColumn", "item", "ListItem", true, true, "column"},
        {"ListItem", "tags", "Tag", true, true, "items"},
        {"Tag", "items", "ListItem", true, false, "tags"},
        {"ListItem", "history", "ListItemHistory", true, true, "listItem"},
        {"DoneDate", "items", "ListItem", true, true, "parentDoneGroup"},
        {"ListItem", "imageAttachments", "ImageAttachment", true, false, "listItems"},
        {"ImageAttachment", "listItems", "ListItem", true, false, "imageAttachments"},
    };
    auto model = EntityModel::currentModel();
    ASSERT_TRUE(model);
    for (const Pair& pair : pairs) {
        const RelationshipDescription* relationship = model->entity(pair.entity)->relationship(pair.name);
        ASSERT_TRUE(relationship) << pair.entity << "." << pair.name;
        EXPECT_EQ(relationship->destinationEntity->name(), QString::fromLatin1(pair.destination)) << pair.name;
        EXPECT_EQ(relationship->isToMany, pair.toMany) << pair.entity << "." << pair.name;
        EXPECT_EQ(relationship->isOrdered, pair.ordered) << pair.entity << "." << pair.name;
        EXPECT_EQ(relationship->inverseRelationship->name, QString::fromLatin1(pair.inverse)) << pair.name;
    }
}

TEST(EntityModel, NewObjects_HaveTheirMarksFromInsertion)
{
    auto context = makeContext();
    StoreBuilder build(*context);
    Kanban* board = build.addBoard("Board");
    ListItem* card = build.addCard(board->column().first());
    auto* entry = context->insertNewObject<ListItemHistory>("ListItemHistory");
    const std::pair<ManagedObject*, const char*> marks[]
        = {{board, "export"}, {card, "done"}, {card, "toBeDeleted"}, {build.root(), "expanded"}, {entry, "actionInt"}};
    for (const auto& [object, key] : marks)
        EXPECT_TRUE(object->value(key).isValid()) << key;
    EXPECT_FALSE(card->done());
    EXPECT_FALSE(card->notesExpanded().has_value());
    EXPECT_FALSE(card->dueDate().has_value());
}

TEST(EntityModel, Insertion_GivesEachItemColumnAndCardAnUpperCaseUuid)
{
    auto context = makeContext();
    StoreBuilder build(*context);
    Folder* folder = build.addFolder("Folder");
    Kanban* board = build.addBoard("Board", {"Stage"}, folder);
    Tag* tag = build.addTag(board, "home");
    KanbanColumn* column = board->column().first();
    ListItem* card = build.addCard(column);

    const QStringList identifiers = {build.root()->uniqueIdentifier(), folder->uniqueIdentifier(),
        board->uniqueIdentifier(), tag->uniqueIdentifier(), column->uniqueIdentifier(),
        board->mainColumn()->uniqueIdentifier(), card->uniqueIdentifier()};
    for (const QString& identifier : identifiers)
        EXPECT_TRUE(isUpperCaseUuid(identifier)) << identifier.toStdString();
    EXPECT_EQ(QSet<QString>(identifiers.cbegin(), identifiers.cend()).size(), identifiers.size());
}

TEST(EntityModel, Setup_KeepsAPresentIdentifierAndFillsAMissingOne)
{
    auto context = makeContext();
    StoreBuilder build(*context);
    ListItem* card = build.addCard(build.addBoard("Board")->column().first());
    Folder* folder = build.addFolder("Folder");

    card->setUniqueIdentifier("KEPT");
    card->setup();
    EXPECT_EQ(card->uniqueIdentifier(), QStringLiteral("KEPT"));

    folder->setUniqueIdentifier(QString());
    folder->setup();
    EXPECT_TRUE(isUpperCaseUuid(folder->uniqueIdentifier()));
}

TEST(EntityModel, Fetching_FillsMissingIdentifiersOfStoredObjectsAndKeepsPresentOnes)
{
    TestStore store;
    ASSERT_TRUE(store.isOpen()) << store.error().toStdString();
    StoreBuilder build(store.context());
    Kanban* board = build.addBoard("Board");
    ListItem* kept = build.addCard(board->column().first());
    ListItem* missing = build.addCard(board->column().first());
    const QString keptIdentifier = kept->uniqueIdentifier();
    missing->setUniqueIdentifier(QString());
    board->column().first()->setUniqueIdentifier(QString());
    QString error;
    ASSERT_TRUE(store.context().save(&error)) << error.toStdString();

    ASSERT_TRUE(store.reopen()) << store.error().toStdString();
    const QList<ListItem*> cards = store.context().fetchAs<ListItem>(FetchRequest("ListItem"));
    ASSERT_EQ(cards.size(), 2);
    const QList<KanbanColumn*> stages = store.context().fetchAs<Kanban>(FetchRequest("Kanban")).first()->column();
    EXPECT_EQ(cards.at(0)->uniqueIdentifier(), keptIdentifier);
    EXPECT_TRUE(isUpperCaseUuid(cards.at(1)->uniqueIdentifier()));
    EXPECT_TRUE(isUpperCaseUuid(stages.first()->uniqueIdentifier()));
}

TEST(EntityModel, SettingEitherSide_KeepsTheInverseUp)
{
    auto context = makeContext();
    StoreBuilder build(*context);
    Kanban* board = build.addBoard("Board", {"A", "B"});
    KanbanColumn* a = board->column().at(0);
    KanbanColumn* b = board->column().at(1);
    ListItem* card = build.addCard(a);

    card->setColumn(b);
    EXPECT_TRUE(a->item().isEmpty());
    EXPECT_EQ(b->item(), QList<ListItem*> {card});

    // A done column taken over by another board leaves the first one without.
    Kanban* other = build.addBoard("Other");
    KanbanColumn* doneColumn = board->mainColumn();
    other->setMainColumn(doneColumn);
    EXPECT_EQ(board->mainColumn(), nullptr);
    EXPECT_EQ(doneColumn->mainKanban(), other);

    Tag* home = build.addTag(board, "home");
    Tag* work = build.addTag(board, "work");
    card->setTags({home, work});
    EXPECT_EQ(home->items(), QList<ListItem*> {card});
    card->setTags({work});
    EXPECT_TRUE(home->items().isEmpty());
    EXPECT_EQ(work->items(), QList<ListItem*> {card});

    ImageAttachment* picture = ImageAttachment::create("F", context.get());
    picture->setListItems({card});
    EXPECT_EQ(card->imageAttachments(), QList<ImageAttachment*> {picture});

    ListItemHistory* entry = ListItemHistory::create(ListItemAction::moved, context.get());
    entry->setListItem(card);
    EXPECT_EQ(card->history(), QList<ListItemHistory*> {entry});

    DoneDate* group = build.addDoneGroup(board, QDateTime(QDate(2026, 12, 9), QTime(0, 0)));
    card->setParentDoneGroup(group);
    EXPECT_EQ(group->items(), QList<ListItem*> {card});
    EXPECT_EQ(board->doneDates(), QList<DoneDate*> {group});
}

TEST(EntityModel, DeletingACard_KeepsItsTagsAndPictureRecordsAndDropsItsHistory)
{
    auto context = makeContext();
    StoreBuilder build(*context);
    Kanban* board = build.addBoard("Board");
    Tag* tag = build.addTag(board, "home");
    ListItem* card = build.addCard(board->column().first(), {tag});
    ListItem* other = build.addCard(board->column().first(), {tag});
    ImageAttachment* picture = ImageAttachment::create("F", context.get());
    picture->setListItems({card});
    ListItemHistory* entry = ListItemHistory::create(ListItemAction::created, context.get());
    entry->setListItem(card);

    context->deleteObject(card);

    EXPECT_TRUE(card->isDeleted());
    EXPECT_FALSE(tag->isDeleted());
    EXPECT_EQ(tag->items(), QList<ListItem*> {other});
    EXPECT_FALSE(picture->isDeleted());
    EXPECT_TRUE(picture->listItems().isEmpty());
    EXPECT_TRUE(entry->isDeleted());
    EXPECT_EQ(board->column().first()->item(), QList<ListItem*> {other});
}

TEST(EntityModel, DeletingABoard_TakesItsColumnsCardsTagsAndDayGroupsAlong)
{
    auto context = makeContext();
    StoreBuilder build(*context);
    Kanban* board = build.addBoard("Board");
    Tag* tag = build.addTag(board, "home");
    ListItem* card = build.addCard(board->column().first(), {tag});
    DoneDate* group = build.addDoneGroup(board, QDateTime(QDate(2026, 12, 9), QTime(0, 0)));
    ListItem* doneCard = build.addDoneCard(board, group);
    ImageAttachment* picture = ImageAttachment::create("F", context.get());
    picture->setListItems({doneCard});

    context->deleteObject(board);

    for (ManagedObject* object : QList<ManagedObject*> {board, tag, card, group, doneCard})
        EXPECT_TRUE(object->isDeleted()) << object->entity()->name().toStdString();
    EXPECT_FALSE(picture->isDeleted());
    EXPECT_TRUE(build.root()->children().isEmpty());
}

TEST(EntityModel, DeletingAnEmptiedDayGroup_NeverDeletesCards)
{
    auto context = makeContext();
    StoreBuilder build(*context);
    Kanban* board = build.addBoard("Board");
    DoneDate* group = build.addDoneGroup(board, QDateTime(QDate(2026, 12, 9), QTime(0, 0)));
    ListItem* doneCard = build.addDoneCard(board, group);

    context->deleteObject(group);

    EXPECT_FALSE(doneCard->isDeleted());
    EXPECT_EQ(board->mainColumn()->item(), QList<ListItem*> {doneCard});
    EXPECT_EQ(doneCard->parentDoneGroup(), nullptr);
}

TEST(EntityModel, SavedGraph_ReadsBackWithOrderAbsentValuesAndAttributes)
{
    TestStore store;
    ASSERT_TRUE(store.isOpen()) << store.error().toStdString();
    StoreBuilder build(store.context());
    Folder* folder = build.addFolder("Folder");
    Kanban* board = build.addBoard("Board", {"A", "B"}, folder);
    Tag* home = build.addTag(board, "home");
    Tag* work = build.addTag(board, "work");
    ListItem* first = build.addCard(board->column().at(1), {work, home});
    ListItem* second = build.addCard(board->column().at(1));
    const QDateTime due(QDate(2026, 12, 24), QTime(18, 30), Qt::UTC);
    first->setDueDate(due);
    first->setEventsArray(QStringList {"E1", "E2"});
    first->setPriority(true);
    first->setTimeWorked(1.5);
    first->setAttributedNotesData(QByteArray("\x01\x00\x02", 3));
    board->setColour(-3);
    const QString firstIdentifier = first->uniqueIdentifier();
    const QString secondIdentifier = second->uniqueIdentifier();
    QString error;
    ASSERT_TRUE(store.context().save(&error)) << error.toStdString();

    ASSERT_TRUE(store.reopen()) << store.error().toStdString();
    const QList<Kanban*> boards = store.context().fetchAs<Kanban>(FetchRequest("Kanban"));
    ASSERT_EQ(boards.size(), 1);
    Kanban* loaded = boards.first();
    EXPECT_EQ(loaded->title(), QStringLiteral("Board"));
    EXPECT_EQ(loaded->colour(), -3);
    ASSERT_TRUE(loaded->parent());
    EXPECT_EQ(static_cast<Folder*>(loaded->parent())->title(), QStringLiteral("Folder"));
    ASSERT_EQ(loaded->column().size(), 2);
    const QList<ListItem*> cards = loaded->column().at(1)->item();
    ASSERT_EQ(cards.size(), 2);
    EXPECT_EQ(cards.at(0)->uniqueIdentifier(), firstIdentifier);
    EXPECT_EQ(cards.at(1)->uniqueIdentifier(), secondIdentifier);
    ASSERT_EQ(cards.at(0)->tags().size(), 2);
    EXPECT_EQ(cards.at(0)->tags().at(0)->name(), QStringLiteral("work"));
    EXPECT_EQ(cards.at(0)->dueDate(), due);
    EXPECT_EQ(cards.at(0)->eventsArray(), QStringList({"E1", "E2"}));
    EXPECT_EQ(cards.at(0)->priority(), true);
    EXPECT_EQ(cards.at(0)->timeWorked(), 1.5);
    EXPECT_EQ(cards.at(0)->attributedNotesData(), QByteArray("\x01\x00\x02", 3));
    EXPECT_FALSE(cards.at(1)->dueDate().has_value());
    EXPECT_FALSE(cards.at(1)->eventsArray().has_value());
    EXPECT_FALSE(cards.at(1)->priority().has_value());
    EXPECT_TRUE(cards.at(1)->attributedNotesData().isNull());
    ASSERT_TRUE(loaded->mainColumn());
    EXPECT_EQ(loaded->mainColumn()->mainKanban(), loaded);
}

TEST(EntityModel, PictureRecord_IsMadeForItsFolderAndFetchedByItsRequest)
{
    auto context = makeContext();
    ImageAttachment* picture = ImageAttachment::create("0A1B", context.get());
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->folderUUID(), QStringLiteral("0A1B"));
    EXPECT_EQ(context->fetch(ImageAttachment::fetchRequest()), QList<ManagedObject*> {picture});
    EXPECT_EQ(ImageAttachment::create("0A1B", nullptr), nullptr);
}

}
