#include "PelorinsKit/model/ImageAttachment.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/widgets/ScriptedFilePanelPresenter.h"
#include "support/CardCellFixture.h"
#include "support/TestImages.h"

#include <QClipboard>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QMimeData>
#include <QTemporaryDir>

namespace {

class NotesAttachments : public CardCellFixture
{
protected:
    QStringList pictureFolders() const
    {
        return QDir(*PictureFolders::attachmentPicturesFolderURL()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    }

    QString file(const QString& name, const QByteArray& contents)
    {
        QFile out(files.filePath(name));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(contents);
        return out.fileName();
    }

    QString photo()
    {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const QString path = files.filePath(QStringLiteral("holiday.jpg"));
        EXPECT_TRUE(image.save(path, "JPG"));
        return path;
    }

    static QVariantMap linkData(NotesTextView* editor, int position)
    {
        return editor->storage().attribute(AttributeKey::attachmentLinkData, position).toMap();
    }

    // A PNG whose header reads, so that it passes for a picture until its pixels are decoded.
    QString damagedPicture()
    {
        QByteArray bytes = pngOf(64, 48, Qt::darkCyan);
        EXPECT_FALSE(bytes.isEmpty()) << "the picture was not written";
        for (qsizetype i = bytes.indexOf("IDAT") + 4; i < bytes.size() - 16; ++i)
            bytes[i] = char(~bytes.at(i));
        const QString path = file(QStringLiteral("damaged.png"), bytes);
        EXPECT_TRUE(QImageReader(path).size().isValid());
        return path;
    }

    QTemporaryDir files;
};

} // namespace

TEST_F(NotesAttachments, APhotoIsCopiedRecordedAndShownAloneOnAnUnstyledLine)
{
    ListItem* card = addCard(stage(0));
    card->setAttributedNotes(AttributedString(QStringLiteral("My title"), titleAttributes()));
    card->setNotesExpanded(true);
    show();
    NotesTextView* editor = edit(card);
    const QStringList before = pictureFolders();
    editor->setSelectedRanges({{3, 0}});
    ASSERT_TRUE(editor->insertImageAttachment(photo()));

    const QStringList after = pictureFolders();
    ASSERT_EQ(after.size(), before.size() + 1);
    QString folder;
    for (const QString& name : after)
        if (!before.contains(name))
            folder = name;
    EXPECT_TRUE(PictureFolders::isPictureFolderName(folder));
    EXPECT_EQ(folder, folder.toUpper());
    EXPECT_TRUE(QFile::exists(QDir(*PictureFolders::attachmentPicturesFolderURL()).filePath(folder + "/holiday.jpg")));
    ASSERT_EQ(card->imageAttachments().size(), 1);
    EXPECT_EQ(card->imageAttachments().first()->folderUUID(), folder);

    const QString picture(AttributedString::attachmentCharacter);
    EXPECT_EQ(editor->string(), QStringLiteral("My \n") + picture + QStringLiteral("\ntitle"));
    EXPECT_EQ(editor->storage().attribute(AttributeKey::fileFolderUUID, 4).toString(), folder);
    EXPECT_FALSE(editor->storage().attribute(AttributeKey::noteStyleName, 4).isValid()) << "its line has no style";
    EXPECT_EQ(editor->storage().attribute(AttributeKey::noteStyleName, 0).toString(), QStringLiteral("title"));
    EXPECT_EQ(editor->storage().attribute(AttributeKey::noteStyleName, 6).toString(), QStringLiteral("title"));
    EXPECT_EQ(card->getAttributedNotes()->string(), editor->string());
    EXPECT_EQ(undo.undoActionName(), NotesTextView::addAttachmentActionName);
    EXPECT_GE(board.saves, 1) << "the new record is saved";
}

TEST_F(NotesAttachments, AFileBecomesALinkCardWithABookmarkAndAWebAddressOneWithout)
{
    ListItem* card = addCard(stage(0), QString());
    card->setNotesExpanded(true);
    show();
    NotesTextView* editor = edit(card);
    ScriptedFilePanelPresenter panels;
    editor->setFilePanelPresenter(&panels);
    panels.enqueueOpenAnswer(file(QStringLiteral("report.pdf"), "%PDF-1.4\n"));
    editor->addAttachment();
    ASSERT_EQ(panels.openPanels().size(), 1);
    EXPECT_EQ(panels.openPanels().first().message, QStringLiteral("Choose files to attach."));
    const QVariantMap pdf = linkData(editor, 0);
    EXPECT_EQ(pdf.value("title").toString(), QStringLiteral("report.pdf"));
    EXPECT_EQ(pdf.value("body").toString(), QStringLiteral("body"));
    EXPECT_EQ(pdf.value("URL").toUrl(), QUrl::fromLocalFile(files.filePath(QStringLiteral("report.pdf"))));
    EXPECT_FALSE(pdf.value("secureScopeBookmark").toByteArray().isEmpty());
    EXPECT_EQ(card->getAttributedNotes()->attribute(AttributeKey::attachmentLinkData, 0).toMap().value("title"),
        QStringLiteral("report.pdf"));

    ConsoleLog::Capture console;
    auto* web = new QMimeData;
    web->setUrls({QUrl(QStringLiteral("https://example.org/guide"))});
    QApplication::clipboard()->setMimeData(web);
    editor->setSelectedRanges({{int(editor->string().size()), 0}});
    editor->paste();
    const int at = int(editor->string().lastIndexOf(AttributedString::attachmentCharacter));
    ASSERT_GT(at, 0);
    const QVariantMap link = linkData(editor, at);
    EXPECT_EQ(link.value("title").toString(), QStringLiteral("guide"));
    EXPECT_FALSE(link.contains("secureScopeBookmark"));
    EXPECT_TRUE(std::any_of(console.lines().cbegin(), console.lines().cend(),
        [](const QString& line) { return line.startsWith("Could not bookmark data "); }));
    EXPECT_TRUE(console.lines().contains(QStringLiteral("Add attachment, length 1")));
}

TEST_F(NotesAttachments, APictureThatCannotBeReadMakesNothing)
{
    ListItem* card = addCard(stage(0), QStringLiteral("text"));
    card->setNotesExpanded(true);
    show();
    NotesTextView* editor = edit(card);
    const QStringList before = pictureFolders();
    ConsoleLog::Capture console;
    for (const QString& path : {file(QStringLiteral("broken.png"), "not a picture at all"),
             files.filePath(QStringLiteral("missing.jpg")), damagedPicture()}) {
        EXPECT_FALSE(editor->insertImageAttachment(path)) << path.toStdString();
        EXPECT_TRUE(console.contains(QStringLiteral("Could not attach the image attachment")));
    }
    EXPECT_EQ(pictureFolders(), before) << "no folder made";
    EXPECT_TRUE(card->imageAttachments().isEmpty());
    EXPECT_EQ(editor->string(), QStringLiteral("text"));
    EXPECT_FALSE(undo.canUndo());
}
