#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <optional>

// A built-in board picture: its name, as boards store it, and the resource paths of the picture
// and its thumbnail.
struct BuiltInBackground
{
    QString name;
    QString picture;
    QString thumbnail;
};

// The built-in board pictures, our own artwork painted in code: calm gradients, waves, dunes,
// geometric fields, soft light, contour lines and ribbons in muted colours that keep white cards
// readable. Each picture has a fixed seed, so painting it again gives the same pixels. The
// program reads them from its resources; `make artwork` paints them into resources/backgrounds.
class BackgroundArtwork
{
public:
    static constexpr int pictureCount = 18;
    static constexpr QSize pictureSize {2560, 1600};
    static constexpr QSize thumbnailSize {160, 100};

    // "wlbackground01" for picture 1.
    static QString pictureName(int number);
    // The picture's number for its name; 0 for any other name.
    static int pictureNumber(const QString& name);

    // Paints picture `number` (1 to pictureCount) at `size`; its thumbnail is the same painting
    // at `thumbnailSize`.
    static QImage paint(int number, const QSize& size);
};

// The built-in picture of that name ("wlbackground01" to "wlbackground18"); none for any other
// name, or when the resources holding the pictures are not part of the program.
std::optional<BuiltInBackground> builtInBackground(const QString& name);
