#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <optional>

class BoardHost;
class Kanban;
class QWidget;
class Tag;

// The board view as the main window sees it: the right-hand pane of the main split view. The
// pane's object must live as long as its view.
class BoardPane
{
public:
    virtual ~BoardPane() = default;

    virtual QWidget* view() = 0;

    // The board shown; null before one is set.
    virtual Kanban* kanban() const = 0;
    virtual void setKanban(Kanban* kanban) = 0;
    // Rebuilds the board's columns, background and title for `kanban()`.
    virtual void loadKanban() = 0;
    virtual void setMainSplitViewController(BoardHost* controller) = 0;

    virtual std::optional<QString> searchTerm() const = 0;
    // Only stores the term; `reloadColumns()` applies it.
    virtual void setSearchTerm(const std::optional<QString>& searchTerm) = 0;
    virtual std::optional<QList<Tag*>> tagFilter() const = 0;
    // Stores the filter, reloads every column and resets the window's tag filter indicator.
    virtual void setTagFilter(const std::optional<QList<Tag*>>& tagFilter) = 0;
    // Reloads every column's cards and rewrites its header and card count, in board order.
    virtual void reloadColumns() = 0;

    virtual bool viewAsMultiColumn() const = 0;
    virtual void toggleColumnLayout() = 0;
    // The width that shows every column of the board side by side (one column's in the single
    // list); what a first window is sized for.
    virtual int wholeBoardWidth() const = 0;
    virtual qreal storedMagnification() const = 0;
    // Lays the board out again at the new magnification.
    virtual void setStoredMagnification(qreal storedMagnification) = 0;

    // The sections of the columns that are selected or hold a selected card (the done column's
    // included).
    virtual QSet<int> selectedSections() const = 0;
    virtual void insertNewSection(int at, bool removing) = 0;
    virtual void jumpToBookmarkedSection(bool animated) = 0;
    virtual void showProjectSettings() = 0;
};
