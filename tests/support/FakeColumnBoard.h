#pragma once

#include "Pelorins/column/KanbanColumnContainerView.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "Pelorins/column/MacKanbanColumnDelegate.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/widgets/ActionRouter.h"
#include "support/FakeBoardBasics.h"
#include "support/FakeSystemEventMonitor.h"

#include <QScrollArea>
#include <QTemporaryDir>
#include <cmath>
#include <memory>
#include <vector>

// A board for tests of the column view: it shows a Kanban with the program's geometry
// (FakeBoardBasics), keeps real column controllers for its stages and its done column, places
// their containers side by side in a document widget as the board view does, and hands them its
// own notification centre, defaults, event monitor and action routing. Header-only, so that
// benchmarks can use it too.
class FakeColumnBoard : public FakeBoardBasics<MacKanbanColumnDelegate>
{
public:
    using Margins = KanbanColumnController::Margins;

    explicit FakeColumnBoard(Kanban* kanban = nullptr)
        : FakeBoardBasics(kanban, true)
        , m_defaults(m_folder.filePath(QStringLiteral("defaults.conf")))
    {
        m_scrollView.setWidget(&m_document);
        m_scrollView.resize(1440, 900);
        m_document.resize(1440, 900);
    }

    ~FakeColumnBoard() override
    {
        // Controllers go before the document that holds their containers.
        m_controllers.clear();
        m_scrollView.takeWidget();
    }

    // One controller per stage and one for the done column, placed side by side and shown;
    // their lists update at once, without sliding.
    void buildColumns()
    {
        const int stages = int(kanbanColumns().size());
        for (int section = 0; section <= stages; ++section)
            addColumn(section);
        m_scrollView.show();
        layOut();
    }

    MacKanbanColumnController& addColumn(int section)
    {
        m_controllers.push_back(std::make_unique<MacKanbanColumnController>(section, this));
        MacKanbanColumnController& column = *m_controllers.back();
        column.containerView()->setParent(&m_document);
        column.containerView()->show();
        column.collectionView()->setAnimationDuration(0);
        column.setMargins(Margins {0, 0, columnWidth()});
        column.updateColumnHeight(0, true);
        return column;
    }

    void removeColumns() { m_controllers.clear(); }

    MacKanbanColumnController& column(int section) const
    {
        for (const auto& controller : m_controllers)
            if (controller->specifiedSection() == section)
                return *controller;
        return *m_controllers.front();
    }

    // Places every container at its margins, the full height of the document.
    void layOut()
    {
        for (const auto& controller : m_controllers) {
            const std::optional<Margins> place = controller->margins();
            if (!place)
                continue;
            controller->containerView()->setGeometry(int(std::lround(place->left)), int(std::lround(place->top)),
                int(std::lround(place->width)), m_document.height());
        }
    }

    QWidget& document() { return m_document; }
    FakeSystemEventMonitor& monitor() { return m_monitor; }
    // The calendars card links to events are shown from; none unless a test sets them.
    CalendarStore* calendarStore = nullptr;
    // Where cards' reminders go; none unless a test sets it.
    ReminderCenter* reminders = nullptr;
    ActionRouter& router() { return m_router; }
    UserDefaults& defaults() { return m_defaults; }
    int layoutRequests = 0;
    // What the board's buttons over the columns' foot take.
    int bottomInset = 0;
    // What the board shows behind its columns.
    QColor behindColumns {Qt::white};
    int layoutAnimations = 0;
    int columnCopies = 0;
    int columnPastes = 0;
    QList<int> deletedSections;
    // Cards measured while the height cache is in use.
    int measuredCards = 0;

    // KanbanColumnDelegate
    // The board's own widget, as the program's board is.
    QObject* undoOwner() const override { return const_cast<QScrollArea*>(&m_scrollView); }
    void cacheItemHeight(ListItem* item, qreal height) override
    {
        ++measuredCards;
        FakeBoardBasics::cacheItemHeight(item, height);
    }
    void insertNewSection(int, bool) override { }
    void deleteSelectedSections() override { }
    void flipDoneStatesOf(const QList<ListItem*>& items) override { flippedItems.append(items); }
    QList<ListItem*> flippedItems;
    KanbanColumnController* controllerFor(int section) const override
    {
        for (const auto& controller : m_controllers)
            if (controller->specifiedSection() == section)
                return controller.get();
        return nullptr;
    }
    void rearrangeSections(const QList<int>&, int) override { }
    void animateLayoutChanges() override { ++layoutAnimations; }

    // MacKanbanColumnDelegate
    QList<MacKanbanColumnController*> columnControllers() const override
    {
        QList<MacKanbanColumnController*> controllers;
        for (const auto& controller : m_controllers)
            controllers.append(controller.get());
        return controllers;
    }
    MacKanbanColumnController* lastSelectedController() const override { return m_lastSelected; }
    void setLastSelectedController(MacKanbanColumnController* controller) override { m_lastSelected = controller; }
    QScrollArea* scrollView() const override { return const_cast<QScrollArea*>(&m_scrollView); }
    QWidget* documentView() const override { return const_cast<QWidget*>(&m_document); }
    void setNeedsDocumentLayout() override { ++layoutRequests; }
    int columnsBottomInset() const override { return bottomInset; }
    QColor colourBehindColumns() const override { return behindColumns; }
    void selectColumn(MacKanbanColumnController*) override { }
    std::optional<IndexPath> doneColumnDropIndexPath(const QPoint&) const override { return std::nullopt; }
    void copy() override { ++columnCopies; }
    void paste() override { ++columnPastes; }
    void deleteSection(int section) override { deletedSections.append(section); }
    NotificationCenter& notificationCenter() const override { return const_cast<NotificationCenter&>(m_notifications); }
    UserDefaults& userDefaults() const override { return const_cast<UserDefaults&>(m_defaults); }
    CalendarStore* eventStore() const override { return calendarStore; }
    ReminderCenter* reminderCenter() const override { return reminders; }
    SystemEventMonitor* systemEventMonitor() const override { return const_cast<FakeSystemEventMonitor*>(&m_monitor); }
    ActionRouter* actionRouter() const override { return const_cast<ActionRouter*>(&m_router); }
    void saveAction() override { ++saves; }
    int saves = 0;

private:
    QTemporaryDir m_folder;
    UserDefaults m_defaults;
    NotificationCenter m_notifications;
    FakeSystemEventMonitor m_monitor;
    ActionRouter m_router;
    QScrollArea m_scrollView;
    QWidget m_document;
    std::vector<std::unique_ptr<MacKanbanColumnController>> m_controllers;
    MacKanbanColumnController* m_lastSelected = nullptr;
};
