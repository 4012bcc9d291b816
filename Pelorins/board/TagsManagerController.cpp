#include "Pelorins/board/TagsManagerController.h"

#include "Pelorins/board/TagColourTableCell.h"
#include "Pelorins/board/TagFiltersDelegate.h"
#include "Pelorins/board/TagNameTableCell.h"
#include "PelorinsKit/board/TagRenaming.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "PelorinsKit/model/NotificationName.h"
#include "PelorinsKit/model/Tag.h"
#include "Platform/core/NotificationCenter.h"

#include <QHeaderView>
#include <QTableView>
#include <algorithm>

TagsManagerController::TagsManagerController(
    NotificationCenter& notificationCenter, std::function<void()> save, QObject* parent)
    : QAbstractTableModel(parent)
    , m_notificationCenter(notificationCenter)
    , m_save(std::move(save))
{
    m_notificationCenter.addObserver(
        this, NotificationName::tagValueChanged, [this](const NotificationCenter::Notification&) { reload(); });
}

void TagsManagerController::setKanban(Kanban* kanban)
{
    m_kanban = kanban;
    reload();
}

void TagsManagerController::setTagTableView(QTableView* view)
{
    m_tagTableView = view;
    if (!view)
        return;
    view->setModel(this);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setStretchLastSection(true);
    view->setSelectionMode(QAbstractItemView::NoSelection);
    installCells();
}

QList<Tag*> TagsManagerController::sortedTags() const
{
    QList<Tag*> tags = m_kanban ? m_kanban->tags() : QList<Tag*>();
    std::stable_sort(tags.begin(), tags.end(), [](const Tag* a, const Tag* b) { return a->name() < b->name(); });
    return tags;
}

Tag* TagsManagerController::tagAt(int row) const
{
    const QList<Tag*> tags = sortedTags();
    return row >= 0 && row < tags.size() ? tags.at(row) : nullptr;
}

QString TagsManagerController::columnIdentifier(int column)
{
    switch (column) {
    case 0:
        return nameColumn;
    case 1:
        return colourColumn;
    default:
        return {};
    }
}

QWidget* TagsManagerController::viewFor(const QString& columnIdentifier, int row)
{
    Tag* tag = tagAt(row);
    if (columnIdentifier == nameColumn) {
        auto* cell = new TagNameTableCell;
        cell->setObjectValue(tag);
        connect(cell, &TagNameTableCell::tagNameChanged, this, &TagsManagerController::tagNameChanged);
        return cell;
    }
    if (columnIdentifier == colourColumn) {
        auto* cell = new TagColourTableCell;
        cell->setObjectValue(tag);
        connect(cell, &TagColourTableCell::colourChanged, this, &TagsManagerController::colourChanged);
        return cell;
    }
    return nullptr;
}

void TagsManagerController::colourChanged(Tag* tag, int colour)
{
    tag->setColour(colour);
    if (m_save)
        m_save();
    m_notificationCenter.post(NotificationName::tagValueChanged, nullptr, TagRenaming::tagValueChange(tag));
}

void TagsManagerController::tagNameChanged(Tag* tag, const QString& name)
{
    if (m_delegate)
        m_delegate->renameTag(tag, name);
}

int TagsManagerController::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_kanban ? 0 : int(m_kanban->tags().size());
}

int TagsManagerController::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant TagsManagerController::data(const QModelIndex& index, int role) const
{
    const Tag* tag = index.isValid() ? tagAt(index.row()) : nullptr;
    if (!tag)
        return {};
    if (index.column() == 0 && (role == Qt::DisplayRole || role == Qt::EditRole))
        return tag->name();
    return {};
}

QVariant TagsManagerController::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    if (section == 0)
        return local(QStringLiteral("Tag"));
    if (section == 1)
        return local(QStringLiteral("Colour"));
    return {};
}

void TagsManagerController::reload()
{
    beginResetModel();
    endResetModel();
    installCells();
}

void TagsManagerController::installCells()
{
    if (!m_tagTableView)
        return;
    for (int row = 0; row < rowCount(); ++row)
        for (int column = 0; column < columnCount(); ++column)
            m_tagTableView->setIndexWidget(index(row, column), viewFor(columnIdentifier(column), row));
}
