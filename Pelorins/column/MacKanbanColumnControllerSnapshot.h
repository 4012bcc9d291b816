#pragma once

#include "Pelorins/column/MacKanbanColumnController.h"
#include "Platform/core/IndexPath.h"

#include <QDateTime>
#include <QList>

#include <optional>

class KanbanColumn;
class ListItem;

// What the list shows, read once per reload: each section's shown cards, and whether it is a
// stage (then its last row is the add-card cell) or a day (then, in the done column alone,
// today without cards shows the empty spacer).
struct MacKanbanColumnController::Snapshot
{
    struct Section
    {
        KanbanColumn* stage = nullptr;
        std::optional<QDateTime> day;
        QList<ListItem*> cards;
    };

    QList<Section> sections;
    int stageCount = 0;
    bool doneColumnAlone = false;

    const Section* section(int index) const
    {
        return index >= 0 && index < sections.size() ? &sections.at(index) : nullptr;
    }
    bool showsSpacer(int index) const
    {
        return doneColumnAlone && index == 0 && !sections.isEmpty() && sections.first().cards.isEmpty();
    }
    int numberOfItems(int index) const
    {
        const Section* s = section(index);
        if (!s)
            return 0;
        if (s->stage)
            return int(s->cards.size()) + 1;
        return showsSpacer(index) ? 1 : int(s->cards.size());
    }
    bool isAddButton(const IndexPath& path) const
    {
        const Section* s = section(path.section);
        return s && s->stage && path.item == s->cards.size();
    }
    bool isEmptySpacer(const IndexPath& path) const { return showsSpacer(path.section) && path.item == 0; }
    ListItem* card(const IndexPath& path) const
    {
        const Section* s = section(path.section);
        return s && path.item >= 0 && path.item < s->cards.size() ? s->cards.at(path.item) : nullptr;
    }
    std::optional<IndexPath> pathOf(const ListItem* item) const
    {
        for (int s = 0; s < sections.size(); ++s) {
            const qsizetype index = sections.at(s).cards.indexOf(item);
            if (index >= 0)
                return IndexPath {s, int(index)};
        }
        return std::nullopt;
    }
};
