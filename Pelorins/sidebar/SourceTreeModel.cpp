#include "Pelorins/sidebar/SourceTreeModel.h"

#include "Pelorins/common/AppConstants.h"
#include "PelorinsKit/model/DateHelpers.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "PelorinsKit/model/Root.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"
#include "Platform/widgets/RowText.h"

#include <QSet>
#include <algorithm>
#include <optional>

namespace {

constexpr QLatin1String titleKey("title");

// Changes that can alter a board's counts: cards done or undone, due dates, cards moving
// between columns and columns between boards.
bool changesCounts(const QString& key)
{
    static const QSet<QString> keys {QStringLiteral("done"), QStringLiteral("dueDate"), QStringLiteral("column"),
        QStringLiteral("item"), QStringLiteral("kanban"), QStringLiteral("mainKanban"), QStringLiteral("mainColumn")};
    return keys.contains(key);
}

// A folder's or board's title; nothing for anything else.
std::optional<QString> titleOf(DisplayItem* item)
{
    if (auto* kanban = dynamic_cast<Kanban*>(item))
        return kanban->title();
    if (auto* folder = dynamic_cast<Folder*>(item))
        return folder->title();
    return std::nullopt;
}

// The rows under an item: a board never opens, and deleted items are gone.
QList<DisplayItem*> shownChildren(const DisplayItem* item)
{
    QList<DisplayItem*> shown;
    if (!item || dynamic_cast<const Kanban*>(item))
        return shown;
    for (DisplayItem* child : item->children())
        if (!child->isDeleted())
            shown.append(child);
    return shown;
}

} // namespace

struct SourceTreeModel::Node
{
    DisplayItem* item = nullptr;
    Node* parent = nullptr;
    int row = 0;
    std::vector<std::unique_ptr<Node>> children;

    void renumber()
    {
        for (size_t i = 0; i < children.size(); ++i)
            children[i]->row = int(i);
    }
    bool isInside(const Node* ancestor) const
    {
        for (const Node* node = this; node; node = node->parent)
            if (node == ancestor)
                return true;
        return false;
    }
    int rowOf(const DisplayItem* child, int from) const
    {
        for (size_t i = size_t(from); i < children.size(); ++i)
            if (children[i]->item == child)
                return int(i);
        return -1;
    }
};

SourceTreeModel::SourceTreeModel(QObject* parent)
    : QAbstractItemModel(parent)
{
}

SourceTreeModel::~SourceTreeModel() = default;

void SourceTreeModel::setRootObject(Root* root)
{
    beginResetModel();
    if (m_context)
        disconnect(m_context, nullptr, this, nullptr);
    clear();
    if (root) {
        m_context = root->managedObjectContext();
        m_root = makeNode(root, nullptr);
        connect(m_context, &ManagedObjectContext::objectDidChange, this, &SourceTreeModel::objectDidChange);
        // The rows point into the context's objects, which die with it.
        connect(m_context, &QObject::destroyed, this, [this] {
            beginResetModel();
            clear();
            endResetModel();
        });
    }
    endResetModel();
}

Root* SourceTreeModel::rootObject() const
{
    return m_root ? static_cast<Root*>(m_root->item) : nullptr;
}

DisplayItem* SourceTreeModel::itemForIndex(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return static_cast<Node*>(index.internalPointer())->item;
}

QModelIndex SourceTreeModel::indexForItem(const DisplayItem* item) const
{
    const Node* node = nodeFor(item);
    return node ? indexForNode(node) : QModelIndex();
}

void SourceTreeModel::refreshBadges()
{
    m_badgeRefreshPending = false;
    m_badges.clear();
    if (m_root)
        emitBadgesChanged(m_root.get());
}

QColor SourceTreeModel::badgeColour(const Kanban& kanban)
{
    if (kanban.numberOfOverdueCards(false) >= 1)
        return badgeRedColour();
    if (kanban.numberOfDueSoonCards(false) >= 1)
        return badgeOrangeColour();
    return badgeGreyColour();
}

QModelIndex SourceTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    const Node* node = parent.isValid() ? static_cast<Node*>(parent.internalPointer()) : m_root.get();
    if (!node || column != 0 || row < 0 || row >= int(node->children.size()))
        return {};
    return createIndex(row, 0, node->children[size_t(row)].get());
}

QModelIndex SourceTreeModel::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return {};
    return indexForNode(static_cast<Node*>(child.internalPointer())->parent);
}

int SourceTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    const Node* node = parent.isValid() ? static_cast<Node*>(parent.internalPointer()) : m_root.get();
    return node ? int(node->children.size()) : 0;
}

int SourceTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool SourceTreeModel::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

QVariant SourceTreeModel::data(const QModelIndex& index, int role) const
{
    DisplayItem* item = itemForIndex(index);
    if (!item)
        return {};
    auto* kanban = dynamic_cast<Kanban*>(item);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        if (const std::optional<QString> title = titleOf(item))
            return RowText::elided(*title);
        return {};
    case Qt::EditRole:
        if (const std::optional<QString> title = titleOf(item))
            return *title;
        return {};
    case ItemRole:
        return QVariant::fromValue(item);
    case BadgeCountRole:
        return kanban ? QVariant(badgeFor(kanban).count) : QVariant();
    case BadgeColourRole:
        return kanban ? QVariant(badgeFor(kanban).colour) : QVariant();
    default:
        return {};
    }
}

QVariant SourceTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    // The header is hidden, but screen readers still read the column's name.
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return local(QStringLiteral("Folders and Boards"));
    return QAbstractItemModel::headerData(section, orientation, role);
}

Qt::ItemFlags SourceTreeModel::flags(const QModelIndex& index) const
{
    DisplayItem* item = itemForIndex(index);
    if (!item)
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    if (dynamic_cast<Kanban*>(item))
        flags |= Qt::ItemNeverHasChildren;
    if (dynamic_cast<Kanban*>(item) || dynamic_cast<Folder*>(item))
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool SourceTreeModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    DisplayItem* item = itemForIndex(index);
    if (role != Qt::EditRole || !item)
        return false;
    // Any text is a title; the row follows the change notice of "title".
    if (auto* kanban = dynamic_cast<Kanban*>(item))
        kanban->setTitle(value.toString());
    else if (auto* folder = dynamic_cast<Folder*>(item))
        folder->setTitle(value.toString());
    else
        return false;
    return true;
}

void SourceTreeModel::objectDidChange(ManagedObject* object, const KeyChange& change)
{
    if (change.key == DisplayItem::childrenKey) {
        if (Node* node = nodeFor(dynamic_cast<DisplayItem*>(object)))
            syncChildren(node);
    } else if (change.key == titleKey) {
        if (Node* node = nodeFor(dynamic_cast<DisplayItem*>(object)); node && node != m_root.get()) {
            const QModelIndex index = indexForNode(node);
            emit dataChanged(index, index, {Qt::DisplayRole, Qt::ToolTipRole});
        }
    } else if (changesCounts(change.key)) {
        m_badges.clear();
        scheduleBadgeRefresh();
    }
}

void SourceTreeModel::scheduleBadgeRefresh()
{
    // A card marked done changes several keys at once; the badges are asked once for all of them.
    if (m_badgeRefreshPending)
        return;
    m_badgeRefreshPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_badgeRefreshPending)
                refreshBadges();
        },
        Qt::QueuedConnection);
}

void SourceTreeModel::syncChildren(Node* node)
{
    const QList<DisplayItem*> actual = shownChildren(node->item);
    const QSet<DisplayItem*> present(actual.cbegin(), actual.cend());

    // Rows whose items left: moved to another shown parent, or gone.
    for (int row = int(node->children.size()) - 1; row >= 0; --row) {
        Node* child = node->children[size_t(row)].get();
        if (present.contains(child->item))
            continue;
        if (Node* destination = adoptiveParent(child)) {
            const int at = int(shownChildren(destination->item).indexOf(child->item));
            moveNode(child, destination, std::clamp(at, 0, int(destination->children.size())));
        } else {
            removeNode(child);
        }
    }

    // Then the order of the items, with those that arrived.
    for (int row = 0; row < actual.size(); ++row) {
        DisplayItem* item = actual.at(row);
        if (row < int(node->children.size()) && node->children[size_t(row)]->item == item)
            continue;
        if (const int from = node->rowOf(item, row + 1); from >= 0) {
            moveNode(node->children[size_t(from)].get(), node, row);
            continue;
        }
        Node* elsewhere = nodeFor(item);
        if (elsewhere && elsewhere != m_root.get() && elsewhere->parent != node && !node->isInside(elsewhere)
            && !shownChildren(elsewhere->parent->item).contains(item))
            moveNode(elsewhere, node, row);
        else
            insertNode(node, row, item);
    }
}

void SourceTreeModel::insertNode(Node* parent, int row, DisplayItem* item)
{
    beginInsertRows(indexForNode(parent), row, row);
    parent->children.insert(parent->children.begin() + row, makeNode(item, parent));
    parent->renumber();
    endInsertRows();
}

void SourceTreeModel::removeNode(Node* node)
{
    Node* parent = node->parent;
    const int row = node->row;
    beginRemoveRows(indexForNode(parent), row, row);
    forget(node);
    parent->children.erase(parent->children.begin() + row);
    parent->renumber();
    endRemoveRows();
}

void SourceTreeModel::moveNode(Node* node, Node* destination, int row)
{
    Node* source = node->parent;
    const int from = node->row;
    if (source == destination && (row == from || row == from + 1))
        return;
    if (!beginMoveRows(indexForNode(source), from, from, indexForNode(destination), row))
        return;
    std::unique_ptr<Node> taken = std::move(source->children[size_t(from)]);
    source->children.erase(source->children.begin() + from);
    // The destination row counts the moved row while it is still in place.
    const int at = (source == destination && row > from) ? row - 1 : row;
    taken->parent = destination;
    destination->children.insert(destination->children.begin() + at, std::move(taken));
    source->renumber();
    destination->renumber();
    endMoveRows();
}

std::unique_ptr<SourceTreeModel::Node> SourceTreeModel::makeNode(DisplayItem* item, Node* parent)
{
    auto node = std::make_unique<Node>();
    node->item = item;
    node->parent = parent;
    m_nodes.insert(item, node.get());
    for (DisplayItem* child : shownChildren(item)) {
        // A tree edited into a loop shows each folder once, on its way down.
        bool onPath = false;
        for (const Node* up = node.get(); up && !onPath; up = up->parent)
            onPath = up->item == child;
        if (onPath)
            continue;
        node->children.push_back(makeNode(child, node.get()));
    }
    node->renumber();
    return node;
}

void SourceTreeModel::forget(Node* node)
{
    for (const auto& child : node->children)
        forget(child.get());
    // The item may already have a newer row elsewhere.
    if (m_nodes.value(node->item) == node)
        m_nodes.remove(node->item);
}

SourceTreeModel::Node* SourceTreeModel::nodeFor(const DisplayItem* item) const
{
    return item ? m_nodes.value(item) : nullptr;
}

SourceTreeModel::Node* SourceTreeModel::adoptiveParent(const Node* node) const
{
    if (node->item->isDeleted())
        return nullptr;
    Node* destination = nodeFor(node->item->parent());
    if (!destination || destination == node->parent || destination->isInside(node))
        return nullptr;
    return shownChildren(destination->item).contains(node->item) ? destination : nullptr;
}

QModelIndex SourceTreeModel::indexForNode(const Node* node) const
{
    if (!node || node == m_root.get())
        return {};
    return createIndex(node->row, 0, const_cast<Node*>(node));
}

void SourceTreeModel::emitBadgesChanged(const Node* node)
{
    if (node->children.empty())
        return;
    const QModelIndex parent = indexForNode(node);
    emit dataChanged(
        index(0, 0, parent), index(int(node->children.size()) - 1, 0, parent), {BadgeCountRole, BadgeColourRole});
    for (const auto& child : node->children)
        emitBadgesChanged(child.get());
}

void SourceTreeModel::setOpenCardsSource(OpenCardsSource source)
{
    m_openCards = std::move(source);
    refreshBadges();
}

const SourceTreeModel::Badge& SourceTreeModel::badgeFor(const Kanban* kanban) const
{
    auto found = m_badges.find(kanban);
    if (found != m_badges.end())
        return *found;
    // A board not read yet is told by the count, so that drawing its row reads none of its cards.
    if (const std::optional<OpenCards> open = m_openCards ? m_openCards(kanban) : std::nullopt) {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        QColor colour = badgeGreyColour();
        if (open->earliestDueDate && now > *open->earliestDueDate)
            colour = badgeRedColour();
        else if (open->earliestDueDate && DateHelpers::dueSoon(*open->earliestDueDate, now, UserDefaults::standard()))
            colour = badgeOrangeColour();
        return *m_badges.insert(kanban, Badge {open->count, colour});
    }
    return *m_badges.insert(kanban, Badge {kanban->numberOfNotDone(false), badgeColour(*kanban)});
}

void SourceTreeModel::clear()
{
    m_badges.clear();
    m_nodes.clear();
    m_root.reset();
    m_badgeRefreshPending = false;
}
