#pragma once

#include <QSizeF>
#include <QString>

class QPainter;

// The tour's pictures, drawn in code in points: a main window of the program with an empty
// board, the texts of two cards and their column headers, small icons, and a generic file
// manager and mail program of our own drawing for the attachments scene.
class TourArtwork
{
public:
    enum class TextStyle { columnTitle, cardHeader, cardNotes, fileName, fileDetails };

    static void mainWindow(QPainter& painter, const QSizeF& size);
    // `text` in one of the cards' styles, from the left edge, vertically centred (lines stacked
    // where it holds line feeds).
    static void text(QPainter& painter, const QSizeF& size, const QString& text, TextStyle style);
    // As `text`, centred across the width.
    static void centredText(QPainter& painter, const QSizeF& size, const QString& text, TextStyle style);
    static void letterIcon(QPainter& painter, const QSizeF& size);
    static void documentIcon(QPainter& painter, const QSizeF& size);
    static void envelopeIcon(QPainter& painter, const QSizeF& size);
    static void landscape(QPainter& painter, const QSizeF& size);
    static void fileManagerWindow(QPainter& painter, const QSizeF& size);
    static void mailWindow(QPainter& painter, const QSizeF& size);
};
