#pragma once

#include "BoardViewFixture.h"
#include "support/LocalDays.h"

#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/column/AddButton.h"
#include "Pelorins/column/KanbanColumnAddButtonItem.h"
#include "Pelorins/column/KanbanColumnListItem.h"
#include "Pelorins/column/ListItemAddItemButtonCell.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/ListItemHistory.h"

#include <QApplication>
#include <QTest>
#include <algorithm>

// A board view whose lists land their updates at once, with what a user does to its cards:
// clicks on rows, on add-card cells, and keys.
class CardBoardFixture : public BoardViewFixture
{
protected:
    // Done cards are dated by the system clock: the board's day is the same.
    CardBoardFixture() { now = QDateTime::currentDateTimeUtc(); }

    void show(Kanban* kanban)
    {
        BoardViewFixture::show(kanban);
        instantLists();
    }

    void instantLists()
    {
        for (MacKanbanColumnController* column : board->columnControllers() + board->inactiveColumnControllers())
            column->collectionView()->setAnimationDuration(0);
    }

    void showAsOneList(Kanban* kanban)
    {
        defaults.setValue(MacKanbanColumnsViewController::viewAsMultiColumnKey, false);
        show(kanban);
        settle();
    }

    MacKanbanColumnController* oneList() const
    {
        for (MacKanbanColumnController* column : board->columnControllers())
            if (column->showAllSections())
                return column;
        return nullptr;
    }

    static ListItemCellView* cell(MacKanbanColumnController* column, const IndexPath& path)
    {
        auto* item = qobject_cast<KanbanColumnListItem*>(column->collectionView()->itemWidget(path));
        return item ? item->view() : nullptr;
    }

    // A click on the row, beside the card's text, as the pointer gives it.
    static void clickRow(MacKanbanColumnController* column, const IndexPath& path, Qt::KeyboardModifiers modifiers = {})
    {
        SectionedListView* list = column->collectionView();
        list->scrollToItem(path, SectionedListView::ScrollPosition::Centre);
        settle();
        const QRect frame = list->itemFrame(path);
        const QPoint point(3, frame.center().y() - list->contentOffset());
        QWidget* target = list->viewport()->childAt(point);
        if (!target || target->inherits("QTextEdit") || target->parentWidget()->inherits("QTextEdit"))
            target = list->viewport();
        QTest::mouseClick(target, Qt::LeftButton, modifiers, target->mapFrom(list->viewport(), point));
        settle();
    }

    static void clickAddCell(MacKanbanColumnController* column, int section)
    {
        SectionedListView* list = column->collectionView();
        const IndexPath path {section, list->numberOfItems(section) - 1};
        list->scrollToItem(path, SectionedListView::ScrollPosition::Bottom);
        settle();
        auto* add = qobject_cast<KanbanColumnAddButtonItem*>(list->itemWidget(path));
        ASSERT_TRUE(add);
        QTest::mouseClick(add->view()->button(), Qt::LeftButton);
        settle();
    }

    static QSet<IndexPath> selection(MacKanbanColumnController* column)
    {
        return column->collectionView()->selectionIndexPaths();
    }

    static QList<ListItem*> cardsOf(const DoneDate* group) { return group ? group->items() : QList<ListItem*>(); }

    static QString notes(const ListItem* card)
    {
        const std::optional<AttributedString> text = card->attributedNotes();
        return text ? text->string() : QString();
    }

    static QStringList notesOf(const QList<ListItem*>& cards)
    {
        QStringList texts;
        for (const ListItem* card : cards)
            texts << notes(card);
        return texts;
    }

    // The newest entry of the card's history.
    static const ListItemHistory* newestEntry(const ListItem* card)
    {
        const QList<ListItemHistory*> history = card->history();
        const auto newest = std::max_element(history.cbegin(), history.cend(),
            [](const ListItemHistory* a, const ListItemHistory* b) { return a->date() < b->date(); });
        return newest == history.cend() ? nullptr : *newest;
    }
};
