#include "PelorinsKit/archive/JSONReader.h"
#include "PelorinsKit/archive/JSONTextWriter.h"
#include "PelorinsKit/archive/JSONWriter.h"
#include "PelorinsKit/archive/NodePlan.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "PelorinsKit/model/Root.h"
#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/RichTextCodec.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/DataFolders.h"
#include "Platform/core/objectgraph/ManagedObjectModel.h"
#include "support/QStringPrinting.h"
#include "support/StoreBuilder.h"
#include "support/TestStore.h"

#include <QBuffer>
#include <QCborMap>
#include <QCborStreamWriter>
#include <QCborValue>
#include <QColor>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QUrl>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QDateTime utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), QTimeZone::utc());
}

QByteArray landedArchive(const QList<DisplayItem*>& items)
{
    return QJsonDocument(JSONWriter::archiveArray(items)).toJson(QJsonDocument::Compact);
}

QByteArray streamedArchive(const QList<DisplayItem*>& items)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(JSONWriter::writeArchive(items, buffer));
    return buffer.data();
}

QList<DisplayItem*> displayItems(const QList<ManagedObject*>& objects)
{
    QList<DisplayItem*> items;
    for (ManagedObject* object : objects)
        items.append(static_cast<DisplayItem*>(object));
    return items;
}

// An archive without the URIs of its objects, which differ from store to store, and without the
// folder names made for pictures carried as Base64.
QJsonValue withoutURIs(const QJsonValue& value)
{
    if (value.isArray()) {
        QJsonArray array;
        for (const QJsonValue& entry : value.toArray())
            array.append(withoutURIs(entry));
        return array;
    }
    if (!value.isObject())
        return value;
    QJsonObject object = value.toObject();
    object.remove(QStringLiteral("objectIDURI"));
    if (object.value(QStringLiteral("filename")) == QStringLiteral("imported.png"))
        object.remove(QStringLiteral("fileFolderUUID"));
    for (auto it = object.begin(); it != object.end(); ++it)
        it.value() = withoutURIs(it.value());
    return object;
}

QJsonValue comparable(const QByteArray& archive)
{
    return withoutURIs(QJsonDocument::fromJson(archive).array());
}

class ArchiveStreamTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(store.isOpen()) << store.error().toStdString(); }

    // Texts that make JSON writers differ: controls, quotes, a lone surrogate at the end and in
    // the middle, a pair, a non-character and a title that looks like a date.
    static QString awkward()
    {
        return QStringLiteral("\"a\\b/\x01\x1f\t\n\x7f é € ") + QChar(0xD83D) + QChar(0xDE00) + QChar(0xFFFE)
            + QChar(0xDC00) + u'x' + QChar(0xD800);
    }

    // Every attribute type, shared done cards and tags, file and calendar links, pictures, odd
    // numbers, and a folder whose marks are mixed.
    void richStore()
    {
        Folder* folder = build.addFolder(awkward());
        Kanban* board = build.addBoard(
            QStringLiteral("2024-03-05 17:04:09"), {QStringLiteral("To Do"), QStringLiteral("Doing")}, folder);
        board->setExport(true);
        board->setColour(-7);
        board->setBgImage(QStringLiteral("leaves"));
        Kanban* left = build.addBoard(QStringLiteral("Left out"), {}, folder);
        left->setExport(false);
        Tag* urgent = build.addTag(board, QStringLiteral("urgent"));
        Tag* repeated = build.addTag(board, awkward());
        KanbanColumn* todo = board->column().at(0);
        todo->setBookmarked(true);

        ListItem* card = build.addCard(todo, {urgent, repeated});
        AttributedString notes(QStringLiteral("Plan\nBuy milk\n") + AttributedString::attachmentCharacter
            + AttributedString::attachmentCharacter + AttributedString::attachmentCharacter + awkward());
        notes.addAttributes(titleAttributes(), TextRange {0, 5});
        QVariantMap checked = checkListAttributes();
        checked.insert(AttributeKey::isChecklistChecked, true);
        notes.addAttributes(checked, TextRange {5, 9});
        notes.addAttributes({{AttributeKey::fileFolderUUID, QStringLiteral("0A1B2C3D-0000-4000-8000-000000000001")},
                                {AttributeKey::filename, QStringLiteral("p.png")}},
            TextRange {14, 1});
        notes.addAttribute(AttributeKey::attachmentLinkData,
            QVariantMap {{QStringLiteral("URL"), QUrl::fromLocalFile(QStringLiteral("/home/u/a b.txt"))},
                {QStringLiteral("secureScopeBookmark"), QByteArray("\x00\x01\xff", 3)}},
            TextRange {15, 1});
        notes.addAttribute(AttributeKey::attachmentLinkData,
            QVariantMap {{QStringLiteral("calendarData"),
                QVariantMap {{QStringLiteral("startDate"), utc(2024, 3, 9, 9)},
                    {QStringLiteral("color"), QColor(0x33, 0x66, 0xCC)}, {QStringLiteral("allDay"), true},
                    {QStringLiteral("weight"), 0.1}, {QStringLiteral("count"), qint64(1) << 60}}}},
            TextRange {16, 1});
        notes.addAttribute(AttributeKey::strikethroughStyle, 1, TextRange {17, 3});
        card->setAttributedNotes(notes);
        card->setDueDate(utc(2024, 3, 5, 17, 4, 9));
        card->setEventsArray(QStringList {QStringLiteral("E1"), awkward()});
        card->setTimeWorked(1e21);
        card->setPriority(true);
        ListItemHistory* moved = ListItemHistory::create(ListItemAction::moved, &store.context());
        moved->setKanbanColumnUniqueIdentifier(board->column().at(1)->uniqueIdentifier());
        card->setHistory({ListItemHistory::create(ListItemAction::created, &store.context()), moved});
        build.addCard(todo)->setTimeWorked(0.1 + 0.2);

        DoneDate* group = build.addDoneGroup(board, utc(2024, 3, 4));
        build.addDoneCard(board, group)->setTags({urgent});
        build.addDoneCard(board, group)->setAttributedNotesData(QByteArray("not notes"));

        Kanban* top = build.addBoard(QStringLiteral("Top"));
        top->setExport(true);
    }

    TestStore store;
    StoreBuilder build {store.context()};
};

TEST_F(ArchiveStreamTest, TextsAndNumbersAreWrittenAsQJsonDocumentWritesThem)
{
    const QList<QJsonValue> values {
        awkward(),
        QString(),
        QString(QChar(0xDC00)),
        QString(QChar(0xD800)) + QChar(0xD800) + QChar(0xDC00),
        QJsonValue(qint64(1) << 60),
        QJsonValue(-0.0),
        QJsonValue(1e21),
        QJsonValue(1.0 / 3),
        QJsonValue(123456789.125),
        QJsonValue(5e-324),
        QJsonValue(true),
        QJsonValue(),
        QJsonObject {{QStringLiteral("b"), 1}, {QStringLiteral("a"), QJsonArray {1.5, QStringLiteral("\x02")}}},
    };
    for (const QJsonValue& value : values) {
        JSONTextWriter writer;
        writer.beginArray();
        writer.value(value);
        writer.value(value);
        writer.endArray();
        EXPECT_EQ(writer.text(), QJsonDocument(QJsonArray {value, value}).toJson(QJsonDocument::Compact));
    }
}

TEST_F(ArchiveStreamTest, TheStreamedArchiveIsByteForByteTheDocumentsOne)
{
    richStore();
    ConsoleLog::Capture capture;
    const QByteArray landed = landedArchive(build.root()->children());
    const QStringList landedLines = capture.lines();
    capture.clear();
    const QByteArray streamed = streamedArchive(build.root()->children());
    EXPECT_EQ(streamed, landed);
    // The unreadable notes are left out with the same line, as often as they are met.
    EXPECT_EQ(capture.lines(), landedLines);
    EXPECT_EQ(landedLines.filter(QStringLiteral("Stored notes are unreadable")).size(), 2);
    // The board left out is not there; the one with the mixed folder is.
    EXPECT_FALSE(streamed.contains("Left out"));
    EXPECT_TRUE(streamed.contains("2024-03-05 17:04:09"));

    // Nothing chosen: an empty array.
    for (DisplayItem* item : build.root()->children())
        item->setExport(false);
    static_cast<Folder*>(build.root()->children().first())->children().first()->setExport(false);
    EXPECT_EQ(streamedArchive(build.root()->children()), QByteArray("[]"));
}

// Hundreds of distinct styles in one note: the decoded styles a note's runs point at must stay
// valid while later styles are decoded and remembered.
TEST_F(ArchiveStreamTest, ANoteWithManyDistinctStylesIsWrittenWhole)
{
    Kanban* board = build.addBoard(QStringLiteral("Styles"), {QStringLiteral("To Do")});
    board->setExport(true);
    const int runs = 600;
    AttributedString notes(QString(runs, u'x'));
    for (int i = 0; i < runs; ++i)
        notes.addAttribute(AttributeKey::foregroundColor, QColor::fromRgb(QRgb(0x10000 + i * 7)), TextRange {i, 1});
    build.addCard(board->column().at(0))->setAttributedNotes(notes);
    EXPECT_EQ(streamedArchive(build.root()->children()), landedArchive(build.root()->children()));
}

TEST_F(ArchiveStreamTest, TheCompatibilityArchiveReadInIsWrittenBackIdentically)
{
    QFile file(QStringLiteral(PELORINS_TESTS_DIR "/kit/archive/data/CompatibilityArchive/archive.Pelorins"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QTemporaryDir base;
    DataFolders::setBaseFolderForTesting(base.path());
    ConsoleLog::Capture quiet;
    JSONReader reader(&store.context());
    const QList<ManagedObject*> made = reader.makeObjectsFromArrayOf(QJsonDocument::fromJson(file.readAll()).array());
    ASSERT_EQ(made.size(), 2);
    QList<DisplayItem*> items;
    for (ManagedObject* object : made)
        items.append(static_cast<DisplayItem*>(object));
    // The fixture's folder is unmarked with all its children marked: asking whether its marks
    // are mixed marks it, so each writer starts from the marks as read.
    QList<std::pair<DisplayItem*, bool>> marks;
    std::function<void(DisplayItem*)> remember = [&](DisplayItem* item) {
        marks.append({item, item->isExport()});
        for (DisplayItem* child : item->children())
            remember(child);
    };
    for (DisplayItem* item : items)
        remember(item);
    const QByteArray streamed = streamedArchive(items);
    for (const auto& [item, marked] : std::as_const(marks))
        item->setExport(marked);
    EXPECT_EQ(streamed, landedArchive(items));
    EXPECT_GT(streamed.size(), 1000);
    DataFolders::setBaseFolderForTesting(QString());
}

// Both reader entries read the archive as the same tree: the text streamed, and the document.
// Read back in, the tree writes the same archive again, but for its objects' URIs.
TEST_F(ArchiveStreamTest, BothReaderEntriesMakeTheTreeThatWritesTheSameArchive)
{
    QFile fixture(QStringLiteral(PELORINS_TESTS_DIR "/kit/archive/data/CompatibilityArchive/archive.Pelorins"));
    ASSERT_TRUE(fixture.open(QIODevice::ReadOnly));
    richStore();
    // Everything marked: a folder whose marks were mixed is marked again once read back in.
    std::function<void(DisplayItem*)> mark = [&mark](DisplayItem* item) {
        item->setExport(true);
        for (DisplayItem* child : item->children())
            mark(child);
    };
    for (DisplayItem* item : build.root()->children())
        mark(item);
    const QByteArray rich = streamedArchive(build.root()->children());
    QTemporaryDir base;
    DataFolders::setBaseFolderForTesting(base.path());
    for (const QByteArray& archive : {fixture.readAll(), rich}) {
        TestStore streamedStore;
        TestStore documentStore;
        ConsoleLog::Capture quiet;
        JSONReader streamedReader(&streamedStore.context());
        JSONReader documentReader(&documentStore.context());
        QString error;
        const QList<ManagedObject*> streamed = streamedReader.makeObjectsFromArchiveData(archive, &error);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        const QList<ManagedObject*> fromDocument
            = documentReader.makeObjectsFromArrayOf(QJsonDocument::fromJson(archive).array(), &error);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        EXPECT_EQ(streamedStore.context().insertedObjects().size(), documentStore.context().insertedObjects().size());
        const QByteArray again = streamedArchive(displayItems(streamed));
        EXPECT_EQ(comparable(again), comparable(streamedArchive(displayItems(fromDocument))));
        // A picture carried as Base64 comes back as a picture folder; the rest is as it was.
        if (archive == rich) {
            EXPECT_EQ(comparable(again), comparable(archive));
        }
    }
    DataFolders::setBaseFolderForTesting(QString());
}

// Text the stream would read unlike QJsonDocument is read through the document, so that both
// entries agree; everything else streams.
TEST_F(ArchiveStreamTest, TextTheStreamCannotReadAsTheDocumentDoesIsLeftToTheDocument)
{
    const auto nest = [](int depth) { return QByteArray(depth, '[') + QByteArray(depth, ']'); };
    struct Case
    {
        const char* name;
        QByteArray text;
        bool needsDocument;
        QString title;
    };
    const QList<Case> cases {
        {"plain", R"([{"Kanban": {"colour": 2, "title": "a"}}])", false, QStringLiteral("a")},
        {"a surrogate pair", R"([{"Kanban": {"title": "\ud83d\ude00"}}])", false,
            QString::fromUtf8("\xf0\x9f\x98\x80")},
        {"keys out of order", R"([{"Kanban": {"title": "a", "colour": 2}}])", true, QStringLiteral("a")},
        {"a repeated key, the last kept", R"([{"Kanban": {"title": "a", "title": "b"}}])", true, QStringLiteral("b")},
        {"a lone high surrogate", R"([{"Kanban": {"title": "x\ud800"}}])", true, QStringLiteral("x") + QChar(0xD800)},
        {"a lone low surrogate", R"([{"Kanban": {"title": "\udc00x"}}])", true, QChar(0xDC00) + QStringLiteral("x")},
        {"keys in code point order", "[{\"Kanban\": {\"title\": \"t\", \"\xef\xbf\xbf\": 1, \"\xf0\x90\x80\x80\": 2}}]",
            false, QStringLiteral("t")},
        {"keys in UTF-16 order", "[{\"Kanban\": {\"title\": \"t\", \"\xf0\x90\x80\x80\": 2, \"\xef\xbf\xbf\": 1}}]",
            true, QStringLiteral("t")},
        {"nesting at the document's limit", "[{\"Kanban\": {\"title\": \"n\", \"x\": " + nest(1021) + "}}]", false,
            QStringLiteral("n")},
        {"nesting past it", "[{\"Kanban\": {\"title\": \"n\", \"x\": " + nest(1022) + "}}]", true, QString()},
    };
    for (const Case& c : cases) {
        QString error;
        bool needsDocument = false;
        const std::optional<NodePlan> plan
            = NodePlan::fromText(c.text, store.context().model(), &error, &needsDocument);
        EXPECT_EQ(needsDocument, c.needsDocument) << c.name;
        EXPECT_EQ(plan.has_value(), !c.needsDocument) << c.name;

        TestStore fresh;
        ConsoleLog::Capture quiet;
        JSONReader reader(&fresh.context());
        const QList<ManagedObject*> made = reader.makeObjectsFromArchiveData(c.text, &error);
        if (c.title.isNull()) {
            EXPECT_TRUE(made.isEmpty()) << c.name;
            EXPECT_TRUE(error.startsWith(QStringLiteral("the archive cannot be read as JSON: too deeply nested")))
                << c.name << error.toStdString();
            continue;
        }
        ASSERT_EQ(made.size(), 1) << c.name << error.toStdString();
        EXPECT_EQ(static_cast<Kanban*>(made.first())->title(), c.title) << c.name;
    }
}

// The streamed and the document entry refuse the same payloads for the same reason.
TEST_F(ArchiveStreamTest, BothEntriesRefuseTheSameNodesForTheSameReason)
{
    const QList<QByteArray> payloads {
        R"([{"Kanban": {}}, 5])",
        R"([{"Folder": {}, "Kanban": {}}])",
        R"([{"Kanban": {"column": [{"Board": {}}]}}])",
        R"([{"Kanban": []}])",
        R"([{"Kanban": {"column": [{"KanbanColumn": {"item": [{"KanbanColumn": {}}]}}]}}])",
        R"([{"Kanban": {"column": {"KanbanColumn": {}}}}])",
        R"([{"Kanban": {"column": [3]}}])",
        R"([{"Kanban": {"mainColumn": [{"KanbanColumn": {}}]}}])",
        R"([{"Kanban": {"export": "yes", "title": 5}}])",
        R"([{"Kanban": {"objectIDURI": {"a": 1}}}])",
        R"([{"Folder": {"children": [{"Kanban": {"objectIDURI": "u"}}, {"Folder": {"objectIDURI": "u"}}]}}])",
        R"([{"Folder": {"children": [{"Folder": {"children": [{"Folder": {"objectIDURI": "u"}}], "objectIDURI": "u"}}]}}])",
        R"([{"Kanban": {"column": [{"KanbanColumn": {"item": [{"ListItem": {"attributedNotes": {"string": "a"}}}]}}]}}])",
        R"([{"Kanban": {"column": [{"KanbanColumn": {"item": [{"ListItem": {"attributedNotes": {"runs": [], "string": 1}}}]}}]}}])",
        R"([{"Kanban": {"column": [{"KanbanColumn": {"item": [{"ListItem": {"attributedNotes": {"runs": [[]], "string": ""}}}]}}]}}])",
        R"([{"Kanban": {"column": [{"KanbanColumn": {"item": [{"ListItem": {"attributedNotes": {"runs": [{"filename": "../x"}], "string": ""}}}]}}]}}])",
        R"([{"Kanban": {"column": [{"KanbanColumn": {"item": [{"ListItem": {"eventsArray": [1]}}]}}]}}])",
        R"([{"Kanban": {"doneDates": [{"DoneDate": {}}]}}])",
        // Dates the stream reads from their bytes, the document from its texts.
        R"([{"Kanban": {"column": [{"KanbanColumn": {"item": [{"ListItem": {"dueDate": "2024-02-30 10:00:00"}}]}}]}}])",
        R"([{"Kanban": {"column": [{"KanbanColumn": {"item": [{"ListItem": {"dueDate": "2024-01-01 10:00:0\u00e9"}}]}}]}}])",
        R"([{"Kanban": {"column": [{"KanbanColumn": {"item": [{"ListItem": {"dueDate": "\uff12024-01-01 10:00:0"}}]}}]}}])",
        R"([{"Kanban": {"column": [{"KanbanColumn": {"item": [{"ListItem": {"dueDate": "2024-01-01T10:00:00"}}]}}]}}])",
    };
    for (const QByteArray& payload : payloads) {
        ConsoleLog::Capture quiet;
        JSONReader reader(&store.context());
        QString streamedError;
        EXPECT_TRUE(reader.makeObjectsFromArchiveData(payload, &streamedError).isEmpty()) << payload.constData();
        QString documentError;
        EXPECT_TRUE(reader.makeObjectsFromArrayOf(QJsonDocument::fromJson(payload).array(), &documentError).isEmpty());
        EXPECT_FALSE(streamedError.isEmpty()) << payload.constData();
        EXPECT_EQ(streamedError, documentError) << payload.constData();
        EXPECT_TRUE(store.context().insertedObjects().isEmpty()) << payload.constData();
    }
}

// Notes that cannot be read are left out with the comma that separated them, wherever they stand
// among a body's keys; a node whose body would hold nothing else is left out whole. The model
// of the program cannot show every such place, so a small one does.
TEST_F(ArchiveStreamTest, UnreadableNotesAreLeftOutWithTheirCommaWhereverTheyStand)
{
    const QByteArray json = R"({"entities": [
        {"name": "Box", "attributes": [
            {"name": "a", "type": "string"}, {"name": "body", "type": "binary"},
            {"name": "c", "type": "binary"}, {"name": "d", "type": "binary"}],
         "relationships": [
            {"name": "items", "destination": "Bare", "toMany": true, "ordered": true, "inverse": "box"}]},
        {"name": "Bare", "attributes": [{"name": "notes", "type": "binary"}],
         "relationships": [{"name": "box", "destination": "Box", "inverse": "items"}]}]})";
    QString error;
    const std::shared_ptr<const ManagedObjectModel> model
        = ManagedObjectModel::fromJson(json, QStringLiteral("Boxes"), &error);
    ASSERT_TRUE(model) << error.toStdString();
    ManagedObjectContext context(model);
    context.registerClass<DisplayItem>(QStringLiteral("Box"));
    AttributedString readableText(QStringLiteral("kept"));
    readableText.addAttributes(titleAttributes(), TextRange {0, 4});
    const QByteArray readable = RichTextCodec::encode(readableText);
    const QByteArray unreadable("not notes");
    // Well-formed but for one style's text, which is no UTF-8: the whole note is unreadable.
    const QByteArray brokenStyle = [] {
        QByteArray content;
        QCborStreamWriter writer(&content);
        writer.startMap(3);
        writer.append(QLatin1String("string"));
        writer.append(QByteArray("a\0", 2));
        writer.append(QLatin1String("attributes"));
        writer.startArray(1);
        writer.startMap(1);
        writer.append(AttributeKey::noteStyleName);
        writer.appendTextString("\xff", 1);
        writer.endMap();
        writer.endArray();
        writer.append(QLatin1String("runs"));
        writer.startArray(2);
        writer.append(1);
        writer.append(0);
        writer.endArray();
        writer.endMap();
        const QCborMap root {{QStringLiteral("version"), 1}, {QStringLiteral("content"), qCompress(content)}};
        return QCborValue(QCborTag(55799), root).toCbor();
    }();

    struct Case
    {
        const char* name;
        std::optional<QString> a;
        std::optional<QByteArray> body;
        std::optional<QByteArray> c;
        std::optional<QByteArray> d;
        QList<std::optional<QByteArray>> items;
    };
    const QList<Case> cases {
        {"first of the body", std::nullopt, unreadable, readable, std::nullopt, {}},
        {"after a value", QStringLiteral("x"), unreadable, std::nullopt, std::nullopt, {}},
        {"two in a row first", std::nullopt, unreadable, unreadable, readable, {}},
        {"all three", QStringLiteral("x"), unreadable, unreadable, unreadable, {}},
        {"between readable ones", std::nullopt, readable, unreadable, readable, {}},
        {"a style that is no text", QStringLiteral("x"), brokenStyle, readable, brokenStyle, {}},
        {"members of nothing but notes", std::nullopt, std::nullopt, std::nullopt, std::nullopt,
            {unreadable, readable, unreadable, std::nullopt, unreadable, readable}},
    };
    QList<DisplayItem*> boxes;
    for (const Case& c : cases) {
        auto* box = static_cast<DisplayItem*>(context.insertNewObject(QStringLiteral("Box")));
        if (c.a)
            box->setValue(QStringLiteral("a"), *c.a);
        for (const auto& [key, value] : {std::pair {"body", c.body}, {"c", c.c}, {"d", c.d}}) {
            if (value)
                box->setValue(QString::fromLatin1(key), *value);
        }
        QList<ManagedObject*> items;
        for (const std::optional<QByteArray>& notes : c.items) {
            ManagedObject* item = context.insertNewObject(QStringLiteral("Bare"));
            if (notes)
                item->setValue(QStringLiteral("notes"), *notes);
            items.append(item);
        }
        box->setObjects(QStringLiteral("items"), items);
        ConsoleLog::Capture capture;
        const QByteArray landed = landedArchive({box});
        const QStringList landedLines = capture.lines();
        capture.clear();
        EXPECT_EQ(streamedArchive({box}), landed) << c.name;
        EXPECT_EQ(capture.lines(), landedLines) << c.name;
        EXPECT_FALSE(QJsonDocument::fromJson(landed).isNull()) << c.name;
        boxes.append(box);
    }
    // All in one archive, cut into blocks and converted on several threads.
    QList<DisplayItem*> many;
    for (int i = 0; i < 1500; ++i)
        many.append(boxes);
    ConsoleLog::Capture quiet;
    EXPECT_EQ(streamedArchive(many), landedArchive(many));
}

TEST_F(ArchiveStreamTest, ADeviceThatRefusesTheTextFailsTheExport)
{
    richStore();
    QFile full(QStringLiteral("/dev/full"));
    ASSERT_TRUE(full.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    ConsoleLog::Capture quiet;
    EXPECT_FALSE(JSONWriter::writeArchive(build.root()->children(), full));
    QBuffer closed;
    EXPECT_FALSE(JSONWriter::writeArchive(build.root()->children(), closed));
}

} // namespace

// The file entry reads a block at a time what the bytes entry reads whole, with the same outcome
// for every form of text: a byte order mark, UTF-16, text left to the document, broken text, and
// texts and nodes that straddle the blocks.
TEST_F(ArchiveStreamTest, AnArchiveFileReadsAsItsBytesRead)
{
    QFile fixture(QStringLiteral(PELORINS_TESTS_DIR "/kit/archive/data/CompatibilityArchive/archive.Pelorins"));
    ASSERT_TRUE(fixture.open(QIODevice::ReadOnly));
    const QByteArray compatible = fixture.readAll();
    QByteArray large = R"([{"Kanban": {"column": [{"KanbanColumn": {"item": [)";
    for (int i = 0; i < 3000; ++i) {
        large += (i ? "," : "") + QByteArrayLiteral(R"({"ListItem": {"attributedNotes": {"runs": [{"range": )")
            + R"({"length": 3, "location": 0}}], "string": "line\nline\t\"q\" \u00e9)" + QByteArray(i % 200, 'x')
            + R"("}, "tags": [{"Tag": {"name": "shared", "objectIDURI": "t"}}]}})";
    }
    large += R"(], "title": ")" + QByteArray(300 * 1024, 'y') + R"("}}], "title": "large"}}])";
    const QString utf16 = QString::fromUtf8(R"([{"Kanban": {"title": "sixteen \u00e9"}}])");
    QByteArray sixteen("\xff\xfe");
    sixteen.append(reinterpret_cast<const char*>(utf16.utf16()), utf16.size() * 2);
    const QList<std::pair<const char*, QByteArray>> cases {
        {"the compatibility archive", compatible},
        {"it after a UTF-8 byte order mark", "\xef\xbb\xbf" + compatible},
        {"UTF-16 with its byte order mark", sixteen},
        {"over several blocks", large},
        {"a lone surrogate", R"([{"Kanban": {"title": "x\ud800"}}])"},
        {"keys out of order", R"([{"Kanban": {"title": "a", "colour": 2}}])"},
        {"truncated", R"([{"Kanban": {"title": "a"})"},
        {"empty", ""},
        {"text after a NUL byte", QByteArray(R"([{"Folder": {"title": "a"}}])") + QByteArray(1, '\0') + "{{{"},
    };
    QTemporaryDir base;
    DataFolders::setBaseFolderForTesting(base.path());
    for (const auto& [name, text] : cases) {
        const QString path = base.filePath(QStringLiteral("archive.Pelorins"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(text), text.size());
        file.close();
        TestStore bytesStore;
        TestStore fileStore;
        ConsoleLog::Capture quiet;
        JSONReader bytesReader(&bytesStore.context());
        JSONReader fileReader(&fileStore.context());
        QString bytesError;
        QString fileError;
        bool unreadable = true;
        const QList<ManagedObject*> fromBytes = bytesReader.makeObjectsFromArchiveData(text, &bytesError);
        const QList<ManagedObject*> fromFile = fileReader.makeObjectsFromArchiveFile(path, &fileError, &unreadable);
        EXPECT_FALSE(unreadable) << name;
        EXPECT_EQ(fileError, bytesError) << name;
        EXPECT_EQ(fromFile.isEmpty(), fromBytes.isEmpty()) << name;
        EXPECT_EQ(fileStore.context().insertedObjects().size(), bytesStore.context().insertedObjects().size()) << name;
        EXPECT_EQ(
            comparable(streamedArchive(displayItems(fromFile))), comparable(streamedArchive(displayItems(fromBytes))))
            << name;
        bool checkedUnreadable = true;
        const std::optional<NodePlan> checked
            = JSONReader::checkedArchiveFile(path, fileStore.context().model(), &fileError, &checkedUnreadable);
        EXPECT_EQ(checked.has_value(), !fromBytes.isEmpty()) << name;
        EXPECT_FALSE(checkedUnreadable) << name;
    }
    bool unreadable = false;
    QString error;
    EXPECT_FALSE(JSONReader::checkedArchiveFile(
        base.filePath(QStringLiteral("missing")), store.context().model(), &error, &unreadable));
    EXPECT_TRUE(unreadable);
    EXPECT_FALSE(error.isEmpty());
    DataFolders::setBaseFolderForTesting(QString());
}

// Text handed over in pieces of any size reads as it does whole, and as QJsonDocument reads it:
// wherever a piece ends, inside a key, a text, an escape, a number or a literal.
TEST_F(ArchiveStreamTest, TextInPiecesOfAnySizeReadsAsWholeText)
{
    const QByteArray text = R"([{"Folder": {"children": [{"Kanban": {"colour": -7, "column": [{"KanbanColumn": )"
        R"({"bookmarked": true, "item": [{"ListItem": {"attributedNotes": {"runs": [{"NOTESTYLENAME": "title", )"
        R"("range": {"length": 4, "location": 0}}, {"attachmentLinkData": {"URL": "file:///a%20b", "calendarData": )"
        R"({"allDay": true, "count": 1152921504606846976, "list": [1, -2.5e-3, null, false, "x"], "weight": 0.1}}, )"
        R"("range": {"length": 1, "location": 5}}], "string": "Plan\n\ufffc \"q\" \\ \/ \b\f\r\t \u00e9 \ud83d\ude00 )"
        "\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"
        R"("}, "done": false, "dueDate": "2024-03-05 17:04:09", "eventsArray": ["E1", "E\u00e92"], "priority": true, )"
        R"("timeWorked": 1E+21, "uniqueIdentifier": "C1"}}, {"ListItem": {"done": true, "timeWorked": -0, )"
        R"("uniqueIdentifier": "C2"}}], "title": "To Do", "uniqueIdentifier": "S1"}}], "export": true, )"
        R"("title": "Board", "uniqueIdentifier": "B1"}}], "export": true, "title": "Folder \u0001", )"
        R"("uniqueIdentifier": "F1"}}]  )";
    const auto made = [&](const std::optional<NodePlan>& plan) {
        TestStore fresh;
        ConsoleLog::Capture quiet;
        JSONReader reader(&fresh.context());
        return plan ? comparable(streamedArchive(displayItems(reader.makeObjectsFromArchive(*plan)))) : QJsonValue();
    };
    QString error;
    bool needsDocument = true;
    const std::optional<NodePlan> whole = NodePlan::fromText(text, store.context().model(), &error, &needsDocument);
    ASSERT_TRUE(whole) << error.toStdString();
    EXPECT_FALSE(needsDocument);
    const QJsonValue expected = made(whole);
    ASSERT_EQ(expected.toArray().size(), 1);
    {
        TestStore fresh;
        ConsoleLog::Capture quiet;
        JSONReader reader(&fresh.context());
        EXPECT_EQ(comparable(streamedArchive(
                      displayItems(reader.makeObjectsFromArrayOf(QJsonDocument::fromJson(text).array())))),
            expected);
    }
    for (const qsizetype pieceSize : {1, 2, 3, 5, 7, 8, 9, 13, 64}) {
        qsizetype offset = 0;
        const NodePlan::Source pieces = [&](char* buffer, qsizetype size) {
            const qsizetype count = std::min({size, pieceSize, text.size() - offset});
            std::memcpy(buffer, text.constData() + offset, size_t(count));
            offset += count;
            return count;
        };
        const std::optional<NodePlan> plan
            = NodePlan::fromSource(pieces, text.size(), store.context().model(), &error, &needsDocument);
        ASSERT_TRUE(plan) << pieceSize;
        EXPECT_EQ(made(plan), expected) << pieceSize;
    }
}

// A node named again by a URI read before is given again: its own body counts for nothing, and
// whatever it held is read as if it were not there.
TEST_F(ArchiveStreamTest, ANodeNamedAgainIsGivenAgainWhateverItsBodyHolds)
{
    struct Case
    {
        const char* name;
        QByteArray archive;
        QStringList titles;
    };
    const QList<Case> cases {
        {"a second body with a value refused",
            R"([{"Kanban": {"objectIDURI": "k", "title": "first"}}, {"Kanban": {"objectIDURI": "k", "title": 5}}])",
            {"first", "first"}},
        {"a node first met inside a body given again",
            R"([{"Folder": {"children": [{"Kanban": {"objectIDURI": "a", "title": "one"}}], "objectIDURI": "f"}},
                {"Folder": {"children": [{"Kanban": {"objectIDURI": "b", "title": "inner"}}], "objectIDURI": "f"}},
                {"Kanban": {"objectIDURI": "b", "title": "later"}}])",
            {"", "", "later"}},
        {"one given again after the other",
            R"([{"Kanban": {"column": [{"KanbanColumn": {"objectIDURI": "c", "title": "To Do"}}], "objectIDURI": "k",
                "title": "x"}}, {"Kanban": {"column": [{"KanbanColumn": {"objectIDURI": "c", "title": 1}}],
                "objectIDURI": "k", "title": "y"}}])",
            {"x", "x"}},
    };
    for (const Case& c : cases) {
        for (const bool whole : {false, true}) {
            TestStore fresh;
            ConsoleLog::Capture quiet;
            JSONReader reader(&fresh.context());
            QString error;
            const QList<ManagedObject*> made = whole
                ? reader.makeObjectsFromArrayOf(QJsonDocument::fromJson(c.archive).array(), &error)
                : reader.makeObjectsFromArchiveData(c.archive, &error);
            ASSERT_EQ(made.size(), c.titles.size()) << c.name << error.toStdString();
            for (qsizetype i = 0; i < made.size(); ++i) {
                if (!c.titles.at(i).isEmpty()) {
                    EXPECT_EQ(made.at(i)->stringValue(QStringLiteral("title")), c.titles.at(i)) << c.name;
                }
            }
            EXPECT_EQ(made.first(), made.at(1)) << c.name;
        }
    }
    // Inside itself it is still refused.
    JSONReader reader(&store.context());
    ConsoleLog::Capture quiet;
    QString error;
    EXPECT_TRUE(reader
                    .makeObjectsFromArchiveData(
                        R"([{"Folder": {"children": [{"Folder": {"objectIDURI": "u"}}], "objectIDURI": "u"}}])", &error)
                    .isEmpty());
    EXPECT_EQ(error, QStringLiteral("\"u\" would contain itself"));
}

// The stream reads only well-formed UTF-8 itself; anything else goes to QJsonDocument, which
// refuses it, so both read the same titles and refuse the same bytes.
TEST_F(ArchiveStreamTest, OnlyWellFormedUtf8IsStreamed)
{
    const QList<std::pair<const char*, QByteArray>> titles {
        {"ASCII past eight bytes", "abcdefghijklmnop"},
        {"two, three and four bytes", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"},
        {"the last before the surrogates", "\xed\x9f\xbf"},
        {"the last code point", "\xf4\x8f\xbf\xbf"},
        {"a surrogate written out", "\xed\xa0\x80"},
        {"an overlong slash", "\xc0\xaf"},
        {"an overlong three-byte form", "\xe0\x80\xaf"},
        {"an overlong four-byte form", "\xf0\x80\x80\xaf"},
        {"past the last code point", "\xf4\x90\x80\x80"},
        {"a lead byte that never leads", "abcdefgh\xf8\x88\x80\x80\x80"},
        {"a sequence cut short", "\xe2\x82"},
        {"a lone continuation byte", "abcdefg\x80"},
        {"a continuation byte that is none", "\xe2\x28\xa1"},
    };
    for (const auto& [name, title] : titles) {
        const QByteArray text = R"([{"Kanban": {"title": ")" + title + R"("}}])";
        const QJsonDocument document = QJsonDocument::fromJson(text);
        QString error;
        bool needsDocument = false;
        NodePlan::fromText(text, store.context().model(), &error, &needsDocument);
        EXPECT_EQ(needsDocument, document.isNull()) << name;
        TestStore fresh;
        ConsoleLog::Capture quiet;
        JSONReader reader(&fresh.context());
        const QList<ManagedObject*> made = reader.makeObjectsFromArchiveData(text, &error);
        ASSERT_EQ(made.size(), document.isNull() ? 0 : 1) << name;
        if (!made.isEmpty()) {
            EXPECT_EQ(static_cast<Kanban*>(made.first())->title(), QString::fromUtf8(title)) << name;
        }
    }
}

// Only a regular file is read as an archive, also through a link: a FIFO would block the reader
// for good and a device may never end.
TEST_F(ArchiveStreamTest, OnlyARegularFileIsReadAsAnArchive)
{
    QTemporaryDir folder;
    const QString archive = folder.filePath(QStringLiteral("archive.Pelorins"));
    QFile file(archive);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"([{"Kanban": {"title": "linked"}}])");
    file.close();
    const QString fifo = folder.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString device = folder.filePath(QStringLiteral("zero"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), device));
    const QString link = folder.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(archive, link));
    for (const QString& path : {fifo, device, folder.path()}) {
        QString error;
        bool unreadable = false;
        EXPECT_FALSE(JSONReader::checkedArchiveFile(path, store.context().model(), &error, &unreadable))
            << path.toStdString();
        EXPECT_TRUE(unreadable) << path.toStdString();
        EXPECT_EQ(error, QStringLiteral("the archive is not a regular file")) << path.toStdString();
        JSONReader reader(&store.context());
        EXPECT_TRUE(reader.makeObjectsFromArchiveFile(path, &error, &unreadable).isEmpty()) << path.toStdString();
        EXPECT_TRUE(unreadable) << path.toStdString();
    }
    JSONReader reader(&store.context());
    QString error;
    const QList<ManagedObject*> made = reader.makeObjectsFromArchiveFile(link, &error);
    ASSERT_EQ(made.size(), 1) << error.toStdString();
    EXPECT_EQ(static_cast<Kanban*>(made.first())->title(), QStringLiteral("linked"));
}
