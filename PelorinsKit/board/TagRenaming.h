#pragma once

#include <QByteArray>
#include <QHash>
#include <QLatin1String>
#include <QList>
#include <QString>
#include <QVariantMap>
#include <optional>
#include <utility>

class Kanban;
class ListItem;
class Tag;

// Renaming a tag in the model: its hash tags in the notes of its board's cards, and merging it
// into the board's tag that already has the new name, so that both can be undone exactly.
namespace TagRenaming {

// The user info of "tagValueChanged": the tag, and its new colour number (a 16-bit integer) or
// its name before a rename.
inline constexpr QLatin1String affectedTagKey("affectedTag");
inline constexpr QLatin1String newColourKey("newColour");
inline constexpr QLatin1String originalNameKey("originalName");

QVariantMap tagValueChange(Tag* tag);
// The tag a notice names; null when its user info holds no tag.
Tag* affectedTag(const QVariantMap& userInfo);
// The new colour a notice names; none unless it is a 16-bit integer.
std::optional<int> newColour(const QVariantMap& userInfo);

// The stored notes of the cards a rename rewrote, as they were before it.
using SavedNotes = QHash<ListItem*, QByteArray>;

// Every card of the board, each once: the stage columns', the done column's and those filed only
// in a day group of the done column.
QList<ListItem*> cardsOf(const Kanban* kanban);

// Renames the hash tags named `from` to `to` in the notes of the cards; each card rewritten
// leaves its previous notes in `savedNotes`. Cards without the tag are not touched.
void replaceHashtag(const QList<ListItem*>& cards, const QString& from, const QString& to, SavedNotes& savedNotes);
// Puts the saved notes back.
void restoreNotes(const SavedNotes& savedNotes);

// Why `name` (already trimmed) cannot name a tag; empty when it can.
QString nameRefusal(const QString& name);

// Another tag of the board named exactly `name`; null when there is none.
Tag* otherTagNamed(const Kanban* kanban, const Tag* tag, const QString& name);

// The tag as it lives now: itself, or when it was deleted by a merge that has since been undone,
// the tag of the board that took its place under its unique identifier. Null when neither lives.
Tag* liveTag(const Kanban* kanban, Tag* tag);

// What a merge took away, to bring the tag back as it was.
struct MergedTag
{
    Kanban* kanban = nullptr;
    QString name;
    int colour = 0;
    QString uniqueIdentifier;
    int indexOnBoard = 0;
    // Each card that carried the tag, with the tag's index among its tags.
    QList<std::pair<ListItem*, int>> places;
    Tag* survivor = nullptr;
    // The cards that carry the survivor only because of the merge.
    QList<ListItem*> gainedSurvivor;
};

// Gives the survivor to the cards that carried the tag and to those whose notes now name the
// survivor, then deletes the tag.
MergedTag merge(Tag* tag, Tag* survivor, const QList<ListItem*>& rewritten);
// Makes the merged tag again with its name, colour and unique identifier at its places on the
// board and on its cards, and takes the survivor off the cards the merge gave it to. Null when
// the board is gone.
Tag* unmerge(const MergedTag& merged);

} // namespace TagRenaming
