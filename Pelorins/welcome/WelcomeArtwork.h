#pragma once

#include <QHash>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

// The welcome pages' pictures by name, drawn in code at twice their size in points: the first
// page's icons, stroked from the outlines of its hidden vector row, and the tour's program
// window, card texts, icons and the two windows of the attachments scene. Each picture is drawn
// once, the first time it is asked for. A name outside the catalogue throws MissingArtwork.
class WelcomeArtwork
{
public:
    static constexpr int pixelsPerPoint = 2;

    // Every name, the first page's in the order it asks for them, then the tour's.
    static QStringList names();
    static QStringList firstPageNames();
    // A picture's size in points.
    static QSize pointSize(const QString& name);

    QImage image(const QString& name);

private:
    QHash<QString, QImage> m_drawn;
};
