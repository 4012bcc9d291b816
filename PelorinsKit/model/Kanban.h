#pragma once

#include "PelorinsKit/model/DisplayItem.h"
#include "Platform/core/UserDefaults.h"

#include <QDateTime>
#include <optional>

class DoneDate;
class KanbanColumn;
class ListItem;
class Tag;

// A board: its stage columns left to right, its done column, its tags and the day groups of its
// done column.
class Kanban : public DisplayItem
{
public:
    explicit Kanban(const Init& init);

    QString title() const;
    void setTitle(const QString& title);

    QList<KanbanColumn*> column() const;
    void setColumn(const QList<KanbanColumn*>& column);
    // The done column; never a member of `column`.
    KanbanColumn* mainColumn() const;
    void setMainColumn(KanbanColumn* mainColumn);
    QList<Tag*> tags() const;
    void setTags(const QList<Tag*>& tags);
    // Newest day first.
    QList<DoneDate*> doneDates() const;
    void setDoneDates(const QList<DoneDate*>& doneDates);

    // Every card of the board once, stages left to right, then the done column, then the day
    // groups: a done card is listed by its column and by its day group.
    QList<ListItem*> allCards() const;

    // A board never opens in the sidebar.
    bool isItemExpandable() const override;

    // Counters over the cards of the stage columns, then, where stated, of the done column: the
    // cards it lists and those of its day groups, each card once. `rightColumnsOnly` absent or
    // true leaves the done column out.
    int numberOfItemsWith(const Tag* tag) const;
    int numberOfDone() const;
    int numberOfNotDone(std::optional<bool> rightColumnsOnly = std::nullopt) const;
    // Open cards whose due date lies strictly before `now`.
    int numberOfOverdueCards(std::optional<bool> rightColumnsOnly = std::nullopt,
        const QDateTime& now = QDateTime::currentDateTimeUtc()) const;
    // Open cards whose due date is due soon under the user's "dueSoonDefinition".
    int numberOfDueSoonCards(std::optional<bool> rightColumnsOnly = std::nullopt,
        const QDateTime& now = QDateTime::currentDateTimeUtc(),
        const UserDefaults& defaults = UserDefaults::standard()) const;

    // Deletes the board's tags that the notes of none of its cards, done cards in day groups
    // included, name as a hash tag. The context is not saved.
    void cleanupTags();
    // The same for the tags of these names only: those one card's edit removed from it, the
    // only ones the edit can have left unused. Cards are read until every name is found; the
    // edited card, when given, is known not to name them (its notes may not hold the edit yet).
    void cleanupTags(const QStringList& names, const ListItem* editedCard = nullptr);
};
