#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QDateTime>
#include <optional>

class ListItem;
class UserDefaults;
class QPainter;

// The due-date badge of a card: a rounded lozenge in the colour its owner chooses with the due
// text in white, or a calendar icon while the card has no due date. Setting the date changes
// nothing on screen until updateDateDisplay().
class DateDisplayButton : public QAbstractButton
{
    Q_OBJECT

public:
    static constexpr int badgeHeight = 17;
    static constexpr int iconSize = 18;

    explicit DateDisplayButton(QWidget* parent = nullptr);

    std::optional<QDateTime> dateValue() const { return m_dateValue; }
    void setDateValue(const std::optional<QDateTime>& date) { m_dateValue = date; }
    // The due text relative to `now` and no icon with a date; the calendar icon without one.
    void updateDateDisplay(const QDateTime& now);
    bool showsIcon() const { return m_showsIcon; }

    // Drawn green until one is set; the pressed badge is drawn darker.
    std::optional<QColor> backgroundColour() const { return m_backgroundColour; }
    void setBackgroundColour(const std::optional<QColor>& colour);
    // The fill as it is drawn now.
    QColor fillColour() const;
    // White until one is set.
    QColor textColour() const { return m_textColour; }
    void setTextColour(const QColor& colour);

    // The badge's fill for a card with a due date: grey once done, red when overdue, orange when
    // due soon, else the grey of badges; `now` and the due-soon setting are the board's.
    static QColor badgeColour(const ListItem& card, const QDateTime& now, const UserDefaults& defaults);

    // The column's zoom: everything is drawn this much larger.
    void setScale(qreal scale);
    // The icon's size with the icon, else the text's width plus 8 and the badge height.
    QSize sizeHint() const override;
    // Draws the badge in its own coordinates; on paper without the detour of drawing a widget.
    void draw(QPainter& painter) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont titleFont() const;

    std::optional<QDateTime> m_dateValue;
    std::optional<QColor> m_backgroundColour;
    QColor m_textColour = Qt::white;
    bool m_showsIcon = true;
    qreal m_scale = 1.0;
};
