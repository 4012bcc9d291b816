#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>

// A picture of one colour as PNG bytes.
inline QByteArray pngOf(int width, int height, const QColor& fill, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, format);
    image.fill(fill);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}
