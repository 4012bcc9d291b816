#pragma once

#include "Platform/core/objectgraph/ManagedObject.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringList>
#include <optional>

class DoneDate;
class ImageAttachment;
class KanbanColumn;
class ListItemHistory;
class Tag;

// A card.
class ListItem : public ManagedObject
{
public:
    explicit ListItem(const Init& init);

    bool done() const;
    void setDone(bool done);
    // Deleted but kept so that the deletion can be undone.
    bool toBeDeleted() const;
    void setToBeDeleted(bool toBeDeleted);
    // The notes in their stored encoding; empty when the card has none.
    QByteArray attributedNotesData() const;
    void setAttributedNotesData(const QByteArray& data);
    // Identifiers of the linked calendar events, in linking order.
    std::optional<QStringList> eventsArray() const;
    void setEventsArray(const std::optional<QStringList>& eventsArray);
    std::optional<QDateTime> dateAdded() const;
    void setDateAdded(const std::optional<QDateTime>& dateAdded);
    std::optional<QDateTime> dueDate() const;
    void setDueDate(const std::optional<QDateTime>& dueDate);
    std::optional<QDateTime> doneDate() const;
    void setDoneDate(const std::optional<QDateTime>& doneDate);
    // The card's flag.
    std::optional<bool> priority() const;
    void setPriority(std::optional<bool> priority);
    // Whether the card shows its whole notes rather than their first line.
    std::optional<bool> notesExpanded() const;
    void setNotesExpanded(std::optional<bool> notesExpanded);
    std::optional<double> timeWorked() const;
    void setTimeWorked(std::optional<double> timeWorked);
    QString uniqueIdentifier() const;
    void setUniqueIdentifier(const QString& uniqueIdentifier);

    // Setting the column makes the card the last of its cards.
    KanbanColumn* column() const;
    void setColumn(KanbanColumn* column);
    QList<Tag*> tags() const;
    void setTags(const QList<Tag*>& tags);
    // Oldest first.
    QList<ListItemHistory*> history() const;
    void setHistory(const QList<ListItemHistory*>& history);
    // The day group of a done card.
    DoneDate* parentDoneGroup() const;
    void setParentDoneGroup(DoneDate* parentDoneGroup);
    // The picture folders the notes refer to, in no particular order.
    QList<ImageAttachment*> imageAttachments() const;
    void setImageAttachments(const QList<ImageAttachment*>& imageAttachments);

    virtual void setup();

    void awakeFromInsert() override;
    void awakeFromFetch() override;
};
