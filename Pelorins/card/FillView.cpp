#include "Pelorins/card/FillView.h"

#include <QPaintEvent>
#include <QPainter>

FillView::FillView(QWidget* parent)
    : QWidget(parent)
{
}

void FillView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    // The separator colour: the text colour at the strength of a tertiary label.
    QColor separator = palette().color(QPalette::Text);
    separator.setAlphaF(0.26);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(event->rect(), separator);
}
