#pragma once

#include <QWidget>

class ColourPopupButton;
class Tag;

// The colour cell of the tag table: a pop-up of the tag palette with the tag's colour selected.
class TagColourTableCell : public QWidget
{
    Q_OBJECT
public:
    explicit TagColourTableCell(QWidget* parent = nullptr);

    Tag* objectValue() const { return m_tag; }
    // Selects the tag's colour; none for a colour outside the palette or without a tag.
    void setObjectValue(Tag* tag);
    ColourPopupButton* colourPopupMenu() const { return m_colourPopupMenu; }

signals:
    void colourChanged(Tag* tag, int colour);

private:
    Tag* m_tag = nullptr;
    ColourPopupButton* m_colourPopupMenu;
};
