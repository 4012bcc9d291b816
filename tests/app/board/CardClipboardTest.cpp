#include "CardBoardFixture.h"

#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/shell/MainSplitViewController.h"
#include "Pelorins/shell/MainWindowAssembly.h"
#include "Pelorins/shell/MainWindowController.h"
#include "PelorinsKit/archive/JSONWriter.h"
#include "PelorinsKit/board/CardPlacement.h"
#include "PelorinsKit/model/ListItemAction.h"
#include "Platform/widgets/ActionRouter.h"
#include "Platform/widgets/ScriptedFilePanelPresenter.h"

#include <QClipboard>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>

namespace {

class CardClipboard : public CardBoardFixture
{
protected:
    CardClipboard() { QGuiApplication::clipboard()->clear(); }

    static void putOnClipboard(const QString& type, const QByteArray& bytes)
    {
        auto* data = new QMimeData;
        data->setData(type, bytes);
        QGuiApplication::clipboard()->setMimeData(data);
    }

    static QByteArray clipboardBytes(const QString& type)
    {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        return data ? data->data(type) : QByteArray();
    }

    static QByteArray cardData(const QList<QJsonObject>& nodes)
    {
        QJsonArray array;
        for (const QJsonObject& node : nodes)
            array.append(node);
        return QJsonDocument(array).toJson(QJsonDocument::Compact);
    }

    int cardCount(Kanban* kanban) const
    {
        int count = 0;
        for (KanbanColumn* stage : kanban->column())
            count += int(stage->item().size());
        for (DoneDate* group : kanban->doneDates())
            count += int(group->items().size());
        return count;
    }
};

} // namespace

TEST_F(CardClipboard, CopyOrCutOfNothingLeavesTheClipboardAsItWas)
{
    Kanban* kanban = boardWithCards("A", {2});
    show(kanban);
    QGuiApplication::clipboard()->setText(QStringLiteral("the user's text"));
    controller(0)->copy();
    controller(0)->cut();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("the user's text"));
    EXPECT_EQ(shownCards(controller(0)).size(), 2);
}

TEST_F(CardClipboard, PasteLandsAfterTheHighestSelectedCardAndUndoTakesExactlyItAway)
{
    Kanban* kanban = boardWithCards("A", {3, 1});
    KanbanColumn* stage = kanban->column().first();
    DoneDate* today = build.addDoneGroup(kanban, CardPlacement::today());
    ListItem* done = build.addDoneCard(kanban, today);
    done->setAttributedNotes(AttributedString(QStringLiteral("done card"), normalAttributes()));
    const QList<ListItem*> before = stage->item();
    show(kanban);

    controller(2)->selectItems({{0, 0}});
    controller(2)->copy();
    ASSERT_FALSE(clipboardBytes(NotesTextView::cardDataType).isEmpty());

    const QSet<IndexPath> selected {{0, 0}, {0, 1}};
    controller(0)->selectItems(selected);
    controller(0)->paste();
    settle();
    ASSERT_EQ(stage->item().size(), 4);
    ListItem* pasted = stage->item().at(2);
    EXPECT_FALSE(before.contains(pasted));
    EXPECT_EQ(notes(pasted), QStringLiteral("done card"));
    EXPECT_FALSE(pasted->done());
    EXPECT_FALSE(pasted->parentDoneGroup());
    EXPECT_EQ(newestEntry(pasted)->action(), ListItemAction::created);
    EXPECT_EQ(newestEntry(pasted)->kanbanColumnUniqueIdentifier(), stage->uniqueIdentifier());
    EXPECT_EQ(undoManager.undoMenuItemTitle(), QStringLiteral("Undo Paste Cards"));
    EXPECT_TRUE(done->done());

    undoManager.undo();
    settle();
    EXPECT_EQ(stage->item(), before);
    EXPECT_TRUE(pasted->isDeleted());
    EXPECT_EQ(selection(controller(0)), selected);
    EXPECT_EQ(undoManager.redoMenuItemTitle(), QStringLiteral("Redo Paste Cards"));

    undoManager.redo();
    settle();
    ASSERT_EQ(stage->item().size(), 4);
    ListItem* again = stage->item().at(2);
    EXPECT_NE(again, pasted);
    EXPECT_EQ(notes(again), QStringLiteral("done card"));
    undoManager.undo();
    settle();
    EXPECT_EQ(stage->item(), before);
}

TEST_F(CardClipboard, UndoOfAPasteFindsTheCardsRebuiltWithTheirStage)
{
    Kanban* kanban = boardWithCards("A", {1, 1});
    show(kanban);
    controller(0)->selectItems({{0, 0}});
    controller(0)->copy();
    controller(1)->selectItems({{0, 0}});
    controller(1)->paste();
    settle();
    ASSERT_EQ(kanban->column().at(1)->item().size(), 2);
    board->deleteSections(QList<int> {1}, std::nullopt);
    settle();
    undoManager.undo();
    settle();
    KanbanColumn* rebuilt = kanban->column().at(1);
    ASSERT_EQ(rebuilt->item().size(), 2);
    const QString kept = rebuilt->item().first()->uniqueIdentifier();

    undoManager.undo();
    settle();
    ASSERT_EQ(rebuilt->item().size(), 1);
    EXPECT_EQ(rebuilt->item().first()->uniqueIdentifier(), kept);
    EXPECT_EQ(undoManager.redoMenuItemTitle(), QStringLiteral("Redo Paste Cards"));
}

TEST_F(CardClipboard, CardsPastedIntoTheDoneColumnAreDoneToday)
{
    Kanban* kanban = boardWithCards("A", {2});
    show(kanban);
    controller(0)->selectItems({{0, 1}});
    controller(0)->copy();
    controller(1)->paste();
    settle();
    const QList<ListItem*> todays = cardsOf(CardPlacement::groupOn(kanban, CardPlacement::today()));
    ASSERT_EQ(todays.size(), 1);
    EXPECT_TRUE(todays.first()->done());
    EXPECT_EQ(notes(todays.first()), notes(kanban->column().first()->item().at(1)));
    EXPECT_EQ(newestEntry(todays.first())->kanbanColumnUniqueIdentifier(), kanban->mainColumn()->uniqueIdentifier());
}

TEST_F(CardClipboard, AWholeSelectedColumnIsCopiedByTheBoardAndCutDeletesItsSelectedCards)
{
    Kanban* kanban = boardWithCards("A", {2, 1});
    show(kanban);
    KanbanColumn* first = kanban->column().first();
    ListItem* card = first->item().first();
    controller(0)->setSelected(true);

    controller(0)->copy();
    EXPECT_FALSE(clipboardBytes(NotesTextView::columnDataType).isEmpty());
    EXPECT_TRUE(clipboardBytes(NotesTextView::cardDataType).isEmpty());

    controller(0)->selectItems({{0, 0}});
    controller(0)->cut();
    settle();
    EXPECT_FALSE(clipboardBytes(NotesTextView::cardDataType).isEmpty());
    EXPECT_TRUE(card->toBeDeleted());
    EXPECT_EQ(undoManager.undoMenuItemTitle(), QStringLiteral("Undo Delete Items"));

    // Column data alone goes to the board: the column pastes stages, not cards.
    controller(1)->setSelected(true);
    controller(1)->copy();
    const qsizetype stages = kanban->column().size();
    controller(0)->paste();
    settle();
    EXPECT_EQ(kanban->column().size(), stages + 1);
}

TEST_F(CardClipboard, WithoutAStageToPasteIntoNothingIsMade)
{
    Kanban* source = boardWithCards("A", {1});
    const QByteArray bytes
        = cardData({JSONWriter::genericTraversingNode(source->column().first()->item().first(), true)});
    Kanban* kanban = boardWithCards("B", {});
    showAsOneList(kanban);
    MacKanbanColumnController* list = oneList();
    ASSERT_TRUE(list);
    const FetchRequest allCards(QStringLiteral("ListItem"));
    const int cards = store.context().count(allCards);

    putOnClipboard(NotesTextView::cardDataType, bytes);
    list->paste();
    settle();
    EXPECT_EQ(store.context().count(allCards), cards);
    EXPECT_FALSE(undoManager.canUndo());
}

TEST_F(CardClipboard, MalformedCardDataIsRefusedWhole)
{
    Kanban* kanban = boardWithCards("A", {2});
    show(kanban);
    const QJsonObject card = JSONWriter::genericTraversingNode(kanban->column().first()->item().first(), true);
    QJsonObject attributes = card.constBegin().value().toObject();
    // Notes whose picture points out of the picture folders.
    for (auto it = attributes.begin(); it != attributes.end(); ++it) {
        QJsonObject notes = it.value().toObject();
        if (!notes.contains(QStringLiteral("runs")))
            continue;
        QJsonArray runs = notes.value(QStringLiteral("runs")).toArray();
        QJsonObject run = runs.first().toObject();
        run.insert(QStringLiteral("fileFolderUUID"), QStringLiteral("../../etc"));
        runs.replace(0, run);
        notes.insert(QStringLiteral("runs"), runs);
        it.value() = notes;
    }
    const QJsonObject unsafe {{card.constBegin().key(), attributes}};
    QByteArray deep = QByteArray(2000, '[') + QByteArray(2000, ']');

    const QList<std::pair<const char*, QByteArray>> cases {
        {"not JSON", QByteArray("[{\"ListItem\": ")},
        {"not a list", cardData({}).replace('[', '{').replace(']', '}')},
        {"a board among the cards", cardData({card, QJsonObject {{QStringLiteral("Kanban"), QJsonObject {}}}})},
        {"a plain value", QByteArray("[1]")},
        {"nested too deep", QByteArray("[{\"ListItem\": {\"notes\": ") + deep + "}}]"},
        {"over 64 MiB", QByteArray("[") + QByteArray(64 * 1024 * 1024, ' ') + "]"},
        {"an unsafe picture name", cardData({unsafe})},
    };
    const int cards = cardCount(kanban);
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        putOnClipboard(NotesTextView::cardDataType, bytes);
        controller(0)->selectItems({{0, 0}});
        controller(0)->paste();
        settle();
        EXPECT_EQ(cardCount(kanban), cards);
        EXPECT_FALSE(undoManager.canUndo());
        EXPECT_EQ(clipboardBytes(NotesTextView::cardDataType), bytes);
    }
}

TEST_F(CardClipboard, InTheOneListADayRowIsCopiedAndHistoryNamesTheStageOfThePaste)
{
    Kanban* kanban = boardWithCards("A", {2, 2});
    DoneDate* earlier = build.addDoneGroup(kanban, LocalDays::start(-2));
    ListItem* done = build.addDoneCard(kanban, earlier);
    done->setAttributedNotes(AttributedString(QStringLiteral("done earlier"), normalAttributes()));
    showAsOneList(kanban);
    MacKanbanColumnController* list = oneList();
    ASSERT_TRUE(list);
    // Stages 0 and 1, today, the earlier day.
    ASSERT_EQ(list->itemFor({3, 0}), done);

    list->selectItems({{3, 0}});
    list->copy();
    list->selectItems({{1, 0}});
    list->paste();
    settle();
    KanbanColumn* second = kanban->column().at(1);
    ASSERT_EQ(second->item().size(), 3);
    ListItem* pasted = second->item().at(1);
    EXPECT_EQ(notes(pasted), QStringLiteral("done earlier"));
    EXPECT_FALSE(pasted->done());
    EXPECT_EQ(newestEntry(pasted)->kanbanColumnUniqueIdentifier(), second->uniqueIdentifier());
    EXPECT_EQ(list->itemFor({1, 1}), pasted);

    undoManager.undo();
    settle();
    EXPECT_EQ(second->item().size(), 2);
    EXPECT_EQ(selection(list), (QSet<IndexPath> {{1, 0}}));
}

TEST_F(CardClipboard, TheWindowsKeysCopyPasteMarkDoneAndDelete)
{
    ActionRouter router;
    ScriptedFilePanelPresenter panels;
    MainWindowController window({&router, &undoManager, &panels, &defaults});
    MacKanbanColumnsViewController::Services withRouter = services();
    withRouter.router = &router;
    auto* pane = new MacKanbanColumnsViewController(withRouter);
    pane->animator().setFinishesAtOnce(true);
    window.splitViewController()->setKanbanColumnsViewController(pane);
    MainWindowAssembly::connectSplitView(*window.splitViewController(), window);
    window.resize(1400, 900);
    window.show();
    window.activateWindow();
    Kanban* kanban = boardWithCards("A", {3, 1});
    KanbanColumn* stage = kanban->column().first();
    const QList<ListItem*> before = stage->item();
    window.splitViewController()->showDisplayItem(kanban);
    settle();
    MacKanbanColumnController* first = pane->columnControllerFor(0);
    ASSERT_TRUE(first);
    first->collectionView()->setAnimationDuration(0);
    const auto keys = [&](const QKeySequence& sequence) {
        QTest::keySequence(QApplication::focusWidget(), sequence);
        settle();
    };

    clickRow(first, {0, 0});
    keys(QKeySequence::Copy);
    clickRow(first, {0, 1});
    keys(QKeySequence::Paste);
    ASSERT_EQ(stage->item().size(), 4);
    EXPECT_EQ(stage->item().mid(0, 2), before.mid(0, 2));
    ListItem* copy = stage->item().at(2);
    EXPECT_EQ(notes(copy), notes(before.at(0)));

    clickRow(first, {0, 2});
    keys(QKeySequence(QStringLiteral("Ctrl+Shift+D")));
    EXPECT_TRUE(copy->done());
    EXPECT_EQ(stage->item().size(), 3);

    clickRow(first, {0, 0});
    keys(QKeySequence(Qt::Key_Delete));
    EXPECT_TRUE(before.at(0)->toBeDeleted());
    EXPECT_EQ(stage->item().size(), 2);
    EXPECT_EQ(window.menuAction(QStringLiteral("undo:"))->text(), QStringLiteral("Undo Delete Items"));

    clickRow(first, {0, 0});
    keys(QKeySequence(QStringLiteral("Ctrl+Return")));
    EXPECT_EQ(stage->item().size(), 3);
    EXPECT_EQ(undoManager.undoMenuItemTitle(), QStringLiteral("Undo Add Card"));
}
