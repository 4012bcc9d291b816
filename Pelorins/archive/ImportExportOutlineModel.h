#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QList>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

class DisplayItem;
class NodePlan;

// The rows of the archive sheet's outline. Export: the user's folders and boards, a folder
// opening onto its children, each with a check box showing its export mark (mixed for a folder
// whose children disagree). Import: the folders and boards of the archive as read, without check
// boxes; a folder always has an opener. A row shows its title and the sidebar's icon.
class ImportExportOutlineModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    // A preview row: a node's class and title, and the rows of a folder's "children".
    struct ImportRow
    {
        QString className;
        std::optional<QString> title;
        std::vector<std::unique_ptr<ImportRow>> children;
        ImportRow* parent = nullptr;
        int row = 0;
    };

    explicit ImportExportOutlineModel(QObject* parent = nullptr);
    ~ImportExportOutlineModel() override;

    void setItems(const QList<DisplayItem*>& items);
    // The rows of an archive's top-level nodes.
    void setFoldersToImport(const NodePlan& archive);

    DisplayItem* displayItem(const QModelIndex& index) const;
    const ImportRow* importRow(const QModelIndex& index) const;
    QModelIndex indexOf(DisplayItem* item) const;

    // Shows the marks of `item`'s row, and of its descendants' rows with `descendants`, as they
    // stand; a folder's mixed test runs again for it.
    void refreshCheckState(DisplayItem* item, bool descendants);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QList<DisplayItem*> childrenOf(DisplayItem* item) const;
    void configure(DisplayItem* item, bool descendants);

    bool m_importing = false;
    QList<DisplayItem*> m_items;
    QHash<DisplayItem*, Qt::CheckState> m_checkStates;
    std::vector<std::unique_ptr<ImportRow>> m_importRows;
};
