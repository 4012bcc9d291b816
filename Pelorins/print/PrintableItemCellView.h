#pragma once

#include "PelorinsKit/notes/AttributedString.h"

#include <QHash>
#include <QWidget>
#include <memory>
#include <optional>

class DateDisplayButton;
class ListItem;
class PrintedNotes;
class QPainter;

// A card as it is printed: its notes laid out as the notes editor lays them out, with plain
// boxes on checklist lines, and its due-date badge. It is never shown; the page renderer
// configures it for a card and draws it, so that the card looks as the board draws it.
class PrintableItemCellView : public QWidget
{
    Q_OBJECT

public:
    // The card's width on the board, less the column's padding on both sides.
    static constexpr int cardWidth = 284;
    // The card's rows below its notes.
    static constexpr int fixedHeight = 58;

    explicit PrintableItemCellView(QWidget* parent = nullptr);
    ~PrintableItemCellView() override;

    ListItem* objectValue() const { return m_objectValue; }
    // The card and its notes height at the card's width, measured once by the pagination.
    void setObjectValue(ListItem* card, std::optional<double> notesHeight);
    // What laying out a card's notes for paper takes, read from the card: its notes as printed
    // and its board's tag colours; none for a card without notes.
    struct NotesSource
    {
        AttributedString text;
        QHash<QString, int> tagColours;
    };
    static std::optional<NotesSource> notesSource(ListItem* card);
    // Lays the notes out at the card's width, on any thread, to be drawn on `usedOn`; with a
    // zoom, their pictures are decoded for it.
    static std::shared_ptr<const PrintedNotes> layOutNotes(
        const NotesSource& source, QThread* usedOn, std::optional<double> pictureZoom = std::nullopt);
    // Puts the card's notes and due date in: the notes laid out already, else laid out here.
    void configure(std::shared_ptr<const PrintedNotes> notes = nullptr);
    // The board's badge colours, with text that stands out from them.
    void updateDueDate();
    static QColor badgeTextColour(const QColor& fill);

    // The bottom of each line of the notes, from the card's top, in order: where a page may end.
    QList<double> lineBottoms() const;
    // Draws the part of the card from `top` to `bottom` (from its top) with the painter's origin
    // at the card's top left: of its notes only the lines that lie in that part, so that a line
    // cut at a page's edge is printed on neither side of it.
    void print(QPainter& painter, double top, double bottom) const;

    // The notes as printed; none when the card shows no notes.
    const PrintedNotes* notes() const { return m_notes.get(); }
    DateDisplayButton* showDateButton() const { return m_showDateButton; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The card's sheet, as a light card on the page.
    void drawSheet(QPainter& painter) const;

    ListItem* m_objectValue = nullptr;
    double m_notesHeight = 0;
    std::shared_ptr<const PrintedNotes> m_notes;
    DateDisplayButton* m_showDateButton = nullptr;
};
