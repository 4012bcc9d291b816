#include "PelorinsKit/store/StripAttachmentCellMigrationPolicyV32toV33.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/store/CoreDataMigrationVersion.h"
#include "PelorinsKit/store/CoreDataMigrator.h"
#include "PelorinsKit/store/ModelBundle.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "PelorinsKit/notes/RichTextCodec.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/DataFolders.h"
#include "Platform/core/objectgraph/FetchRequest.h"
#include "Platform/core/objectgraph/ManagedObject.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"
#include "Platform/core/objectgraph/PersistentStoreCoordinator.h"
#include "support/AttributedStringPrinting.h"
#include "support/StoreFixtureWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <QUuid>
#include <gtest/gtest.h>

namespace {

const QByteArray pictureBytes("\x89PNG\r\n\x1a\n not really a picture", 28);

AttributedString picture(const QString& filename)
{
    TextAttachment attachment;
    attachment.fileWrapper = TextAttachment::FileWrapper {filename, pictureBytes};
    return AttributedString::withAttachment(attachment);
}

QVariantMap linkDictionary()
{
    return {{QStringLiteral("URL"), QUrl(QStringLiteral("https://example.org"))},
        {QStringLiteral("title"), QStringLiteral("Example")}, {QStringLiteral("body"), QString()}};
}

AttributedString linkCard()
{
    return AttributedString::withAttachment(
        TextAttachment {AttributeKey::link, RichTextCodec::encodeDictionary(linkDictionary()), std::nullopt});
}

// "Trip\n", a picture, "\n", a link card, "\n", then optional further lines.
AttributedString notesWithPictureAndLink()
{
    AttributedString notes(QStringLiteral("Trip\n"));
    notes.append(picture(QStringLiteral("beach.png")));
    notes.append(AttributedString(QStringLiteral("\n")));
    notes.append(linkCard());
    notes.append(AttributedString(QStringLiteral("\n")));
    return notes;
}

class StripAttachmentCellMigrationPolicyV32toV33Test : public ::testing::Test
{
protected:
    void SetUp() override { DataFolders::setBaseFolderForTesting(m_base.path()); }
    void TearDown() override { DataFolders::setBaseFolderForTesting(QString()); }

    QString picturesFolder() const { return *PictureFolders::attachmentPicturesFolderURL(); }
    QStringList pictureFolders() const { return QDir(picturesFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot); }

    // The picture's file named by the notes at `index`, with its contents.
    QByteArray pictureFileAt(const AttributedString& notes, int index) const
    {
        QFile file(QDir(picturesFolder())
                       .filePath(notes.attribute(AttributeKey::fileFolderUUID, index).toString() + QLatin1Char('/')
                           + notes.attribute(AttributeKey::filename, index).toString()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_base;
};

TEST_F(StripAttachmentCellMigrationPolicyV32toV33Test, PicturesGoToNewFoldersAndLinkCardsBecomeLinkData)
{
    const AttributedString notes = notesWithPictureAndLink();
    ConsoleLog::Capture capture;

    const AttributedString copy
        = StripAttachmentCellMigrationPolicyV32toV33::copyImageAttachmentsToApplicationsFolder(notes);

    EXPECT_EQ(copy.string(), notes.string());
    const QString folder = copy.attribute(AttributeKey::fileFolderUUID, 5).toString();
    EXPECT_EQ(QUuid(folder).toString(QUuid::WithoutBraces).toUpper(), folder);
    EXPECT_EQ(copy.attribute(AttributeKey::filename, 5), QVariant(QStringLiteral("beach.png")));
    EXPECT_EQ(pictureFileAt(copy, 5), pictureBytes);
    EXPECT_EQ(copy.attribute(AttributeKey::attachment, 5), notes.attribute(AttributeKey::attachment, 5));
    EXPECT_EQ(pictureFolders(), QStringList {folder});

    EXPECT_EQ(copy.attribute(AttributeKey::attachmentLinkData, 7), QVariant(linkDictionary()));
    EXPECT_FALSE(copy.attribute(AttributeKey::attachment, 7).isValid());
    ASSERT_EQ(capture.lines().size(), 1);
    EXPECT_TRUE(capture.lines().first().startsWith(QStringLiteral("dictionary for stripped attachment is ")));
}

TEST_F(StripAttachmentCellMigrationPolicyV32toV33Test, NotesLeftAlone)
{
    AttributedString stored = picture(QStringLiteral("kept.png"));
    stored.addAttributes({{AttributeKey::fileFolderUUID, QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()},
                             {AttributeKey::filename, QStringLiteral("kept.png")}},
        TextRange {0, 1});
    AttributedString hostile = picture(QStringLiteral("../../outside.png"));
    TextAttachment unreadableLink {AttributeKey::link, "not a dictionary", std::nullopt};
    struct Case
    {
        const char* name;
        AttributedString notes;
    };
    const QList<Case> cases {
        {"no attachments", AttributedString(QStringLiteral("plain\ntext"), {{AttributeKey::noteStyleName, "body"}})},
        {"a picture already in a folder", stored},
        {"a picture whose name leaves its folder", hostile},
        {"a picture without a file",
            AttributedString::withAttachment(TextAttachment {QStringLiteral("public.png"), {}, {}})},
        {"a link card that cannot be read", AttributedString::withAttachment(unreadableLink)},
    };
    ConsoleLog::Capture capture;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(
            StripAttachmentCellMigrationPolicyV32toV33::copyImageAttachmentsToApplicationsFolder(c.notes), c.notes);
    }
    EXPECT_TRUE(capture.contains(QStringLiteral("refusing picture path name ../../outside.png")));
    EXPECT_EQ(pictureFolders(), QStringList());
    EXPECT_FALSE(QFile::exists(QDir(picturesFolder()).filePath(QStringLiteral("../outside.png"))));
}

TEST_F(StripAttachmentCellMigrationPolicyV32toV33Test, CardNotes_AreRewrittenAndRemainingAttachmentsReported)
{
    StripAttachmentCellMigrationPolicyV32toV33 policy;
    const MigrationRecord source {QStringLiteral("ListItem"), 1, {}};
    MigrationRecord destination {QStringLiteral("ListItem"), 1,
        {{QStringLiteral("attributedNotes"), RichTextCodec::encode(notesWithPictureAndLink())}}};
    ConsoleLog::Capture capture;
    QString error;

    ASSERT_TRUE(policy.createDestinationInstances(source, destination, &error));

    const auto notes = RichTextCodec::decode(destination.values.value(QStringLiteral("attributedNotes")).toByteArray());
    ASSERT_TRUE(notes);
    EXPECT_EQ(notes->attribute(AttributeKey::attachmentLinkData, 7), QVariant(linkDictionary()));
    EXPECT_EQ(pictureFileAt(*notes, 5), pictureBytes);
    EXPECT_EQ(capture.lines().last(), QStringLiteral("Remove: Found attachment at {5, 1} during migration"));

    // Notes that cannot be read, or none at all, pass through as they are.
    for (const QVariant& stored : {QVariant(QByteArray("garbage")), QVariant()}) {
        MigrationRecord other {QStringLiteral("ListItem"), 2, {{QStringLiteral("attributedNotes"), stored}}};
        ASSERT_TRUE(policy.createDestinationInstances(source, other, &error));
        EXPECT_EQ(other.values.value(QStringLiteral("attributedNotes")), stored);
    }
}

TEST_F(StripAttachmentCellMigrationPolicyV32toV33Test, Version32Store_MigratesToTheCurrentVersionWithItsNotesStripped)
{
    QTemporaryDir steps;
    const QString path = m_base.filePath(QStringLiteral("CocoaAppCD.storedata"));
    const ModelBundle bundle;
    const auto version32 = bundle.managedObjectModel(CoreDataMigrationVersion::version(32).rawValue());
    QString error;
    ASSERT_TRUE(StoreFixtureWriter::write(path, version32, &error)) << error.toStdString();
    {
        auto coordinator = std::make_shared<PersistentStoreCoordinator>(version32);
        ASSERT_TRUE(coordinator->addPersistentStore(path, &error)) << error.toStdString();
        ManagedObjectContext context(version32);
        ASSERT_TRUE(context.loadPersistentStore(coordinator, &error)) << error.toStdString();
        const QList<ManagedObject*> cards = context.fetch(FetchRequest(QStringLiteral("ListItem")));
        ASSERT_FALSE(cards.isEmpty());
        cards.first()->setValue(QStringLiteral("attributedNotes"), RichTextCodec::encode(notesWithPictureAndLink()));
        ASSERT_TRUE(context.save(&error)) << error.toStdString();
        ASSERT_TRUE(coordinator->removePersistentStore(&error)) << error.toStdString();
    }

    ConsoleLog::Capture capture;
    CoreDataMigrator(bundle, CoreDataMigrator::defaultPolicies(), steps.path())
        .migrateStore(path, CoreDataMigrationVersion::current());
    EXPECT_TRUE(capture.contains(QStringLiteral("Remove: Found attachment at {5, 1} during migration")));

    const auto current = bundle.managedObjectModel(CoreDataMigrationVersion::current().rawValue());
    auto coordinator = std::make_shared<PersistentStoreCoordinator>(current);
    ASSERT_TRUE(coordinator->addPersistentStore(path, &error)) << error.toStdString();
    ManagedObjectContext context(current);
    ASSERT_TRUE(context.loadPersistentStore(coordinator, &error)) << error.toStdString();
    int rewritten = 0;
    for (ManagedObject* card : context.fetch(FetchRequest(QStringLiteral("ListItem")))) {
        const QByteArray stored = card->dataValue(QStringLiteral("attributedNotes"));
        const auto notes = RichTextCodec::decode(stored);
        if (!notes) {
            // The fixture's other cards hold bytes that are no notes; they are carried over unchanged.
            EXPECT_TRUE(stored.startsWith("notes of object "));
            continue;
        }
        ++rewritten;
        EXPECT_EQ(notes->string(), notesWithPictureAndLink().string());
        EXPECT_EQ(notes->attribute(AttributeKey::attachmentLinkData, 7), QVariant(linkDictionary()));
        EXPECT_EQ(pictureFileAt(*notes, 5), pictureBytes);
    }
    EXPECT_EQ(rewritten, 1);
}

} // namespace
