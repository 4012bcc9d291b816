#pragma once

#include <QAbstractButton>
#include <QColor>

// A borderless plus button: a horizontal and a vertical line, `padding` in from the edges,
// filled in the accent colour while pressed. Drawn at its owner's scale.
class AddButton : public QAbstractButton
{
    Q_OBJECT

public:
    explicit AddButton(QWidget* parent = nullptr);

    QColor colour() const { return m_colour; }
    void setColour(const QColor& colour);
    qreal padding() const { return m_padding; }
    void setScale(qreal scale);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_colour;
    qreal m_padding = 6.0;
    qreal m_scale = 1.0;
};
