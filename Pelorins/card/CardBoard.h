#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <optional>

class CalendarStore;
class Kanban;
class ListItem;
class ListItemCellView;
class NotificationCenter;
class QObject;
class ReminderCenter;
class UndoManager;
class UserDefaults;

// The board as the cards on it see it: its clock, search, undo and services, and the cell that
// shows a card in any of its columns. A card's undo steps hold the board, which outlives the
// columns and cells that come and go with each reload.
class CardBoard
{
public:
    virtual ~CardBoard() = default;

    // The board shown; null before one is set.
    virtual Kanban* kanban() const = 0;
    // What the board takes as now when it decides which day is today.
    virtual QDateTime now() const = 0;
    // The text of the board's search field; none (or empty) when no search is active.
    virtual std::optional<QString> searchTerm() const = 0;
    // The window's undo manager; null while the board has no window.
    virtual UndoManager* undoManager() const = 0;
    // What the cards' undo steps are filed under: they go with the board.
    virtual QObject* undoOwner() const = 0;
    // Card heights shared by all columns of the board.
    virtual QHash<ListItem*, qreal> itemHeightCache() const = 0;
    virtual void setItemHeightCache(const QHash<ListItem*, qreal>& itemHeightCache) = 0;
    // Marks the open cards done and the done cards open.
    virtual void flipDoneStatesOf(const QList<ListItem*>& items) = 0;
    // The program's save routine.
    virtual void saveAction() = 0;

    virtual NotificationCenter& notificationCenter() const = 0;
    virtual UserDefaults& userDefaults() const = 0;
    // The user's calendars, which card links to events are shown from; null without them.
    virtual CalendarStore* eventStore() const = 0;
    // Where cards' reminders are scheduled; null without it.
    virtual ReminderCenter* reminderCenter() const = 0;

    // The cell that shows `card` in one of the board's columns; null when none does.
    virtual ListItemCellView* cellShowing(ListItem* card) const = 0;
};
