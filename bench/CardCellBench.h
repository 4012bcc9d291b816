#pragma once

#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

// What the card benches do to a shown card: give its notes the keyboard as a click does, and
// paint a widget into a frame as the screen would.

inline void focus(ListItemCellView* cell)
{
    QWidget* window = cell->window();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    cell->noteTextView()->setFocus(Qt::MouseFocusReason);
}

inline void paint(QWidget& widget, QImage& frame)
{
    QPainter painter(&frame);
    widget.render(&painter);
}
