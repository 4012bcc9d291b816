#include "Pelorins/sidebar/SourceOutlineView.h"

#include "Pelorins/common/AppConstants.h"
#include "Pelorins/sidebar/KDLeftSidebarViewController.h"
#include "Pelorins/sidebar/SourceTreeModel.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"

#include <QContextMenuEvent>
#include <QDrag>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>

namespace {

constexpr QLatin1String kanbanEntityName("Kanban");
// The part of a row's height, at its top and bottom, where a drop goes between rows.
constexpr int betweenRowsFraction = 4;

} // namespace

SourceOutlineView::SourceOutlineView(QWidget* parent)
    : QTreeView(parent)
    , m_menu(new QMenu(this))
{
    setObjectName(QStringLiteral("sourceOutlineView"));
    setHeaderHidden(true);
    setAccessibleName(local(QStringLiteral("Folders and Boards")));
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setFrameShape(QFrame::NoFrame);
    setIndentation(14);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DragDrop);
    header()->setStretchLastSection(true);
}

void SourceOutlineView::setViewController(KDLeftSidebarViewController* viewController)
{
    m_viewController = viewController;
    m_menu->clear();
    if (!viewController)
        return;
    m_menu->addAction(tr("New Board"), viewController, &KDLeftSidebarViewController::addKanban);
    m_menu->addAction(tr("New Folder"), viewController, &KDLeftSidebarViewController::addFolder);
}

int SourceOutlineView::numberOfRows() const
{
    int count = 0;
    forEachShownRow([&count](const QModelIndex&, int) {
        ++count;
        return true;
    });
    return count;
}

int SourceOutlineView::rowForIndex(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != model())
        return -1;
    const QModelIndex wanted = index.siblingAtColumn(0);
    int found = -1;
    forEachShownRow([&](const QModelIndex& candidate, int row) {
        if (candidate != wanted)
            return true;
        found = row;
        return false;
    });
    return found;
}

QModelIndex SourceOutlineView::indexAtRow(int row) const
{
    QModelIndex found;
    if (row < 0)
        return found;
    forEachShownRow([&](const QModelIndex& candidate, int candidateRow) {
        if (candidateRow != row)
            return true;
        found = candidate;
        return false;
    });
    return found;
}

int SourceOutlineView::selectedRow() const
{
    if (!selectionModel() || !selectionModel()->hasSelection())
        return -1;
    int found = -1;
    forEachShownRow([&](const QModelIndex& candidate, int row) {
        if (!selectionModel()->isSelected(candidate))
            return true;
        found = row;
        return false;
    });
    return found;
}

QList<int> SourceOutlineView::selectedRows() const
{
    QList<int> rows;
    if (!selectionModel() || !selectionModel()->hasSelection())
        return rows;
    forEachShownRow([&](const QModelIndex& candidate, int row) {
        if (selectionModel()->isSelected(candidate))
            rows.append(row);
        return true;
    });
    return rows;
}

void SourceOutlineView::selectRow(int row, bool extendSelection)
{
    const QModelIndex index = indexAtRow(row);
    if (!index.isValid() || !selectionModel())
        return;
    const auto command = (extendSelection ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect)
        | QItemSelectionModel::Rows;
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    selectionModel()->select(index, command);
}

void SourceOutlineView::willOpenMenu(int row)
{
    m_clickedRow = row;
    const auto addItem = [this](QStringView identifier, void (SourceOutlineView::*command)()) {
        m_menu->addAction(identifier.toString(), this, command)->setObjectName(identifier.toString());
    };
    if (row >= 0) {
        if (!menuItem(renameIdentifier)) {
            m_menu->addSeparator()->setObjectName(separatorIdentifier1.toString());
            addItem(renameIdentifier, &SourceOutlineView::renameItem);
        }
        if (!menuItem(duplicateIdentifier))
            addItem(duplicateIdentifier, &SourceOutlineView::duplicateItem);
        if (!menuItem(deleteIdentifier)) {
            m_menu->addSeparator()->setObjectName(separatorIdentifier2.toString());
            addItem(deleteIdentifier, &SourceOutlineView::deleteItem);
        }
    } else if (menuItem(renameIdentifier)) {
        for (QStringView identifier :
            {renameIdentifier, deleteIdentifier, separatorIdentifier1, separatorIdentifier2, duplicateIdentifier})
            if (QAction* item = menuItem(identifier)) {
                m_menu->removeAction(item);
                item->deleteLater();
            }
    }
}

void SourceOutlineView::openMenuAt(const QPoint& position)
{
    const QModelIndex index = indexAt(position);
    willOpenMenu(index.isValid() ? rowForIndex(index) : -1);
    viewport()->update();
    m_menu->exec(viewport()->mapToGlobal(position));
    // Commands sent later, from the main menu or a key, have no clicked row.
    m_clickedRow = -1;
    viewport()->update();
}

void SourceOutlineView::renameItem()
{
    const QModelIndex index = indexAtRow(m_clickedRow);
    if (!index.isValid())
        return;
    setCurrentIndex(index);
    edit(index);
}

void SourceOutlineView::duplicateItem()
{
    const int row = m_clickedRow >= 0 ? m_clickedRow : selectedRow();
    if (m_viewController)
        m_viewController->duplicate(itemAt(row));
}

void SourceOutlineView::deleteItem()
{
    DisplayItem* item = itemAt(m_clickedRow);
    if (m_viewController && item)
        m_viewController->confirmDelete({item});
}

QString SourceOutlineView::uniqueCopyTitle(const QString& title) const
{
    static const QRegularExpression copySuffix(QStringLiteral("^(.*)( copy) ?(\\d?)$"));
    const QRegularExpressionMatch suffix = copySuffix.match(title);
    const QString base = suffix.hasMatch() ? suffix.captured(1) : title;

    // The base is matched as written: a title such as "C++" or "Plan (v2)" is no pattern.
    const QRegularExpression copies(
        QStringLiteral("^") + QRegularExpression::escape(base) + QStringLiteral(" (copy) ?(\\d?)$"));
    bool found = false;
    int highest = 0;
    if (!copies.isValid()) {
        ConsoleLog::write(QStringLiteral("invalid regex: ") + copies.errorString());
    } else if (ManagedObjectContext* context = m_viewController ? m_viewController->managedObjectContext() : nullptr) {
        for (const Kanban* kanban : context->fetchAs<Kanban>(FetchRequest(kanbanEntityName))) {
            const QString candidate = kanban->title();
            if (candidate.isNull())
                continue;
            QRegularExpressionMatchIterator matches = copies.globalMatch(candidate);
            while (matches.hasNext()) {
                const QRegularExpressionMatch match = matches.next();
                if (match.capturedStart(1) >= 0)
                    found = true;
                bool isNumber = false;
                const int number = match.captured(2).toInt(&isNumber);
                if (isNumber)
                    highest = std::max(highest, number);
            }
        }
    }
    if (highest >= 1)
        return base + QStringLiteral(" copy ") + QString::number(highest + 1);
    return base + (found ? QStringLiteral(" copy 2") : QStringLiteral(" copy"));
}

void SourceOutlineView::dropProposalAt(const QPoint& position, DisplayItem*& item, int& childIndex) const
{
    item = nullptr;
    childIndex = -1;
    auto* tree = qobject_cast<SourceTreeModel*>(model());
    const QModelIndex index = indexAt(position);
    if (!tree || !index.isValid())
        return;
    const QRect rect = visualRect(index);
    const int margin = std::max(2, rect.height() / betweenRowsFraction);
    if (position.y() < rect.top() + margin) {
        item = tree->itemForIndex(index.parent());
        childIndex = index.row();
    } else if (position.y() > rect.bottom() - margin) {
        if (isExpanded(index) && tree->rowCount(index) > 0) {
            item = tree->itemForIndex(index);
            childIndex = 0;
        } else {
            item = tree->itemForIndex(index.parent());
            childIndex = index.row() + 1;
        }
    } else {
        item = tree->itemForIndex(index);
    }
}

void SourceOutlineView::mousePressEvent(QMouseEvent* event)
{
    // A right-click names the row its menu acts on; the selection stays as it is.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

void SourceOutlineView::contextMenuEvent(QContextMenuEvent* event)
{
    openMenuAt(viewport()->mapFrom(this, event->pos()));
}

void SourceOutlineView::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) && state() != EditingState
        && m_viewController) {
        m_viewController->deleteSelectedItems();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void SourceOutlineView::startDrag(Qt::DropActions)
{
    auto* tree = qobject_cast<SourceTreeModel*>(model());
    if (!tree || !m_viewController)
        return;
    QList<DisplayItem*> items;
    for (int row : selectedRows())
        if (DisplayItem* item = itemAt(row))
            items.append(item);
    if (items.isEmpty())
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(m_viewController->pasteboardWriterForItems(items));
    const QModelIndex pressed = currentIndex();
    if (pressed.isValid()) {
        const QRect rect = visualRect(pressed);
        QPixmap image = viewport()->grab(rect);
        drag->setPixmap(image);
        drag->setHotSpot(viewport()->mapFromGlobal(QCursor::pos()) - rect.topLeft());
    }
    m_viewController->draggingSessionWillBegin(items);
    drag->exec(Qt::MoveAction);
    if (m_viewController)
        m_viewController->draggingSessionEnded();
}

void SourceOutlineView::dragEnterEvent(QDragEnterEvent* event)
{
    // Each position is checked as the drag moves.
    const QMimeData* data = event->mimeData();
    if (m_viewController && (data->hasFormat(sourceItemPasteboardType) || data->hasFormat(listItemPasteboardType)))
        event->acceptProposedAction();
    else
        event->ignore();
}

void SourceOutlineView::dragMoveEvent(QDragMoveEvent* event)
{
    DisplayItem* item = nullptr;
    int childIndex = -1;
    if (validate(event, item, childIndex)) {
        setDropIndicator(dropIndicatorRect(item, childIndex));
        event->accept();
    } else {
        setDropIndicator({});
        event->ignore();
    }
}

void SourceOutlineView::dragLeaveEvent(QDragLeaveEvent* event)
{
    setDropIndicator({});
    QTreeView::dragLeaveEvent(event);
}

void SourceOutlineView::dropEvent(QDropEvent* event)
{
    setDropIndicator({});
    DisplayItem* item = nullptr;
    int childIndex = -1;
    if (!validate(event, item, childIndex)) {
        event->ignore();
        return;
    }
    const bool dropped = m_viewController->acceptDrop(event->mimeData(), event->source(), item, childIndex);
    event->setDropAction(dropped ? event->dropAction() : Qt::IgnoreAction);
    event->accept();
}

void SourceOutlineView::paintEvent(QPaintEvent* event)
{
    QTreeView::paintEvent(event);
    // The row a menu acts on and the place of a drop are ringed; a drop between rows is a line.
    QRect ring = m_dropIndicator;
    if (ring.isNull() && m_clickedRow >= 0) {
        const QRect row = visualRect(indexAtRow(m_clickedRow));
        ring = QRect(0, row.top(), viewport()->width(), row.height());
    }
    if (ring.isNull())
        return;
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    if (ring.height() > 2)
        painter.drawRoundedRect(ring.adjusted(1, 1, -1, -1), 4, 4);
    else
        painter.drawLine(ring.topLeft(), ring.topRight());
}

void SourceOutlineView::forEachShownRow(const std::function<bool(const QModelIndex&, int)>& visit) const
{
    if (!model())
        return;
    int row = 0;
    std::function<bool(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
        const int count = model()->rowCount(parent);
        for (int i = 0; i < count; ++i) {
            const QModelIndex child = model()->index(i, 0, parent);
            if (!visit(child, row++))
                return false;
            if (isExpanded(child) && !walk(child))
                return false;
        }
        return true;
    };
    walk(rootIndex());
}

DisplayItem* SourceOutlineView::itemAt(int row) const
{
    auto* tree = qobject_cast<SourceTreeModel*>(model());
    return tree ? tree->itemForIndex(indexAtRow(row)) : nullptr;
}

QAction* SourceOutlineView::menuItem(QStringView identifier) const
{
    for (QAction* item : m_menu->actions())
        if (item->objectName() == identifier)
            return item;
    return nullptr;
}

QRect SourceOutlineView::dropIndicatorRect(DisplayItem* item, int childIndex) const
{
    auto* tree = qobject_cast<SourceTreeModel*>(model());
    if (!tree)
        return {};
    const QModelIndex parent = tree->indexForItem(item);
    const int width = viewport()->width();
    if (childIndex < 0) {
        if (!parent.isValid())
            return {};
        const QRect row = visualRect(parent);
        return {0, row.top(), width, row.height()};
    }
    const int count = tree->rowCount(parent);
    if (childIndex < count) {
        const QRect row = visualRect(tree->index(childIndex, 0, parent));
        return {row.left(), row.top(), width - row.left(), 1};
    }
    // After the last child: below the last row shown inside the parent.
    QModelIndex last = count > 0 ? tree->index(count - 1, 0, parent) : parent;
    while (last.isValid() && isExpanded(last) && tree->rowCount(last) > 0)
        last = tree->index(tree->rowCount(last) - 1, 0, last);
    const int left = count > 0 ? visualRect(tree->index(count - 1, 0, parent)).left() : indentation();
    const int bottom = last.isValid() ? visualRect(last).bottom() + 1 : 0;
    return {left, bottom, width - left, 1};
}

bool SourceOutlineView::validate(QDropEvent* event, DisplayItem*& item, int& childIndex) const
{
    if (!m_viewController)
        return false;
    dropProposalAt(event->position().toPoint(), item, childIndex);
    const Qt::DropAction operation
        = m_viewController->validateDrop(event->mimeData(), event->source(), item, childIndex);
    if (operation == Qt::IgnoreAction)
        return false;
    event->setDropAction(operation);
    return true;
}

void SourceOutlineView::setDropIndicator(const QRect& rect)
{
    if (rect == m_dropIndicator)
        return;
    m_dropIndicator = rect;
    viewport()->update();
}
