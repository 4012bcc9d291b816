#pragma once

#include "Pelorins/board/BoardPane.h"
#include "Pelorins/board/TagFiltersDelegate.h"
#include "Pelorins/board/ViewWithBackground.h"
#include "Pelorins/column/MacKanbanColumnDelegate.h"
#include "PelorinsKit/board/DoneItemsMoverDelegate.h"
#include "PelorinsKit/board/KanbanColumnController.h"
#include "PelorinsKit/board/TagRenaming.h"
#include "Platform/widgets/ActionResponder.h"
#include "Platform/widgets/Animator.h"

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QLatin1String>
#include <QMap>
#include <QPointer>
#include <QTimeZone>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

class AddColumnButtonView;
class AlertPresenter;
class BoardSearchText;
class DoneItemsMover;
class JSONReader;
class KanbanColumn;
class ManagedObjectContext;
class QLabel;
class QLineEdit;
class QToolButton;

// The view of one board: its stage columns side by side with the done column after them, or
// all of them as one list in a narrow window; its title in the top band; the layout and bookmark
// buttons at the bottom right. It owns a column controller per stage plus the done column's,
// keeps idle ones in a pool for the next board, runs the due-date and day-change timers, and
// applies the search and the tag filter.
//
// Geometry: columns are 300 x the magnification wide, side by side, the done column after a gap
// of 40 in which the add-column button sits 38 below the top; every column spans the document's
// height and scrolls on its own.
class MacKanbanColumnsViewController : public ViewWithBackground,
                                       public BoardPane,
                                       public MacKanbanColumnDelegate,
                                       public DoneItemsMoverDelegate,
                                       public TagFiltersDelegate,
                                       public ActionResponder
{
    Q_OBJECT
public:
    struct Services
    {
        // Where a board's missing done column is made. Required.
        ManagedObjectContext* context = nullptr;
        // The program's save routine.
        std::function<void()> save;
        // The window's history.
        UndoManager* undoManager = nullptr;
        // The standard defaults when null.
        UserDefaults* defaults = nullptr;
        // The shared centre when null.
        NotificationCenter* notificationCenter = nullptr;
        // Sleep, wake, clock and zone changes; without it the timers are only set when loading.
        SystemEventMonitor* systemEvents = nullptr;
        // The user's calendars; card links to events show nothing without them.
        CalendarStore* eventStore = nullptr;
        // Where cards' reminders are scheduled; none are without it.
        ReminderCenter* reminderCenter = nullptr;
        ActionRouter* router = nullptr;
        // Asks before a tag is merged into another; without one no tag is merged.
        AlertPresenter* alertPresenter = nullptr;
        // The system clock when empty.
        std::function<QDateTime()> now;
        // What pasted and restored stages are read with; the board makes its own over `context`
        // when null.
        JSONReader* reader = nullptr;
        // Reads a board's cards before it is shown, and its history soon after; without it they
        // are read as the columns ask for them.
        std::function<void(Kanban*)> prepareBoard;
    };

    // Undo action names of the stages.
    static const QString insertNewSectionActionName;
    static const QString deleteSectionsActionName;
    static const QString rearrangeSectionsActionName;
    // The title of a new stage.
    static const QString newColumnTitle;

    static constexpr QLatin1String viewAsMultiColumnKey {"viewAsMultiColumn"};
    static constexpr QLatin1String expandedViewWidthKey {"expandedViewWidth"};
    static constexpr QLatin1String firstSetupCompletedKey {"firstSetupCompleted"};
    static constexpr qreal leftPadding = 0.0;
    static constexpr qreal addButtonWidth = 40.0;
    static constexpr qreal titleBarHeight = 38.0;
    static constexpr qreal baseColumnWidth = 300.0;

    explicit MacKanbanColumnsViewController(const Services& services, QWidget* parent = nullptr);
    ~MacKanbanColumnsViewController() override;

    // The next minute that starts after `now`, and the start of the day after `now`'s in `zone`
    // (its first moment when the day has no midnight).
    static QDateTime nextWholeMinute(const QDateTime& now);
    static QDateTime nextLocalMidnight(const QDateTime& now, const QTimeZone& zone = QTimeZone::systemTimeZone());
    // Board widths for the window of each layout. The separate-columns width is the remembered
    // one, at least two columns and at most the screen; with a sidebar shown, its width is added.
    static int separateColumnsBoardWidth(int expandedViewWidth, qreal columnWidth, int screenWidth);
    // Where a window of `width` goes from `frame`: at its place, or moved left to end 20 inside
    // the screen when it would pass the screen's right edge.
    static QRect clampedWindowFrame(const QRect& frame, int width, const QRect& screen);

    // BoardPane
    QWidget* view() override { return this; }
    Kanban* kanban() const override { return m_kanban; }
    void setKanban(Kanban* kanban) override;
    void loadKanban() override;
    void setMainSplitViewController(BoardHost* controller) override;
    std::optional<QString> searchTerm() const override { return m_searchTerm; }
    void setSearchTerm(const std::optional<QString>& searchTerm) override;
    std::optional<QList<Tag*>> tagFilter() const override { return m_tagFilter; }
    void setTagFilter(const std::optional<QList<Tag*>>& tagFilter) override;
    void reloadColumns() override;
    bool viewAsMultiColumn() const override { return m_viewAsMultiColumn; }
    void toggleColumnLayout() override;
    int wholeBoardWidth() const override { return m_documentWidth; }
    qreal storedMagnification() const override { return m_storedMagnification; }
    void setStoredMagnification(qreal storedMagnification) override;
    QSet<int> selectedSections() const override;
    void insertNewSection(int at, bool removing) override;
    void jumpToBookmarkedSection(bool animated) override;
    void showProjectSettings() override;

    // KanbanColumnDelegate
    QList<KanbanColumn*> kanbanColumns() const override;
    qreal columnWidth() const override { return m_storedMagnification * baseColumnWidth; }
    qreal columnGap() const override { return addButtonWidth; }
    qreal columnsLeftInset() const override { return leftPadding; }
    int bookmarkedColumnIndex() const override;
    UndoManager* undoManager() const override { return m_services.undoManager; }
    // The movers' steps reach this board when they run, so they go with it.
    QObject* undoOwner() const override { return const_cast<MacKanbanColumnsViewController*>(this); }
    QHash<ListItem*, qreal> itemHeightCache() const override { return m_itemHeightCache; }
    void setItemHeightCache(const QHash<ListItem*, qreal>& itemHeightCache) override;
    bool useItemHeightCache() const override { return m_useItemHeightCache; }
    void setUseItemHeightCache(bool useItemHeightCache) override { m_useItemHeightCache = useItemHeightCache; }
    void cacheItemHeight(ListItem* item, qreal height) override;
    std::optional<qreal> cachedItemHeight(ListItem* item) const override;
    void deleteSelectedSections() override;
    void flipDoneStatesOf(const QList<ListItem*>& items) override;
    KanbanColumnController* controllerFor(int section) const override;
    void rearrangeSections(const QList<int>& indexes, int to) override;
    void animateLayoutChanges() override;
    // The clock the board was handed.
    QDateTime now() const override { return m_services.now(); }

    // MacKanbanColumnDelegate
    QList<MacKanbanColumnController*> columnControllers() const override { return m_columnControllers; }
    MacKanbanColumnController* lastSelectedController() const override { return m_lastSelectedController; }
    void setLastSelectedController(MacKanbanColumnController* controller) override;
    QScrollArea* scrollView() const override { return m_scrollView; }
    QWidget* documentView() const override { return m_documentView; }
    void setNeedsDocumentLayout() override;
    int columnsBottomInset() const override;
    QColor colourBehindColumns() const override { return shownColour(); }
    void selectColumn(MacKanbanColumnController* controller) override;
    std::optional<IndexPath> doneColumnDropIndexPath(const QPoint& globalPoint) const override;
    // Writes the selected stages to the clipboard as column data; with none selected the
    // clipboard keeps what it holds.
    void copy() override;
    // Inserts the stages of the clipboard's column data after the last selected stage (after the
    // last stage when none is), selected. Data that is not a list of stages is refused whole.
    void paste() override;
    void deleteSection(int section) override;
    NotificationCenter& notificationCenter() const override { return *m_services.notificationCenter; }
    UserDefaults& userDefaults() const override { return *m_services.defaults; }
    SystemEventMonitor* systemEventMonitor() const override { return m_services.systemEvents; }
    CalendarStore* eventStore() const override { return m_services.eventStore; }
    ReminderCenter* reminderCenter() const override { return m_services.reminderCenter; }
    ActionRouter* actionRouter() const override { return m_services.router; }
    void saveAction() override;

    // DoneItemsMoverDelegate
    void scrollToController(KanbanColumnController* controller) override;
    // Clears the search and the tag filter when either is set, then selects the card in its
    // column and scrolls it to the middle, bringing the column into view. A card this board does
    // not show changes nothing more.
    void showAndSelect(ListItem* item) override;
    void insertNewSectionAtEnd() override;

    // TagFiltersDelegate. Both save, post "tagValueChanged" and record their undo.
    void changeTagColour(Tag* tag, int colour) override;
    void renameTag(Tag* tag, const QString& name) override;
    // Renames the tag and its hash tags in the notes of its board's cards; `merge` then merges it
    // into the board's other tag of that name. While undoing, the notes come back from
    // `savedNotes` instead.
    void renameOrMergeTag(
        Tag* tag, const QString& name, bool merge, const std::optional<TagRenaming::SavedNotes>& savedNotes);

    // ActionResponder
    bool respondsTo(const QString& action) const override;
    void perform(const QString& action, QObject* sender) override;

    // The actions of the stages: "insertNewSectionAtEnd", "deleteSelectedSections", "copy:",
    // "cut:" and "paste:".
    static const QStringList& sectionActions();
    void performSectionAction(const QString& action, QObject* sender);

    // The typed controller of a section; null when none has it.
    MacKanbanColumnController* columnControllerFor(int section) const;
    QList<MacKanbanColumnController*> inactiveColumnControllers() const { return m_inactiveColumnControllers; }

    // Loading (see loadKanban) and placing columns.
    void installColumnController(
        int section, MacKanbanColumnController* reusing, QList<MacKanbanColumnController*>& newControllers);
    // Puts a column's view into the document at slot `at` (after the last column when `atEnd`)
    // and answers where it goes.
    KanbanColumnController::Margins addColumnView(QWidget* view, int at, bool atEnd);
    void updateDocumentWidth();
    // Places the columns and the add-column button from their margins now, when any changed.
    void layoutDocumentIfNeeded();
    // Scrolls the column so that the item sits two header heights below its top.
    void scrollColumn(MacKanbanColumnController* controller, const IndexPath& path, bool animated);
    void setupAddColumnButton();

    // The toolbar's search: the field's text becomes the search and every column shows it.
    void searchTermChanged(const QLineEdit* field);

    // Timers and what they do.
    void scheduleMinutelyTimer();
    void scheduleDailyTimer();
    void scheduleAllTimers();
    // "willSleep" stops both timers, "didWake" sets them again.
    void sleepListener(const QString& eventName);
    void checkForDueItems();
    // After a sideways scroll.
    void contentViewScrolled();
    void updateDoneColumnHeaders();
    // When each timer fires next; none while stopped.
    std::optional<QDateTime> minutelyFireDate() const;
    std::optional<QDateTime> dailyFireDate() const;

    void updateChangeLayoutButton();
    void updateTitle();
    // Shows the board's colour or picture behind the columns.
    void setBackgroundImage();
    void bookmarkButtonTapped();
    void bottomRightButtonTapped();
    // Scrolls the board sideways to 200 (a debugging aid).
    void getOffset();

    // Deletes the stages at `indexes` (ascending), or rebuilds the stages of a deletion's record
    // (stage index to the stage's node) in place, selected.
    void deleteSections(
        const std::optional<QList<int>>& indexes, const std::optional<QMap<int, QJsonObject>>& restoring);
    // Does nothing: stages are copied and pasted, never cut.
    void cut();

    // Declared for the work on cards that follows.
    void markItemsDone(const QList<ListItem*>& items);
    void markItemsUndone(const QList<ListItem*>& items);
    void deleteBackward();

    QLabel* titleTextField() const { return m_titleTextField; }
    QToolButton* changeLayoutButton() const { return m_changeLayoutButton; }
    QToolButton* bookmarkButton() const { return m_bookmarkButton; }
    AddColumnButtonView* addColumnButton() const { return m_addColumnButton; }
    DoneItemsMover* doneItemsMover() const { return m_doneItemsMover.get(); }
    Animator& animator() { return m_animator; }

signals:
    // The tag filter changed; `active` while it holds a tag.
    void tagFilterChanged(bool active);
    // The board shown was deleted, alone or with its folder: the pane shows no board now.
    void kanbanReleased();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The stage operations on a given board, which need not be the one shown when an undo step
    // runs; the columns follow when it is.
    KanbanColumn* insertStage(Kanban* kanban, int at);
    void removeInsertedStage(Kanban* kanban, KanbanColumn* stage);
    void deleteStages(Kanban* kanban, const QList<int>& indexes);
    void rebuildStages(Kanban* kanban, const QMap<int, QJsonObject>& record);
    void moveStages(Kanban* kanban, const QList<int>& indexes, int to, bool restoring);
    // A new controller for a stage inserted at `section`, placed in the document.
    MacKanbanColumnController* addStageController(int section);
    // Takes the controller off the board; it goes once the event it may be handling is over.
    void freeController(MacKanbanColumnController* controller);
    // Every controller at or after `section` moves by `by`.
    void shiftControllers(int from, int by);
    // After stages came or went: the single list shows them, the add button and the document
    // follow, and the columns slide to their places.
    void stagesChanged(const std::function<void()>& completion = {});
    void deselectColumn(MacKanbanColumnController* controller);
    void selectStageColumn(MacKanbanColumnController* controller);
    JSONReader& reader();
    int stageCount() const;
    bool isStageColumn(const MacKanbanColumnController* controller) const;
    MacKanbanColumnController* allSectionsController() const;
    void showNoBoard();
    // Once the change that touched the board shown is over, lets go of the board when it is
    // deleted.
    void releaseKanbanIfDeleted();
    void retireControllers(int stages);
    void putControllersInCurrentLayout();
    void refreshKeptController(MacKanbanColumnController* controller);
    void releaseNotesOf(Kanban* kanban);
    void placeChildren();
    void fitDocumentSize();
    void setViewWidthConstraintInstalled(bool installed);
    QWidget* mainWindow() const;
    int sidebarWidth() const;
    int windowChrome() const;
    // The window's frame with the width of the one column's layout: the sidebar and the column.
    QRect singleColumnWindowFrame(const QWidget* window) const;
    void switchToSingleColumn();
    void switchToSeparateColumns();
    // Sets the due-date and day-change timers going and has them follow the clock.
    void startTimers();
    void armMinutelyTimer(const QDateTime& after);
    void armDailyTimer(const QDateTime& after);
    std::optional<bool> storedBool(const QString& key) const;
    int storedInteger(const QString& key) const;

    // In the order of the board's state.
    Kanban* m_kanban = nullptr;
    qreal m_storedMagnification = 1.0;
    QLabel* m_titleTextField = nullptr;
    QToolButton* m_changeLayoutButton = nullptr;
    QScrollArea* m_scrollView = nullptr;
    QWidget* m_documentView = nullptr;
    QTimer m_minutelyTimer;
    QTimer m_dailyTimer;
    std::unique_ptr<DoneItemsMover> m_doneItemsMover;
    std::optional<QList<Tag*>> m_tagFilter;
    std::optional<QString> m_searchTerm;
    Services m_services;
    BoardSearchText* m_searchText;
    // The board loaded last waits for its first paint to have its cards' text read.
    bool m_searchTextWanted = false;
    bool m_viewWidthConstraintInstalled = false;
    AddColumnButtonView* m_addColumnButton = nullptr;
    MacKanbanColumnController* m_lastSelectedController = nullptr;
    QHash<ListItem*, qreal> m_itemHeightCache;
    bool m_useItemHeightCache = true;
    bool m_viewAsMultiColumn = true;
    QList<MacKanbanColumnController*> m_columnControllers;
    QList<MacKanbanColumnController*> m_inactiveColumnControllers;
    // The host is gone once its view is.
    BoardHost* mainSplitViewController() const { return m_mainSplitView ? m_mainSplitViewController : nullptr; }
    BoardHost* m_mainSplitViewController = nullptr;
    QPointer<QWidget> m_mainSplitView;
    bool m_deletionCheckPending = false;

    QToolButton* m_bookmarkButton = nullptr;
    Animator m_animator;
    std::optional<QDateTime> m_minutelyFireDate;
    std::optional<QDateTime> m_dailyFireDate;
    bool m_needsDocumentLayout = false;
    bool m_documentLayoutPosted = false;
    int m_documentWidth = 0;
    std::unique_ptr<JSONReader> m_ownReader;
};
