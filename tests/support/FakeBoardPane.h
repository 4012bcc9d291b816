#pragma once

#include "Pelorins/board/BoardPane.h"
#include "Pelorins/common/ControllerIntegratedView.h"

#include <QPointer>
#include <QSet>
#include <optional>

class ActionRouter;
class BoardHost;

// A board pane that records what the main window asks of it.
class FakeBoardPane : public BoardPane
{
public:
    explicit FakeBoardPane(ActionRouter* router)
        : root(new ControllerIntegratedView(router))
    {
    }

    QWidget* view() override { return root; }
    Kanban* kanban() const override { return m_kanban; }
    void setKanban(Kanban* kanban) override { m_kanban = kanban; }
    void loadKanban() override { ++loads; }
    void setMainSplitViewController(BoardHost* controller) override { splitView = controller; }
    std::optional<QString> searchTerm() const override { return m_searchTerm; }
    void setSearchTerm(const std::optional<QString>& searchTerm) override { m_searchTerm = searchTerm; }
    std::optional<QList<Tag*>> tagFilter() const override { return m_tagFilter; }
    void setTagFilter(const std::optional<QList<Tag*>>& tagFilter) override
    {
        m_tagFilter = tagFilter;
        ++reloads;
    }
    void reloadColumns() override
    {
        ++reloads;
        appliedSearch = m_searchTerm;
    }
    bool viewAsMultiColumn() const override { return multiColumn; }
    void toggleColumnLayout() override
    {
        multiColumn = !multiColumn;
        ++layoutToggles;
    }
    int wholeBoardWidth() const override { return boardWidth; }
    qreal storedMagnification() const override { return magnification; }
    void setStoredMagnification(qreal value) override { magnification = value; }
    QSet<int> selectedSections() const override { return selected; }
    void insertNewSection(int at, bool removing) override { inserted.append({at, removing}); }
    void jumpToBookmarkedSection(bool) override { ++jumps; }
    void showProjectSettings() override { }

    QPointer<ControllerIntegratedView> root;
    BoardHost* splitView = nullptr;
    std::optional<QString> appliedSearch;
    int loads = 0;
    int reloads = 0;
    int layoutToggles = 0;
    int jumps = 0;
    bool multiColumn = true;
    qreal magnification = 1.0;
    int boardWidth = 0;
    QSet<int> selected;
    QList<std::pair<int, bool>> inserted;

private:
    Kanban* m_kanban = nullptr;
    std::optional<QString> m_searchTerm;
    std::optional<QList<Tag*>> m_tagFilter;
};
