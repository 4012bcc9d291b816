#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRectF>
#include <QString>

class QPainter;

// Draws a header's title over a soft shadow that keeps it readable on any background. The
// shadow is blurred once per text, font, colour and width, not at every paint.
class HeaderTextFieldCell
{
public:
    void setText(const QString& text);
    QString text() const { return m_text; }
    void setFont(const QFont& font);
    void setTextColour(const QColor& colour) { m_textColour = colour; }
    QColor textColour() const { return m_textColour; }
    void setShadowColour(const QColor& colour);

    // Draws the title, elided to fit, vertically centred in `frame`.
    void drawInterior(QPainter& painter, const QRectF& frame);

private:
    QString m_text;
    QFont m_font;
    QColor m_textColour;
    QColor m_shadowColour;
    QImage m_shadow;
    QString m_shadowText;
    int m_shadowWidth = -1;
};
