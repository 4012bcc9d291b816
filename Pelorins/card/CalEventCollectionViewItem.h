#pragma once

#include "Platform/services/CalendarEvent.h"

#include <QWidget>
#include <optional>

class CalendarStore;
class DatePickerDelegate;
class ListItem;
class QCheckBox;
class QFrame;
class QLabel;

// One calendar event in the due-date popover: its times (or "all day"), its calendar's colour,
// title and calendar, and a check box that links the card to the event, or the read-only icon
// when the event's calendar cannot be changed. A link is kept on both sides: the card's link in
// the event's notes and the event's identifier in the card.
//
// Widgets carry their outlet names as object names.
class CalEventCollectionViewItem : public QWidget
{
    Q_OBJECT

public:
    static constexpr QLatin1String identifier {"CalEventTableCell"};
    static constexpr int height = 44;

    explicit CalEventCollectionViewItem(QWidget* parent = nullptr);

    // The card of the popover, its link and its cell; the link is set before the event so that
    // the link state is worked out with it.
    ListItem* listItem() const { return m_listItem; }
    void setListItem(ListItem* card) { m_listItem = card; }
    const std::optional<QString>& listItemURLString() const { return m_listItemURLString; }
    void setListItemURLString(const std::optional<QString>& link) { m_listItemURLString = link; }
    DatePickerDelegate* delegate() const { return m_delegate; }
    void setDelegate(DatePickerDelegate* delegate) { m_delegate = delegate; }
    // Where the event is saved.
    CalendarStore* eventStore() const { return m_eventStore; }
    void setEventStore(CalendarStore* store) { m_eventStore = store; }

    const std::optional<CalendarEvent>& representedObject() const { return m_event; }
    // Shows the event: configure().
    void setRepresentedObject(const std::optional<CalendarEvent>& event);
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);

    // The event's notes hold the card's link.
    bool isLinked() const;
    void configure(const CalendarEvent& event);
    void updateSelectionColours();
    // The check box's action: links or unlinks by its new state. A save that fails changes
    // nothing, and the box goes back.
    void toggleLinkEvent();
    // Writes the card's link into the event's notes, or takes every copy of it out, and saves
    // the event. On failure a console line says so, the event stays as it was, and false returns.
    bool linkEvent();
    bool unlinkEvent();

    QLabel* startTimeLabel() const { return m_startTimeLabel; }
    QLabel* endTimeLabel() const { return m_endTimeLabel; }
    QWidget* colourBox() const { return m_colourBox; }
    QLabel* titleLabel() const { return m_titleLabel; }
    QLabel* calendarLabel() const { return m_calendarLabel; }
    QLabel* readOnlyIcon() const { return m_readOnlyIcon; }
    QCheckBox* linkedCheckBox() const { return m_linkedCheckBox; }
    QFrame* backgroundBox() const { return m_backgroundBox; }

signals:
    // The event as saved after a link or unlink, for the list that shows it again later.
    void eventSaved(const CalendarEvent& event);

private:
    // A card without an identifier has the bare "pelorins://" for a link, the start of every
    // card's link: it can neither link nor unlink.
    bool hasCardLink() const;
    bool saveNotes(const std::optional<QString>& notes);
    void showLinkState();

    ListItem* m_listItem = nullptr;
    std::optional<QString> m_listItemURLString;
    DatePickerDelegate* m_delegate = nullptr;
    CalendarStore* m_eventStore = nullptr;
    std::optional<CalendarEvent> m_event;
    bool m_selected = false;

    QFrame* m_backgroundBox = nullptr;
    QLabel* m_startTimeLabel = nullptr;
    QLabel* m_endTimeLabel = nullptr;
    QWidget* m_colourBox = nullptr;
    QLabel* m_titleLabel = nullptr;
    QLabel* m_calendarLabel = nullptr;
    QLabel* m_readOnlyIcon = nullptr;
    QCheckBox* m_linkedCheckBox = nullptr;
};
