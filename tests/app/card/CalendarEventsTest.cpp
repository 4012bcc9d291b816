#include "Pelorins/card/CalEventCollectionViewItem.h"
#include "Pelorins/card/CalEventCollectionViewSectionHeader.h"
#include "Pelorins/card/CalendarEventLink.h"
#include "Pelorins/card/DatePickerViewController.h"
#include "Pelorins/card/DeferredSave.h"
#include "PelorinsKit/model/DateHelpers.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/services/VdirCalendarStore.h"
#include "Platform/widgets/SectionedListView.h"
#include "support/CardCellFixture.h"
#include "support/FakeCalendarStore.h"
#include "support/TestFiles.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <sys/stat.h>

namespace {

class CalendarEvents : public CardCellFixture
{
protected:
    void SetUp() override
    {
        CardCellFixture::SetUp();
        calendars.status = CalendarStore::AuthorizationStatus::Authorized;
        board.calendarStore = &calendars;
        card = addCard(stage(0), QStringLiteral("Plan the trip"));
        card->setUniqueIdentifier(QStringLiteral("CARD-1"));
        card->setDueDate(due);
        show();
    }

    DatePickerViewController* openPopover() { return openDatePopover(card); }

    static CalendarEvent event(const QString& id, const QString& title, const QDateTime& start, bool allDay = false,
        std::optional<QString> notes = std::nullopt, bool writable = true)
    {
        CalendarEvent made;
        made.eventIdentifier = id;
        made.calendarItemExternalIdentifier = id;
        made.title = title;
        made.startDate = start.toUTC();
        made.endDate = start.addSecs(allDay ? 86400 : 3600).toUTC();
        made.isAllDay = allDay;
        made.occurrenceDate = made.startDate;
        made.notes = notes;
        made.calendar = {writable ? QStringLiteral("Work") : QStringLiteral("Holidays"), QColor(Qt::blue), writable};
        return made;
    }

    QDateTime at(int daysAfterDue, int hour, int minute = 0) const
    {
        return QDateTime(due.date().addDays(daysAfterDue), QTime(hour, minute), Qt::LocalTime);
    }

    static QStringList titles(DatePickerViewController* picker)
    {
        QStringList shown;
        for (const CalendarEvent& event : picker->events())
            shown << event.title;
        return shown;
    }

    static CalEventCollectionViewItem* item(DatePickerViewController* picker, int section, int index)
    {
        return qobject_cast<CalEventCollectionViewItem*>(picker->eventsCollectionView()->itemWidget({section, index}));
    }

    std::optional<QString> storedNotes(const QString& id) { return calendars.event(id)->notes; }

    // The URLs of the link cards in the card's notes.
    QList<QUrl> linkCards() const
    {
        const AttributedString notes = card->getAttributedNotes().value_or(AttributedString());
        QList<QUrl> urls;
        for (int index = 0; index < notes.length(); ++index) {
            const QVariant link = notes.attribute(AttributeKey::attachmentLinkData, index);
            if (link.typeId() == QMetaType::QVariantMap)
                urls << link.toMap().value(QStringLiteral("URL")).toUrl();
        }
        return urls;
    }

    FakeCalendarStore calendars;
    ListItem* card = nullptr;
    QDateTime due {QDate(2026, 6, 10), QTime(12, 0), Qt::LocalTime};
};

} // namespace

TEST_F(CalendarEvents, TheDaysAndTheLinkedEventsAreListedByStartInASectionPerDay)
{
    // An empty day and an event three days later linked to the card: one section.
    calendars.storedEvents = {event("later", "Flight", at(3, 8))};
    card->setEventsArray(QStringList {"later"});
    DatePickerViewController* picker = openPopover();
    EXPECT_EQ(titles(picker), QStringList {"Flight"});
    ASSERT_EQ(picker->distinctEventDates(), QList<QDateTime> {DateHelpers::beginningOfDate(at(3, 8))});
    ASSERT_EQ(picker->eventsCollectionView()->numberOfSections(), 1);
    auto* header = qobject_cast<CalEventCollectionViewSectionHeader*>(picker->eventsCollectionView()->headerWidget(0));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->titleLabel()->text(), QLocale().toString(due.date().addDays(3), QStringLiteral("d MMM yyyy")));

    // At one midnight the all-day event comes first; the rest go by start, the linked one last.
    calendars.storedEvents << event("timed", "Night shift", at(0, 0)) << event("standup", "Standup", at(0, 9))
                           << event("holiday", "Holiday", at(0, 0), true);
    picker->fetchEvents(due);
    EXPECT_EQ(titles(picker), (QStringList {"Holiday", "Night shift", "Standup", "Flight"}));
    EXPECT_EQ(picker->eventsOn(DateHelpers::beginningOfDate(due)).size(), 3);
    EXPECT_EQ(picker->eventsCollectionView()->numberOfSections(), 2);
    EXPECT_EQ(picker->eventsCollectionView()->numberOfItems(0), 3);
    CalEventCollectionViewItem* allDay = item(picker, 0, 0);
    CalEventCollectionViewItem* timed = item(picker, 0, 2);
    ASSERT_TRUE(allDay && timed);
    EXPECT_EQ(allDay->startTimeLabel()->text(), QStringLiteral("all day"));
    EXPECT_TRUE(allDay->endTimeLabel()->isHidden());
    EXPECT_EQ(timed->startTimeLabel()->text(), DateHelpers::shortTimeString(at(0, 9)));
    EXPECT_EQ(timed->endTimeLabel()->text(), DateHelpers::shortTimeString(at(0, 10)));
    EXPECT_EQ(timed->calendarLabel()->text(), QStringLiteral("Work"));
    const QImage swatch = timed->colourBox()->grab().toImage();
    EXPECT_EQ(swatch.pixelColor(swatch.rect().center()), QColor(Qt::blue)) << "the calendar's colour";

    // One event is selected at a time, in the selection colours.
    QTest::mouseClick(allDay->titleLabel(), Qt::LeftButton);
    QTest::mouseClick(timed->titleLabel(), Qt::LeftButton);
    EXPECT_FALSE(allDay->isSelected());
    EXPECT_TRUE(timed->isSelected());
    EXPECT_EQ(picker->eventsCollectionView()->selectionIndexPaths(), (QSet<IndexPath> {{0, 2}}));
    EXPECT_EQ(timed->backgroundBox()->palette().color(QPalette::Window), timed->palette().color(QPalette::Highlight));
    EXPECT_EQ(allDay->backgroundBox()->palette().color(QPalette::Window), allDay->palette().color(QPalette::Base));
}

TEST_F(CalendarEvents, TickingLinksBothSidesAndUntickingTakesOnlyTheEventSideBack)
{
    struct Case
    {
        std::optional<QString> notes;
        QString linked;
        // Unlinking gives back the text; another card's link that begins with this one stays.
        std::optional<QString> unlinked;
    };
    const QList<Case> cases {{std::nullopt, "pelorins://CARD-1", ""}, {"text", "text\npelorins://CARD-1", "text"},
        {"pelorins://CARD-10", "pelorins://CARD-10\npelorins://CARD-1", "pelorins://CARD-10"}};
    for (const Case& test : cases) {
        SCOPED_TRACE(test.notes.value_or("(none)").toStdString());
        calendars.storedEvents = {event("dinner", "Dinner", at(0, 19), false, test.notes)};
        card->setEventsArray(std::nullopt);
        DatePickerViewController* picker = openPopover();
        CalEventCollectionViewItem* dinner = item(picker, 0, 0);
        ASSERT_NE(dinner, nullptr);
        EXPECT_FALSE(dinner->linkedCheckBox()->isChecked());
        const int linksBefore = int(linkCards().size());

        QTest::mouseClick(dinner->linkedCheckBox(), Qt::LeftButton);
        EXPECT_EQ(storedNotes("dinner"), test.linked);
        EXPECT_EQ(card->eventsArray(), QStringList {"dinner"});
        ASSERT_EQ(linkCards().size(), linksBefore + 1);
        EXPECT_EQ(CalendarEventLink::uid(linkCards().last()), QStringLiteral("dinner"));
        EXPECT_TRUE(dinner->isLinked());

        QTest::mouseClick(dinner->linkedCheckBox(), Qt::LeftButton);
        EXPECT_EQ(storedNotes("dinner"), test.unlinked);
        EXPECT_EQ(card->eventsArray(), QStringList {});
        EXPECT_EQ(linkCards().size(), linksBefore + 1) << "the link card stays in the notes";
        EXPECT_FALSE(dinner->linkedCheckBox()->isChecked());
    }
    QTest::qWait(DeferredSave::defaultPauseMilliseconds + 200);
    EXPECT_GE(board.saves, 1) << "a save follows";
}

TEST_F(CalendarEvents, TogglingKeepsLinksItCannotReadAndUnlinksAnyOccurrence)
{
    // "away" lives in a calendar that cannot be read just now; "standup" repeats weekly, and the
    // store answers its identifier with the earlier occurrence.
    calendars.storedEvents = {event("standup", "Standup", at(-7, 9), false, QStringLiteral("pelorins://CARD-1")),
        event("standup", "Standup", at(0, 9), false, QStringLiteral("pelorins://CARD-1")),
        event("dinner", "Dinner", at(0, 19))};
    card->setEventsArray(QStringList {"away", "standup"});
    DatePickerViewController* picker = openPopover();
    const auto shown = [&](const QString& title, const QDateTime& start) -> CalEventCollectionViewItem* {
        for (int section = 0; section < picker->numberOfSections(); ++section)
            for (int index = 0; index < picker->numberOfItems(section); ++index) {
                CalEventCollectionViewItem* row = item(picker, section, index);
                if (row && row->representedObject()->title == title
                    && row->representedObject()->startDate == start.toUTC())
                    return row;
            }
        return nullptr;
    };
    const auto listed = [&](const QString& title) {
        for (const CalendarEvent& event : picker->events())
            if (event.title == title)
                return event;
        return CalendarEvent();
    };

    CalEventCollectionViewItem* dinner = shown("Dinner", at(0, 19));
    ASSERT_NE(dinner, nullptr);
    QTest::mouseClick(dinner->linkedCheckBox(), Qt::LeftButton);
    EXPECT_EQ(card->eventsArray(), (QStringList {"away", "standup", "dinner"}));
    // The list keeps what the row saved, so a row shown again for it is ticked.
    EXPECT_EQ(listed("Dinner").notes, QStringLiteral("pelorins://CARD-1"));

    CalEventCollectionViewItem* today = shown("Standup", at(0, 9));
    ASSERT_NE(today, nullptr);
    QTest::mouseClick(today->linkedCheckBox(), Qt::LeftButton);
    EXPECT_EQ(card->eventsArray(), (QStringList {"away", "dinner"}));
}

TEST_F(CalendarEvents, AFailedSaveRecordsNothingAndTheBoxGoesBack)
{
    calendars.storedEvents = {event("dinner", "Dinner", at(0, 19), false, QStringLiteral("text")),
        event("lunch", "Lunch", at(0, 13), false, QStringLiteral("pelorins://CARD-1"))};
    card->setEventsArray(QStringList {"lunch"});
    DatePickerViewController* picker = openPopover();
    calendars.saveError = QStringLiteral("the disk is full");
    const AttributedString notesBefore = card->getAttributedNotes().value_or(AttributedString());

    ConsoleLog::Capture console;
    for (const QString& title : {QStringLiteral("Lunch"), QStringLiteral("Dinner")}) {
        const int index = int(titles(picker).indexOf(title));
        CalEventCollectionViewItem* shown = item(picker, 0, index);
        ASSERT_NE(shown, nullptr);
        const bool before = shown->linkedCheckBox()->isChecked();
        QTest::mouseClick(shown->linkedCheckBox(), Qt::LeftButton);
        EXPECT_EQ(shown->linkedCheckBox()->isChecked(), before) << title.toStdString();
    }
    EXPECT_EQ(console.lines(), QStringList(2, QStringLiteral("error saving event the disk is full")));
    EXPECT_EQ(storedNotes("dinner"), QStringLiteral("text"));
    EXPECT_EQ(storedNotes("lunch"), QStringLiteral("pelorins://CARD-1"));
    EXPECT_EQ(card->eventsArray(), QStringList {"lunch"});
    EXPECT_EQ(card->getAttributedNotes().value_or(AttributedString()), notesBefore);
}

TEST_F(CalendarEvents, AReadOnlyEventOrACardWithoutIdentifierCannotBeLinked)
{
    calendars.storedEvents = {event("holiday", "Holiday", at(0, 0), true, std::nullopt, false),
        event("dinner", "Dinner", at(0, 19), false, QStringLiteral("pelorins://CARD-2"))};
    DatePickerViewController* picker = openPopover();
    CalEventCollectionViewItem* holiday = item(picker, 0, 0);
    ASSERT_NE(holiday, nullptr);
    EXPECT_FALSE(holiday->readOnlyIcon()->isHidden());
    EXPECT_TRUE(holiday->linkedCheckBox()->isHidden());
    EXPECT_TRUE(item(picker, 0, 1)->readOnlyIcon()->isHidden());

    // Its link would be "pelorins://", which begins every card's link.
    card->setUniqueIdentifier(QString());
    picker = openPopover();
    CalEventCollectionViewItem* dinner = item(picker, 0, 1);
    EXPECT_FALSE(dinner->linkedCheckBox()->isEnabled());
    EXPECT_TRUE(dinner->linkedCheckBox()->isChecked() == false);
    for (const bool state : {true, false}) {
        dinner->linkedCheckBox()->setChecked(state);
        dinner->toggleLinkEvent();
    }
    EXPECT_EQ(storedNotes("dinner"), QStringLiteral("pelorins://CARD-2"));
    EXPECT_EQ(card->eventsArray(), std::nullopt);
}

TEST_F(CalendarEvents, AccessIsAskedOnceAndWithoutItNothingIsRead)
{
    struct Case
    {
        CalendarStore::AuthorizationStatus status;
        bool listShown;
        bool boxShown;
        QStringList console;
    };
    const QList<Case> cases {{CalendarStore::AuthorizationStatus::NotDetermined, false, true, {}},
        {CalendarStore::AuthorizationStatus::Restricted, true, false, {"Calendar access, denied or not determined"}},
        {CalendarStore::AuthorizationStatus::Denied, true, false, {"Calendar access, denied or not determined"}},
        {CalendarStore::AuthorizationStatus::Authorized, true, false, {}}};
    calendars.storedEvents = {event("dinner", "Dinner", at(0, 19))};
    for (const Case& test : cases) {
        SCOPED_TRACE(int(test.status));
        calendars.status = test.status;
        ConsoleLog::Capture console;
        DatePickerViewController* picker = openPopover();
        EXPECT_EQ(!picker->eventsContainingScrollView()->isHidden(), test.listShown);
        EXPECT_EQ(!picker->authoriseBox()->isHidden(), test.boxShown);
        EXPECT_EQ(console.lines(), test.console);
        EXPECT_EQ(picker->events().size(), test.status == CalendarStore::AuthorizationStatus::Authorized ? 1 : 0);
    }

    // Refused, with an error; then granted: the day's events come at once.
    calendars.status = CalendarStore::AuthorizationStatus::NotDetermined;
    calendars.accessError = QStringLiteral("no folder was chosen");
    DatePickerViewController* picker = openPopover();
    ConsoleLog::Capture console;
    QTest::mouseClick(picker->grantPermissionButton(), Qt::LeftButton);
    EXPECT_EQ(console.lines(),
        (QStringList {"grant permission button tapped", " permission denied", "error no folder was chosen"}));
    EXPECT_FALSE(picker->authoriseBox()->isHidden());

    calendars.accessError.clear();
    calendars.userGrantsAccess = true;
    QTest::mouseClick(picker->grantPermissionButton(), Qt::LeftButton);
    EXPECT_EQ(calendars.resets, 1);
    EXPECT_TRUE(picker->authoriseBox()->isHidden());
    EXPECT_FALSE(picker->eventsContainingScrollView()->isHidden());
    EXPECT_EQ(titles(picker), QStringList {"Dinner"});
}

namespace {

QByteArray calendarFile(const QByteArray& uid, const QByteArray& summary, const QByteArray& start)
{
    QByteArray text = "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//Test//EN\nBEGIN:VEVENT\nUID:" + uid
        + "\nDTSTAMP:20260101T000000Z\nSUMMARY:" + summary + "\n" + start + "END:VEVENT\nEND:VCALENDAR\n";
    return text.replace("\n", "\r\n");
}

} // namespace

TEST_F(CalendarEvents, OnCalendarFoldersALinkIsWrittenIntoTheFileAndItsUidComesBack)
{
    QTemporaryDir folder;
    const QDir calendarsFolder(folder.path());
    for (const char* name : {"work", "holidays"}) {
        calendarsFolder.mkdir(QLatin1String(name));
        writeFile(calendarsFolder.filePath(QStringLiteral("%1/displayname").arg(QLatin1String(name))),
            QByteArray(name).toUpper());
        writeFile(calendarsFolder.filePath(QStringLiteral("%1/color").arg(QLatin1String(name))), "#3366cc");
    }
    const QString meeting = calendarsFolder.filePath(QStringLiteral("work/meeting.ics"));
    const QString trip = calendarsFolder.filePath(QStringLiteral("work/trip.ics"));
    const QString holiday = calendarsFolder.filePath(QStringLiteral("holidays/day.ics"));
    writeFile(
        meeting, calendarFile("A1B2-C3@Example.COM", "Meeting", "DTSTART:20260610T080000Z\nDTEND:20260610T090000Z\n"));
    writeFile(trip, calendarFile("x y/z", "Trip", "DTSTART;VALUE=DATE:20260610\n"));
    writeFile(holiday, calendarFile("holiday-1", "Holiday", "DTSTART;VALUE=DATE:20260610\n"));
    const QString holidays = calendarsFolder.filePath(QStringLiteral("holidays"));
    ASSERT_EQ(::chmod(QFile::encodeName(holidays).constData(), 0555), 0);
    // Whatever fails below, the folder can be removed.
    const auto writable = qScopeGuard([&] { ::chmod(QFile::encodeName(holidays).constData(), 0755); });

    // Chosen once, as a folder of calendar folders.
    VdirCalendarStore store(board.defaults(), [&] { return std::optional<QStringList>(QStringList {folder.path()}); });
    store.requestAccess({});
    EXPECT_EQ(store.calendarFolders(), (QStringList {holidays, calendarsFolder.filePath(QStringLiteral("work"))}));
    board.calendarStore = &store;
    const auto forget = qScopeGuard([&] {
        if (DatePickerViewController* open = cell(card)->datePicker())
            open->doneButtonTapped();
        QCoreApplication::processEvents();
        board.calendarStore = nullptr;
    });

    DatePickerViewController* picker = openPopover();
    ASSERT_EQ(titles(picker), (QStringList {"Holiday", "Trip", "Meeting"}));
    if (!QFileInfo(holidays).isWritable()) {
        EXPECT_TRUE(item(picker, 0, 0)->linkedCheckBox()->isHidden()) << "a read-only calendar";
    }
    for (const int index : {1, 2})
        QTest::mouseClick(item(picker, 0, index)->linkedCheckBox(), Qt::LeftButton);

    EXPECT_TRUE(readFile(meeting).contains("DESCRIPTION:pelorins://CARD-1"));
    EXPECT_TRUE(readFile(trip).contains("DESCRIPTION:pelorins://CARD-1"));
    const QStringList identifiers = card->eventsArray().value_or(QStringList());
    ASSERT_EQ(identifiers.size(), 2);
    EXPECT_EQ(store.event(identifiers.at(0))->title, QStringLiteral("Trip"));
    EXPECT_EQ(store.event(identifiers.at(1))->title, QStringLiteral("Meeting"));

    // The link cards name the events by UID, whatever the URL made of them.
    QStringList found;
    for (const QUrl& url : linkCards()) {
        ASSERT_EQ(url.scheme(), QStringLiteral("calendar"));
        const std::optional<CalendarEvent> linked = store.event(CalendarEventLink::uid(url));
        found << (linked ? linked->calendarItemExternalIdentifier : QString());
    }
    EXPECT_EQ(found, (QStringList {"x y/z", "A1B2-C3@Example.COM"}));
}
