#include "PelorinsKit/model/NoteAttachments.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/model/EntityModel.h"
#include "PelorinsKit/model/ImageAttachment.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/ParagraphStyle.h"
#include "PelorinsKit/notes/RichTextCodec.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/DataFolders.h"
#include "support/StoreBuilder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

const QString folderA = QStringLiteral("6B1C7E52-0D3A-4F8B-9E21-3C5D7A9B1E40");
const QString folderB = QStringLiteral("A2F4C6E8-1B3D-4A5F-8C7E-9D0B2A4C6E81");
const QByteArray pictureBytes("\x89PNG picture bytes", 18);

QVariantMap pictureAttributes(const QString& folder, const QString& file = QStringLiteral("picture.png"))
{
    QVariantMap attributes = normalAttributes();
    attributes.insert(AttributeKey::fileFolderUUID, folder);
    attributes.insert(AttributeKey::filename, file);
    return attributes;
}

const QVariantMap linkDictionary {
    {QStringLiteral("url"), QUrl(QStringLiteral("https://example.org/a"))},
    {QStringLiteral("title"), QStringLiteral("Example")},
};

// A picture as the editor holds it: the placeholder with its names and the file read in.
AttributedString editorPicture(const QString& folder)
{
    QVariantMap attributes = pictureAttributes(folder);
    TextAttachment attachment;
    attachment.fileWrapper = TextAttachment::FileWrapper {QStringLiteral("picture.png"), pictureBytes};
    attributes.insert(AttributeKey::attachment, QVariant::fromValue(attachment));
    return AttributedString(QString(AttributedString::attachmentCharacter), attributes);
}

AttributedString editorLink(const QVariantMap& dictionary = linkDictionary)
{
    AttributedString link = AttributedString::withAttachment(
        TextAttachment {AttributeKey::link, RichTextCodec::encodeDictionary(dictionary), std::nullopt});
    link.addAttributes(normalAttributes(), {0, 1});
    return link;
}

TextAttachment attachmentAt(const AttributedString& text, int index)
{
    return text.attribute(AttributeKey::attachment, index).value<TextAttachment>();
}

class NoteAttachmentsTest : public ::testing::Test
{
protected:
    NoteAttachmentsTest()
        : context(EntityModel::makeContext(EntityModel::currentModel()))
        , build(*context)
        , board(build.addBoard("Board"))
    {
        DataFolders::setBaseFolderForTesting(base.path());
        writePicture(folderA);
        writePicture(folderB);
    }
    ~NoteAttachmentsTest() override { DataFolders::setBaseFolderForTesting(QString()); }

    QString pictureFolder() const { return base.filePath(QStringLiteral("Pelorins/pictureAttachments")); }

    void writePicture(const QString& folder)
    {
        QDir().mkpath(pictureFolder() + '/' + folder);
        QFile file(pictureFolder() + '/' + folder + "/picture.png");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(pictureBytes);
    }

    ListItem* addCard() { return build.addCard(board->column().first()); }

    QTemporaryDir base;
    std::unique_ptr<ManagedObjectContext> context;
    StoreBuilder build;
    Kanban* board;
};

TEST_F(NoteAttachmentsTest, PictureAndLink_ComeBackAtTheSamePositionsAfterStoring)
{
    AttributedString notes("Look ", normalAttributes());
    notes.append(editorPicture(folderA));
    notes.append(AttributedString(" and ", normalAttributes()));
    notes.append(editorLink());
    notes.append(AttributedString(" end", normalAttributes()));
    ListItem* card = addCard();

    ConsoleLog::Capture capture;
    card->setAttributedNotesNewNote(notes);

    const AttributedString stored = *card->attributedNotes();
    stored.enumerateAttribute(AttributeKey::attachment, {0, stored.length()},
        [](const QVariant& value, TextRange) { EXPECT_FALSE(value.isValid()) << "no attachment object is stored"; });
    EXPECT_EQ(stored.attribute(AttributeKey::fileFolderUUID, 5), folderA);
    EXPECT_EQ(stored.attribute(AttributeKey::attachmentLinkData, 11).toMap(), linkDictionary);
    ASSERT_FALSE(capture.lines().isEmpty());
    EXPECT_TRUE(capture.lines().first().startsWith("dictionary for stripped attachment is "));

    const AttributedString rebuilt = *card->getAttributedNotes();
    EXPECT_EQ(rebuilt.string(), notes.string());
    EXPECT_EQ(rebuilt.attributes(5), notes.attributes(5)) << "a picture keeps every attribute";
    const TextAttachment link = attachmentAt(rebuilt, 11);
    EXPECT_EQ(link.fileType, "NSLink");
    EXPECT_EQ(RichTextCodec::decodeDictionary(link.contents), linkDictionary);
    EXPECT_EQ(rebuilt.attributes(11).keys(), (QStringList {AttributeKey::attachment, AttributeKey::attachmentLinkData}))
        << "a link card comes back with its dictionary only";
    EXPECT_EQ(*card->attributedNotes(), stored) << "rebuilding leaves the stored notes alone";
}

TEST_F(NoteAttachmentsTest, NeighbouringEqualAttachments_EachComeBack)
{
    // Equal neighbours share one run in stored form; each character must get its own object.
    AttributedString notes = editorPicture(folderA);
    notes.append(editorPicture(folderA));
    notes.append(AttributedString("x", normalAttributes()));
    notes.append(editorLink());
    notes.append(editorLink());
    notes.append(editorPicture(folderB));

    AttributedString stored = stripImageAttachments(notes);
    TextRange run;
    stored.attributes(0, &run);
    ASSERT_EQ(run, (TextRange {0, 2}));

    restoreImageAttachments(stored);
    EXPECT_EQ(stored.string(), notes.string());
    for (int index : {0, 1, 5})
        EXPECT_EQ(attachmentAt(stored, index).fileWrapper->contents, pictureBytes) << index;
    for (int index : {3, 4})
        EXPECT_EQ(attachmentAt(stored, index).fileType, "NSLink") << index;
    EXPECT_EQ(stored.string().at(2), 'x');
}

TEST_F(NoteAttachmentsTest, PlainNotesAndUnreadableLinks_StoreUnchanged)
{
    AttributedString plain("Title\n", titleAttributes());
    plain.append(AttributedString("Body", normalAttributes()));
    AttributedString stored = stripImageAttachments(plain);
    EXPECT_EQ(stored, plain);
    restoreImageAttachments(stored);
    EXPECT_EQ(stored, plain);

    const AttributedString broken = AttributedString::withAttachment(TextAttachment {"NSLink", "not a dictionary", {}});
    EXPECT_EQ(stripImageAttachments(broken), broken);
}

TEST_F(NoteAttachmentsTest, MissingPictureFile_LeavesThePlaceholderAndSaysSo)
{
    QDir(pictureFolder() + '/' + folderA).removeRecursively();
    AttributedString stored("a", normalAttributes());
    stored.append(AttributedString(QString(AttributedString::attachmentCharacter), pictureAttributes(folderA)));
    AttributedString rebuilt = stored;

    ConsoleLog::Capture capture;
    restoreImageAttachments(rebuilt);

    EXPECT_EQ(rebuilt, stored);
    EXPECT_TRUE(capture.contains("Could not attach the image attachment"));
}

TEST_F(NoteAttachmentsTest, HostileNames_AreRefusedAndNeverRead)
{
    QTemporaryDir outside;
    QFile secret(outside.filePath("secret"));
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
    secret.write("secret");
    secret.close();
    // A picture folder that is a link out of the picture folder.
    const QString linkedFolder = QStringLiteral("00000000-1111-4222-8333-444444444444");
    ASSERT_TRUE(QFile::link(outside.path(), pictureFolder() + '/' + linkedFolder));

    const struct
    {
        QString folder;
        QString file;
    } cases[] = {
        {"../../.ssh", "id_rsa"},
        {"/etc", "passwd"},
        {"a/../../b", "picture.png"},
        {"..", "picture.png"},
        {"", "picture.png"},
        {folderA, "../../../../etc/passwd"},
        {folderA, "/etc/passwd"},
        {folderA, "a/../../b"},
        {folderA, ".."},
        {folderA, ""},
        {linkedFolder, "secret"},
    };
    for (const auto& c : cases) {
        const AttributedString stored(
            QString(AttributedString::attachmentCharacter), pictureAttributes(c.folder, c.file));
        AttributedString rebuilt = stored;
        ConsoleLog::Capture capture;
        restoreImageAttachments(rebuilt);
        EXPECT_EQ(rebuilt, stored) << c.folder.toStdString() << " " << c.file.toStdString();
        ASSERT_EQ(capture.lines().size(), 1) << c.folder.toStdString() << " " << c.file.toStdString();
        EXPECT_TRUE(capture.lines().first().startsWith("refusing picture path name "));
    }
}

TEST_F(NoteAttachmentsTest, PictureRecords_AreSharedAndOutliveTheirLastCard)
{
    ListItem* first = addCard();
    ListItem* second = addCard();
    first->setAttributedNotesNewNote(editorPicture(folderA));
    second->setAttributedNotesNewNote(editorPicture(folderA));

    ASSERT_EQ(first->imageAttachments().size(), 1);
    ImageAttachment* record = first->imageAttachments().first();
    EXPECT_EQ(record->folderUUID(), folderA);
    EXPECT_EQ(second->imageAttachments(), QList<ImageAttachment*> {record});
    EXPECT_EQ(context->fetch(ImageAttachment::fetchRequest()).size(), 1);

    first->setAttributedNotesNewNote(AttributedString("no picture"));
    EXPECT_TRUE(first->imageAttachments().isEmpty());
    EXPECT_EQ(record->listItems(), QList<ListItem*> {second});

    second->setAttributedNotesNewNote(AttributedString("none either"));
    EXPECT_TRUE(record->listItems().isEmpty());
    EXPECT_FALSE(record->isDeleted()) << "the clean-up at quit deletes records without cards";
}

TEST_F(NoteAttachmentsTest, PictureRecords_FollowTheNamesInTheNotes)
{
    ListItem* card = addCard();
    AttributedString notes = editorPicture(folderA);
    notes.append(editorPicture(folderB));
    notes.append(AttributedString(QString(AttributedString::attachmentCharacter), pictureAttributes("../../.ssh")));

    ConsoleLog::Capture capture;
    card->setAttributedNotesNewNote(notes);

    QStringList folders;
    for (ImageAttachment* record : card->imageAttachments())
        folders.append(record->folderUUID());
    folders.sort();
    EXPECT_EQ(folders, (QStringList {folderA, folderB})) << "a name that cannot be a folder gets no record";
    EXPECT_TRUE(capture.contains("Found image in folder " + folderA));
    EXPECT_TRUE(capture.contains("refusing picture path name ../../.ssh"));

    card->setAttributedNotesNewNote(editorPicture(folderB));
    ASSERT_EQ(card->imageAttachments().size(), 1);
    EXPECT_EQ(card->imageAttachments().first()->folderUUID(), folderB);
    EXPECT_EQ(context->fetch(ImageAttachment::fetchRequest()).size(), 2);
}

} // namespace
