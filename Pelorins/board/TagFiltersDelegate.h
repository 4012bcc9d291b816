#pragma once

#include <QList>
#include <QString>
#include <optional>

class Kanban;
class Tag;

// What the tag filter popover and the tag table ask of the board they show: its tags, its filter,
// and the board's own recolouring and renaming, which save, announce and record undo.
class TagFiltersDelegate
{
public:
    virtual ~TagFiltersDelegate() = default;

    // None means no filter.
    virtual std::optional<QList<Tag*>> tagFilter() const = 0;
    virtual void setTagFilter(const std::optional<QList<Tag*>>& tagFilter) = 0;
    virtual Kanban* kanban() const = 0;
    virtual void changeTagColour(Tag* tag, int colour) = 0;
    // Asks before merging into another tag of the same name; an unchanged or unusable name
    // changes nothing.
    virtual void renameTag(Tag* tag, const QString& name) = 0;
};
