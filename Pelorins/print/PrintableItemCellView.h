#pragma once

#include "Pelorins/card/NotesTextViewDelegate.h"

#include <QWidget>
#include <functional>
#include <optional>

class DateDisplayButton;
class ListItem;
class NotesTextView;
class QPainter;
class QTextLine;

// A card as it is printed: its notes in a read-only notes editor, with plain boxes on checklist
// lines, and its due-date badge. It is never shown; the page renderer configures it for a card
// and draws it, so that the card looks as the board draws it.
class PrintableItemCellView : public QWidget, public NotesTextViewDelegate
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
    // Puts the card's notes and due date in.
    void configure();
    // The board's badge colours, with text that stands out from them.
    void updateDueDate();
    static QColor badgeTextColour(const QColor& fill);

    // The bottom of each line of the notes, from the card's top, in order: where a page may end.
    QList<double> lineBottoms() const;
    // Draws the part of the card from `top` to `bottom` (from its top) with the painter's origin
    // at the card's top left: of its notes only the lines that lie in that part, so that a line
    // cut at a page's edge is printed on neither side of it.
    void print(QPainter& painter, double top, double bottom) const;

    NotesTextView* noteTextView() const { return m_noteTextView; }
    DateDisplayButton* showDateButton() const { return m_showDateButton; }

    // NotesTextViewDelegate
    QList<Tag*> existingTags() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The card's sheet, as a light card on the page.
    void drawSheet(QPainter& painter) const;
    // Calls `visit` with each line of the notes and the top left of its block, in the card.
    void forEachLine(const std::function<void(const QTextLine&, QPointF)>& visit) const;

    ListItem* m_objectValue = nullptr;
    double m_notesHeight = 0;
    NotesTextView* m_noteTextView = nullptr;
    DateDisplayButton* m_showDateButton = nullptr;
};
