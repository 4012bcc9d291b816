// The due-date popover's calendar events: the chosen day's events and the card's linked ones,
// in a section per day, each with the box that links the card to it.

#include "Pelorins/card/CalEventCollectionViewItem.h"
#include "Pelorins/card/CalEventCollectionViewSectionHeader.h"
#include "Pelorins/card/DatePickerDelegate.h"
#include "Pelorins/card/DatePickerViewController.h"
#include "Pelorins/card/ListItemEvents.h"
#include "PelorinsKit/model/DateHelpers.h"
#include "PelorinsKit/model/ListItem.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/services/CalendarStore.h"
#include "Platform/widgets/SectionedListView.h"

#include <QFrame>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <algorithm>

void DatePickerViewController::checkCalendarAuthorisation()
{
    if (!m_eventStore)
        return;
    switch (m_eventStore->authorizationStatus()) {
    case CalendarStore::AuthorizationStatus::NotDetermined:
        m_eventsContainingScrollView->hide();
        m_authoriseBox->show();
        break;
    case CalendarStore::AuthorizationStatus::Restricted:
    case CalendarStore::AuthorizationStatus::Denied:
        ConsoleLog::write(QStringLiteral("Calendar access, denied or not determined"));
        break;
    case CalendarStore::AuthorizationStatus::Authorized:
        m_eventsContainingScrollView->show();
        m_authoriseBox->hide();
        break;
    }
}

void DatePickerViewController::grantPermissionButtonTapped()
{
    ConsoleLog::write(QStringLiteral("grant permission button tapped"));
    if (!m_eventStore)
        return;
    const QPointer<DatePickerViewController> alive(this);
    m_eventStore->requestAccess([this, alive](bool granted, const QString& error) {
        if (!alive)
            return;
        if (granted) {
            m_eventStore->reset();
            m_authoriseBox->hide();
            // The day's events at once, rather than at the next opening.
            m_eventsContainingScrollView->show();
            if (m_date)
                fetchEvents(*m_date);
        } else {
            ConsoleLog::write(QStringLiteral(" permission denied"));
        }
        if (!error.isEmpty())
            ConsoleLog::write(QStringLiteral("error ") + error);
    });
}

void DatePickerViewController::fetchEvents(const QDateTime& day)
{
    if (!m_eventStore || m_eventStore->authorizationStatus() != CalendarStore::AuthorizationStatus::Authorized)
        return;
    m_events = m_eventStore->events(DateHelpers::beginningOfDate(day), DateHelpers::endOfDate(day));
    if (ListItem* card = m_delegate ? m_delegate->objectValue() : nullptr) {
        for (const CalendarEvent& linked :
            ListItemEvents::events(*card, m_eventStore).value_or(QList<CalendarEvent>())) {
            if (!m_events.contains(linked))
                m_events.append(linked);
        }
    }
    // By start; at one start all-day events come first, the rest keep their order.
    std::stable_sort(m_events.begin(), m_events.end(),
        [](const CalendarEvent& a, const CalendarEvent& b) { return a.isAllDay && !b.isAllDay; });
    std::stable_sort(m_events.begin(), m_events.end(),
        [](const CalendarEvent& a, const CalendarEvent& b) { return a.startDate < b.startDate; });
    m_distinctEventDates.clear();
    m_sectionEvents.clear();
    for (int index = 0; index < m_events.size(); ++index) {
        const QDateTime start = DateHelpers::beginningOfDate(m_events.at(index).startDate);
        qsizetype section = m_distinctEventDates.indexOf(start);
        if (section < 0) {
            section = m_distinctEventDates.size();
            m_distinctEventDates.append(start);
            m_sectionEvents.append(QList<int>());
        }
        m_sectionEvents[section].append(index);
    }
    m_eventsCollectionView->reloadData();
}

QList<CalendarEvent> DatePickerViewController::eventsOn(const QDateTime& day) const
{
    QList<CalendarEvent> found;
    for (const CalendarEvent& event : m_events) {
        if (DateHelpers::beginningOfDate(event.startDate) == day)
            found.append(event);
    }
    return found;
}

const CalendarEvent& DatePickerViewController::eventAt(const IndexPath& path) const
{
    return m_events.at(m_sectionEvents.at(path.section).at(path.item));
}

int DatePickerViewController::numberOfSections() const
{
    return int(m_distinctEventDates.size());
}

int DatePickerViewController::numberOfItems(int section) const
{
    return section >= 0 && section < m_sectionEvents.size() ? int(m_sectionEvents.at(section).size()) : 0;
}

QString DatePickerViewController::itemKind(const IndexPath&) const
{
    return CalEventCollectionViewItem::identifier;
}

QSize DatePickerViewController::sizeForItem(const IndexPath&, int availableWidth) const
{
    return QSize(availableWidth, CalEventCollectionViewItem::height);
}

quint64 DatePickerViewController::itemIdentity(const IndexPath& path) const
{
    const CalendarEvent& event = eventAt(path);
    return qHashMulti(0, event.eventIdentifier, event.occurrenceDate.toMSecsSinceEpoch());
}

QWidget* DatePickerViewController::createItemWidget(const QString&)
{
    auto* item = new CalEventCollectionViewItem;
    // Rows are reused as the list scrolls: what a row saved must be what it shows next time.
    connect(item, &CalEventCollectionViewItem::eventSaved, this, [this](const CalendarEvent& saved) {
        for (CalendarEvent& event : m_events)
            if (event.eventIdentifier == saved.eventIdentifier && event.occurrenceDate == saved.occurrenceDate)
                event = saved;
    });
    return item;
}

void DatePickerViewController::configureItem(QWidget* widget, const IndexPath& path)
{
    auto* item = static_cast<CalEventCollectionViewItem*>(widget);
    item->setEventStore(m_eventStore);
    item->setListItemURLString(m_delegate ? m_delegate->listItemURLString() : std::nullopt);
    item->setDelegate(m_delegate);
    item->setRepresentedObject(eventAt(path));
    item->setListItem(m_delegate ? m_delegate->objectValue() : nullptr);
    item->setSelected(m_eventsCollectionView->selectionIndexPaths().contains(path));
}

QWidget* DatePickerViewController::createHeaderWidget()
{
    return new CalEventCollectionViewSectionHeader;
}

void DatePickerViewController::configureHeader(QWidget* widget, int section)
{
    const QDate day = m_distinctEventDates.at(section).toLocalTime().date();
    static_cast<CalEventCollectionViewSectionHeader*>(widget)->titleLabel()->setText(
        QLocale().toString(day, QStringLiteral("d MMM yyyy")));
}

QSet<IndexPath> DatePickerViewController::shouldSelectItems(const QSet<IndexPath>& proposed)
{
    if (proposed.size() <= 1)
        return proposed;
    return {*std::min_element(proposed.cbegin(), proposed.cend())};
}

void DatePickerViewController::didSelectItems(const QSet<IndexPath>& paths)
{
    QSet<IndexPath> others = m_eventsCollectionView->selectionIndexPaths() - paths;
    if (!others.isEmpty())
        m_eventsCollectionView->deselectItems(others);
    showSelection(others, false);
    showSelection(paths, true);
}

void DatePickerViewController::didDeselectItems(const QSet<IndexPath>& paths)
{
    showSelection(paths, false);
}

void DatePickerViewController::showSelection(const QSet<IndexPath>& paths, bool selected)
{
    for (const IndexPath& path : paths) {
        if (auto* item = qobject_cast<CalEventCollectionViewItem*>(m_eventsCollectionView->itemWidget(path)))
            item->setSelected(selected);
    }
}
