#pragma once

#include "PelorinsKit/notes/AttributedString.h"

#include <QHash>
#include <QList>
#include <QPointF>
#include <QRect>
#include <functional>
#include <memory>
#include <optional>

class QPainter;
class QTextDocument;
class QTextLine;
class QThread;

// A card's notes laid out for paper as the notes editor lays them out, in a document of their
// own: with the styles of their hash tags, their link cards and pictures, and where the box of
// each checklist line goes. They may be laid out on any thread, from notes and tag colours read
// on the main thread, and are then used on the thread named only.
class PrintedNotes
{
public:
    struct CheckBox
    {
        // From the top left of the notes.
        QRect frame;
        bool checked = false;
        bool operator==(const CheckBox&) const = default;
    };

    // `tagColours` are the colour numbers of the board's tags by name. With a zoom, pictures are
    // decoded here for drawing at that zoom.
    PrintedNotes(const AttributedString& notes, const QHash<QString, int>& tagColours, int width, QThread* usedOn,
        std::optional<double> pictureZoom = std::nullopt);
    ~PrintedNotes();
    PrintedNotes(const PrintedNotes&) = delete;
    PrintedNotes& operator=(const PrintedNotes&) = delete;

    const QList<CheckBox>& checkBoxes() const { return m_checkBoxes; }
    // The bottom of each line, from the top of the notes, in order: where a page may end.
    QList<double> lineBottoms() const;
    // Draws the lines that lie between `top` and `bottom` (from the top of the notes) with the
    // painter's origin at the top left of the notes: a line cut at either edge is left to the
    // part beyond it.
    void drawLines(QPainter& painter, double top, double bottom) const;

private:
    // Calls `visit` with each line and the top left of its block.
    void forEachLine(const std::function<void(const QTextLine&, QPointF)>& visit) const;

    std::unique_ptr<QTextDocument> m_document;
    QList<CheckBox> m_checkBoxes;
};
