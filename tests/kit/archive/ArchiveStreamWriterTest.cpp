#include "PelorinsKit/archive/JSONReader.h"
#include "PelorinsKit/archive/JSONTextWriter.h"
#include "PelorinsKit/archive/JSONWriter.h"
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
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/DataFolders.h"
#include "support/QStringPrinting.h"
#include "support/StoreBuilder.h"
#include "support/TestStore.h"

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QUrl>
#include <gtest/gtest.h>

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

class ArchiveStreamWriterTest : public ::testing::Test
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

TEST_F(ArchiveStreamWriterTest, TextsAndNumbersAreWrittenAsQJsonDocumentWritesThem)
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

TEST_F(ArchiveStreamWriterTest, TheStreamedArchiveIsByteForByteTheDocumentsOne)
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
TEST_F(ArchiveStreamWriterTest, ANoteWithManyDistinctStylesIsWrittenWhole)
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

TEST_F(ArchiveStreamWriterTest, TheCompatibilityArchiveReadInIsWrittenBackIdentically)
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
    const QByteArray streamed = streamedArchive(items);
    EXPECT_EQ(streamed, landedArchive(items));
    EXPECT_GT(streamed.size(), 1000);
    DataFolders::setBaseFolderForTesting(QString());
}

TEST_F(ArchiveStreamWriterTest, ADeviceThatRefusesTheTextFailsTheExport)
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
