#include "Pelorins/archive/ImportExportOutlineModel.h"

#include "Pelorins/sidebar/SourceOutlineViewCell.h"
#include "PelorinsKit/archive/NodePlan.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/Kanban.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/objectgraph/AttributeDescription.h"
#include "Platform/core/objectgraph/RelationshipDescription.h"
#include "Platform/widgets/RowText.h"

#include <QGuiApplication>
#include <QPixmap>

namespace {

const QString folderClass = QStringLiteral("Folder");
const QString kanbanClass = QStringLiteral("Kanban");
const QString childrenKey = QStringLiteral("children");
const QString titleKey = QStringLiteral("title");
const QString exportKey = QStringLiteral("export");

void addRows(std::vector<std::unique_ptr<ImportExportOutlineModel::ImportRow>>& rows, const NodePlan& archive,
    std::span<const qsizetype> nodes, ImportExportOutlineModel::ImportRow* parent)
{
    for (const qsizetype index : nodes) {
        const NodePlan::Node& node = archive.node(index);
        auto row = std::make_unique<ImportExportOutlineModel::ImportRow>();
        row->className = node.classCount > 0 ? node.className : QString();
        row->parent = parent;
        row->row = int(rows.size());
        std::optional<bool> exportMark;
        for (qsizetype i = node.firstItem; i < node.firstItem + node.itemCount; ++i) {
            const NodePlan::Item& item = archive.item(i);
            if (item.kind == NodePlan::Item::Kind::Value && item.attribute->name == titleKey)
                row->title = archive.value(item).toString();
            if (item.kind == NodePlan::Item::Kind::Value && item.attribute->name == exportKey)
                exportMark = archive.value(item).toBool();
            if (row->className == folderClass && item.kind == NodePlan::Item::Kind::Members
                && item.relationship->name == childrenKey) {
                addRows(row->children, archive, archive.members().subspan(size_t(item.first), size_t(item.count)),
                    row.get());
            }
        }
        if (exportMark && row->title && (row->className == folderClass || row->className == kanbanClass)) {
            ConsoleLog::write(QStringLiteral("Export value exists in dictionary ")
                + QLatin1String(*exportMark ? "true" : "false"));
        }
        rows.push_back(std::move(row));
    }
}

const QPixmap& folderIcon()
{
    static const QPixmap icon = SourceOutlineViewCell::folderIcon(qApp->devicePixelRatio());
    return icon;
}

const QPixmap& kanbanIcon()
{
    static const QPixmap icon = SourceOutlineViewCell::kanbanIcon(qApp->devicePixelRatio());
    return icon;
}

} // namespace

ImportExportOutlineModel::ImportExportOutlineModel(QObject* parent)
    : QAbstractItemModel(parent)
{
}

ImportExportOutlineModel::~ImportExportOutlineModel() = default;

void ImportExportOutlineModel::setItems(const QList<DisplayItem*>& items)
{
    beginResetModel();
    m_importing = false;
    m_items = items;
    m_importRows.clear();
    m_checkStates.clear();
    for (DisplayItem* item : items)
        configure(item, true);
    endResetModel();
}

void ImportExportOutlineModel::setFoldersToImport(const NodePlan& archive)
{
    beginResetModel();
    m_importing = true;
    m_items.clear();
    m_checkStates.clear();
    m_importRows.clear();
    addRows(m_importRows, archive, archive.entries(), nullptr);
    endResetModel();
}

DisplayItem* ImportExportOutlineModel::displayItem(const QModelIndex& index) const
{
    return index.isValid() && !m_importing ? static_cast<DisplayItem*>(index.internalPointer()) : nullptr;
}

const ImportExportOutlineModel::ImportRow* ImportExportOutlineModel::importRow(const QModelIndex& index) const
{
    return index.isValid() && m_importing ? static_cast<const ImportRow*>(index.internalPointer()) : nullptr;
}

QList<DisplayItem*> ImportExportOutlineModel::childrenOf(DisplayItem* item) const
{
    if (!item)
        return m_items;
    // Boards never open, so their tags never show.
    return dynamic_cast<Folder*>(item) ? item->children() : QList<DisplayItem*>();
}

QModelIndex ImportExportOutlineModel::indexOf(DisplayItem* item) const
{
    if (!item || m_importing)
        return {};
    const int top = int(m_items.indexOf(item));
    if (top >= 0)
        return createIndex(top, 0, item);
    DisplayItem* parent = item->parent();
    const int row = parent ? int(childrenOf(parent).indexOf(item)) : -1;
    return row >= 0 && indexOf(parent).isValid() ? createIndex(row, 0, item) : QModelIndex();
}

// The check box of a row, as the export test reads the marks: a folder whose children disagree
// is mixed (the test turns its own mark off), else on or off with its mark.
void ImportExportOutlineModel::configure(DisplayItem* item, bool descendants)
{
    Qt::CheckState state = item->isExport() ? Qt::Checked : Qt::Unchecked;
    if (auto* folder = dynamic_cast<Folder*>(item); folder && !item->isExport())
        state = folder->childrenHasMixedStates() ? Qt::PartiallyChecked
            : folder->isExport()                 ? Qt::Checked
                                                 : Qt::Unchecked;
    m_checkStates.insert(item, state);
    if (descendants)
        for (DisplayItem* child : childrenOf(item))
            configure(child, true);
}

void ImportExportOutlineModel::refreshCheckState(DisplayItem* item, bool descendants)
{
    const QModelIndex index = indexOf(item);
    if (!index.isValid())
        return;
    configure(item, descendants);
    emit dataChanged(index, index, {Qt::CheckStateRole});
    if (descendants)
        for (DisplayItem* child : childrenOf(item))
            refreshCheckState(child, true);
}

QModelIndex ImportExportOutlineModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0 || row >= rowCount(parent))
        return {};
    if (m_importing) {
        const ImportRow* parentRow = importRow(parent);
        const auto& rows = parentRow ? parentRow->children : m_importRows;
        return createIndex(row, 0, rows.at(row).get());
    }
    return createIndex(row, 0, childrenOf(displayItem(parent)).at(row));
}

QModelIndex ImportExportOutlineModel::parent(const QModelIndex& child) const
{
    if (m_importing) {
        const ImportRow* row = importRow(child);
        ImportRow* parent = row ? row->parent : nullptr;
        return parent ? createIndex(parent->row, 0, parent) : QModelIndex();
    }
    DisplayItem* item = displayItem(child);
    return item && !m_items.contains(item) ? indexOf(item->parent()) : QModelIndex();
}

int ImportExportOutlineModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    if (m_importing) {
        const ImportRow* row = importRow(parent);
        return int(row ? row->children.size() : m_importRows.size());
    }
    return int(childrenOf(displayItem(parent)).size());
}

int ImportExportOutlineModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool ImportExportOutlineModel::hasChildren(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return rowCount() > 0;
    if (m_importing)
        return importRow(parent)->className == folderClass;
    DisplayItem* item = displayItem(parent);
    return dynamic_cast<Folder*>(item) && item->isItemExpandable();
}

QVariant ImportExportOutlineModel::data(const QModelIndex& index, int role) const
{
    if (const ImportRow* row = importRow(index)) {
        const QString& className = row->className;
        const bool named = row->title && (className == kanbanClass || className == folderClass);
        if (role == Qt::DisplayRole)
            return named ? RowText::elided(*row->title) : QStringLiteral("ERROR: NO TITLE FOUND");
        if (role == Qt::DecorationRole && named)
            return className == kanbanClass ? kanbanIcon() : folderIcon();
        return {};
    }
    DisplayItem* item = displayItem(index);
    if (!item)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        if (auto* folder = dynamic_cast<Folder*>(item))
            return RowText::elided(folder->title());
        if (auto* board = dynamic_cast<Kanban*>(item))
            return RowText::elided(board->title());
        return {};
    case Qt::DecorationRole:
        if (dynamic_cast<Folder*>(item))
            return folderIcon();
        if (dynamic_cast<Kanban*>(item))
            return kanbanIcon();
        return {};
    case Qt::CheckStateRole:
        return m_checkStates.value(item, Qt::Unchecked);
    default:
        return {};
    }
}

bool ImportExportOutlineModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    DisplayItem* item = displayItem(index);
    if (!item || role != Qt::CheckStateRole)
        return false;
    // A click never leaves a box mixed: any state but on counts as off.
    const bool on = value.toInt() == Qt::Checked;
    item->setExport(on);
    m_checkStates.insert(item, on ? Qt::Checked : Qt::Unchecked);
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags ImportExportOutlineModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!m_importing)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}
