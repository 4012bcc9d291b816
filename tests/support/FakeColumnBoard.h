#pragma once

#include "Pelorins/column/KanbanColumnContainerView.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "Pelorins/column/MacKanbanColumnDelegate.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/widgets/ActionRouter.h"
#include "support/FakeSystemEventMonitor.h"

#include <QScrollArea>
#include <QTemporaryDir>
#include <cmath>
#include <memory>
#include <vector>

// A board for tests of the column view: it shows a Kanban with the program's geometry (columns
// 300 x magnification wide, 40 before the done column), keeps real column controllers for its
// stages and its done column, places their containers side by side in a document widget as the
// board view does, and hands them its own notification centre, defaults, event monitor and
// action routing. Header-only, so that benchmarks can use it too.
class FakeColumnBoard : public MacKanbanColumnDelegate
{
public:
    using Margins = KanbanColumnController::Margins;

    explicit FakeColumnBoard(Kanban* kanban = nullptr)
        : m_kanban(kanban)
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

    void setKanban(Kanban* kanban) { m_kanban = kanban; }
    void setViewAsMultiColumn(bool multiColumn) { m_viewAsMultiColumn = multiColumn; }
    void setTagFilter(const std::optional<QList<Tag*>>& tagFilter) { m_tagFilter = tagFilter; }
    void setSearchTerm(const std::optional<QString>& searchTerm) { m_searchTerm = searchTerm; }
    void setNow(const std::optional<QDateTime>& now) { m_now = now; }
    void setUndoManager(UndoManager* undoManager) { m_undoManager = undoManager; }

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
    Kanban* kanban() const override { return m_kanban; }
    QList<KanbanColumn*> kanbanColumns() const override
    {
        return m_kanban ? m_kanban->column() : QList<KanbanColumn*>();
    }
    qreal storedMagnification() const override { return m_magnification; }
    void setStoredMagnification(qreal magnification) override { m_magnification = magnification; }
    bool viewAsMultiColumn() const override { return m_viewAsMultiColumn; }
    qreal columnWidth() const override { return m_magnification * 300.0; }
    qreal columnGap() const override { return 40.0; }
    qreal columnsLeftInset() const override { return 0.0; }
    int bookmarkedColumnIndex() const override
    {
        const QList<KanbanColumn*> columns = kanbanColumns();
        for (int i = 0; i < columns.size(); ++i)
            if (columns.at(i)->bookmarked())
                return i;
        return 0;
    }
    std::optional<QList<Tag*>> tagFilter() const override { return m_tagFilter; }
    std::optional<QString> searchTerm() const override { return m_searchTerm; }
    UndoManager* undoManager() const override { return m_undoManager; }
    // The board's own widget, as the program's board is.
    QObject* undoOwner() const override { return const_cast<QScrollArea*>(&m_scrollView); }
    QHash<ListItem*, qreal> itemHeightCache() const override { return m_itemHeightCache; }
    void setItemHeightCache(const QHash<ListItem*, qreal>& cache) override { m_itemHeightCache = cache; }
    bool useItemHeightCache() const override { return m_useItemHeightCache; }
    void setUseItemHeightCache(bool use) override { m_useItemHeightCache = use; }
    void cacheItemHeight(ListItem* item, qreal height) override
    {
        ++measuredCards;
        m_itemHeightCache.insert(item, height);
    }
    std::optional<qreal> cachedItemHeight(ListItem* item) const override
    {
        const auto cached = m_itemHeightCache.constFind(item);
        return cached == m_itemHeightCache.cend() ? std::nullopt : std::optional<qreal>(*cached);
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
    QDateTime now() const override { return m_now.value_or(KanbanColumnDelegate::now()); }

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
    Kanban* m_kanban = nullptr;
    QTemporaryDir m_folder;
    UserDefaults m_defaults;
    NotificationCenter m_notifications;
    FakeSystemEventMonitor m_monitor;
    ActionRouter m_router;
    QScrollArea m_scrollView;
    QWidget m_document;
    std::vector<std::unique_ptr<MacKanbanColumnController>> m_controllers;
    MacKanbanColumnController* m_lastSelected = nullptr;
    qreal m_magnification = 1.0;
    bool m_viewAsMultiColumn = true;
    std::optional<QList<Tag*>> m_tagFilter;
    std::optional<QString> m_searchTerm;
    std::optional<QDateTime> m_now;
    UndoManager* m_undoManager = nullptr;
    QHash<ListItem*, qreal> m_itemHeightCache;
    bool m_useItemHeightCache = true;
};
