#include "PelorinsKit/archive/JSONReader.h"
#include "PelorinsKit/archive/AttributedStringDictionary.h"
#include "PelorinsKit/archive/JSONWriter.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/ImageAttachment.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "PelorinsKit/model/Root.h"
#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/RichTextCodec.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/DataFolders.h"
#include "support/QStringPrinting.h"
#include "support/StoreBuilder.h"
#include "support/TestStore.h"
#include "support/TestImages.h"

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QUrl>
#include <ctime>
#include <gtest/gtest.h>

namespace {

const QString pictureFolder = QStringLiteral("0A1B2C3D-0000-4000-8000-000000000001");

QJsonArray parse(const char* json)
{
    return QJsonDocument::fromJson(QByteArray(json)).array();
}

QJsonObject parseObject(const char* json)
{
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

QDateTime utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), QTimeZone::utc());
}

// The same archive with every object URI renamed by order of first appearance, so that archives
// of two stores compare by content and by which objects they share.
QJsonValue canonical(const QJsonValue& value, QHash<QString, QString>& names)
{
    if (value.isArray()) {
        QJsonArray array;
        for (const QJsonValue& element : value.toArray())
            array.append(canonical(element, names));
        return array;
    }
    if (!value.isObject())
        return value;
    QJsonObject object = value.toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.key() == QLatin1String("objectIDURI")) {
            const QString uri = it.value().toString();
            if (!names.contains(uri))
                names.insert(uri, QString::number(names.size()));
            it.value() = names.value(uri);
        } else {
            it.value() = canonical(it.value(), names);
        }
    }
    return object;
}

QJsonValue canonical(const QJsonValue& value)
{
    QHash<QString, QString> names;
    return canonical(value, names);
}

class JSONReaderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(store.isOpen()) << store.error().toStdString();
        DataFolders::setBaseFolderForTesting(base.path());
    }
    void TearDown() override { DataFolders::setBaseFolderForTesting(QString()); }

    // A board with two stages, tags, a done day group, history, notes with styles, a checklist,
    // a picture and a link card, in a folder.
    Kanban* richBoard()
    {
        Folder* folder = build.addFolder(QStringLiteral("Work"));
        folder->setExport(true);
        Kanban* board
            = build.addBoard(QStringLiteral("Launch"), {QStringLiteral("To Do"), QStringLiteral("Doing")}, folder);
        board->setExport(true);
        board->setColour(3);
        Tag* urgent = build.addTag(board, QStringLiteral("urgent"));
        Tag* later = build.addTag(board, QStringLiteral("later"));
        KanbanColumn* todo = board->column().at(0);
        KanbanColumn* doing = board->column().at(1);
        doing->setBookmarked(true);

        ListItem* card = build.addCard(todo, {urgent, later});
        AttributedString notes(QStringLiteral("Plan\nBuy milk\n") + AttributedString::attachmentCharacter
            + AttributedString::attachmentCharacter);
        notes.addAttributes(titleAttributes(), TextRange {0, 5});
        QVariantMap checked = checkListAttributes();
        checked.insert(AttributeKey::isChecklistChecked, true);
        notes.addAttributes(checked, TextRange {5, 9});
        notes.addAttributes(
            {{AttributeKey::fileFolderUUID, pictureFolder}, {AttributeKey::filename, QStringLiteral("p.png")}},
            TextRange {14, 1});
        notes.addAttribute(AttributeKey::attachmentLinkData,
            QVariantMap {{QStringLiteral("URL"), QUrl(QStringLiteral("https://example.org/a?b=1"))},
                {QStringLiteral("title"), QStringLiteral("Example")}, {QStringLiteral("body"), QStringLiteral("body")},
                {QStringLiteral("calendarData"), QVariantMap {{QString(), QString()}}}},
            TextRange {15, 1});
        card->setAttributedNotes(notes);
        card->setDueDate(utc(2024, 3, 5, 17, 4, 9));
        card->setEventsArray(QStringList {QStringLiteral("E1"), QStringLiteral("E2")});
        card->setTimeWorked(1.5);
        card->setPriority(true);
        ListItemHistory* moved = ListItemHistory::create(ListItemAction::moved, &store.context());
        moved->setKanbanColumnUniqueIdentifier(doing->uniqueIdentifier());
        card->setHistory({ListItemHistory::create(ListItemAction::created, &store.context()), moved});

        build.addCard(doing);
        DoneDate* group = build.addDoneGroup(board, utc(2024, 3, 4));
        ListItem* done = build.addDoneCard(board, group);
        done->setTags({urgent});
        return board;
    }

    QJsonArray exportTree() { return JSONWriter::archiveArray(build.root()->children()); }

    QTemporaryDir base;
    TestStore store;
    StoreBuilder build {store.context()};
};

TEST_F(JSONReaderTest, AnExportReadIntoAFreshStoreExportsTheSameArchive)
{
    richBoard();
    const QJsonArray archive = exportTree();
    const QJsonArray written = QJsonDocument::fromJson(QJsonDocument(archive).toJson(QJsonDocument::Compact)).array();

    TestStore fresh;
    StoreBuilder freshBuild(fresh.context());
    JSONReader reader(&fresh.context());
    const QList<ManagedObject*> made = reader.makeObjectsFromArrayOf(written);
    ASSERT_EQ(made.size(), 1);
    static_cast<DisplayItem*>(made.first())->setParent(freshBuild.root());
    ASSERT_TRUE(fresh.context().save());
    ASSERT_TRUE(fresh.reopen());

    StoreBuilder reopened(fresh.context());
    const QJsonArray again = JSONWriter::archiveArray(reopened.root()->children());
    EXPECT_EQ(canonical(again), canonical(archive));
    EXPECT_TRUE(reader.oldToNewUUIDMappings().isEmpty());
}

TEST_F(JSONReaderTest, ReadingOnePayloadTwiceGivesFreshIdentifiersAndRemapsTheHistory)
{
    Kanban* board = richBoard();
    const QJsonArray payload {JSONWriter::genericTraversingNode(board, true)};
    JSONReader reader(&store.context());
    ConsoleLog::Capture capture;

    QList<Kanban*> copies;
    for (int i = 0; i < 2; ++i) {
        reader.setImportedObjects({});
        const QList<ManagedObject*> made = reader.makeObjectsFromArrayOf(payload);
        ASSERT_EQ(made.size(), 1);
        copies << dynamic_cast<Kanban*>(made.first());
        ASSERT_TRUE(copies.last());
    }

    QSet<QString> identifiers;
    int objects = 0;
    auto collect = [&](Kanban* b) {
        QList<ManagedObject*> all {b};
        QList<KanbanColumn*> columns = b->column();
        columns << b->mainColumn();
        for (KanbanColumn* column : columns) {
            all << column;
            for (ListItem* card : column->item())
                all << card;
        }
        for (ManagedObject* object : all) {
            identifiers.insert(object->stringValue(QStringLiteral("uniqueIdentifier")));
            ++objects;
        }
    };
    collect(board);
    collect(copies[0]);
    collect(copies[1]);
    EXPECT_EQ(identifiers.size(), objects);
    const QString boardLine
        = QStringLiteral("UUID %1 -> %2").arg(board->uniqueIdentifier(), copies[0]->uniqueIdentifier());
    EXPECT_TRUE(capture.contains(boardLine));

    // The card's history entry follows its column's new identifier, although the column's
    // identifier is read after its cards.
    for (Kanban* copy : copies) {
        ListItem* card = copy->column().at(0)->item().at(0);
        ASSERT_EQ(card->history().size(), 2);
        EXPECT_EQ(card->history().at(1)->kanbanColumnUniqueIdentifier(), copy->column().at(1)->uniqueIdentifier());
    }
    const QString mapped
        = QStringLiteral("Mapped UUID %1 -> %2")
              .arg(board->column().at(1)->uniqueIdentifier(), copies[1]->column().at(1)->uniqueIdentifier());
    EXPECT_TRUE(capture.contains(mapped));
}

TEST_F(JSONReaderTest, SharedDoneCardsAndTagsBecomeOneObjectEach)
{
    Kanban* board = richBoard();
    JSONReader reader(&store.context());
    const QList<ManagedObject*> made = reader.makeObjectsFromArrayOf({JSONWriter::genericTraversingNode(board, true)});
    auto* copy = dynamic_cast<Kanban*>(made.value(0));
    ASSERT_TRUE(copy);

    ASSERT_EQ(copy->mainColumn()->item().size(), 1);
    ListItem* done = copy->mainColumn()->item().first();
    ASSERT_EQ(copy->doneDates().size(), 1);
    EXPECT_EQ(copy->doneDates().first()->items(), QList<ListItem*> {done});
    EXPECT_EQ(done->parentDoneGroup(), copy->doneDates().first());
    EXPECT_EQ(done->column(), copy->mainColumn());

    ASSERT_EQ(copy->tags().size(), 2);
    Tag* urgent = copy->tags().first();
    EXPECT_EQ(done->tags(), QList<Tag*> {urgent});
    EXPECT_EQ(copy->column().first()->item().first()->tags(), (QList<Tag*> {urgent, copy->tags().at(1)}));
    EXPECT_EQ(urgent->items().size(), 2);
}

TEST_F(JSONReaderTest, OnlyDateAttributesAreReadAsDatesInUtc)
{
    const QByteArray formerZone = qgetenv("TZ");
    qputenv("TZ", "America/St_Johns");
    tzset();
    JSONReader reader(&store.context());
    const QList<ManagedObject*> made = reader.makeObjectsFromArrayOf(parse(R"([
        {"Kanban": {"title": "2024-03-05 17:04:09", "export": 1, "column": [
            {"KanbanColumn": {"title": "2024-03-05 17:04:09", "item": [
                {"ListItem": {"dueDate": "2024-03-05 17:04:09", "done": 0, "notesExpanded": true}}]}}]}}])"));
    ASSERT_EQ(made.size(), 1);
    auto* board = dynamic_cast<Kanban*>(made.first());
    EXPECT_EQ(board->title(), QStringLiteral("2024-03-05 17:04:09"));
    EXPECT_TRUE(board->isExport());
    EXPECT_EQ(board->column().first()->title(), QStringLiteral("2024-03-05 17:04:09"));
    ListItem* card = board->column().first()->item().first();
    EXPECT_EQ(card->dueDate(), utc(2024, 3, 5, 17, 4, 9));
    EXPECT_FALSE(card->done());
    EXPECT_EQ(card->notesExpanded(), true);
    EXPECT_TRUE(store.context().save());
    if (formerZone.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", formerZone);
    tzset();
}

TEST_F(JSONReaderTest, NodesAlreadyReadAreGivenAgainWithoutReadingThem)
{
    JSONReader reader(&store.context());
    EXPECT_TRUE(reader.makeObjectsFromArrayOf({}).isEmpty());
    EXPECT_TRUE(reader.makeObjectsFromArrayOf(parse("[{}]")).isEmpty());

    const QList<ManagedObject*> first
        = reader.makeObjectsFromArrayOf(parse(R"([{"Tag": {"name": "a", "objectIDURI": "x-coredata://S/Tag/p1"}}])"));
    ASSERT_EQ(first.size(), 1);
    const QList<ManagedObject*> second
        = reader.makeObjectsFromArrayOf(parse(R"([{"Tag": {"name": "b", "objectIDURI": "x-coredata://S/Tag/p1"}}])"));
    ASSERT_EQ(second, first);
    EXPECT_EQ(static_cast<Tag*>(first.first())->name(), QStringLiteral("a"));

    // A URI met before may not name another kind of object.
    EXPECT_TRUE(
        reader.makeObjectsFromArrayOf(parse(R"([{"Folder": {"objectIDURI": "x-coredata://S/Tag/p1"}}])")).isEmpty());

    // An empty identifier leaves the one the object got when it was made.
    const QList<ManagedObject*> unnamed
        = reader.makeObjectsFromArrayOf(parse(R"([{"Kanban": {"uniqueIdentifier": ""}}])"));
    ASSERT_EQ(unnamed.size(), 1);
    EXPECT_EQ(static_cast<Kanban*>(unnamed.first())->uniqueIdentifier().size(), 36);
}

TEST_F(JSONReaderTest, CopiedCardsShareThePictureRecordOfTheirOriginal)
{
    Kanban* board = richBoard();
    ListItem* original = board->column().first()->item().first();
    original->syncImageAttachments();
    ASSERT_EQ(original->imageAttachments().size(), 1);
    ImageAttachment* record = original->imageAttachments().first();

    JSONReader reader(&store.context());
    const QList<ManagedObject*> made
        = reader.makeObjectsFromArrayOf({JSONWriter::genericTraversingNode(original, true)});
    auto* copy = dynamic_cast<ListItem*>(made.value(0));
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->imageAttachments(), QList<ImageAttachment*> {record});

    // Deleting the original leaves the record in use by the copy.
    store.context().deleteObject(original);
    EXPECT_EQ(record->listItems(), QList<ListItem*> {copy});
}

TEST_F(JSONReaderTest, HostilePayloadsAreRefusedWholeAndMakeNothing)
{
    const QString uuid = pictureFolder;
    struct Case
    {
        const char* name;
        QByteArray json;
    };
    QByteArray deep = R"({"Folder": {})";
    for (int i = 0; i < 130; ++i)
        deep = R"({"Folder": {"children": [)" + deep + "]}}";
    deep.replace(R"({"Folder": {})", R"({"Folder": {}})");
    const QList<Case> cases {
        {"a node that is not an object", R"([{"Kanban": {}}, 5])"},
        {"two class names", R"([{"Kanban": {}, "Folder": {}}])"},
        {"unknown class", R"([{"Kanban": {"column": [{"Board": {}}]}}])"},
        {"abstract class", R"([{"DisplayItem": {}}])"},
        {"a root", R"([{"Folder": {"children": [{"Root": {}}]}}])"},
        {"a body that is not an object", R"([{"Kanban": []}])"},
        {"a column where a card belongs", R"([{"KanbanColumn": {"item": [{"KanbanColumn": {}}]}}])"},
        {"a relationship that is not an array", R"([{"Kanban": {"column": {"KanbanColumn": {}}}}])"},
        {"a main column that is an array", R"([{"Kanban": {"mainColumn": [{"KanbanColumn": {}}]}}])"},
        {"a text where a Boolean belongs", R"([{"Kanban": {"export": "yes"}}])"},
        {"a number where a text belongs", R"([{"Kanban": {"title": 5}}])"},
        {"a date that is no date", R"([{"ListItem": {"dueDate": "tomorrow"}}])"},
        {"an integer out of range", R"([{"Tag": {"colour": 70000}}])"},
        {"a fraction where an integer belongs", R"([{"Tag": {"colour": 1.5}}])"},
        {"events that are not texts", R"([{"ListItem": {"eventsArray": [1, 2]}}])"},
        {"notes that are a text", R"([{"ListItem": {"attributedNotes": "hello"}}])"},
        {"notes without runs", R"([{"ListItem": {"attributedNotes": {"string": "a"}}}])"},
        {"a URI that is not a text", R"([{"Tag": {"objectIDURI": 3}}])"},
        {"an object inside itself",
            R"([{"Folder": {"objectIDURI": "u1", "children": [{"Folder": {"children": [{"Folder": {"objectIDURI": "u1"}}]}}]}}])"},
        {"a picture folder outside the picture folder",
            R"([{"ListItem": {"attributedNotes": {"string": "x", "runs": [{"range": {"location": 0, "length": 1}, "fileFolderUUID": "../../.ssh", "filename": "id_rsa"}]}}}])"},
        {"a picture file name with a path",
            QByteArray(
                R"([{"ListItem": {"attributedNotes": {"string": "x", "runs": [{"range": {"location": 0, "length": 1}, "fileFolderUUID": ")")
                + uuid.toLatin1() + R"(", "filename": "a/../../b"}]}}}])"},
        {"a picture record outside the picture folder", R"([{"ImageAttachment": {"folderUUID": "/etc"}}])"},
        {"a second node behind an empty URI",
            R"([{"Folder": {"objectIDURI": ""}}, {"Folder": {"objectIDURI": "", "children": [{"Root": {}}]}}])"},
        {"a day group outside a board", R"([{"DoneDate": {"doneDate": "2024-03-04 00:00:00"}}])"},
        {"a history entry without a date", R"([{"ListItem": {"history": [{"ListItemHistory": {"actionInt": 1}}]}}])"},
        {"nodes nested too deep", "[" + deep + "]"},
        {"a picture too large",
            R"([{"ListItem": {"attributedNotes": {"string": "x", "runs": [{"range": {"location": 0, "length": 1}, "NSAttachment": ")"
                + QByteArray(JSONReader::maximumPictureBytes / 3 * 4 + 64, 'A') + R"("}]}}}])"},
    };
    JSONReader reader(&store.context());
    for (const Case& c : cases) {
        const QJsonDocument document = QJsonDocument::fromJson(c.json);
        ASSERT_TRUE(document.isArray()) << c.name;
        ConsoleLog::Capture capture;
        QString error;
        EXPECT_TRUE(reader.makeObjectsFromArrayOf(document.array(), &error).isEmpty()) << c.name;
        EXPECT_FALSE(error.isEmpty()) << c.name;
        EXPECT_EQ(capture.lines(), QStringList {QStringLiteral("Refused JSON nodes: ") + error}) << c.name;
        EXPECT_TRUE(store.context().insertedObjects().isEmpty()) << c.name;
    }
    EXPECT_TRUE(QDir(base.filePath(QStringLiteral("Pelorins/pictureAttachments"))).isEmpty());
}

TEST_F(JSONReaderTest, UnknownKeysAndBackLinksAreSkipped)
{
    JSONReader reader(&store.context());
    const QList<ManagedObject*> made = reader.makeObjectsFromArrayOf(parse(R"([
        {"Kanban": {"title": "B", "futureSetting": {"a": 1}, "parent": {"Folder": {}}, "tags": [
            {"Tag": {"name": "t", "children": [{"Kanban": {}}], "items": [{"ListItem": {}}]}}]}}])"));
    ASSERT_EQ(made.size(), 1);
    auto* board = static_cast<Kanban*>(made.first());
    EXPECT_EQ(board->parent(), nullptr);
    ASSERT_EQ(board->tags().size(), 1);
    EXPECT_TRUE(board->tags().first()->items().isEmpty());
    EXPECT_EQ(store.context().insertedObjects().size(), 2);
}

TEST_F(JSONReaderTest, ACardsPictureRecordsAreSkippedWithAConsoleLine)
{
    JSONReader reader(&store.context());
    ConsoleLog::Capture capture;
    const QList<ManagedObject*> made = reader.makeObjectsFromArrayOf(parse(R"([{"ListItem": {
        "imageAttachments": [{"ImageAttachment": {"folderUUID": "7C9E6679-7425-40DE-944B-E07FC1F90AE7"}}]}}])"));
    ASSERT_EQ(made.size(), 1);
    EXPECT_TRUE(static_cast<ListItem*>(made.first())->imageAttachments().isEmpty());
    EXPECT_EQ(capture.lines().filter(QStringLiteral("imageAttachments")),
        QStringList {QStringLiteral("Skipped \"imageAttachments\" of a \"ListItem\": it is not read from JSON nodes")});
}

// The dictionary form of notes, read back.

TEST_F(JSONReaderTest, NotesGetTheirStylesBackFromTheStyleNames)
{
    ConsoleLog::Capture capture;
    const auto text
        = JSONReader::attributedStringFrom(parseObject(R"({"string": "Title\nHead\nBody\nOdd\nTask\n", "runs": [
        {"range": {"location": 0, "length": 6}, "NOTESTYLENAME": "title", "shadow": 2},
        {"range": {"location": 6, "length": 5}, "NOTESTYLENAME": "header"},
        {"range": {"location": 11, "length": 5}, "NOTESTYLENAME": "body"},
        {"range": {"location": 16, "length": 4}, "NOTESTYLENAME": "fancy"},
        {"range": {"location": 20, "length": 5}, "isChecklistChecked": true, "NSStrikethrough": 1},
        {"range": {"location": 0}, "NOTESTYLENAME": "title"}]})"));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->attributes(0), titleAttributes());
    EXPECT_EQ(text->attributes(6), headerAttributes());
    EXPECT_EQ(text->attributes(11), normalAttributes());
    EXPECT_EQ(text->attributes(16), normalAttributes());
    QVariantMap checked = checkListAttributes();
    checked.insert(AttributeKey::isChecklistChecked, true);
    checked.insert(AttributeKey::strikethroughStyle, 1);
    EXPECT_EQ(text->attributes(20), checked);
    // A line for the key really unknown, none for the ranges; the run without a length is
    // skipped silently.
    EXPECT_EQ(capture.lines(), QStringList {QStringLiteral("Unknown attribute shadow : 2")});

    EXPECT_EQ(JSONReader::attributedStringFrom(parseObject(R"({"string": "a", "runs": []})")),
        AttributedString(QStringLiteral("a")));
    EXPECT_FALSE(JSONReader::attributedStringFrom(parseObject(R"({"string": "a"})")));
    EXPECT_FALSE(JSONReader::attributedStringFrom(parseObject(R"({"string": 1, "runs": []})")));
    EXPECT_FALSE(JSONReader::attributedStringFrom(parseObject(R"({"string": "a", "runs": [1]})")));
}

TEST_F(JSONReaderTest, NotesRunsAreClippedToTheTextAndBadValuesIgnored)
{
    const auto text = JSONReader::attributedStringFrom(parseObject(R"({"string": "abc", "runs": [
        {"range": {"location": 2, "length": 9000000000}, "NSStrikethrough": 1},
        {"range": {"location": -5, "length": 6}, "NOTESTYLENAME": 7, "isChecklistChecked": "yes", "fileFolderUUID": 3},
        {"range": {"location": 99, "length": 1}, "NOTESTYLENAME": "title"},
        {"range": {"location": 0, "length": 1}, "fileFolderUUID": "../x", "filename": "ok.png"}]})"));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->string(), QStringLiteral("abc"));
    EXPECT_EQ(text->attributes(2), (QVariantMap {{AttributeKey::strikethroughStyle, 1}}));
    EXPECT_EQ(text->attributes(0), (QVariantMap {{AttributeKey::filename, QStringLiteral("ok.png")}}));
    EXPECT_TRUE(text->attributes(1).isEmpty());
}

// Notes are stored as the notes read from their dictionary form would be, whatever their runs:
// in order with gaps, joined when equal, overlapping, out of order, clipped or holding values
// without a stored form; the picture records follow the same notes.
TEST_F(JSONReaderTest, NotesAreStoredAsTheirDictionaryFormReadBackWouldBe)
{
    const QString picture = QStringLiteral(R"("fileFolderUUID": "%1", "filename": "p.png")").arg(pictureFolder);
    const QStringList cases {
        R"({"string": "Title\nHead\nBody\n", "runs": [{"range": {"location": 0, "length": 6}, "NOTESTYLENAME": "title"},
            {"range": {"location": 11, "length": 2}, "NOTESTYLENAME": "header"}]})",
        // Equal attributes from two dictionaries, side by side and apart, and a run that adds none.
        R"({"string": "abcdefgh", "runs": [{"range": {"location": 0, "length": 2}, "NOTESTYLENAME": "body"},
            {"range": {"location": 2, "length": 2}, "NOTESTYLENAME": "fancy"},
            {"range": {"location": 4, "length": 2}, "shadow": 1},
            {"range": {"location": 6, "length": 2}, "NOTESTYLENAME": "fancy"}]})",
        R"({"string": "abcdef", "runs": [{"range": {"location": 0, "length": 4}, "NOTESTYLENAME": "title"},
            {"range": {"location": 2, "length": 4}, "NSStrikethrough": 1}]})",
        R"({"string": "abcdef", "runs": [{"range": {"location": 3, "length": 3}, "NOTESTYLENAME": "title"},
            {"range": {"location": 0, "length": 3}, "NSStrikethrough": 1}]})",
        R"({"string": "abc", "runs": [{"range": {"location": -5, "length": 6}, "NSStrikethrough": 2},
            {"range": {"location": 2, "length": 9000000000}, "isChecklistChecked": true},
            {"range": {"location": 9, "length": 1}, "NOTESTYLENAME": "title"}, {"NSStrikethrough": 1}]})",
        R"({"string": "", "runs": [{"range": {"location": 0, "length": 1}, "NOTESTYLENAME": "title"}]})",
        R"({"string": "\ud800x", "runs": []})",
        // Text of one to four bytes a character, whose length in UTF-16 places the gap at the end.
        R"({"string": "abcdefgh\u00e9\u00e9\u20ac\u20ac\ud83d\ude00\ud83d\ude00ijklmnop\u00e9", "runs": [
            {"range": {"location": 0, "length": 3}, "NOTESTYLENAME": "title"},
            {"range": {"location": 9, "length": 14}, "NSStrikethrough": 1}]})",
        R"({"string": "\ud83d\ude00\ud83d\ude00\u20acabcdefghijk\u00e9", "runs": [
            {"range": {"location": 2, "length": 90}, "NSStrikethrough": 1}]})",
        QStringLiteral(R"({"string": "\ufffc\ufffc\ufffc", "runs": [{"range": {"location": 0, "length": 1}, %1},
            {"range": {"location": 1, "length": 1}, %1}, {"range": {"location": 2, "length": 1},
            "fileFolderUUID": "0A1B2C3D-0000-4000-8000-000000000002", "filename": "q.png"}]})")
            .arg(picture),
        R"({"string": "\ufffcx", "runs": [{"range": {"location": 0, "length": 1},
            "attachmentLinkData": {"URL": "https://example.org", "title": "t", "none": null, "list": [1, "a"]}}]})",
    };
    for (const QString& dictionary : cases) {
        SCOPED_TRACE(dictionary.toStdString());
        const QJsonObject notes = QJsonDocument::fromJson(dictionary.toUtf8()).object();
        ASSERT_FALSE(notes.isEmpty());
        ConsoleLog::Capture quiet;
        const std::optional<AttributedString> expected = JSONReader::attributedStringFrom(notes);
        ASSERT_TRUE(expected);
        JSONReader reader(&store.context());
        const QList<ManagedObject*> made = reader.makeObjectsFromArrayOf(QJsonArray {
            QJsonObject {{QStringLiteral("ListItem"), QJsonObject {{QStringLiteral("attributedNotes"), notes}}}}});
        ASSERT_EQ(made.size(), 1);
        auto* card = static_cast<ListItem*>(made.first());
        EXPECT_EQ(card->attributedNotesData(), RichTextCodec::encode(*expected));
        QStringList records;
        for (const ImageAttachment* record : card->imageAttachments())
            records.append(record->folderUUID());
        EXPECT_EQ(records, ListItem::pictureFolderNames(expected));
    }
}

// Many notes are encoded on worker threads while the objects are made; each card still gets its own.
TEST_F(JSONReaderTest, NotesEncodedOnWorkersLandOnTheirOwnCards)
{
    QJsonArray cards;
    QList<QJsonObject> notes;
    for (int i = 0; i < 700; ++i) {
        const QString text = QStringLiteral("Card %1\nline\n").arg(i);
        QJsonArray runs {QJsonObject {
            {QStringLiteral("range"), QJsonObject {{QStringLiteral("location"), 0}, {QStringLiteral("length"), 5}}},
            {QStringLiteral("NOTESTYLENAME"), i % 3 == 0 ? QStringLiteral("title") : QStringLiteral("header")}}};
        // Some notes take the way through rich text: runs out of order.
        if (i % 7 == 0)
            runs.append(QJsonObject {
                {QStringLiteral("range"), QJsonObject {{QStringLiteral("location"), 0}, {QStringLiteral("length"), 2}}},
                {QStringLiteral("NSStrikethrough"), 1}});
        notes.append(QJsonObject {{QStringLiteral("string"), text}, {QStringLiteral("runs"), runs}});
        cards.append(QJsonObject {
            {QStringLiteral("ListItem"), QJsonObject {{QStringLiteral("attributedNotes"), notes.last()}}}});
    }
    ConsoleLog::Capture quiet;
    JSONReader reader(&store.context());
    const QList<ManagedObject*> made = reader.makeObjectsFromArrayOf(cards);
    ASSERT_EQ(made.size(), notes.size());
    for (qsizetype i = 0; i < made.size(); ++i)
        ASSERT_EQ(static_cast<ListItem*>(made[i])->attributedNotesData(),
            RichTextCodec::encode(*JSONReader::attributedStringFrom(notes[i])))
            << "card " << i;
}

TEST_F(JSONReaderTest, LinksComeBackWithTheirURL)
{
    const auto text = JSONReader::attributedStringFrom(parseObject(R"({"string": "\ufffc\ufffc", "runs": [
        {"range": {"location": 0, "length": 1}, "NSLink": {"URL": "https:\/\/example.org\/x", "title": "t"}},
        {"range": {"location": 1, "length": 1}, "attachmentLinkData": {"URL": "http://[bad", "title": "u"}}]})"));
    ASSERT_TRUE(text);
    const QVariantMap first = text->attribute(AttributeKey::attachmentLinkData, 0).toMap();
    EXPECT_EQ(first.value(QStringLiteral("URL")), QVariant(QUrl(QStringLiteral("https://example.org/x"))));
    const QVariantMap second = text->attribute(AttributeKey::attachmentLinkData, 1).toMap();
    EXPECT_EQ(second.value(QStringLiteral("URL")), QVariant(QStringLiteral("http://[bad")));
}

TEST_F(JSONReaderTest, PicturesCarriedAsBase64AreWrittenToNewPictureFolders)
{
    const QByteArray png = pngOf(4, 3, QColor(10, 200, 30), QImage::Format_ARGB32);
    const QString json = QStringLiteral(R"({"string": "\ufffc\ufffc\ufffc", "runs": [
        {"range": {"location": 0, "length": 1}, "NSAttachment": "%1"},
        {"range": {"location": 1, "length": 1}, "NSAttachment": "bm90IGFuIGltYWdl"},
        {"range": {"location": 2, "length": 1}, "NSAttachment": "***"}]})")
                             .arg(QString::fromLatin1(png.toBase64()));
    ConsoleLog::Capture capture;
    const auto text = JSONReader::attributedStringFrom(QJsonDocument::fromJson(json.toUtf8()).object());
    ASSERT_TRUE(text);
    const QString folder = text->attribute(AttributeKey::fileFolderUUID, 0).toString();
    EXPECT_TRUE(PictureFolders::isPictureFolderName(folder));
    EXPECT_EQ(text->attribute(AttributeKey::filename, 0).toString(), QStringLiteral("imported.png"));
    const QImage written(
        base.filePath(QStringLiteral("Pelorins/pictureAttachments/") + folder + QStringLiteral("/imported.png")));
    EXPECT_EQ(written.size(), QSize(4, 3));
    EXPECT_FALSE(text->attribute(AttributeKey::fileFolderUUID, 1).isValid());
    EXPECT_FALSE(text->attribute(AttributeKey::fileFolderUUID, 2).isValid());
    EXPECT_TRUE(capture.contains(QStringLiteral("img from data not ok")));
}

} // namespace
