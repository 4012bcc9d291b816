#pragma once

#include <QImage>
#include <QString>

// Writes the image as a PNG file at `toURL`. A null image writes nothing; either failure is
// written to the console and not passed on.
void writePNG(const QImage& image, const QString& toURL);
