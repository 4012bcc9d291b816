#include "PelorinsKit/archive/JSONWriter.h"
#include "PelorinsKit/archive/AttributedStringDictionary.h"
#include "PelorinsKit/archive/NodeDate.h"
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
#include "support/QStringPrinting.h"
#include "support/StoreBuilder.h"
#include "support/TestStore.h"

#include <QColor>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QTimeZone>
#include <QUrl>
#include <ctime>
#include <gtest/gtest.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QJsonValue& value, std::ostream* out)
{
    *out << QJsonDocument(QJsonArray {value}).toJson(QJsonDocument::Compact).toStdString();
}
QT_END_NAMESPACE

namespace {

QJsonObject bodyOf(const QJsonObject& node, const QString& className)
{
    return node.value(className).toObject();
}

// Whether a null appears anywhere in the value.
bool containsNull(const QJsonValue& value)
{
    if (value.isNull())
        return true;
    if (value.isArray()) {
        const QJsonArray array = value.toArray();
        return std::any_of(array.begin(), array.end(), [](const QJsonValue& v) { return containsNull(v); });
    }
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        return std::any_of(object.begin(), object.end(), [](const QJsonValue& v) { return containsNull(v); });
    }
    return false;
}

class JSONWriterTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(store.isOpen()) << store.error().toStdString(); }

    TestStore store;
    StoreBuilder build {store.context()};
};

TEST_F(JSONWriterTest, ExportMarksDecideWhichFoldersAndBoardsAreWritten)
{
    Kanban* marked = build.addBoard(QStringLiteral("Marked"));
    marked->setExport(true);
    Kanban* unmarked = build.addBoard(QStringLiteral("Unmarked"));
    EXPECT_TRUE(JSONWriter::genericTraversingNode(unmarked, true).isEmpty());
    EXPECT_EQ(JSONWriter::genericTraversingNode(marked, true).keys(), QStringList {QStringLiteral("Kanban")});

    // Every child marked: the folder itself gets the mark, but this write still leaves it out.
    Folder* allMarked = build.addFolder(QStringLiteral("All"));
    build.addBoard(QStringLiteral("A"), {}, allMarked)->setExport(true);
    build.addBoard(QStringLiteral("B"), {}, allMarked)->setExport(true);
    EXPECT_TRUE(JSONWriter::genericTraversingNode(allMarked, true).isEmpty());
    EXPECT_TRUE(allMarked->isExport());
    EXPECT_FALSE(JSONWriter::genericTraversingNode(allMarked, true).isEmpty());

    Folder* empty = build.addFolder(QStringLiteral("Empty"));
    EXPECT_TRUE(JSONWriter::genericTraversingNode(empty, true).isEmpty());

    // Mixed children: written, with only its marked children and its own mixed subfolder.
    Folder* mixed = build.addFolder(QStringLiteral("Mixed"));
    build.addBoard(QStringLiteral("In"), {}, mixed)->setExport(true);
    build.addBoard(QStringLiteral("Out"), {}, mixed);
    Folder* inner = build.addFolder(QStringLiteral("Inner"), mixed);
    build.addBoard(QStringLiteral("Inner in"), {}, inner)->setExport(true);
    build.addBoard(QStringLiteral("Inner out"), {}, inner);
    const QJsonObject node = JSONWriter::genericTraversingNode(mixed, false);
    const QJsonArray children = bodyOf(node, QStringLiteral("Folder")).value(QStringLiteral("children")).toArray();
    ASSERT_EQ(children.size(), 2);
    EXPECT_EQ(
        bodyOf(children[0].toObject(), QStringLiteral("Kanban")).value(QStringLiteral("title")), QStringLiteral("In"));
    const QJsonArray innerChildren
        = bodyOf(children[1].toObject(), QStringLiteral("Folder")).value(QStringLiteral("children")).toArray();
    ASSERT_EQ(innerChildren.size(), 1);
    EXPECT_EQ(bodyOf(innerChildren[0].toObject(), QStringLiteral("Kanban")).value(QStringLiteral("title")),
        QStringLiteral("Inner in"));

    const QJsonArray archive = JSONWriter::archiveArray(build.root()->children());
    QStringList titles;
    for (const QJsonValue& entry : archive) {
        const QJsonObject object = entry.toObject();
        titles << object.constBegin().value().toObject().value(QStringLiteral("title")).toString();
    }
    EXPECT_EQ(titles, (QStringList {QStringLiteral("Marked"), QStringLiteral("All"), QStringLiteral("Mixed")}));
}

TEST_F(JSONWriterTest, ASnapshotTakesEverythingWhateverTheMarksAndChangesNone)
{
    Folder* folder = build.addFolder(QStringLiteral("Work"));
    build.addBoard(QStringLiteral("Unmarked"), {}, folder);
    build.addBoard(QStringLiteral("Marked"), {}, folder)->setExport(true);
    Folder* inner = build.addFolder(QStringLiteral("Inner"), folder);
    build.addBoard(QStringLiteral("Deep"), {}, inner);

    const QJsonObject body = bodyOf(JSONWriter::snapshotNode(folder), QStringLiteral("Folder"));
    const QJsonArray children = body.value(QStringLiteral("children")).toArray();
    ASSERT_EQ(children.size(), 3);
    const QJsonObject unmarked = bodyOf(children[0].toObject(), QStringLiteral("Kanban"));
    EXPECT_EQ(unmarked.value(QStringLiteral("title")), QStringLiteral("Unmarked"));
    EXPECT_FALSE(unmarked.value(QStringLiteral("export")).toBool());
    EXPECT_EQ(bodyOf(children[1].toObject(), QStringLiteral("Kanban")).value(QStringLiteral("export")), true);
    EXPECT_EQ(
        bodyOf(children[2].toObject(), QStringLiteral("Folder")).value(QStringLiteral("children")).toArray().size(), 1);
    // The mixed folders kept their marks: nothing asked them.
    EXPECT_FALSE(folder->isExport());
    EXPECT_FALSE(inner->isExport());
}

TEST_F(JSONWriterTest, DatesAreWrittenInUtcWithWholeSecondsWhateverTheLocaleAndZone)
{
    const QByteArray formerZone = qgetenv("TZ");
    qputenv("TZ", "Asia/Kathmandu");
    tzset();
    const QLocale formerLocale;
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::SaudiArabia));

    Kanban* board = build.addBoard(QStringLiteral("Board"));
    ListItem* card = build.addCard(board->column().first());
    card->setDueDate(QDateTime(QDate(2024, 3, 5), QTime(17, 4, 9, 750), QTimeZone::utc()));
    const QJsonObject body = bodyOf(JSONWriter::genericTraversingNode(card, true), QStringLiteral("ListItem"));
    EXPECT_EQ(body.value(QStringLiteral("dueDate")).toString(), QStringLiteral("2024-03-05 17:04:09"));

    QLocale::setDefault(formerLocale);
    if (formerZone.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", formerZone);
    tzset();
}

// The date form is made from the instant alone: it must name the day and second the calendar
// gives, before 1970 (fractions dropped towards the past) and across leap days and centuries.
TEST_F(JSONWriterTest, DatesOfAnyYearAreWrittenAsTheCalendarNamesThem)
{
    const QList<std::pair<QDateTime, const char*>> known {
        {QDateTime(QDate(1969, 12, 31), QTime(23, 59, 59, 999), QTimeZone::utc()), "1969-12-31 23:59:59"},
        {QDateTime(QDate(1970, 1, 1), QTime(0, 0), QTimeZone::utc()), "1970-01-01 00:00:00"},
        {QDateTime(QDate(2000, 2, 29), QTime(12, 0, 1), QTimeZone::utc()), "2000-02-29 12:00:01"},
        {QDateTime(QDate(2100, 3, 1), QTime(0, 0), QTimeZone::utc()), "2100-03-01 00:00:00"},
        {QDateTime(QDate(1, 1, 1), QTime(0, 0), QTimeZone::utc()), "0001-01-01 00:00:00"},
        {QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59, 500), QTimeZone::utc()), "9999-12-31 23:59:59"},
        {QDateTime(QDate(2024, 1, 1), QTime(5, 44, 0), QTimeZone(5 * 3600 + 45 * 60)), "2023-12-31 23:59:00"},
    };
    for (const auto& [date, text] : known)
        EXPECT_EQ(NodeDate::string(date), QLatin1String(text)) << text;

    // Every 37 days or so from the year 1 to 9999, at a moving time of day, against the calendar.
    const QDateTime first(QDate(1, 1, 1), QTime(0, 0), QTimeZone::utc());
    for (qint64 step = 0; step < 1'000'000; ++step) {
        const QDateTime date = first.addMSecs(step * 3'197'771'237);
        if (date.date().year() > 9999)
            break;
        ASSERT_EQ(NodeDate::string(date), date.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
            << date.toString(Qt::ISODateWithMs).toStdString();
    }
}

TEST_F(JSONWriterTest, BodiesHoldValuesAndOrderedRelationshipsButNeverNullsOrBackLinks)
{
    Kanban* board = build.addBoard(QStringLiteral("Board"));
    board->setExport(true);
    ListItem* card = build.addCard(board->column().first());
    card->setHistory({ListItemHistory::create(ListItemAction::created, &store.context())});

    const QJsonObject node = JSONWriter::genericTraversingNode(board, false);
    EXPECT_FALSE(containsNull(node));
    const QJsonObject boardBody = bodyOf(node, QStringLiteral("Kanban"));
    for (const char* key : {"children", "column", "tags", "doneDates"})
        EXPECT_TRUE(boardBody.value(QLatin1String(key)).isArray()) << key;
    EXPECT_TRUE(boardBody.value(QStringLiteral("mainColumn")).isObject());
    EXPECT_FALSE(boardBody.contains(QStringLiteral("parent")));
    EXPECT_FALSE(boardBody.contains(QStringLiteral("bgImage")));
    EXPECT_EQ(boardBody.value(QStringLiteral("export")), QJsonValue(true));

    const QJsonObject columnBody
        = bodyOf(boardBody.value(QStringLiteral("column")).toArray()[0].toObject(), QStringLiteral("KanbanColumn"));
    EXPECT_FALSE(columnBody.contains(QStringLiteral("kanban")));
    const QJsonObject cardBody
        = bodyOf(columnBody.value(QStringLiteral("item")).toArray()[0].toObject(), QStringLiteral("ListItem"));
    EXPECT_EQ(cardBody.value(QStringLiteral("tags")), QJsonValue(QJsonArray()));
    EXPECT_EQ(cardBody.value(QStringLiteral("history")).toArray().size(), 1);
    EXPECT_EQ(cardBody.value(QStringLiteral("done")), QJsonValue(false));
    for (const char* absent : {"dueDate", "imageAttachments", "column", "parentDoneGroup", "attributedNotes"})
        EXPECT_FALSE(cardBody.contains(QLatin1String(absent))) << absent;
    EXPECT_TRUE(cardBody.value(QStringLiteral("objectIDURI")).toString().startsWith(QStringLiteral("x-coredata://")));
}

TEST_F(JSONWriterTest, SharedCardsAndTagsAreWrittenAtEveryPlaceWithOneObjectURI)
{
    Kanban* board = build.addBoard(QStringLiteral("Board"));
    board->setExport(true);
    Tag* tag = build.addTag(board, QStringLiteral("urgent"));
    build.addCard(board->column().first(), {tag});
    DoneDate* group = build.addDoneGroup(board, QDateTime(QDate(2024, 3, 5), QTime(0, 0), QTimeZone::utc()));
    ListItem* done = build.addDoneCard(board, group);
    done->setTags({tag});

    const QJsonObject body = bodyOf(JSONWriter::genericTraversingNode(board, true), QStringLiteral("Kanban"));
    const QJsonObject inDoneColumn
        = bodyOf(bodyOf(body.value(QStringLiteral("mainColumn")).toObject(), QStringLiteral("KanbanColumn"))
                     .value(QStringLiteral("item"))
                     .toArray()[0]
                     .toObject(),
            QStringLiteral("ListItem"));
    const QJsonObject inGroup
        = bodyOf(bodyOf(body.value(QStringLiteral("doneDates")).toArray()[0].toObject(), QStringLiteral("DoneDate"))
                     .value(QStringLiteral("items"))
                     .toArray()[0]
                     .toObject(),
            QStringLiteral("ListItem"));
    EXPECT_EQ(inDoneColumn, inGroup);
    EXPECT_EQ(inGroup.value(QStringLiteral("objectIDURI")).toString(), done->objectIDURI().toString());

    const QJsonObject boardTag = body.value(QStringLiteral("tags")).toArray()[0].toObject();
    EXPECT_EQ(inGroup.value(QStringLiteral("tags")).toArray()[0].toObject(), boardTag);
    EXPECT_FALSE(bodyOf(boardTag, QStringLiteral("Tag")).contains(QStringLiteral("children")));
}

TEST_F(JSONWriterTest, NotesAreWrittenInTheirDictionaryForm)
{
    Kanban* board = build.addBoard(QStringLiteral("Board"));
    ListItem* emptyNotes = build.addCard(board->column().first());
    emptyNotes->setAttributedNotesData(RichTextCodec::encode(AttributedString()));
    EXPECT_EQ(bodyOf(JSONWriter::genericTraversingNode(emptyNotes, true), QStringLiteral("ListItem"))
                  .value(QStringLiteral("attributedNotes")),
        QJsonValue(QJsonObject {{QStringLiteral("string"), QString()}, {QStringLiteral("runs"), QJsonArray()}}));

    const QJsonObject plain
        = AttributedStringDictionary::dictionaryRepresentation(AttributedString(QStringLiteral("plain")));
    EXPECT_EQ(plain.value(QStringLiteral("runs")),
        QJsonValue(QJsonArray {QJsonObject {
            {QStringLiteral("range"), QJsonObject {{QStringLiteral("location"), 0}, {QStringLiteral("length"), 5}}}}}));

    AttributedString notes(QStringLiteral("Title\nDone\n") + AttributedString::attachmentCharacter);
    notes.addAttributes(titleAttributes(), TextRange {0, 6});
    QVariantMap checked = checkListAttributes();
    checked.insert(AttributeKey::isChecklistChecked, true);
    checked.insert(AttributeKey::strikethroughStyle, 1);
    notes.addAttributes(checked, TextRange {6, 5});
    notes.addAttributes({{AttributeKey::fileFolderUUID, QStringLiteral("0A1B2C3D-0000-4000-8000-000000000001")},
                            {AttributeKey::filename, QStringLiteral("photo.png")}},
        TextRange {11, 1});
    const QJsonArray runs
        = AttributedStringDictionary::dictionaryRepresentation(notes).value(QStringLiteral("runs")).toArray();
    ASSERT_EQ(runs.size(), 3);
    EXPECT_EQ(runs[0].toObject().value(AttributeKey::noteStyleName), QStringLiteral("title"));
    EXPECT_FALSE(runs[0].toObject().contains(AttributeKey::font));
    EXPECT_EQ(runs[1].toObject().value(AttributeKey::isChecklistChecked), QJsonValue(true));
    EXPECT_EQ(runs[1].toObject().value(AttributeKey::strikethroughStyle), QJsonValue(1));
    EXPECT_EQ(runs[2].toObject().value(AttributeKey::filename), QStringLiteral("photo.png"));
    EXPECT_EQ(runs[2].toObject().value(QStringLiteral("range")).toObject().value(QStringLiteral("location")), 11);
}

TEST_F(JSONWriterTest, LinkDictionariesAreWrittenJsonSafely)
{
    const QVariantMap calendarLink {
        {QStringLiteral("URL"), QUrl(QStringLiteral("calendar://event-1"))},
        {QStringLiteral("title"), QStringLiteral("Review")},
        {QStringLiteral("body"), QStringLiteral("Room 4")},
        {QStringLiteral("calendarData"),
            QVariantMap {{QStringLiteral("calendarTitle"), QStringLiteral("Work")},
                {QStringLiteral("color"), QColor(0x12, 0x34, 0x56, 0x78)},
                {QStringLiteral("startDate"), QDateTime(QDate(2024, 3, 5), QTime(9, 0, 0, 500), QTimeZone::utc())},
                {QStringLiteral("endDate"), QDateTime(QDate(2024, 3, 5), QTime(10, 0), QTimeZone::utc())}}},
    };
    const QVariantMap fileLink {
        {QStringLiteral("URL"), QUrl::fromLocalFile(QStringLiteral("/home/me/plan 1.pdf"))},
        {QStringLiteral("title"), QStringLiteral("plan 1.pdf")},
        {QStringLiteral("body"), QStringLiteral("body")},
        {QStringLiteral("secureScopeBookmark"), QByteArray("\x00\x01{\"path\"}", 10)},
    };
    AttributedString notes(QString(2, AttributedString::attachmentCharacter));
    notes.addAttribute(AttributeKey::attachmentLinkData, calendarLink, TextRange {0, 1});
    notes.addAttribute(AttributeKey::attachmentLinkData, fileLink, TextRange {1, 1});
    const QJsonObject dict = AttributedStringDictionary::dictionaryRepresentation(notes);
    // It must survive a real serialisation, as an export does.
    const QJsonArray runs
        = QJsonDocument::fromJson(QJsonDocument(dict).toJson()).object().value(QStringLiteral("runs")).toArray();
    ASSERT_EQ(runs.size(), 2);
    const QJsonObject calendar = runs[0].toObject().value(AttributeKey::attachmentLinkData).toObject();
    EXPECT_EQ(calendar.value(QStringLiteral("URL")), QStringLiteral("calendar://event-1"));
    const QJsonObject calendarData = calendar.value(QStringLiteral("calendarData")).toObject();
    EXPECT_EQ(calendarData.value(QStringLiteral("color")), QStringLiteral("#12345678"));
    EXPECT_EQ(calendarData.value(QStringLiteral("startDate")), QStringLiteral("2024-03-05 09:00:00"));
    const QJsonObject file = runs[1].toObject().value(AttributeKey::attachmentLinkData).toObject();
    EXPECT_EQ(file.value(QStringLiteral("URL")), QStringLiteral("file:///home/me/plan%201.pdf"));
    EXPECT_EQ(file.value(QStringLiteral("secureScopeBookmark")),
        QString::fromLatin1(QByteArray("\x00\x01{\"path\"}", 10).toBase64()));

    // And read back to the same values, dates to the second.
    QVariantMap expected = calendarLink;
    QVariantMap expectedCalendarData = calendarLink.value(QStringLiteral("calendarData")).toMap();
    expectedCalendarData.insert(
        QStringLiteral("startDate"), QDateTime(QDate(2024, 3, 5), QTime(9, 0), QTimeZone::utc()));
    expected.insert(QStringLiteral("calendarData"), expectedCalendarData);
    EXPECT_EQ(AttributedStringDictionary::linkDictionaryFromJson(calendar), expected);
    EXPECT_EQ(AttributedStringDictionary::linkDictionaryFromJson(file), fileLink);
}

} // namespace
