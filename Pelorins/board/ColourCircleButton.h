#pragma once

#include <QAbstractButton>
#include <QColor>
#include <optional>

// A round swatch of a board colour: the tag is the palette index, and a checked swatch wears a
// grey ring.
class ColourCircleButton : public QAbstractButton
{
    Q_OBJECT
public:
    static constexpr qreal outerRingSize = 32;
    static constexpr qreal innerRingSize = 24;

    explicit ColourCircleButton(QWidget* parent = nullptr);

    int tag() const { return m_tag; }
    // A tag outside the palette shows its first colour.
    void setTag(int tag);
    std::optional<QColor> colour() const { return m_colour; }
    std::optional<QColor> strokeColour() const { return m_strokeColour; }
    QColor outerStrokeColour() const { return m_outerStrokeColour; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_tag = 0;
    QColor m_outerStrokeColour = QColor(142, 142, 147);
    std::optional<QColor> m_colour;
    std::optional<QColor> m_strokeColour;
};
