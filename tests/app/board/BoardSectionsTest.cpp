#include "app/board/SectionsFixture.h"

#include "Pelorins/column/AddButton.h"
#include "Pelorins/column/AddColumnButtonView.h"
#include "PelorinsKit/board/KanbanColumnListItemsMover.h"
#include "PelorinsKit/model/Tag.h"

namespace {

class BoardSections : public SectionsFixture
{
protected:
    QStringList cardTexts(int section) const
    {
        QStringList texts;
        for (ListItem* card : shownCards(controller(section)))
            texts << card->attributedNotes()->string();
        return texts;
    }

    // Which stage each live controller shows.
    QHash<MacKanbanColumnController*, KanbanColumn*> shownStages() const
    {
        QHash<MacKanbanColumnController*, KanbanColumn*> shown;
        const QList<KanbanColumn*> stages = board->kanbanColumns();
        for (MacKanbanColumnController* column : board->columnControllers())
            shown.insert(column, stages.value(column->specifiedSection(), nullptr));
        return shown;
    }
};

TEST_F(BoardSections, InsertingAtTheStartRenumbersTheColumnsAndEditsTheNewTitle)
{
    showRouted(boardWithCards(QStringLiteral("B"), {1, 0, 2}));
    MacKanbanColumnController* done = controller(3);
    const QList<MacKanbanColumnController*> stageColumns {controller(0), controller(1), controller(2)};

    board->insertNewSection(0, false);
    settle();

    EXPECT_EQ(stageTitles(), (QStringList {"new column", "B S1", "B S2", "B S3"}));
    EXPECT_EQ(headerTitles(), stageTitles());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(stageColumns.at(i)->specifiedSection(), i + 1);
    EXPECT_EQ(done->specifiedSection(), 4);
    EXPECT_EQ(frameOf(done).left(), 4 * 300 + 40);
    EXPECT_EQ(board->addColumnButton()->leftMargin(), 4 * 300);
    ListItemHeaderCellView* fresh = header(0);
    ASSERT_TRUE(fresh->isEditingTitle());
    EXPECT_EQ(fresh->editableTextField()->selectedText(), "new column");
    EXPECT_TRUE(fresh->editableTextField()->hasFocus());
    EXPECT_EQ(undoManager.undoMenuItemTitle(), "Undo Insert New Section");

    undoManager.undo();
    settle();
    EXPECT_EQ(stageTitles(), (QStringList {"B S1", "B S2", "B S3"}));
    EXPECT_EQ(done->specifiedSection(), 3);
    EXPECT_EQ(board->columnControllers().size(), 4);
    EXPECT_EQ(cardTexts(2), (QStringList {"B S3 card 1", "B S3 card 2"}));

    undoManager.redo();
    settle();
    EXPECT_EQ(stageTitles(), (QStringList {"new column", "B S1", "B S2", "B S3"}));
    EXPECT_EQ(done->specifiedSection(), 4);
}

TEST_F(BoardSections, TheAddColumnButtonInsertsBeforeTheDoneColumn)
{
    showRouted(boardWithCards(QStringLiteral("B"), {0, 0, 0}));
    auto* plus = board->addColumnButton()->findChild<AddButton*>();
    ASSERT_TRUE(plus);

    QTest::mouseClick(plus, Qt::LeftButton, Qt::NoModifier, plus->rect().center());
    settle();

    EXPECT_EQ(stageTitles(), (QStringList {"B S1", "B S2", "B S3", "new column"}));
    EXPECT_TRUE(header(3)->isEditingTitle());
    EXPECT_EQ(controller(4)->specifiedSection(), 4);
}

TEST_F(BoardSections, DeletedStagesComeBackInPlaceWithTheirCardsIdentifiersAndTheBoardsTags)
{
    Kanban* kanban = boardWithCards(QStringLiteral("B"), {1, 2, 1, 1, 1});
    Tag* urgent = build.addTag(kanban, QStringLiteral("urgent"));
    ListItem* tagged = kanban->column().at(1)->item().at(0);
    tagged->setTags({urgent});
    const QString stageIdentifier = kanban->column().at(1)->uniqueIdentifier();
    const QString cardIdentifier = tagged->uniqueIdentifier();
    showRouted(kanban);
    MacKanbanColumnController* done = controller(5);

    click(header(1));
    click(header(3), Qt::ControlModifier);
    ASSERT_EQ(selectedColumns(), (QList<int> {1, 3}));
    ASSERT_TRUE(router.send(QStringLiteral("deleteSelectedSections"), nullptr, header(3)));
    settle();

    EXPECT_EQ(stageTitles(), (QStringList {"B S1", "B S3", "B S5"}));
    EXPECT_EQ(headerTitles(), stageTitles());
    EXPECT_EQ(done->specifiedSection(), 3);
    EXPECT_EQ(board->columnControllers().size(), 4);
    EXPECT_TRUE(tagged->isDeleted());
    EXPECT_EQ(undoManager.undoMenuItemTitle(), "Undo Delete Sections");

    undoManager.undo();
    settle();
    EXPECT_EQ(stageTitles(), (QStringList {"B S1", "B S2", "B S3", "B S4", "B S5"}));
    EXPECT_EQ(headerTitles(), stageTitles());
    EXPECT_EQ(done->specifiedSection(), 5);
    EXPECT_EQ(cardTexts(1), (QStringList {"B S2 card 1", "B S2 card 2"}));
    EXPECT_EQ(cardTexts(3), (QStringList {"B S4 card 1"}));
    EXPECT_EQ(selectedColumns(), (QList<int> {1, 3}));
    EXPECT_TRUE(board->hasFocus());
    KanbanColumn* rebuilt = kanban->column().at(1);
    EXPECT_EQ(rebuilt->uniqueIdentifier(), stageIdentifier);
    ListItem* rebuiltCard = rebuilt->item().at(0);
    EXPECT_EQ(rebuiltCard->uniqueIdentifier(), cardIdentifier);
    EXPECT_EQ(rebuiltCard->tags(), QList<Tag*> {urgent});
    EXPECT_EQ(kanban->tags(), QList<Tag*> {urgent});

    undoManager.redo();
    settle();
    EXPECT_EQ(stageTitles(), (QStringList {"B S1", "B S3", "B S5"}));
    EXPECT_EQ(done->specifiedSection(), 3);
    EXPECT_TRUE(rebuilt->isDeleted());
}

TEST_F(BoardSections, DeletingWithNoStageSelectedIsNoStep)
{
    showRouted(boardWithCards(QStringLiteral("B"), {1, 1}));
    controller(2)->setSelected(true);

    board->deleteSelectedSections();
    settle();

    EXPECT_EQ(stageTitles(), (QStringList {"B S1", "B S2"}));
    EXPECT_FALSE(undoManager.canUndo());
}

TEST_F(BoardSections, ACardLinkIntoARebuiltCardStillRevealsIt)
{
    Kanban* kanban = boardWithCards(QStringLiteral("B"), {1, 3});
    const QString linked = kanban->column().at(1)->item().at(2)->uniqueIdentifier();
    showRouted(kanban);
    board->deleteSections(QList<int> {1}, std::nullopt);
    settle();
    undoManager.undo();
    settle();

    // What a card link does: the card by its identifier, revealed on its board.
    const QList<ListItem*> found = store.context().fetchAs<ListItem>(FetchRequest(QStringLiteral("ListItem"),
        [&](const ManagedObject* card) { return static_cast<const ListItem*>(card)->uniqueIdentifier() == linked; }));
    ASSERT_EQ(found.size(), 1);
    board->showAndSelect(found.first());
    settle();
    EXPECT_EQ(controller(1)->collectionView()->selectionIndexPaths(), (QSet<IndexPath> {{0, 2}}));
}

TEST_F(BoardSections, AnEarlierMoveIntoARebuiltStageUndoesOntoTheRebuiltCard)
{
    Kanban* kanban = boardWithCards(QStringLiteral("B"), {2, 1});
    showRouted(kanban);
    const QString moved = kanban->column().at(0)->item().at(0)->uniqueIdentifier();
    controller(1)->itemsMover()->moveItems({{0, 0}}, {0, 0}, controller(0));
    settle();
    ASSERT_EQ(cardTexts(1), (QStringList {"B S1 card 1", "B S2 card 1"}));
    board->deleteSections(QList<int> {1}, std::nullopt);
    settle();
    undoManager.undo();
    settle();

    undoManager.undo();
    settle();
    EXPECT_EQ(undoManager.redoMenuItemTitle(), "Redo Move Card");
    EXPECT_EQ(cardTexts(0), (QStringList {"B S1 card 1", "B S1 card 2"}));
    EXPECT_EQ(cardTexts(1), (QStringList {"B S2 card 1"}));
    ListItem* back = kanban->column().at(0)->item().at(0);
    EXPECT_EQ(back->uniqueIdentifier(), moved);
    EXPECT_FALSE(back->isDeleted());

    undoManager.redo();
    settle();
    EXPECT_EQ(cardTexts(1), (QStringList {"B S1 card 1", "B S2 card 1"}));
}

TEST_F(BoardSections, AnEarlierMoveIntoAStageGoneForGoodIsSkipped)
{
    Kanban* kanban = boardWithCards(QStringLiteral("B"), {2, 1});
    showRouted(kanban);
    controller(1)->itemsMover()->moveItems({{0, 0}}, {0, 0}, controller(0));
    settle();
    // The stage goes with no step of its own to bring it back.
    KanbanColumn* gone = kanban->column().at(1);
    QList<KanbanColumn*> stages = kanban->column();
    stages.removeAll(gone);
    kanban->setColumn(stages);
    store.context().deleteObject(gone);
    show(kanban);

    undoManager.undo();
    settle();
    EXPECT_EQ(cardTexts(0), (QStringList {"B S1 card 2"}));
    EXPECT_EQ(kanban->column().size(), 1);
    EXPECT_FALSE(undoManager.canRedo());
}

TEST_F(BoardSections, ReArrangingWithoutAnUndoManagerMovesTheStages)
{
    MacKanbanColumnsViewController::Services withoutUndo = services();
    withoutUndo.undoManager = nullptr;
    board = std::make_unique<MacKanbanColumnsViewController>(withoutUndo);
    board->animator().setFinishesAtOnce(true);
    board->resize(1440, 900);
    board->show();
    show(boardWithCards(QStringLiteral("B"), {1, 1, 1}));
    const auto before = shownStages();

    board->rearrangeSections({2}, 0);
    settle();
    EXPECT_EQ(stageTitles(), (QStringList {"B S3", "B S1", "B S2"}));
    EXPECT_EQ(headerTitles(), stageTitles());
    EXPECT_EQ(shownStages(), before);
    EXPECT_EQ(cardTexts(0), (QStringList {"B S3 card 1"}));
    EXPECT_FALSE(undoManager.canUndo());
}

TEST_F(BoardSections, ReArrangingMovesStagesUnderTheirColumnsAndUndoesAndRedoes)
{
    showRouted(boardWithCards(QStringLiteral("B"), {1, 1, 1, 1}));
    const auto before = shownStages();

    board->rearrangeSections({1, 2}, 0);
    settle();
    EXPECT_EQ(stageTitles(), (QStringList {"B S2", "B S3", "B S1", "B S4"}));
    EXPECT_EQ(headerTitles(), stageTitles());
    EXPECT_EQ(shownStages(), before);
    EXPECT_EQ(cardTexts(0), (QStringList {"B S2 card 1"}));
    EXPECT_EQ(undoManager.undoMenuItemTitle(), "Undo Re-arrange Sections");

    undoManager.undo();
    settle();
    EXPECT_EQ(stageTitles(), (QStringList {"B S1", "B S2", "B S3", "B S4"}));
    EXPECT_EQ(headerTitles(), stageTitles());
    EXPECT_EQ(shownStages(), before);

    undoManager.redo();
    settle();
    EXPECT_EQ(stageTitles(), (QStringList {"B S2", "B S3", "B S1", "B S4"}));
    EXPECT_EQ(shownStages(), before);
}

TEST_F(BoardSections, AMoveThatChangesNothingIsNoStepAndDestinationsAreClamped)
{
    showRouted(boardWithCards(QStringLiteral("B"), {0, 0, 0}));

    board->rearrangeSections({1}, 1);
    settle();
    EXPECT_FALSE(undoManager.canUndo());

    board->rearrangeSections({0}, 99);
    settle();
    EXPECT_EQ(stageTitles(), (QStringList {"B S2", "B S3", "B S1"}));
    undoManager.undo();
    settle();
    EXPECT_EQ(stageTitles(), (QStringList {"B S1", "B S2", "B S3"}));
}

} // namespace
