#include "PelorinsKit/store/ImageWriting.h"

#include "Platform/core/ConsoleLog.h"

#include <QImageWriter>

namespace {

QString describe(const QImage& image)
{
    return QStringLiteral("QImage(%1x%2, format %3)").arg(image.width()).arg(image.height()).arg(int(image.format()));
}

void writeError(const QImage& image, int line, const QString& detail)
{
    ConsoleLog::write(describe(image) + QStringLiteral(" Error Function '") + QStringLiteral("writePNG(toURL:)")
        + QStringLiteral("' Line: ") + QString::number(line) + detail);
}

} // namespace

void writePNG(const QImage& image, const QString& toURL)
{
    if (image.isNull()) {
        writeError(image, __LINE__, QStringLiteral(" No tiff rep found for image writing to ") + toURL);
        return;
    }
    QImageWriter writer(toURL, "png");
    if (!writer.write(image))
        writeError(image, __LINE__, QLatin1Char(' ') + writer.errorString());
}
