#include "Platform/services/FileBookmark.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace bookmarks {

class FileBookmarkFixture : public ::testing::Test
{
protected:
    QString write(const QString& name, const QByteArray& contents)
    {
        const QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        return path;
    }

    QTemporaryDir folder;
};

using FileBookmark = FileBookmarkFixture;

TEST_F(FileBookmark, LeadsBackToTheFileAndSeesItReplacedOrGone)
{
    const QString path = write(QStringLiteral("report.pdf"), "%PDF-1.4");
    const std::optional<QByteArray> bookmark = ::FileBookmark::make(path);
    ASSERT_TRUE(bookmark);
    bool stale = true;
    EXPECT_EQ(::FileBookmark::resolve(*bookmark, QUrl(), &stale), path);
    EXPECT_FALSE(stale);

    // Another file saved over the same path, as editors do.
    const QString other = write(QStringLiteral("report.new"), "%PDF-1.5");
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::rename(other, path));
    EXPECT_EQ(::FileBookmark::resolve(*bookmark, QUrl(), &stale), path);
    EXPECT_TRUE(stale);

    ASSERT_TRUE(QFile::remove(path));
    QString error;
    EXPECT_FALSE(::FileBookmark::resolve(*bookmark, QUrl(), &stale, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(FileBookmark, CannotBookmarkWhatIsNotThere)
{
    QString error;
    EXPECT_FALSE(::FileBookmark::make(folder.filePath(QStringLiteral("missing")), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(::FileBookmark::make(QString()));
}

TEST_F(FileBookmark, AForeignBookmarkFallsBackToTheLinkAddress)
{
    const QString path = write(QStringLiteral("notes.txt"), "text");
    const QByteArray foreign = QByteArray("book\0\0\x02\x10mark", 12);
    bool stale = true;
    EXPECT_EQ(::FileBookmark::resolve(foreign, QUrl::fromLocalFile(path), &stale), path);
    EXPECT_FALSE(stale);
    QString error;
    EXPECT_FALSE(::FileBookmark::resolve(foreign, QUrl(QStringLiteral("https://example.org/a.pdf")), &stale, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(::FileBookmark::resolve(R"({"v":1,"path":7})", QUrl(), &stale)) << "half a bookmark is foreign";
}

} // namespace bookmarks
