#include "PelorinsKit/board/KanbanColumnController.h"

#include "PelorinsKit/board/KanbanColumnDelegate.h"
#include "PelorinsKit/model/DateHelpers.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/NoteAttachments.h"
#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/notes/TextMeasures.h"

#include <QHash>
#include <QStringMatcher>
#include <array>
#include <cmath>
#include <limits>

namespace {

// The start of the board's today.
QDateTime today(const KanbanColumnDelegate* board)
{
    return DateHelpers::beginningOfDate(board ? board->now() : QDateTime::currentDateTimeUtc());
}

// The board's magnification; one where it is not a usable factor.
qreal zoomOf(const KanbanColumnDelegate& board)
{
    const qreal zoom = board.storedMagnification();
    return std::isfinite(zoom) && zoom > 0 ? zoom : 1.0;
}

// The first day group of the board carrying exactly `date`.
DoneDate* groupOn(const Kanban* kanban, const QDateTime& date)
{
    for (DoneDate* group : kanban->doneDates())
        if (group->doneDate() == date)
            return group;
    return nullptr;
}

bool sharesTag(const ListItem* card, const QSet<Tag*>& filter)
{
    for (Tag* tag : card->tags())
        if (filter.contains(tag))
            return true;
    return false;
}

// Finds a search text in notes regardless of case, exactly as QString::contains() with
// Qt::CaseInsensitive does (simple case folding), but fast enough to search every card of a big
// board while the user types: when the text starts with a character whose folded form is ASCII,
// only the places holding a character of that fold are compared.
class NotesSearch
{
public:
    explicit NotesSearch(const QString& term)
        : m_term(term)
        , m_matcher(term, Qt::CaseInsensitive)
    {
        // The text compares unit by unit under the simple folding of each character.
        const char32_t first = m_term.isEmpty() ? 0 : QChar::toCaseFolded(m_term.front().unicode());
        if (!m_term.isEmpty() && first < 128)
            m_firstCharacters = &foldingTo().at(first);
        if (m_term.size() > 1 && !m_term.at(1).isSurrogate())
            m_second = QChar::toCaseFolded(m_term.at(1).unicode());
    }

    bool isIn(const CompactText& text) const
    {
        return text.visit([this](auto view) { return isIn(view); });
    }

private:
    // The same for a QStringView or a QLatin1StringView.
    template <typename View> bool isIn(View text) const
    {
        if (!m_firstCharacters) {
            // Finding text in Latin-1 regardless of case misses some foldings ("\u00B5" for "\u039C"):
            // such a search, rare, reads the text in full.
            if constexpr (std::is_same_v<View, QStringView>)
                return m_matcher.indexIn(text) >= 0;
            else
                return m_matcher.indexIn(QString(text)) >= 0;
        }
        const qsizetype length = m_term.size();
        const qsizetype last = text.size() - length;
        for (QChar first : *m_firstCharacters) {
            for (qsizetype at = text.indexOf(first); at >= 0 && at <= last; at = text.indexOf(first, at + 1)) {
                if (m_second && QChar::toCaseFolded(QChar(text[at + 1]).unicode()) != *m_second)
                    continue;
                if (text.sliced(at, length).compare(m_term, Qt::CaseInsensitive) == 0)
                    return true;
            }
        }
        return false;
    }

    // For each ASCII character, the UTF-16 code units that fold to it ("k" has the Kelvin sign,
    // "s" the long s).
    static const std::array<QList<QChar>, 128>& foldingTo()
    {
        static const std::array<QList<QChar>, 128> table = [] {
            std::array<QList<QChar>, 128> folding;
            for (char32_t unit = 0; unit <= 0xFFFF; ++unit) {
                const char32_t folded = QChar::toCaseFolded(unit);
                if (folded < 128)
                    folding.at(folded).append(QChar(char16_t(unit)));
            }
            return folding;
        }();
        return table;
    }

    QString m_term;
    QStringMatcher m_matcher;
    const QList<QChar>* m_firstCharacters = nullptr;
    std::optional<char32_t> m_second;
};

std::optional<IndexPath> pathIn(const QList<ListItem*>& cards, const ListItem* item, int section)
{
    const qsizetype index = cards.indexOf(item);
    if (index < 0)
        return std::nullopt;
    return IndexPath {section, int(index)};
}

ListItem* cardAt(const QList<ListItem*>& cards, int item)
{
    return item >= 0 && item < cards.size() ? cards.at(item) : nullptr;
}

} // namespace

int KanbanColumnController::sectionPositionInDocument() const
{
    const KanbanColumnDelegate* board = kanbanColumnDelegate();
    const std::optional<Margins> place = margins();
    if (!board || !place)
        return 0;
    // A width that cannot divide, or a slot beyond any board, places the column nowhere.
    const qreal width = board->columnWidth();
    if (!std::isfinite(width) || width <= 0)
        return 0;
    const double slot = std::round(place->left / width);
    if (!std::isfinite(slot))
        return 0;
    return int(std::clamp<double>(slot, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

QList<QDateTime> KanbanColumnController::distinctDoneDates()
{
    QList<QDateTime> dates;
    const KanbanColumnDelegate* board = kanbanColumnDelegate();
    if (const Kanban* kanban = board ? board->kanban() : nullptr) {
        // A search field holding no text still counts as a filter here.
        const bool filtering = board->tagFilter().has_value() || board->searchTerm().has_value();
        for (const DoneDate* group : kanban->doneDates())
            if (!filtering || !filteredItemsFrom(group->items()).isEmpty())
                dates.append(group->doneDate());
    }
    const QDateTime day = today(board);
    if (!dates.contains(day))
        dates.prepend(day);
    return dates;
}

QList<ListItem*> KanbanColumnController::doneItemsOn(const QDateTime& date, bool filtered)
{
    const KanbanColumnDelegate* board = kanbanColumnDelegate();
    const Kanban* kanban = board ? board->kanban() : nullptr;
    const DoneDate* group = kanban ? groupOn(kanban, date) : nullptr;
    if (!group)
        return {};
    if (filtered && (board->tagFilter() || board->searchTerm()))
        return filteredItemsFrom(group->items());
    return group->items();
}

ListItem* KanbanColumnController::itemFor(const IndexPath& path)
{
    const KanbanColumnDelegate* board = kanbanColumnDelegate();
    if (!board || !board->kanban())
        return nullptr;
    const QList<KanbanColumn*> stages = board->kanbanColumns();
    const qsizetype stageCount = stages.size();
    const int section = showAllSections() ? path.section : specifiedSection();
    if (section < 0)
        return nullptr;
    if (section < stageCount)
        return cardAt(filteredItemsFor(stages.at(section)), path.item);
    const QList<QDateTime> days = distinctDoneDates();
    const qsizetype day = showAllSections() ? path.section - stageCount : path.section;
    if (day < 0 || day >= days.size())
        return nullptr;
    return cardAt(doneItemsOn(days.at(day), true), path.item);
}

std::optional<IndexPath> KanbanColumnController::indexPathFor(const ListItem* item)
{
    const KanbanColumnDelegate* board = kanbanColumnDelegate();
    if (!item || !board || !board->kanban())
        return std::nullopt;
    const QList<KanbanColumn*> stages = board->kanbanColumns();
    const int stageCount = int(stages.size());
    const bool all = showAllSections();
    if (!all && specifiedSection() < 0)
        return std::nullopt;
    if (!all && specifiedSection() < stageCount)
        return pathIn(filteredItemsFor(stages.at(specifiedSection())), item, 0);
    if (all) {
        // A stage column shows only its own cards, so only the card's column can hold it.
        const qsizetype column = stages.indexOf(item->column());
        if (column >= 0)
            if (std::optional<IndexPath> path = pathIn(filteredItemsFor(stages.at(column)), item, int(column)))
                return path;
    }
    // A card is shown only in the section of its own group's day: the first section carrying
    // that date (a later group of the same day is never shown).
    const DoneDate* group = item->parentDoneGroup();
    if (!group)
        return std::nullopt;
    const QList<QDateTime> days = distinctDoneDates();
    const qsizetype day = days.indexOf(group->doneDate());
    if (day < 0)
        return std::nullopt;
    return pathIn(doneItemsOn(days.at(day), true), item, int(all ? stageCount + day : day));
}

std::optional<IndexPath> KanbanColumnController::indexPathOfItemInDoneColumn(const ListItem* item) const
{
    const KanbanColumnDelegate* board = kanbanColumnDelegate();
    const Kanban* kanban = board ? board->kanban() : nullptr;
    if (!kanban)
        return std::nullopt;
    const QList<DoneDate*> groups = kanban->doneDates();
    // The done column leads with an extra section for today when the newest group is older.
    const bool firstIsToday
        = !groups.isEmpty() && DateHelpers::beginningOfDate(groups.first()->doneDate()) == today(board);
    const int shift = firstIsToday ? 0 : 1;
    for (qsizetype g = 0; g < groups.size(); ++g) {
        const qsizetype index = groups.at(g)->items().indexOf(item);
        if (index >= 0)
            return IndexPath {int(g) + shift, int(index)};
    }
    if (firstIsToday)
        return std::nullopt;
    return IndexPath {0, 0};
}

bool KanbanColumnController::pathIsAddButton(const IndexPath& path)
{
    const KanbanColumnDelegate* board = kanbanColumnDelegate();
    if (!board || !board->kanban())
        return false;
    const QList<KanbanColumn*> stages = board->kanbanColumns();
    const int section = showAllSections() ? path.section : specifiedSection();
    if (section < 0 || section >= stages.size())
        return false;
    return path.item == filteredItemsFor(stages.at(section)).size();
}

bool KanbanColumnController::pathIsEmptyCell(const IndexPath& path)
{
    const KanbanColumnDelegate* board = kanbanColumnDelegate();
    if (!board || !board->kanban() || showAllSections())
        return false;
    if (specifiedSection() < board->kanbanColumns().size())
        return false;
    if (path.section != 0 || path.item != 0)
        return false;
    return doneItemsOn(distinctDoneDates().first(), true).isEmpty();
}

QList<ListItem*> KanbanColumnController::filteredItemsFor(const KanbanColumn* column)
{
    if (!column)
        return {};
    return filteredItemsFrom(column->item());
}

QList<ListItem*> KanbanColumnController::filteredItemsFrom(const QList<ListItem*>& items)
{
    const KanbanColumnDelegate* board = kanbanColumnDelegate();
    QList<ListItem*> shown = items;

    const std::optional<QList<Tag*>> tagFilter = board ? board->tagFilter() : std::nullopt;
    if (tagFilter) {
        const QSet<Tag*> filter(tagFilter->cbegin(), tagFilter->cend());
        shown.removeIf([&](const ListItem* card) { return !sharesTag(card, filter); });
    }

    const std::optional<QString> searchTerm = board ? board->searchTerm() : std::nullopt;
    const bool searching = searchTerm && !searchTerm->isEmpty();
    if (searching) {
        const NotesSearch search(*searchTerm);
        shown.removeIf([&](const ListItem* card) {
            const CompactText text = card->plainNotesText();
            return !text.isNull() && !search.isIn(text);
        });
    }

    if (!tagFilter && !searching) {
        clearFilteredModeItems();
    } else {
        // Cards added while filtering come back at their place among the shown ones.
        QHash<const ListItem*, qsizetype> positions;
        positions.reserve(items.size());
        for (qsizetype i = 0; i < items.size(); ++i)
            positions.insert(items.at(i), i);
        for (ListItem* added : itemsAddedWhenInFilteredMode()) {
            const auto position = positions.constFind(added);
            if (position == positions.cend() || shown.contains(added))
                continue;
            const auto after = std::find_if(
                shown.cbegin(), shown.cend(), [&](const ListItem* card) { return positions.value(card) > *position; });
            shown.insert(after - shown.cbegin(), added);
        }
    }

    shown.removeIf([](const ListItem* card) { return card->toBeDeleted(); });
    return shown;
}

void KanbanColumnController::moveColumn(qreal deltaX, int emptyColumnsGap)
{
    const KanbanColumnDelegate* board = kanbanColumnDelegate();
    std::optional<Margins> place = margins();
    if (!board || !place)
        return;
    place->left = board->columnWidth() * (specifiedSection() + emptyColumnsGap) + board->columnsLeftInset() + deltaX;
    setMargins(place);
}

qreal KanbanColumnController::heightForItem(ListItem* item) const
{
    return measureItem(item, nullptr);
}

qreal KanbanColumnController::heightForShownNotes(ListItem* item, const AttributedString& shownNotes) const
{
    return measureItem(item, &shownNotes);
}

qreal KanbanColumnController::measureItem(ListItem* item, const AttributedString* shownNotes) const
{
    constexpr qreal heightWithoutNotes = 108.0;
    KanbanColumnDelegate* board = kanbanColumnDelegate();
    if (!board || !item)
        return heightWithoutNotes;
    // A zoomed column is the same column drawn smaller: a card keeps the line breaks of the
    // unzoomed width and its whole height scales with the zoom. The cache holds unzoomed heights,
    // so that a zoom change keeps it.
    const qreal zoom = zoomOf(*board);
    const bool useCache = board->useItemHeightCache();
    if (useCache && !shownNotes)
        if (const std::optional<qreal> cached = board->cachedItemHeight(item))
            return *cached * zoom;
    // Measured without keeping the notes decoded: a board measures every card it has.
    std::optional<AttributedString> notes = shownNotes ? std::optional(*shownNotes) : item->attributedNotesWithoutKeeping();
    if (!notes)
        return heightWithoutNotes * zoom;
    const qreal width = board->columnWidth() / zoom - 2 * itemPadding();
    qreal textHeight = 0;
    if (item->notesExpanded().value_or(false)) {
        // Pictures take their real size; a collapsed card shows none, so only an expanded one
        // reads them. Notes as an editor shows them have theirs.
        if (!shownNotes)
            restoreImageAttachments(*notes);
        textHeight = heightToFit(*notes, width);
    } else if (!shownNotes) {
        textHeight = heightToFit(item->firstAttributedLine(), width);
    } else {
        // As the card's first line: empty without a line feed.
        const qsizetype lineFeed = notes->string().indexOf(QLatin1Char('\n'));
        textHeight = heightToFit(
            lineFeed < 0 ? AttributedString() : notes->attributedSubstring(TextRange {0, int(lineFeed)}), width);
    }
    const qreal height = heightOfFixedItems() + textHeight;
    if (useCache)
        board->cacheItemHeight(item, height);
    return height * zoom;
}

QString KanbanColumnController::numberAsCards(int number) const
{
    if (number == 0)
        return QStringLiteral("empty");
    if (number == 1)
        return QStringLiteral("1 card");
    return QString::number(number) + QStringLiteral(" cards");
}
