#pragma once

#include "Pelorins/common/ControllerIntegratedView.h"

#include <QColor>
#include <QImage>
#include <QString>

class Kanban;

// The board's background: its colour, or a picture that covers the view keeping its proportions,
// centred and cut at the overflowing sides. A picture is a built-in one by name or a file of the
// pictures folder; it is decoded at the size the view needs, once per size, never while painting.
// A name that is unsafe, missing or not a readable picture shows the colour.
class ViewWithBackground : public ControllerIntegratedView
{
    Q_OBJECT
public:
    explicit ViewWithBackground(ActionRouter* router, QWidget* parent = nullptr);

    // Shows the board's background.
    void showBackground(const Kanban& kanban);

    QColor backgroundColour() const { return m_colour; }
    // What the view shows as one colour: the picture's mean once it is decoded, else the colour.
    QColor shownColour() const;
    // Whether a picture covers the colour (after the next paint for a custom one).
    bool showsPicture() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Decodes and scales the picture for the view's size when that changed.
    void preparePicture();

    QColor m_colour;
    // The resource of a built-in picture or the file of a custom one; empty for the colour.
    QString m_picturePath;
    QImage m_scaled;
    QColor m_pictureMean;
    QSize m_scaledFor;
};
