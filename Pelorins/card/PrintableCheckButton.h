#pragma once

#include <QAbstractButton>

class QPainter;

// The box of a checklist line in printed notes: a plain rounded square, ticked for a done item,
// that does nothing when clicked.
class PrintableCheckButton : public QAbstractButton
{
    Q_OBJECT

public:
    static constexpr int defaultWidth = 16;

    explicit PrintableCheckButton(QWidget* parent = nullptr);

    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    QSize sizeHint() const override { return QSize(defaultWidth, defaultWidth); }
    // Draws the box in its own coordinates; on paper without the detour of drawing a widget.
    void draw(QPainter& painter) const;
    // A box `width` wide at the painter's origin, as a box of that state draws itself.
    static void draw(QPainter& painter, int width, bool checked);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_tag = 0;
};
