#pragma once

#include "Pelorins/card/CardBoard.h"
#include "PelorinsKit/board/KanbanColumnDelegate.h"
#include "Platform/core/IndexPath.h"

#include <QList>
#include <optional>

class ActionRouter;
class CalendarStore;
class MacKanbanColumnController;
class NotificationCenter;
class ReminderCenter;
class QPoint;
class QScrollArea;
class QWidget;
class SystemEventMonitor;
class UserDefaults;

// The board as its column controllers and its add-column button see it: the board logic's view
// of it, its live columns, the widgets that hold them, and the services it was handed, so that a
// column needs nothing but its board. It is also the board its columns' cards see.
class MacKanbanColumnDelegate : public KanbanColumnDelegate, public CardBoard
{
public:
    // Asked by the board logic and by the cards alike.
    Kanban* kanban() const override = 0;
    QDateTime now() const override { return KanbanColumnDelegate::now(); }
    std::optional<QString> searchTerm() const override = 0;
    UndoManager* undoManager() const override = 0;
    QObject* undoOwner() const override = 0;
    QHash<ListItem*, qreal> itemHeightCache() const override = 0;
    void setItemHeightCache(const QHash<ListItem*, qreal>& itemHeightCache) override = 0;
    void flipDoneStatesOf(const QList<ListItem*>& items) override = 0;

    // The first of the live column controllers that shows the card.
    ListItemCellView* cellShowing(ListItem* card) const override;

    // Every live column controller, in the order they were installed (not section order).
    virtual QList<MacKanbanColumnController*> columnControllers() const = 0;
    // The anchor of a Shift-click range of columns; null when there is none.
    virtual MacKanbanColumnController* lastSelectedController() const = 0;
    virtual void setLastSelectedController(MacKanbanColumnController* controller) = 0;

    // The board's horizontal scroll area, and the widget without a layout inside it that holds
    // every column's container and the add-column button. Column drags and drops measure in the
    // document view's coordinates.
    virtual QScrollArea* scrollView() const = 0;
    virtual QWidget* documentView() const = 0;
    // Margins of a column or of the add-column button changed: the board places them again on
    // the next turn of the event loop, or sooner when a layout pass or its animation runs first.
    virtual void setNeedsDocumentLayout() = 0;
    // How high the board's own buttons over the foot of its columns reach: every column's list
    // keeps that much room after its last section, so that its end scrolls clear of them.
    virtual int columnsBottomInset() const = 0;
    // What the board shows behind its columns, as one opaque colour: its colour, or the mean of
    // its picture.
    virtual QColor colourBehindColumns() const = 0;

    // A Shift-click on `controller`: selects the stage columns from the anchor to it.
    virtual void selectColumn(MacKanbanColumnController* controller) = 0;
    // The first item of the done column's day section whose header lies under the global point;
    // none in the single-column layout or away from the done column.
    virtual std::optional<IndexPath> doneColumnDropIndexPath(const QPoint& globalPoint) const = 0;
    // Column copy and paste, which a column hands over when its whole column is selected or the
    // clipboard holds columns and no cards.
    virtual void copy() = 0;
    virtual void paste() = 0;
    // Deletes the one stage at `section` (undoable), whatever is selected: the single list's
    // header menu acts on its own stage.
    virtual void deleteSection(int section) = 0;

    NotificationCenter& notificationCenter() const override = 0;
    UserDefaults& userDefaults() const override = 0;
    // Sleep, wake, clock and time-zone changes; null when nobody watches them.
    virtual SystemEventMonitor* systemEventMonitor() const = 0;
    // The user's calendars, which card links to events are shown from; null without them.
    CalendarStore* eventStore() const override = 0;
    // Where cards' reminders are scheduled; null without it.
    ReminderCenter* reminderCenter() const override = 0;
    // Where columns put their controllers into the action routing; null without one.
    virtual ActionRouter* actionRouter() const = 0;
    // The program's save routine.
    void saveAction() override = 0;
};
