#include "PelorinsKit/notes/LinkAttachmentCell.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/FileIconProvider.h"
#include "PelorinsKit/notes/RichTextCodec.h"
#include "Platform/core/ConsoleLog.h"

#include <QDateTime>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QPalette>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

TextAttachment link(
    const QUrl& url, const QString& title, const QString& body = QString(), const QVariantMap& extra = {})
{
    QVariantMap dictionary {
        {QStringLiteral("URL"), url}, {QStringLiteral("title"), title}, {QStringLiteral("body"), body}};
    dictionary.insert(extra);
    return TextAttachment {AttributeKey::link, RichTextCodec::encodeDictionary(dictionary), std::nullopt};
}

class LinkAttachmentCellTest : public ::testing::Test
{
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }

    QTemporaryDir m_folder;
};

TEST_F(LinkAttachmentCellTest, Texts_FollowTheLinksScheme)
{
    QFile file(m_folder.filePath(QStringLiteral("plan.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(2048, 'x'));
    file.close();
    const QVariantMap event {{QStringLiteral("calendarData"),
        QVariantMap {{QStringLiteral("calendarTitle"), QStringLiteral("Work")},
            // Monday 29 December 2025 falls in the week-based year 2026.
            {QStringLiteral("startDate"), QDateTime(QDate(2025, 12, 29), QTime(9, 0))},
            {QStringLiteral("endDate"), QDateTime(QDate(2025, 12, 29), QTime(10, 30))}}}};
    using Kind = LinkAttachmentCell::Kind;
    struct Case
    {
        const char* name;
        TextAttachment attachment;
        Kind kind;
        QString firstLine;
        QString secondLine;
        QRectF iconRect;
        QString filePath {};
        bool fileIsMissing = false;
    };
    const QList<Case> cases {
        {"web", link(QUrl(QStringLiteral("https://www.example.org/a?b=1")), QStringLiteral("Example")), Kind::web,
            QStringLiteral("Example"), QStringLiteral("www.example.org"), QRectF(9, 9, 21, 22)},
        {"ftp", link(QUrl(QStringLiteral("ftp://files.example.org/x")), QStringLiteral("Files")), Kind::web,
            QStringLiteral("Files"), QStringLiteral("files.example.org"), QRectF(9, 9, 21, 22)},
        {"web without host", link(QUrl(QStringLiteral("https:")), QStringLiteral("Example")), Kind::web, QString(),
            QString(), QRectF(9, 9, 21, 22)},
        {"Mail message",
            link(QUrl(QStringLiteral("message:%3C1234@example.org%3E")), QStringLiteral("Minutes"),
                QStringLiteral("From: \"Ann Lee\" <ann@example.org>")),
            Kind::message, QStringLiteral("Ann Lee "), QStringLiteral("Minutes"), QRectF(4, 8, 32, 24)},
        {"calendar event", link(QUrl(QStringLiteral("calendar:event/1")), QStringLiteral("Review"), QString(), event),
            Kind::calendar, QStringLiteral("Review"), QStringLiteral("Mon, Dec 29 2025, 09:00-10:30, (Work)"),
            QRectF(6, 8, 28, 24)},
        {"calendar event without its data", link(QUrl(QStringLiteral("calendar:event/1")), QStringLiteral("Review")),
            Kind::calendar, QString(), QString(), QRectF(6, 8, 28, 24)},
        {"file", link(QUrl::fromLocalFile(file.fileName()), QStringLiteral("plan.txt")), Kind::file,
            QStringLiteral("plan.txt"), QStringLiteral("2 KB"), QRectF(4, 4, 32, 32), file.fileName()},
        {"missing file",
            link(QUrl::fromLocalFile(m_folder.filePath(QStringLiteral("gone.txt"))), QStringLiteral("gone")),
            Kind::file, QStringLiteral("gone"), QStringLiteral("File is missing"), QRectF(4, 4, 32, 32),
            m_folder.filePath(QStringLiteral("gone.txt")), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto content = LinkAttachmentCell::content(c.attachment);
        ASSERT_TRUE(content);
        EXPECT_EQ(content->kind, c.kind);
        EXPECT_EQ(content->firstLine, c.firstLine);
        EXPECT_EQ(content->secondLine, c.secondLine);
        EXPECT_EQ(content->iconRect, c.iconRect);
        EXPECT_EQ(content->filePath, c.filePath);
        EXPECT_EQ(content->fileIsMissing, c.fileIsMissing);
    }
}

TEST_F(LinkAttachmentCellTest, UnknownSchemesAndBadContents_ShowNoLink)
{
    ConsoleLog::Capture capture;
    EXPECT_FALSE(
        LinkAttachmentCell::content(link(QUrl(QStringLiteral("mailto:ann@example.org")), QStringLiteral("Ann"))));
    EXPECT_FALSE(LinkAttachmentCell::content(link(QUrl(QStringLiteral("tel:+441234")), QStringLiteral("Call"))));
    EXPECT_EQ(capture.lines(), QStringList({QStringLiteral("scheme mailto"), QStringLiteral("scheme tel")}));

    capture.clear();
    TextAttachment noTitle {AttributeKey::link,
        RichTextCodec::encodeDictionary(
            {{QStringLiteral("URL"), QUrl(QStringLiteral("https://a.org"))}, {QStringLiteral("body"), QString()}}),
        std::nullopt};
    const QList<TextAttachment> unreadable {noTitle,
        TextAttachment {AttributeKey::link, "not a dictionary", std::nullopt},
        link(QUrl(QStringLiteral("no-scheme")), QStringLiteral("x"))};
    for (const TextAttachment& attachment : unreadable)
        EXPECT_FALSE(LinkAttachmentCell::content(attachment));
    EXPECT_TRUE(capture.lines().isEmpty());
}

TEST_F(LinkAttachmentCellTest, ByteCounts_UseDecimalUnits)
{
    const QList<std::pair<qint64, QString>> cases {{0, QStringLiteral("Zero KB")}, {1, QStringLiteral("1 byte")},
        {999, QStringLiteral("999 bytes")}, {2048, QStringLiteral("2 KB")}, {1500000, QStringLiteral("1.5 MB")},
        {3000000000, QStringLiteral("3 GB")}};
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(LinkAttachmentCell::byteCountText(bytes), text) << bytes;
}

class FixedIcon : public FileIconProvider
{
public:
    QIcon icon(const QString&) const override
    {
        QPixmap pixmap(32, 32);
        pixmap.fill(QColor(0, 128, 255));
        return QIcon(pixmap);
    }
};

// Whether any pixel inside `rect` differs from `background`.
bool hasInk(const QImage& image, const QRect& rect, const QColor& background)
{
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (image.pixelColor(x, y) != background)
                return true;
    return false;
}

TEST_F(LinkAttachmentCellTest, DrawnCard_HasItsBackgroundIconAndTitleWhereTheyBelong)
{
    const LinkAttachmentCell plain;
    EXPECT_EQ(plain.cellSize(), QSize(264, 40));

    QFile file(m_folder.filePath(QStringLiteral("plan.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const FixedIcon icons;
    const QColor window = QGuiApplication::palette().color(QPalette::Window);
    const QColor highlight = QGuiApplication::palette().color(QPalette::Highlight);
    for (const bool highlighted : {false, true}) {
        SCOPED_TRACE(highlighted);
        LinkAttachmentCell cell(&icons);
        cell.setHighlighted(highlighted);
        QImage image(LinkAttachmentCell::width, LinkAttachmentCell::height, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        const TextAttachment attachment = link(QUrl::fromLocalFile(file.fileName()), QStringLiteral("Plan"));
        cell.draw(painter, QRectF(0, 0, 264, 40), &attachment);
        painter.end();

        const QColor background = highlighted ? highlight : window;
        EXPECT_EQ(image.pixelColor(2, 20), background);
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0) << "rounded corner";
        EXPECT_EQ(image.pixelColor(20, 20), QColor(0, 128, 255)) << "file icon";
        EXPECT_TRUE(hasInk(image, QRect(40, 2, 100, 16), background)) << "title";
        EXPECT_TRUE(hasInk(image, QRect(40, 22, 100, 16), background)) << "size";
        EXPECT_FALSE(hasInk(image, QRect(37, 2, 2, 36), background)) << "gap between icon and text";
        EXPECT_FALSE(hasInk(image, QRect(200, 2, 60, 36), background)) << "short texts end early";
    }

    // Without a link only the background is drawn.
    QImage empty(264, 40, QImage::Format_ARGB32);
    empty.fill(Qt::transparent);
    QPainter painter(&empty);
    plain.draw(painter, QRectF(0, 0, 264, 40), nullptr);
    painter.end();
    EXPECT_FALSE(hasInk(empty, QRect(4, 4, 256, 32), window));
}

} // namespace
