#pragma once

#include <QColor>
#include <QFont>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <optional>

class QPainter;

// A count drawn as a small coloured pill with the digits cut out of it, so that whatever lies
// behind shows through them. Used for the open cards of a board in the sidebar and for the
// cards of a tag in the tag filter.
class ColorCountButtonCell
{
public:
    ColorCountButtonCell() = default;
    explicit ColorCountButtonCell(const QString& title);

    QString title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    // The pill's colour; without one the pill is yellow.
    std::optional<QColor> backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const std::optional<QColor>& backgroundColor) { m_backgroundColor = backgroundColor; }
    // Emphasized, as in a selected row: the digits are filled white instead of left empty.
    bool isEmphasized() const { return m_emphasized; }
    void setEmphasized(bool emphasized) { m_emphasized = emphasized; }

    // The system font at 11 pixels, bold.
    static QFont font();
    // Where the digits' outline goes inside a frame: centred, one unit to the left.
    static QPointF textOffset(const QSizeF& frame, const QSizeF& outline);
    // The narrowest frame of height `height` that holds the title with the pill's round ends
    // clear of it; never narrower than a round pill.
    QSizeF sizeThatFits(qreal height) const;

    // The outline of the digits placed in `frame`; empty for an empty title.
    QPainterPath textPath(const QRectF& frame) const;
    // The pill with the digits as holes.
    QPainterPath badgePath(const QRectF& frame) const;

    void draw(QPainter& painter, const QRectF& frame) const;

private:
    QString m_title;
    std::optional<QColor> m_backgroundColor;
    bool m_emphasized = false;
};
