#include "Pelorins/column/AddButton.h"
#include "Pelorins/column/AddColumnButtonView.h"
#include "Pelorins/column/KanbanColumnAddButtonItem.h"
#include "Pelorins/column/KanbanColumnListItem.h"
#include "Pelorins/column/ListItemAddItemButtonCell.h"
#include "Pelorins/common/AppConstants.h"
#include "PelorinsKit/model/NotificationName.h"
#include "Platform/widgets/ActionResponder.h"
#include "support/ColumnBoardFixture.h"

#include <QAbstractButton>
#include <QTest>

namespace {

class ColumnAddButtons : public ColumnBoardFixture
{
protected:
    ListItemAddItemButtonCell* addCell(int section)
    {
        auto* item = qobject_cast<KanbanColumnAddButtonItem*>(
            column(section).collectionView()->itemWidget({0, column(section).collectionView()->numberOfItems(0) - 1}));
        return item ? item->view() : nullptr;
    }
};

TEST_F(ColumnAddButtons, TheFirstClickOnAnyAddCellEndsTheTutorialStepOnce)
{
    makeBoard({QStringLiteral("A"), QStringLiteral("B")});
    show();
    int posts = 0;
    QVariantMap userInfo;
    QObject observer;
    board.notificationCenter().addObserver(
        &observer, NotificationName::tutorialActionPerformed, [&](const NotificationCenter::Notification& notice) {
            ++posts;
            userInfo = notice.userInfo;
        });
    ListItemAddItemButtonCell* first = addCell(0);
    ListItemAddItemButtonCell* second = addCell(1);
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(first->shouldPulsate());
    EXPECT_TRUE(second->shouldPulsate());
    EXPECT_EQ(first->section(), 0);
    EXPECT_EQ(first->kanbanColumnController(), &column(0));
    EXPECT_EQ(first->borderBlue(), accentBlueColour());

    first->button()->click();
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(userInfo.value(QStringLiteral("action")), QVariant(1));
    EXPECT_TRUE(board.defaults().boolForKey(QStringLiteral("tutorialShownStep1")));
    EXPECT_FALSE(first->shouldPulsate());
    EXPECT_FALSE(second->shouldPulsate()) << "every cell drops the outline";

    first->button()->click();
    second->button()->click();
    EXPECT_EQ(posts, 1);

    // Cells made once the step is done never show the outline.
    column(0).reloadData();
    EXPECT_FALSE(addCell(0)->shouldPulsate());
}

TEST_F(ColumnAddButtons, AClickWhereThePlusShowsReachesIt)
{
    makeBoard({QStringLiteral("A"), QStringLiteral("B")});
    addCards(stage(0), 3);
    show();
    QWidget* window = board.scrollView();
    int posts = 0;
    QObject observer;
    board.notificationCenter().addObserver(&observer, NotificationName::tutorialActionPerformed,
        [&](const NotificationCenter::Notification&) { ++posts; });

    // What the user clicks is whatever the window shows at the plus.
    QAbstractButton* plus = addCell(0)->button();
    const QPoint at = window->mapFromGlobal(plus->mapToGlobal(plus->rect().center()));
    QWidget* target = window->childAt(at);
    ASSERT_NE(target, nullptr);
    EXPECT_TRUE(target == plus || plus->isAncestorOf(target)) << target->metaObject()->className();
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(window, at));
    EXPECT_EQ(posts, 1);

    // The band over the column, where the board's title sits, holds no card even when the list is
    // scrolled under it.
    column(0).collectionView()->setContentOffset(40);
    QWidget* inBand = window->childAt(window->mapFromGlobal(column(0).containerView()->mapToGlobal(QPoint(150, 20))));
    for (QWidget* w = inBand; w; w = w->parentWidget())
        EXPECT_FALSE(qobject_cast<KanbanColumnListItem*>(w)) << "a card answers in the band";
}

TEST_F(ColumnAddButtons, TheAddColumnButtonSitsAfterTheLastStageAndAddsOne)
{
    makeBoard({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    show();
    AddColumnButtonView button(&board, &board.document());
    EXPECT_EQ(button.size(), QSize(40, 40));
    const int requests = board.layoutRequests;
    button.updatePosition();
    EXPECT_EQ(button.leftMargin(), 900);
    EXPECT_EQ(button.topMargin(), 38);
    EXPECT_EQ(board.layoutRequests, requests + 1);
    board.setStoredMagnification(0.75);
    button.updatePosition();
    EXPECT_EQ(button.leftMargin(), 675);

    class Board : public ActionResponder
    {
    public:
        int insertions = 0;
        bool respondsTo(const QString& action) const override { return action == "insertNewSectionAtEnd"; }
        void perform(const QString&, QObject*) override { ++insertions; }
    } responder;
    board.router().attach(&board.document(), &responder);
    button.addButton()->click();
    EXPECT_EQ(responder.insertions, 1);
}

} // namespace
