#include "Pelorins/card/CalendarEventDialog.h"

#include "PelorinsKit/model/LocalizedString.h"
#include "Platform/services/CalendarEvent.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

namespace {

QLabel* plainLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(parent);
    // Titles and notes come from other programs: never read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setText(text);
    return label;
}

QString timeOf(const CalendarEvent& event)
{
    const QLocale locale;
    const QDateTime start = event.startDate.toLocalTime();
    if (event.isAllDay) {
        // The end is exclusive: a one-day event ends at the next midnight.
        const QDate last = event.endDate.toLocalTime().addSecs(-1).date();
        const QString first = locale.toString(start.date(), QLocale::ShortFormat);
        return last > start.date() ? first + QStringLiteral(" – ") + locale.toString(last, QLocale::ShortFormat)
                                   : first + QStringLiteral(", ") + local(QStringLiteral("all day"));
    }
    const QDateTime end = event.endDate.toLocalTime();
    const QString to = end.date() == start.date() ? locale.toString(end.time(), QLocale::ShortFormat)
                                                  : locale.toString(end, QLocale::ShortFormat);
    return locale.toString(start, QLocale::ShortFormat) + QStringLiteral(" – ") + to;
}

} // namespace

CalendarEventDialog::CalendarEventDialog(const CalendarEvent& event, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("CalendarEventDialog"));
    setWindowTitle(event.title);
    m_title = plainLabel(event.title, this);
    QFont bold = m_title->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    m_title->setFont(bold);
    m_calendar = plainLabel(event.calendar.title, this);
    m_time = plainLabel(timeOf(event), this);
    m_notes = plainLabel(event.notes.value_or(QString()), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    for (QWidget* widget : {static_cast<QWidget*>(m_title), static_cast<QWidget*>(m_calendar),
             static_cast<QWidget*>(m_time), static_cast<QWidget*>(m_notes)})
        layout->addWidget(widget);
    layout->addWidget(buttons);
    setMinimumWidth(320);
}

QString CalendarEventDialog::titleText() const
{
    return m_title->text();
}

QString CalendarEventDialog::calendarText() const
{
    return m_calendar->text();
}

QString CalendarEventDialog::timeText() const
{
    return m_time->text();
}

QString CalendarEventDialog::notesText() const
{
    return m_notes->text();
}
