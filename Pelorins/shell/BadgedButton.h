#pragma once

#include <QColor>
#include <QToolButton>

// A button with a small count badge at its right edge; no badge below a count of 1.
class BadgedButton : public QToolButton
{
    Q_OBJECT
public:
    explicit BadgedButton(QWidget* parent = nullptr);

    int count() const { return m_count; }
    void setCount(int count);
    QColor badgeColour() const { return m_badgeColour; }
    void setBadgeColour(const QColor& badgeColour);

    // Where the badge's pill lies in the button; empty without a badge.
    QRectF badgeRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont badgeFont() const;

    int m_count = 0;
    QColor m_badgeColour;
};
