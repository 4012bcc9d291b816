#include "ObjectGraphFixture.h"

#include "Platform/core/UndoManager.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ObjectGraphFixture;

namespace {

struct Notice
{
    bool before;
    ManagedObject* object;
    KeyChange change;
    bool operator==(const Notice&) const = default;
};

// Records every change notice of a context in order.
struct NoticeLog
{
    QList<Notice> notices;
    explicit NoticeLog(ManagedObjectContext& context)
    {
        QObject::connect(
            &context, &ManagedObjectContext::objectWillChange, [this](ManagedObject* o, const KeyChange& c) {
                notices.append({true, o, c});
            });
        QObject::connect(
            &context, &ManagedObjectContext::objectDidChange, [this](ManagedObject* o, const KeyChange& c) {
                notices.append({false, o, c});
            });
    }
};

class ContextTest : public ::testing::Test
{
protected:
    std::shared_ptr<const ManagedObjectModel> model = graphModel();
    ManagedObjectContext context {model};

    void SetUp() override { registerClasses(context); }

    ManagedObject* card(const QString& title, ManagedObject* column = nullptr)
    {
        ManagedObject* card = context.insertNewObject(QStringLiteral("Card"));
        card->setValue(QStringLiteral("title"), title);
        if (column)
            column->addObject(QStringLiteral("cards"), card);
        return card;
    }
    ManagedObject* column(const QString& title)
    {
        ManagedObject* column = context.insertNewObject(QStringLiteral("Column"));
        column->setValue(QStringLiteral("title"), title);
        return column;
    }
    ManagedObject* label(const QString& name)
    {
        ManagedObject* label = context.insertNewObject(QStringLiteral("Label"));
        label->setValue(QStringLiteral("name"), name);
        return label;
    }
};

QByteArray modelWith(const QString& cardAttributes, const QString& cardRelationships = QString())
{
    return QStringLiteral(R"({"entities": [
        {"name": "Card", "attributes": [%1], "relationships": [%2]},
        {"name": "Column", "relationships": [
            {"name": "cards", "destination": "Card", "toMany": true, "ordered": true, "inverse": "column"}]}]})")
        .arg(cardAttributes, cardRelationships)
        .toUtf8();
}

} // namespace

TEST(ManagedObjectModel, RejectsModelsThatCannotDescribeAGraph)
{
    const QString column = QStringLiteral(R"({"name": "column", "destination": "Column", "inverse": "cards"})");
    const struct
    {
        const char* what;
        QByteArray json;
    } cases[] = {
        {"not JSON", "{"},
        {"no inverse", modelWith({}, R"({"name": "column", "destination": "Column"})")},
        {"inverse of another relationship",
            modelWith({}, column + R"(, {"name": "other", "destination": "Column", "inverse": "cards"})")},
        {"unknown type", modelWith(R"({"name": "a", "type": "colour"})", column)},
        {"default of the wrong type", modelWith(R"({"name": "a", "type": "integer16", "default": "x"})", column)},
        {"default out of range", modelWith(R"({"name": "a", "type": "integer16", "default": 40000})", column)},
        {"repeated name", modelWith(R"({"name": "column", "type": "string"})", column)},
        {"name unfit for a column", modelWith(R"({"name": "a b", "type": "string"})", column)},
        {"unknown destination", modelWith({}, R"({"name": "column", "destination": "Lane", "inverse": "cards"})")},
        {"ordered on both sides",
            R"({"entities": [{"name": "A", "relationships": [{"name": "b", "destination": "B", "toMany": true, "ordered": true, "inverse": "a"}]},
                          {"name": "B", "relationships": [{"name": "a", "destination": "A", "toMany": true, "ordered": true, "inverse": "b"}]}]})"},
        {"inheritance cycle", R"({"entities": [{"name": "A", "parent": "B"}, {"name": "B", "parent": "A"}]})"},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(ManagedObjectModel::fromJson(c.json, QStringLiteral("V"), &error)) << c.what;
        EXPECT_FALSE(error.isEmpty()) << c.what;
    }
    EXPECT_TRUE(
        ManagedObjectModel::fromJson(modelWith(R"({"name": "a", "type": "integer16", "default": 7})", column), "V"));
}

TEST(ManagedObjectModel, LayoutHashFollowsTheStoredShapeOnly)
{
    const QString column = QStringLiteral(R"({"name": "column", "destination": "Column", "inverse": "cards"})");
    auto base = ManagedObjectModel::fromJson(modelWith(R"({"name": "a", "type": "integer16"})", column), "V1");
    auto otherDefault
        = ManagedObjectModel::fromJson(modelWith(R"({"name": "a", "type": "integer16", "default": 3})", column), "V2");
    auto otherType = ManagedObjectModel::fromJson(modelWith(R"({"name": "a", "type": "integer32"})", column), "V3");
    auto required = ManagedObjectModel::fromJson(
        modelWith(R"({"name": "a", "type": "integer16", "optional": false})", column), "V4");
    ASSERT_TRUE(base && otherDefault && otherType && required);
    EXPECT_EQ(base->layoutHash(), otherDefault->layoutHash());
    EXPECT_NE(base->layoutHash(), otherType->layoutHash());
    EXPECT_NE(base->layoutHash(), required->layoutHash());
    EXPECT_TRUE(
        otherDefault->isCompatibleWithStoreMetadata({{PersistentStoreCoordinator::LayoutHashKey, base->layoutHash()}}));
}

TEST(ManagedObjectModel, FindsVersionsByNamePreferringOmoFiles)
{
    QTemporaryDir folder;
    const QByteArray json = modelWith({}, R"({"name": "column", "destination": "Column", "inverse": "cards"})");
    for (const QString& name : {QStringLiteral("M 2.mom"), QStringLiteral("M 2.omo"), QStringLiteral("M 3.mom")}) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(name.endsWith(QLatin1String("omo")) ? json : QByteArray("{}"));
    }
    EXPECT_TRUE(
        ManagedObjectModel::pathForVersion(folder.path(), QStringLiteral("M 2")).endsWith(QLatin1String("M 2.omo")));
    EXPECT_TRUE(ManagedObjectModel::pathForVersion(folder.path(), QStringLiteral("M 4")).isEmpty());
    auto model = ManagedObjectModel::fromVersion(folder.path(), QStringLiteral("M 2"));
    ASSERT_TRUE(model);
    EXPECT_EQ(model->versionName(), QStringLiteral("M 2"));
    QString error;
    EXPECT_FALSE(ManagedObjectModel::fromVersion(folder.path(), QStringLiteral("M 3"), &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(ContextTest, InsertGivesDefaultsRunsTheHookAndUsesTheNearestRegisteredClass)
{
    ManagedObject* folder = context.insertNewObject(QStringLiteral("Folder"));
    ASSERT_TRUE(folder);
    EXPECT_TRUE(dynamic_cast<Node*>(folder)) << "Folder has no class of its own and takes Node's";
    EXPECT_EQ(folder->value(QStringLiteral("expanded")), QVariant(true));
    EXPECT_EQ(folder->value(QStringLiteral("flag")), QVariant(false));
    EXPECT_TRUE(folder->stringValue(QStringLiteral("uid")).startsWith(QLatin1String("uid-")));
    EXPECT_TRUE(folder->isInserted());
    EXPECT_TRUE(context.hasChanges());

    EXPECT_FALSE(context.insertNewObject(QStringLiteral("Node"))) << "abstract";
    EXPECT_FALSE(context.insertNewObject(QStringLiteral("Nothing")));
    ManagedObject* card = context.insertNewObject(QStringLiteral("Card"));
    EXPECT_EQ(typeid(*card), typeid(ManagedObject));
    EXPECT_EQ(card->value(QStringLiteral("count")), QVariant(qint64(0)));
    EXPECT_FALSE(card->value(QStringLiteral("title")).isValid());
}

TEST_F(ContextTest, SetValueAcceptsOnlyValuesOfTheAttributesType)
{
    ManagedObject* c = card(QStringLiteral("a"));
    const QDateTime due = QDateTime::fromMSecsSinceEpoch(1700000000123);
    const struct
    {
        const char* key;
        QVariant value;
        bool accepted;
        QVariant stored;
    } cases[] = {
        {"title", QStringLiteral("b"), true, QStringLiteral("b")},
        {"title", 5, false, QStringLiteral("b")},
        {"title", QString(), true, QVariant()},
        {"count", 32767, true, qint64(32767)},
        {"count", 32768, false, qint64(32767)},
        {"count", 2.5, false, qint64(32767)},
        {"count", 3.0, true, qint64(3)},
        {"count", QStringLiteral("4"), false, qint64(3)},
        {"big", qint64(1) << 40, true, qint64(1) << 40},
        {"done", 1, true, true},
        {"done", QStringLiteral("yes"), false, true},
        {"weight", 2, true, 2.0},
        {"due", due, true, due},
        {"due", QDateTime(), false, due},
        {"notes", QByteArray("\x00\x01", 2), true, QByteArray("\x00\x01", 2)},
        {"events", QVariantList {QStringLiteral("e1")}, true, QStringList {QStringLiteral("e1")}},
        {"events", QVariantList {1}, false, QStringList {QStringLiteral("e1")}},
        {"column", QVariant(), false, QVariant()},
        {"nothing", 1, false, QVariant()},
    };
    for (const auto& c2 : cases) {
        EXPECT_EQ(c->setValue(QString::fromLatin1(c2.key), c2.value), c2.accepted) << c2.key;
        EXPECT_EQ(c->value(QString::fromLatin1(c2.key)), c2.stored) << c2.key;
    }
}

TEST_F(ContextTest, ToOneAndOrderedToManyKeepEachOtherUp)
{
    ManagedObject* left = column(QStringLiteral("left"));
    ManagedObject* right = column(QStringLiteral("right"));
    ManagedObject* a = card(QStringLiteral("a"), left);
    ManagedObject* b = card(QStringLiteral("b"), left);
    ManagedObject* c = card(QStringLiteral("c"));

    EXPECT_TRUE(c->setObject(QStringLiteral("column"), left));
    EXPECT_EQ(names(left->objects(QStringLiteral("cards"))), QStringList({"a", "b", "c"}));
    EXPECT_TRUE(right->insertObject(QStringLiteral("cards"), b, 0)) << "b leaves left for right";
    EXPECT_EQ(names(left->objects(QStringLiteral("cards"))), QStringList({"a", "c"}));
    EXPECT_EQ(b->object(QStringLiteral("column")), right);
    EXPECT_TRUE(a->setObject(QStringLiteral("column"), nullptr));
    EXPECT_EQ(names(left->objects(QStringLiteral("cards"))), QStringList({"c"}));

    // Ordered-set rules: a present member is not inserted again; an index past the end appends.
    EXPECT_FALSE(right->insertObject(QStringLiteral("cards"), b, 5));
    EXPECT_TRUE(right->insertObject(QStringLiteral("cards"), a, 99));
    ManagedObject* d = card(QStringLiteral("d"));
    ManagedObject* e = card(QStringLiteral("e"));
    EXPECT_TRUE(right->insertObjects(QStringLiteral("cards"), {d, a, e}, {0, 1, 3}));
    EXPECT_EQ(names(right->objects(QStringLiteral("cards"))), QStringList({"d", "b", "a", "e"}));
    EXPECT_TRUE(right->replaceObjectAtIndex(QStringLiteral("cards"), 1, c))
        << "c leaves left; b is left without column";
    EXPECT_EQ(names(right->objects(QStringLiteral("cards"))), QStringList({"d", "c", "a", "e"}));
    EXPECT_EQ(b->object(QStringLiteral("column")), nullptr);
    EXPECT_TRUE(left->objects(QStringLiteral("cards")).isEmpty());
    EXPECT_FALSE(right->replaceObjectAtIndex(QStringLiteral("cards"), 0, a)) << "a is already a member";
    EXPECT_TRUE(right->removeObjectsAtIndexes(QStringLiteral("cards"), {0, 3}));
    EXPECT_EQ(names(right->objects(QStringLiteral("cards"))), QStringList({"c", "a"}));
    EXPECT_EQ(d->object(QStringLiteral("column")), nullptr);

    EXPECT_FALSE(right->setObject(QStringLiteral("board"), c)) << "wrong entity";
    EXPECT_FALSE(right->addObject(QStringLiteral("title"), c)) << "not a relationship";
}

TEST_F(ContextTest, APropertyKeyFindsItsPropertyWhereverEachEntityPlacesIt)
{
    // "cards" and "board" sit at other slots in a column than in a label, and a card has neither;
    // reads alternate so that each one starts from the slot the other entity left in the key.
    const ManagedObject::PropertyKey cards(QStringLiteral("cards"));
    const ManagedObject::PropertyKey board(QStringLiteral("board"));
    const ManagedObject::PropertyKey title(QStringLiteral("title"));
    const ManagedObject::PropertyKey expanded(QStringLiteral("expanded"));
    ManagedObject* todo = column(QStringLiteral("todo"));
    ManagedObject* a = card(QStringLiteral("a"), todo);
    ManagedObject* b = card(QStringLiteral("b"), todo);
    ManagedObject* urgent = label(QStringLiteral("urgent"));
    ASSERT_TRUE(urgent->addObject(QStringLiteral("cards"), b));
    ManagedObject* project = context.insertNewObject(QStringLiteral("Board"));
    ASSERT_TRUE(urgent->setObject(QStringLiteral("board"), project));
    ManagedObject* folder = context.insertNewObject(QStringLiteral("Folder"));

    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(names(todo->objects(cards)), QStringList({"a", "b"}));
        EXPECT_EQ(urgent->objects(cards), QList<ManagedObject*>({b}));
        EXPECT_TRUE(a->objects(cards).isEmpty());
        EXPECT_EQ(urgent->object(board), project);
        EXPECT_EQ(todo->object(board), nullptr);
        EXPECT_EQ(urgent->object(cards), nullptr) << "a to-many is no to-one";
        EXPECT_EQ(a->stringValue(title), QStringLiteral("a"));
        EXPECT_EQ(todo->stringValue(title), QStringLiteral("todo"));
        EXPECT_TRUE(folder->boolValue(expanded));
        EXPECT_FALSE(a->value(expanded).isValid());
    }

    NoticeLog log(context);
    EXPECT_TRUE(a->setValue(title, QStringLiteral("renamed")));
    EXPECT_EQ(a->value(QStringLiteral("title")), QStringLiteral("renamed"));
    EXPECT_EQ(log.notices.size(), 2);
    EXPECT_EQ(log.notices.first().change, KeyChange::setting(QStringLiteral("title")));
    EXPECT_FALSE(a->setValue(expanded, true)) << "a card has no such attribute";
    EXPECT_FALSE(a->setValue(title, 7)) << "the attribute's type still rules";
    EXPECT_EQ(log.notices.size(), 2);
}

TEST_F(ContextTest, WholeSetReplacementFixesInversesOfLeavingAndJoiningMembers)
{
    ManagedObject* left = column(QStringLiteral("left"));
    ManagedObject* right = column(QStringLiteral("right"));
    ManagedObject* a = card(QStringLiteral("a"), left);
    ManagedObject* b = card(QStringLiteral("b"), left);
    ManagedObject* c = card(QStringLiteral("c"), right);
    ManagedObject* d = card(QStringLiteral("d"), right);

    EXPECT_TRUE(left->setObjects(QStringLiteral("cards"), {c, b, c}));
    EXPECT_EQ(names(left->objects(QStringLiteral("cards"))), QStringList({"c", "b"})) << "duplicates dropped";
    EXPECT_EQ(a->object(QStringLiteral("column")), nullptr);
    EXPECT_EQ(c->object(QStringLiteral("column")), left);
    EXPECT_EQ(right->objects(QStringLiteral("cards")), QList<ManagedObject*>({d}));
}

TEST_F(ContextTest, OneToOneLeavesBothFormerPartners)
{
    ManagedObject* first = context.insertNewObject(QStringLiteral("Board"));
    ManagedObject* second = context.insertNewObject(QStringLiteral("Board"));
    ManagedObject* done1 = column(QStringLiteral("done1"));
    ManagedObject* done2 = column(QStringLiteral("done2"));
    first->setObject(QStringLiteral("doneColumn"), done1);
    second->setObject(QStringLiteral("doneColumn"), done2);

    EXPECT_TRUE(done2->setObject(QStringLiteral("doneBoard"), first));
    EXPECT_EQ(first->object(QStringLiteral("doneColumn")), done2);
    EXPECT_EQ(done1->object(QStringLiteral("doneBoard")), nullptr);
    EXPECT_EQ(second->object(QStringLiteral("doneColumn")), nullptr);
}

TEST_F(ContextTest, ManyToManyIsKeptUpFromEitherSide)
{
    ManagedObject* a = card(QStringLiteral("a"));
    ManagedObject* b = card(QStringLiteral("b"));
    ManagedObject* red = label(QStringLiteral("red"));
    ManagedObject* blue = label(QStringLiteral("blue"));

    a->setObjects(QStringLiteral("labels"), {blue, red});
    red->addObject(QStringLiteral("cards"), b);
    EXPECT_EQ(names(a->objects(QStringLiteral("labels")), QStringLiteral("name")), QStringList({"blue", "red"}));
    EXPECT_EQ(QSet<ManagedObject*>(
                  red->objects(QStringLiteral("cards")).cbegin(), red->objects(QStringLiteral("cards")).cend()),
        QSet<ManagedObject*>({a, b}));
    EXPECT_EQ(b->objects(QStringLiteral("labels")), QList<ManagedObject*>({red}));
    red->removeObject(QStringLiteral("cards"), a);
    EXPECT_EQ(a->objects(QStringLiteral("labels")), QList<ManagedObject*>({blue}));
    EXPECT_EQ(blue->objects(QStringLiteral("cards")), QList<ManagedObject*>({a}));
}

// The bulk way of building new objects keeps the inverses setObjects keeps, announcing nothing.
TEST_F(ContextTest, FillingANewObjectsListKeepsItsMembersInversesQuietly)
{
    ManagedObject* left = column(QStringLiteral("left"));
    ManagedObject* right = column(QStringLiteral("right"));
    ManagedObject* a = card(QStringLiteral("a"));
    ManagedObject* c = card(QStringLiteral("c"), right);
    ManagedObject* red = label(QStringLiteral("red"));
    ManagedObject* blue = label(QStringLiteral("blue"));
    const RelationshipDescription& cards = *left->entity()->relationship(QStringLiteral("cards"));
    const RelationshipDescription& labels = *a->entity()->relationship(QStringLiteral("labels"));
    red->addObject(QStringLiteral("cards"), c);
    NoticeLog log(context);

    EXPECT_TRUE(context.fillNewToMany(left, cards, {a, c}));
    EXPECT_TRUE(context.fillNewToMany(a, labels, {blue, red}));
    EXPECT_TRUE(log.notices.isEmpty());
    EXPECT_EQ(names(left->objects(QStringLiteral("cards"))), QStringList({"a", "c"}));
    EXPECT_EQ(a->object(QStringLiteral("column")), left);
    EXPECT_EQ(c->object(QStringLiteral("column")), left);
    EXPECT_TRUE(right->objects(QStringLiteral("cards")).isEmpty()) << "c left its former column";
    EXPECT_EQ(red->objects(QStringLiteral("cards")), QList<ManagedObject*>({c, a}));
    EXPECT_EQ(blue->objects(QStringLiteral("cards")), QList<ManagedObject*>({a}));

    // What does not fit changes nothing: a list already filled, a deleted member.
    ManagedObject* gone = card(QStringLiteral("gone"));
    context.deleteObject(gone);
    EXPECT_FALSE(context.fillNewToMany(left, cards, {gone}));
    EXPECT_FALSE(context.fillNewToMany(right, cards, {a, gone}));
    EXPECT_TRUE(right->objects(QStringLiteral("cards")).isEmpty());
    EXPECT_EQ(a->object(QStringLiteral("column")), left);

    // A new member taken from a saved object is left to setObjects, which announces the change.
    ASSERT_TRUE(context.save());
    ManagedObject* moved = card(QStringLiteral("moved"), right);
    ManagedObject* fresh = column(QStringLiteral("fresh"));
    EXPECT_FALSE(context.fillNewToMany(fresh, cards, {moved}));
    EXPECT_EQ(moved->object(QStringLiteral("column")), right);
    EXPECT_TRUE(fresh->objects(QStringLiteral("cards")).isEmpty());
}

// Values set in bulk go straight into a new object, unannounced, and are saved like any other;
// anything else is refused and left to setValue.
TEST_F(ContextTest, SettingANewObjectsValueIsQuietAndRefusesWhatDoesNotFit)
{
    ManagedObject* a = card(QStringLiteral("a"));
    ManagedObject* c = column(QStringLiteral("c"));
    const AttributeDescription& count = *a->entity()->attribute(QStringLiteral("count"));
    const AttributeDescription& columnTitle = *c->entity()->attribute(QStringLiteral("title"));
    NoticeLog log(context);

    EXPECT_TRUE(context.setNewValue(a, count, 12));
    EXPECT_TRUE(log.notices.isEmpty());
    EXPECT_EQ(a->integerValue(QStringLiteral("count")), 12);
    EXPECT_FALSE(context.setNewValue(a, count, 70000)) << "beyond a 16-bit integer";
    EXPECT_FALSE(context.setNewValue(a, count, QStringLiteral("x")));
    EXPECT_FALSE(context.setNewValue(a, columnTitle, QStringLiteral("another entity's attribute")));
    EXPECT_EQ(a->integerValue(QStringLiteral("count")), 12);
    EXPECT_EQ(a->stringValue(QStringLiteral("title")), QStringLiteral("a"));

    ASSERT_TRUE(context.save());
    EXPECT_FALSE(context.setNewValue(a, count, 13)) << "a saved object may be shown";
    EXPECT_EQ(a->integerValue(QStringLiteral("count")), 12);
    ManagedObject* gone = card(QStringLiteral("gone"));
    context.deleteObject(gone);
    EXPECT_FALSE(context.setNewValue(gone, count, 1));
}

TEST_F(ContextTest, ChangesAreAnnouncedInBalancedPairsWithKindsAndIndexes)
{
    ManagedObject* left = column(QStringLiteral("left"));
    ManagedObject* right = column(QStringLiteral("right"));
    ManagedObject* a = card(QStringLiteral("a"), left);
    ManagedObject* b = card(QStringLiteral("b"), left);
    card(QStringLiteral("c"), right);
    NoticeLog log(context);

    right->insertObject(QStringLiteral("cards"), b, 1);
    const QList<Notice> move = {
        {true, right, KeyChange::insertion(QStringLiteral("cards"), {1})},
        {true, b, KeyChange::setting(QStringLiteral("column"))},
        {true, left, KeyChange::removal(QStringLiteral("cards"), {1})},
        {false, left, KeyChange::removal(QStringLiteral("cards"), {1})},
        {false, b, KeyChange::setting(QStringLiteral("column"))},
        {false, right, KeyChange::insertion(QStringLiteral("cards"), {1})},
    };
    EXPECT_EQ(log.notices, move);

    log.notices.clear();
    a->setValue(QStringLiteral("title"), QStringLiteral("A"));
    right->replaceObjectAtIndex(QStringLiteral("cards"), 0, a);
    ASSERT_EQ(log.notices.size(), 2 + 8);
    EXPECT_EQ(log.notices.at(0), (Notice {true, a, KeyChange::setting(QStringLiteral("title"))}));
    EXPECT_EQ(log.notices.at(2), (Notice {true, right, KeyChange::replacement(QStringLiteral("cards"), {0})}));
}

namespace {
// Announces derived keys around its "children", as a sidebar tree node does.
class AnnouncingNode : public ManagedObject
{
public:
    explicit AnnouncingNode(const Init& init)
        : ManagedObject(init)
    {
    }
    void willChange(const KeyChange& change) override
    {
        if (change.key == QLatin1String("children")) {
            ManagedObject::willChange(change.withKey(QStringLiteral("childrenArray")));
            ManagedObject::willChange(KeyChange::setting(QStringLiteral("isLeaf")));
        }
        ManagedObject::willChange(change);
    }
    void didChange(const KeyChange& change) override
    {
        if (change.key == QLatin1String("children")) {
            ManagedObject::didChange(change.withKey(QStringLiteral("childrenArray")));
            ManagedObject::didChange(KeyChange::setting(QStringLiteral("isLeaf")));
        }
        ManagedObject::didChange(change);
    }
};
} // namespace

TEST_F(ContextTest, SubclassesAnnounceDerivedKeysAroundAChange)
{
    context.registerClass<AnnouncingNode>(QStringLiteral("Node"));
    ManagedObject* folder = context.insertNewObject(QStringLiteral("Folder"));
    ManagedObject* board = context.insertNewObject(QStringLiteral("Board"));
    NoticeLog log(context);

    board->setObject(QStringLiteral("parent"), folder);
    QStringList keys;
    for (const Notice& notice : std::as_const(log.notices))
        if (notice.object == folder)
            keys.append((notice.before ? "will " : "did ") + notice.change.key + " "
                + QString::number(notice.change.indexes.value(0, -1)));
    EXPECT_EQ(keys,
        QStringList({"will childrenArray 0", "will isLeaf -1", "will children 0", "did childrenArray 0",
            "did isLeaf -1", "did children 0"}));
}

TEST_F(ContextTest, DeleteAppliesRulesAndLeavesAReadableTombstone)
{
    ManagedObject* board = context.insertNewObject(QStringLiteral("Board"));
    ManagedObject* stage = column(QStringLiteral("stage"));
    board->addObject(QStringLiteral("columns"), stage);
    ManagedObject* a = card(QStringLiteral("a"), stage);
    ManagedObject* b = card(QStringLiteral("b"), stage);
    ManagedObject* red = label(QStringLiteral("red"));
    board->addObject(QStringLiteral("labels"), red);
    ManagedObject* picture = context.insertNewObject(QStringLiteral("Picture"));
    picture->setValue(QStringLiteral("folder"), QStringLiteral("F"));
    a->addObject(QStringLiteral("labels"), red);
    a->addObject(QStringLiteral("pictures"), picture);
    ManagedObject* entry = context.insertNewObject(QStringLiteral("Entry"));
    a->addObject(QStringLiteral("history"), entry);

    context.deleteObject(a);
    EXPECT_TRUE(a->isDeleted());
    EXPECT_EQ(a->stringValue(QStringLiteral("title")), QStringLiteral("a")) << "tombstones keep their values";
    EXPECT_EQ(stage->objects(QStringLiteral("cards")), QList<ManagedObject*>({b}));
    EXPECT_TRUE(entry->isDeleted()) << "history cascades";
    EXPECT_FALSE(red->isDeleted()) << "labels stay";
    EXPECT_TRUE(red->objects(QStringLiteral("cards")).isEmpty());
    EXPECT_FALSE(picture->isDeleted()) << "pictures stay";
    EXPECT_TRUE(picture->objects(QStringLiteral("cards")).isEmpty());
    EXPECT_FALSE(a->setValue(QStringLiteral("title"), QStringLiteral("x")));
    EXPECT_FALSE(stage->addObject(QStringLiteral("cards"), a)) << "a tombstone cannot join a relationship";
    context.deleteObject(a);

    context.deleteObject(board);
    for (ManagedObject* object : {board, stage, b, red})
        EXPECT_TRUE(object->isDeleted());
    EXPECT_TRUE(context.fetch(FetchRequest(QStringLiteral("Card"))).isEmpty());
    EXPECT_EQ(context.insertedObjects(), QList<ManagedObject*>({picture})) << "the rest was never saved";
    EXPECT_TRUE(context.deletedObjects().isEmpty());
}

TEST_F(ContextTest, FetchSeesUnsavedObjectsFiltersSortsAndLimits)
{
    ManagedObject* folder = context.insertNewObject(QStringLiteral("Folder"));
    ManagedObject* board = context.insertNewObject(QStringLiteral("Board"));
    ManagedObject* red = label(QStringLiteral("red"));
    folder->setValue(QStringLiteral("name"), QStringLiteral("b"));
    board->setValue(QStringLiteral("name"), QStringLiteral("c"));
    red->setValue(QStringLiteral("name"), QStringLiteral("a"));
    context.deleteObject(context.insertNewObject(QStringLiteral("Folder")));

    EXPECT_EQ(context.fetch(FetchRequest(QStringLiteral("Node"))), QList<ManagedObject*>({folder, board, red}));
    FetchRequest request(QStringLiteral("Node"), [](const ManagedObject* o) { return o->stringValue("name") != "c"; });
    request.lessThan = [](const ManagedObject* x, const ManagedObject* y) {
        return x->stringValue("name") < y->stringValue("name");
    };
    EXPECT_EQ(context.fetch(request), QList<ManagedObject*>({red, folder}));
    request.fetchLimit = 1;
    EXPECT_EQ(context.fetch(request), QList<ManagedObject*>({red}));
    FetchRequest onlyFolders(QStringLiteral("Folder"));
    onlyFolders.includesSubentities = false;
    EXPECT_EQ(context.fetch(onlyFolders), QList<ManagedObject*>({folder}));
    EXPECT_EQ(context.count(FetchRequest(QStringLiteral("Node"))), 3);
    QString error;
    EXPECT_TRUE(context.fetch(FetchRequest(QStringLiteral("Nothing")), &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(context.fetchAs<Label>(FetchRequest(QStringLiteral("Node"))).size(), 1);
}

TEST_F(ContextTest, EveryObjectHasItsOwnUriThatFindsItAgain)
{
    ManagedObject* a = card(QStringLiteral("a"));
    ManagedObject* b = card(QStringLiteral("b"));
    ManagedObject* c = column(QStringLiteral("c"));
    EXPECT_NE(a->objectIDURI(), b->objectIDURI());
    EXPECT_EQ(a->objectIDURI().scheme(), QStringLiteral("x-coredata"));
    for (ManagedObject* object : {a, b, c})
        EXPECT_EQ(context.objectForURI(object->objectIDURI()), object);
    ManagedObject* folder = context.insertNewObject(QStringLiteral("Folder"));
    EXPECT_EQ(context.objectForURI(QUrl(folder->objectIDURI().toString().replace("/Folder/", "/Board/"))), nullptr);
    ManagedObjectContext other(model);
    EXPECT_EQ(other.objectForURI(a->objectIDURI()), nullptr) << "another context, another store identifier";
    EXPECT_EQ(context.objectForURI(QUrl(QStringLiteral("file:///etc/passwd"))), nullptr);
}

TEST_F(ContextTest, WillSaveHooksRunUntilNothingChanges)
{
    ManagedObject* a = card(QStringLiteral("a"));
    ManagedObject* red = label(QStringLiteral("red"));
    ManagedObject* blue = label(QStringLiteral("blue"));
    a->setObjects(QStringLiteral("labels"), {red, blue});
    ASSERT_TRUE(context.save());
    EXPECT_FALSE(context.hasChanges());

    // Taking the last card off a label makes it delete itself in its hook at the next save.
    a->removeObject(QStringLiteral("labels"), red);
    EXPECT_FALSE(red->isDeleted());
    ASSERT_TRUE(context.save());
    EXPECT_TRUE(red->isDeleted());
    EXPECT_FALSE(blue->isDeleted());

    // Deleting the card changes blue during the save; its hook then runs and deletes it.
    context.deleteObject(a);
    ASSERT_TRUE(context.save());
    EXPECT_TRUE(blue->isDeleted());
    EXPECT_FALSE(context.hasChanges());
}

namespace {
class RestlessCard : public ManagedObject
{
public:
    explicit RestlessCard(const Init& init)
        : ManagedObject(init)
    {
    }
    void willSave() override { setValue(QStringLiteral("count"), integerValue(QStringLiteral("count")) + 1); }
};
} // namespace

TEST_F(ContextTest, SaveFailsWithoutLosingChangesWhenHooksNeverSettleOrValuesAreMissing)
{
    ManagedObject* entry = context.insertNewObject(QStringLiteral("Entry"));
    QString error;
    EXPECT_FALSE(context.save(&error)) << "an entry needs a date and a card";
    EXPECT_TRUE(error.contains(QLatin1String("date")) || error.contains(QLatin1String("card")));
    EXPECT_TRUE(entry->isInserted());
    entry->setValue(QStringLiteral("date"), QDateTime::currentDateTimeUtc());
    card(QStringLiteral("a"))->addObject(QStringLiteral("history"), entry);
    EXPECT_TRUE(context.save(&error)) << error.toStdString();

    context.registerClass<RestlessCard>(QStringLiteral("Card"));
    ManagedObject* restless = card(QStringLiteral("r"));
    EXPECT_FALSE(context.save(&error));
    EXPECT_TRUE(restless->isInserted());
}

TEST(ManagedObjectContextLifetime, GoingAwayClearsItsUndoManagerFirst)
{
    UndoManager undoManager;
    auto context = std::make_unique<ManagedObjectContext>(graphModel());
    context->setUndoManager(&undoManager);
    ManagedObject* card = context->insertNewObject(QStringLiteral("Card"));
    undoManager.beginUndoGrouping();
    undoManager.registerUndo(&undoManager, [card] { card->setValue(QStringLiteral("title"), QStringLiteral("x")); });
    undoManager.endUndoGrouping();
    ASSERT_TRUE(undoManager.canUndo());
    context.reset();
    EXPECT_FALSE(undoManager.canUndo());
}
