#pragma once

#include <QAbstractItemModel>
#include <QColor>
#include <QDateTime>
#include <QHash>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class DisplayItem;
class Kanban;
class ManagedObject;
class ManagedObjectContext;
class Root;
struct KeyChange;

// The sidebar's rows: the folders and boards under the root, as an item model. It keeps its own
// copy of the tree and follows the graph's change notices of "children" with row inserts, moves
// and removes, so views keep their selection and expansion across changes. A board's tags are
// never rows: a board does not open.
class SourceTreeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum Role {
        // The row's DisplayItem*.
        ItemRole = Qt::UserRole + 1,
        // A board's open cards, counting its done column; none for a folder.
        BadgeCountRole,
        // A board's badge colour: red with an overdue card, else orange with one due soon, else grey.
        BadgeColourRole,
    };

    explicit SourceTreeModel(QObject* parent = nullptr);
    ~SourceTreeModel() override;

    // Builds the rows of `root`'s tree; null leaves the model empty.
    void setRootObject(Root* root);
    Root* rootObject() const;

    DisplayItem* itemForIndex(const QModelIndex& index) const;
    // Invalid for the root and for items that are not rows.
    QModelIndex indexForItem(const DisplayItem* item) const;

    // Tells views that every board's count may have changed; they ask again for the rows they show.
    void refreshBadges();

    static QColor badgeColour(const Kanban& kanban);

    // The badge of a board whose cards are not read yet: its open cards and their earliest due
    // date, as counted when the store was opened; none for a board whose cards tell it.
    struct OpenCards
    {
        int count = 0;
        std::optional<QDateTime> earliestDueDate;
    };
    using OpenCardsSource = std::function<std::optional<OpenCards>(const Kanban*)>;
    void setOpenCardsSource(OpenCardsSource source);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Sets a folder's or board's title.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    struct Node;

    void objectDidChange(ManagedObject* object, const KeyChange& change);
    void scheduleBadgeRefresh();
    void syncChildren(Node* node);
    void insertNode(Node* parent, int row, DisplayItem* item);
    void removeNode(Node* node);
    void moveNode(Node* node, Node* destination, int row);
    std::unique_ptr<Node> makeNode(DisplayItem* item, Node* parent);
    void forget(Node* node);
    Node* nodeFor(const DisplayItem* item) const;
    Node* adoptiveParent(const Node* node) const;
    QModelIndex indexForNode(const Node* node) const;
    void emitBadgesChanged(const Node* node);
    void clear();
    struct Badge
    {
        int count = 0;
        QColor colour;
    };
    const Badge& badgeFor(const Kanban* kanban) const;

    std::unique_ptr<Node> m_root;
    QPointer<ManagedObjectContext> m_context;
    QHash<const DisplayItem*, Node*> m_nodes;
    bool m_badgeRefreshPending = false;
    // Counts asked since the last change that can alter them; a big board is counted once per
    // refresh, not once per role and paint.
    mutable QHash<const Kanban*, Badge> m_badges;
    OpenCardsSource m_openCards;
};
