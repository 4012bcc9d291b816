#include "Pelorins/card/CalEventCollectionViewItem.h"

#include "Pelorins/card/DatePickerDelegate.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "PelorinsKit/model/DateHelpers.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/services/CalendarStore.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

namespace {

template <typename Widget> Widget* named(Widget* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// The card's link where it stands whole: another card's link may begin with it.
QRegularExpression linkPattern(const QString& prefix, const QString& link)
{
    return QRegularExpression(prefix + QRegularExpression::escape(link) + QStringLiteral("(?![\\w-])"));
}

QPixmap lockPicture(const QColor& colour)
{
    QPixmap picture(14, 14);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, 1.5));
    painter.drawArc(QRectF(3.5, 1.5, 7, 8), 0, 180 * 16);
    painter.drawLine(QPointF(3.5, 5.5), QPointF(3.5, 7));
    painter.drawLine(QPointF(10.5, 5.5), QPointF(10.5, 7));
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRoundedRect(QRectF(2, 6.5, 10, 7), 1.5, 1.5);
    return picture;
}

// The calendar's colour, painted by itself: a filled background would follow the palette of
// the row around it.
class Swatch : public QWidget
{
public:
    using QWidget::QWidget;

    void setColour(const QColor& colour)
    {
        m_colour = colour;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_colour);
        painter.drawRoundedRect(QRectF(rect()), 2, 2);
    }

private:
    QColor m_colour;
};

} // namespace

CalEventCollectionViewItem::CalEventCollectionViewItem(QWidget* parent)
    : QWidget(parent)
    , m_backgroundBox(named(new QFrame(this), "backgroundBox"))
    , m_startTimeLabel(named(new QLabel(m_backgroundBox), "startTimeLabel"))
    , m_endTimeLabel(named(new QLabel(m_backgroundBox), "endTimeLabel"))
    , m_colourBox(named(new Swatch(m_backgroundBox), "colourBox"))
    , m_titleLabel(named(new QLabel(m_backgroundBox), "titleLabel"))
    , m_calendarLabel(named(new QLabel(m_backgroundBox), "calendarLabel"))
    , m_readOnlyIcon(named(new QLabel(m_backgroundBox), "readOnlyIcon"))
    , m_linkedCheckBox(named(new QCheckBox(m_backgroundBox), "linkedCheckBox"))
{
    setFixedHeight(height);
    m_backgroundBox->setAutoFillBackground(true);
    m_colourBox->setFixedWidth(4);
    for (QLabel* label : {m_titleLabel, m_calendarLabel})
        label->setTextFormat(Qt::PlainText);
    QFont small = m_startTimeLabel->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    for (QLabel* label : {m_startTimeLabel, m_endTimeLabel, m_calendarLabel})
        label->setFont(small);
    // One width for every row's times, so that the swatches line up.
    const QFontMetrics metrics(small);
    const int timeWidth = std::max(metrics.horizontalAdvance(local(QStringLiteral("all day"))),
                              metrics.horizontalAdvance(QStringLiteral("00:00 AM")))
        + 2;
    m_startTimeLabel->setFixedWidth(timeWidth);
    m_endTimeLabel->setFixedWidth(timeWidth);
    m_readOnlyIcon->setPixmap(lockPicture(palette().color(QPalette::PlaceholderText)));
    m_readOnlyIcon->setToolTip(local(QStringLiteral("This calendar cannot be changed.")));
    m_linkedCheckBox->setToolTip(local(QStringLiteral("Link the card to this event")));

    auto* times = new QVBoxLayout;
    times->setSpacing(0);
    times->addWidget(m_startTimeLabel);
    times->addWidget(m_endTimeLabel);
    times->addStretch(1);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(0);
    texts->addWidget(m_titleLabel);
    texts->addWidget(m_calendarLabel);
    texts->addStretch(1);
    auto* row = new QHBoxLayout(m_backgroundBox);
    row->setContentsMargins(6, 4, 6, 4);
    row->addLayout(times);
    row->addWidget(m_colourBox);
    row->addLayout(texts, 1);
    row->addWidget(m_readOnlyIcon);
    row->addWidget(m_linkedCheckBox);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 1);
    layout->addWidget(m_backgroundBox);

    connect(m_linkedCheckBox, &QCheckBox::clicked, this, &CalEventCollectionViewItem::toggleLinkEvent);
    updateSelectionColours();
}

void CalEventCollectionViewItem::setRepresentedObject(const std::optional<CalendarEvent>& event)
{
    m_event = event;
    if (m_event)
        configure(*m_event);
}

void CalEventCollectionViewItem::setSelected(bool selected)
{
    m_selected = selected;
    updateSelectionColours();
}

bool CalEventCollectionViewItem::hasCardLink() const
{
    return m_listItemURLString && m_listItemURLString->size() > ListItem::urlScheme.size();
}

bool CalEventCollectionViewItem::isLinked() const
{
    if (!m_event || !m_event->notes || !m_listItemURLString || m_listItemURLString->isEmpty())
        return false;
    return m_event->notes->contains(linkPattern(QString(), *m_listItemURLString));
}

void CalEventCollectionViewItem::configure(const CalendarEvent& event)
{
    if (event.isAllDay) {
        m_startTimeLabel->setText(local(QStringLiteral("all day")));
        m_endTimeLabel->hide();
    } else {
        m_startTimeLabel->setText(DateHelpers::shortTimeString(event.startDate));
        m_endTimeLabel->setText(DateHelpers::shortTimeString(event.endDate));
        m_endTimeLabel->show();
    }
    static_cast<Swatch*>(m_colourBox)->setColour(event.calendar.color);
    m_titleLabel->setText(event.title);
    m_calendarLabel->setText(event.calendar.title);
    const bool writable = event.calendar.allowsContentModifications;
    m_readOnlyIcon->setVisible(!writable);
    m_linkedCheckBox->setVisible(writable);
    m_linkedCheckBox->setEnabled(hasCardLink());
    showLinkState();
}

void CalEventCollectionViewItem::showLinkState()
{
    const QSignalBlocker quiet(m_linkedCheckBox);
    m_linkedCheckBox->setChecked(isLinked());
}

void CalEventCollectionViewItem::updateSelectionColours()
{
    const QPalette colours = palette();
    QPalette fill = m_backgroundBox->palette();
    fill.setColor(QPalette::Window, colours.color(m_selected ? QPalette::Highlight : QPalette::Base));
    m_backgroundBox->setPalette(fill);
    const auto paint = [&](QLabel* label, QPalette::ColorRole role) {
        QPalette text = label->palette();
        text.setColor(QPalette::WindowText, colours.color(m_selected ? QPalette::HighlightedText : role));
        label->setPalette(text);
    };
    paint(m_titleLabel, QPalette::WindowText);
    paint(m_startTimeLabel, QPalette::WindowText);
    paint(m_calendarLabel, QPalette::PlaceholderText);
    paint(m_endTimeLabel, QPalette::PlaceholderText);
}

void CalEventCollectionViewItem::toggleLinkEvent()
{
    const bool link = m_linkedCheckBox->isChecked();
    const bool done = m_event && hasCardLink() && (link ? linkEvent() : unlinkEvent());
    if (!done) {
        showLinkState();
        return;
    }
    if (m_listItem) {
        // The card's identifiers are changed in place: a linked event that cannot be read just now
        // (a calendar folder away) keeps its link, and any occurrence of a repeating event counts.
        QStringList identifiers = m_listItem->eventsArray().value_or(QStringList());
        const QString identifier = m_event->eventIdentifier;
        if (link) {
            if (!identifier.isEmpty() && !identifiers.contains(identifier))
                identifiers.append(identifier);
            if (NotesTextView* notes = m_delegate ? m_delegate->noteTextView() : nullptr)
                notes->insertCalendarEventLink(*m_event);
        } else {
            identifiers.removeAll(identifier);
        }
        m_listItem->setEventsArray(identifiers);
    }
    emit eventSaved(*m_event);
    if (m_delegate)
        m_delegate->requestDeferredSave();
}

bool CalEventCollectionViewItem::linkEvent()
{
    QString notes = m_event->notes.value_or(QString());
    if (m_listItemURLString)
        notes = notes.isEmpty() ? *m_listItemURLString : notes + QLatin1Char('\n') + *m_listItemURLString;
    return saveNotes(notes);
}

bool CalEventCollectionViewItem::unlinkEvent()
{
    std::optional<QString> notes = m_event->notes;
    if (notes && m_listItemURLString && !m_listItemURLString->isEmpty()) {
        notes->remove(linkPattern(QStringLiteral("\n"), *m_listItemURLString));
        notes->remove(linkPattern(QString(), *m_listItemURLString));
    }
    return saveNotes(notes);
}

bool CalEventCollectionViewItem::saveNotes(const std::optional<QString>& notes)
{
    CalendarEvent changed = *m_event;
    changed.notes = notes;
    QString error = local(QStringLiteral("no calendars are set up"));
    if (!m_eventStore || !m_eventStore->saveNotes(changed, &error)) {
        ConsoleLog::write(QStringLiteral("error saving event ") + error);
        return false;
    }
    m_event = changed;
    return true;
}
