#include "PelorinsKit/notes/LinkAttachmentCell.h"

#include "PelorinsKit/notes/FileIconProvider.h"
#include "PelorinsKit/notes/RichTextCodec.h"
#include "Platform/core/ConsoleLog.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImageReader>
#include <QLocale>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QRegularExpression>
#include <QUrl>

namespace {

constexpr double cornerRadius = 6;
const QString helvetica = QStringLiteral("Liberation Sans");

QPalette palette()
{
    return QGuiApplication::palette();
}

QString messageSender(QString body)
{
    body.remove(QLatin1Char('"'));
    body.remove(QStringLiteral("From: "));
    static const QRegularExpression address(QStringLiteral("<.*>"), QRegularExpression::CaseInsensitiveOption);
    body.remove(address);
    return body;
}

// Start and end of the event with its calendar: "Wed, Dec 31 2025, 09:00-10:30, (Work)". The
// year is the calendar year, so that the last days of December never show the next one.
QString eventTime(const QVariantMap& calendarData)
{
    const QDateTime start = calendarData.value(QStringLiteral("startDate")).toDateTime();
    const QDateTime end = calendarData.value(QStringLiteral("endDate")).toDateTime();
    if (!start.isValid() || !end.isValid())
        return QString();
    const QLocale locale;
    QString text = locale.toString(start.toLocalTime(), QStringLiteral("ddd, MMM d yyyy, HH:mm")) + QLatin1Char('-')
        + locale.toString(end.toLocalTime(), QStringLiteral("HH:mm"));
    const QVariant title = calendarData.value(QStringLiteral("calendarTitle"));
    if (title.typeId() == QMetaType::QString)
        text += QStringLiteral(", (") + title.toString() + QLatin1Char(')');
    return text;
}

// Our own artwork, drawn in the icon's rectangle.

void drawAtSymbol(QPainter& painter, const QRectF& rect, const QColor& colour)
{
    QFont font(helvetica);
    font.setPixelSize(int(rect.height()));
    font.setWeight(QFont::DemiBold);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(rect, Qt::AlignCenter, QStringLiteral("@"));
}

void drawMail(QPainter& painter, const QRectF& rect, const QColor& colour)
{
    const QRectF envelope = rect.adjusted(1, 3, -1, -3);
    painter.setPen(QPen(colour, 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(envelope, 2, 2);
    QPainterPath flap;
    flap.moveTo(envelope.topLeft());
    flap.lineTo(envelope.center().x(), envelope.center().y() + 1);
    flap.lineTo(envelope.topRight());
    painter.drawPath(flap);
}

void drawCalendar(QPainter& painter, const QRectF& rect, const QColor& colour)
{
    const QRectF page = rect.adjusted(3, 1, -3, -1);
    painter.setPen(QPen(colour, 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(page, 3, 3);
    painter.fillRect(QRectF(page.left(), page.top(), page.width(), page.height() / 4), colour);
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 3; ++column)
            painter.fillRect(QRectF(page.left() + 4 + column * page.width() / 3.5,
                                 page.top() + page.height() / 3 + 3 + row * page.height() / 3.5, 3, 3),
                colour);
}

void drawDocument(QPainter& painter, const QRectF& rect, const QColor& colour, bool missing)
{
    const QRectF page = rect.adjusted(5, 1, -5, -1);
    const double fold = page.width() / 3;
    QPainterPath outline;
    outline.moveTo(page.topLeft());
    outline.lineTo(page.right() - fold, page.top());
    outline.lineTo(page.right(), page.top() + fold);
    outline.lineTo(page.bottomRight());
    outline.lineTo(page.bottomLeft());
    outline.closeSubpath();
    painter.setPen(QPen(colour, 1.5));
    painter.setBrush(missing ? Qt::NoBrush : QBrush(palette().color(QPalette::Base)));
    painter.drawPath(outline);
    if (missing) {
        QFont font(helvetica);
        font.setPixelSize(int(page.height() / 2));
        font.setWeight(QFont::Bold);
        painter.setFont(font);
        painter.drawText(page, Qt::AlignCenter, QStringLiteral("?"));
    }
}

bool isImageFile(const QString& path)
{
    return QMimeDatabase()
        .mimeTypeForFile(path, QMimeDatabase::MatchExtension)
        .name()
        .startsWith(QLatin1String("image/"));
}

} // namespace

LinkAttachmentCell::LinkAttachmentCell(const FileIconProvider* fileIcons)
    : m_fileIcons(fileIcons)
{
}

std::optional<LinkAttachmentCell::Content> LinkAttachmentCell::content(const TextAttachment& attachment)
{
    const std::optional<QVariantMap> link = RichTextCodec::decodeDictionary(attachment.contents);
    if (!link)
        return std::nullopt;
    const QVariant url = link->value(QStringLiteral("URL"));
    const QVariant title = link->value(QStringLiteral("title"));
    const QVariant body = link->value(QStringLiteral("body"));
    if (url.typeId() != QMetaType::QUrl || title.typeId() != QMetaType::QString || body.typeId() != QMetaType::QString)
        return std::nullopt;
    const QUrl address = url.toUrl();
    const QString scheme = address.scheme();
    if (scheme.isEmpty())
        return std::nullopt;

    Content content;
    if (scheme == QLatin1String("file")) {
        content.kind = Kind::file;
        content.iconRect = QRectF(4, 4, 32, 32);
        content.filePath = address.toLocalFile();
        content.firstLine = title.toString();
        const QFileInfo file(content.filePath);
        content.fileIsMissing = !file.exists();
        content.secondLine = content.fileIsMissing ? QStringLiteral("File is missing") : byteCountText(file.size());
    } else if (scheme == QLatin1String("message")) {
        content.kind = Kind::message;
        content.iconRect = QRectF(4, 8, 32, 24);
        content.firstLine = messageSender(body.toString());
        content.secondLine = title.toString();
    } else if (scheme == QLatin1String("calendar")) {
        content.kind = Kind::calendar;
        content.iconRect = QRectF(6, 8, 28, 24);
        const QVariant calendarData = link->value(QStringLiteral("calendarData"));
        if (calendarData.typeId() == QMetaType::QVariantMap) {
            content.firstLine = title.toString();
            content.secondLine = eventTime(calendarData.toMap());
        }
    } else if (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("ftp")
        || scheme == QLatin1String("ssh")) {
        content.kind = Kind::web;
        content.iconRect = QRectF(9, 9, 21, 22);
        if (!address.host().isEmpty()) {
            content.firstLine = title.toString();
            content.secondLine = address.host();
        }
    } else {
        ConsoleLog::write(QStringLiteral("scheme ") + scheme);
        return std::nullopt;
    }
    return content;
}

void LinkAttachmentCell::draw(QPainter& painter, const QRectF& frame, const TextAttachment* attachment) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath background;
    background.addRoundedRect(frame, cornerRadius, cornerRadius);
    painter.fillPath(background, palette().color(m_highlighted ? QPalette::Highlight : QPalette::Window));

    const std::optional<Content> shown = attachment ? content(*attachment) : std::nullopt;
    if (!shown) {
        painter.restore();
        return;
    }
    painter.translate(frame.topLeft());
    const QColor label = palette().color(QPalette::WindowText);
    const QColor secondaryLabel = palette().color(QPalette::PlaceholderText);

    switch (shown->kind) {
    case Kind::file:
        break;
    case Kind::message:
        drawMail(painter, shown->iconRect, secondaryLabel);
        break;
    case Kind::calendar:
        drawCalendar(painter, shown->iconRect, secondaryLabel);
        break;
    case Kind::web:
        drawAtSymbol(painter, shown->iconRect, secondaryLabel);
        break;
    }

    QFont first(helvetica);
    first.setPixelSize(13);
    first.setWeight(QFont::Medium);
    painter.setFont(first);
    painter.setPen(label);
    painter.drawText(firstLineRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
        painter.fontMetrics().elidedText(shown->firstLine, Qt::ElideRight, int(firstLineRect.width())));
    QFont second(helvetica);
    second.setPixelSize(11);
    painter.setFont(second);
    painter.setPen(secondaryLabel);
    painter.drawText(secondLineRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
        painter.fontMetrics().elidedText(shown->secondLine, Qt::ElideRight, int(secondLineRect.width())));

    if (shown->kind == Kind::file) {
        // A picture file shows itself in place of its icon.
        QImage picture;
        if (!shown->fileIsMissing && isImageFile(shown->filePath)) {
            QImageReader reader(shown->filePath);
            reader.setAutoTransform(true);
            const QSize size = reader.size();
            if (size.isValid())
                reader.setScaledSize(size.scaled(shown->iconRect.size().toSize(), Qt::KeepAspectRatio));
            picture = reader.read();
        }
        if (!picture.isNull())
            painter.drawImage(shown->iconRect, picture);
        else if (!shown->fileIsMissing && m_fileIcons)
            m_fileIcons->icon(shown->filePath).paint(&painter, shown->iconRect.toRect());
        else
            drawDocument(painter, shown->iconRect, secondaryLabel, shown->fileIsMissing);
    }
    painter.restore();
}

QString LinkAttachmentCell::byteCountText(qint64 bytes)
{
    const QLocale locale(QLocale::English);
    if (bytes == 0)
        return QStringLiteral("Zero KB");
    if (bytes == 1)
        return QStringLiteral("1 byte");
    if (bytes < 1000)
        return locale.toString(bytes) + QStringLiteral(" bytes");
    struct Unit
    {
        double size;
        const char* name;
        int decimals;
    };
    static constexpr Unit units[] = {{1e3, "KB", 0}, {1e6, "MB", 1}, {1e9, "GB", 2}, {1e12, "TB", 2}};
    const Unit* unit = &units[0];
    for (const Unit& candidate : units)
        if (double(bytes) >= candidate.size)
            unit = &candidate;
    QString number = locale.toString(double(bytes) / unit->size, 'f', unit->decimals);
    if (number.contains(QLatin1Char('.'))) {
        while (number.endsWith(QLatin1Char('0')))
            number.chop(1);
        if (number.endsWith(QLatin1Char('.')))
            number.chop(1);
    }
    return number + QLatin1Char(' ') + QLatin1String(unit->name);
}
