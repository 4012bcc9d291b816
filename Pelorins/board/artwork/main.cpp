// Paints the built-in board pictures and their thumbnails into a folder, for the program's
// resources: background-artwork <folder>.

#include "Pelorins/board/BackgroundArtwork.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: background-artwork <folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot make %s\n", argv[1]);
        return 1;
    }
    for (int number = 1; number <= BackgroundArtwork::pictureCount; ++number) {
        const QString name = BackgroundArtwork::pictureName(number);
        const QImage picture = BackgroundArtwork::paint(number, BackgroundArtwork::pictureSize);
        const QImage thumbnail = BackgroundArtwork::paint(number, BackgroundArtwork::thumbnailSize);
        if (!picture.save(folder.filePath(name + QStringLiteral(".jpg")), "JPEG", 84)
            || !thumbnail.save(folder.filePath(name + QStringLiteral("thumb.png")), "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
            return 1;
        }
    }
    return 0;
}
