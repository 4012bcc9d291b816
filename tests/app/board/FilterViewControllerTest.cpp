#include "BoardViewFixture.h"

#include "Pelorins/board/ColourPopupButton.h"
#include "Pelorins/board/ColourPopupButtonMenu.h"
#include "Pelorins/board/EditingTextField.h"
#include "Pelorins/board/FilterViewController.h"
#include "Pelorins/common/ColorCountButtonCell.h"
#include "Pelorins/common/ColourHelpers.h"
#include "PelorinsKit/board/TagRenaming.h"
#include "PelorinsKit/model/Hashtags.h"
#include "PelorinsKit/model/NotificationName.h"
#include "PelorinsKit/model/Tag.h"
#include "Platform/widgets/Popover.h"
#include "Platform/widgets/ScriptedAlertPresenter.h"
#include "support/QStringPrinting.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

// The filter of a board with the tags b, B and a over three cards, opened in a popover.
class FilterViewControllerTest : public BoardViewFixture
{
protected:
    FilterViewControllerTest()
    {
        kanban = build.addBoard("Letters", {"Stage"});
        b = build.addTag(kanban, "b");
        upperB = build.addTag(kanban, "B");
        a = build.addTag(kanban, "a");
        b->setColour(1);
        upperB->setColour(4);
        a->setColour(3);
        KanbanColumn* stage = kanban->column().first();
        onlyA = addCard(stage, "first #a", {a});
        aAndB = addCard(stage, "second #a #b", {a, b});
        onlyB = addCard(stage, "third #B", {upperB});

        auto boardServices = services();
        boardServices.alertPresenter = &alerts;
        board = std::make_unique<MacKanbanColumnsViewController>(boardServices);
        board->animator().setFinishesAtOnce(true);
        board->resize(1440, 900);
        board->show();
        show(kanban);
    }

    FilterViewController& open()
    {
        popover = new Popover(board.get());
        popover->setAttribute(Qt::WA_DeleteOnClose);
        filter = new FilterViewController(board.get(), notices);
        filter->animator().setFinishesAtOnce(true);
        popover->setContentWidget(filter);
        popover->showRelativeTo(board.get());
        QApplication::setActiveWindow(popover);
        settle();
        return *filter;
    }

    QStringList titles() const
    {
        QStringList shown;
        for (const QCheckBox* box : filter->checkButtons())
            shown << box->text();
        return shown;
    }

    // On the box itself, as a user clicks.
    static void click(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2)); }

    void typeName(int row, const QString& name)
    {
        EditingTextField* field = filter->textFields().at(row);
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, name);
    }

    ScriptedAlertPresenter alerts;
    Kanban* kanban;
    Tag* b;
    Tag* upperB;
    Tag* a;
    ListItem* onlyA;
    ListItem* aAndB;
    ListItem* onlyB;
    QPointer<Popover> popover;
    QPointer<FilterViewController> filter;
};

} // namespace

TEST_F(FilterViewControllerTest, RowsAreSortedByNameAndShowTheBoardsFilter)
{
    board->setTagFilter(QList<Tag*> {a});
    open();
    EXPECT_EQ(filter->tags(), (QList<Tag*> {upperB, a, b}));
    EXPECT_EQ(titles(), (QStringList {"#B", "#a", "#b"}));
    EXPECT_EQ(filter->checkButtons().at(0)->palette().color(QPalette::WindowText), tagColour(4));
    EXPECT_TRUE(filter->checkButtons().at(0)->font().bold());
    EXPECT_EQ(filter->checkButtons().at(0)->font().pixelSize(), 12);
    EXPECT_EQ(filter->badgeButtons().at(1)->text(), "2");
    EXPECT_EQ(filter->badgeButtons().at(1)->palette().color(QPalette::Button), tagColour(3));
    EXPECT_EQ(filter->popupButtons().at(2)->colourMenu()->selectedColour(), 1);

    EXPECT_FALSE(filter->checkButtons().at(0)->isChecked());
    EXPECT_TRUE(filter->checkButtons().at(1)->isChecked());
    EXPECT_TRUE(filter->clearAllButton()->isEnabled());
    EXPECT_FALSE(filter->noTagsLabel()->isVisible());
}

TEST_F(FilterViewControllerTest, CheckingBoxesFiltersTheBoardAndUncheckingTheLastRemovesTheFilter)
{
    open();
    EXPECT_FALSE(filter->clearAllButton()->isEnabled());
    QCheckBox* boxOfA = filter->checkButtons().at(1);
    click(boxOfA);
    EXPECT_EQ(board->tagFilter(), (QList<Tag*> {a}));
    EXPECT_EQ(shownCards(controller(0)), (QList<ListItem*> {onlyA, aAndB}));
    EXPECT_TRUE(filter->clearAllButton()->isEnabled());

    click(filter->checkButtons().at(0));
    EXPECT_EQ(board->tagFilter(), (QList<Tag*> {upperB, a}));
    EXPECT_EQ(shownCards(controller(0)), (QList<ListItem*> {onlyA, aAndB, onlyB}));

    QTest::mouseClick(filter->clearAllButton(), Qt::LeftButton);
    EXPECT_EQ(board->tagFilter(), std::nullopt);
    EXPECT_FALSE(filter->checkButtons().at(0)->isChecked());

    click(boxOfA);
    click(boxOfA);
    // None at all, not an empty list that no card would pass.
    EXPECT_EQ(board->tagFilter(), std::nullopt);
    EXPECT_FALSE(filter->clearAllButton()->isEnabled());
    EXPECT_EQ(shownCards(controller(0)).size(), 3);
}

TEST_F(FilterViewControllerTest, EditCrossFadesAndOnlyTheEditorAnswersReturn)
{
    open();
    EXPECT_TRUE(filter->checkboxContainer()->isVisible());
    EXPECT_FALSE(filter->editControlsContainer()->isVisible());
    QTest::keyClick(popover, Qt::Key_Return);
    EXPECT_FALSE(filter->viewIsEditing());

    QTest::mouseClick(filter->editButton(), Qt::LeftButton);
    EXPECT_TRUE(filter->viewIsEditing());
    EXPECT_EQ(filter->editButton()->text(), "Done");
    EXPECT_FALSE(filter->checkboxContainer()->isVisible());
    EXPECT_TRUE(filter->editControlsContainer()->isVisible());

    QTest::keyClick(popover, Qt::Key_Return);
    EXPECT_FALSE(filter->viewIsEditing());
    EXPECT_EQ(filter->editButton()->text(), "Edit");
    EXPECT_TRUE(filter->checkboxContainer()->isVisible());
}

TEST_F(FilterViewControllerTest, ANameEndsItsEditingByReturnTabOrFocusLoss)
{
    open();
    QTest::mouseClick(filter->editButton(), Qt::LeftButton);
    typeName(0, "Bee");
    QTest::keyClick(filter->textFields().at(0), Qt::Key_Tab);
    EXPECT_EQ(upperB->name(), "Bee");

    typeName(2, "beta");
    filter->editButton()->setFocus();
    EXPECT_EQ(b->name(), "beta");
    EXPECT_EQ(undoManager.undoActionName(), "Rename Tag");

    // Return is Done: the name typed applies and the check boxes come back.
    typeName(1, "alpha");
    QTest::keyClick(filter->textFields().at(1), Qt::Key_Return);
    EXPECT_EQ(a->name(), "alpha");
    EXPECT_EQ(onlyA->attributedNotes()->string(), "first #alpha");
    EXPECT_FALSE(filter->viewIsEditing());
    EXPECT_EQ(titles(), (QStringList {"#Bee", "#alpha", "#beta"}));

    // A name that is no tag name changes nothing and says why.
    QTest::mouseClick(filter->editButton(), Qt::LeftButton);
    typeName(2, "two words");
    QTest::keyClick(filter->textFields().at(2), Qt::Key_Tab);
    EXPECT_EQ(b->name(), "beta");
    EXPECT_EQ(filter->textFields().at(2)->text(), "beta");
    EXPECT_TRUE(filter->messageLabel()->isVisibleTo(filter));
    EXPECT_TRUE(filter->messageLabel()->text().contains("two words"));
}

TEST_F(FilterViewControllerTest, ARefusedNameIsToldInItsOwnRoomBelowTheRows)
{
    open();
    QTest::mouseClick(filter->editButton(), Qt::LeftButton);
    const QList<EditingTextField*> fields = filter->textFields();
    typeName(int(fields.size()) - 1, "two words");
    QTest::keyClick(fields.last(), Qt::Key_Tab);
    settle();
    const QLabel* message = filter->messageLabel();
    ASSERT_TRUE(message->isVisibleTo(popover));
    const QRect shown(message->mapTo(popover, QPoint(0, 0)), message->size());
    for (const EditingTextField* field : fields) {
        const QRect row(field->mapTo(popover, QPoint(0, 0)), field->size());
        EXPECT_FALSE(shown.intersects(row)) << "the message covers the row of " << field->text().toStdString();
    }
    EXPECT_GE(message->height(), message->heightForWidth(message->width())) << "the whole message shows";
    EXPECT_TRUE(popover->rect().contains(shown));
}

TEST_F(FilterViewControllerTest, ClosingThePopoverMidEditAppliesTheName)
{
    open();
    QTest::mouseClick(filter->editButton(), Qt::LeftButton);
    typeName(1, "apple");
    popover->close();
    settle();
    EXPECT_EQ(a->name(), "apple");
    EXPECT_TRUE(popover.isNull());
}

TEST_F(FilterViewControllerTest, RecolouringChangesTheTitleAtOnceButNotTheBadge)
{
    open();
    QTest::mouseClick(filter->editButton(), Qt::LeftButton);
    ColourPopupButtonMenu* menu = filter->popupButtons().at(1)->colourMenu();
    menu->actions().at(5)->trigger();
    EXPECT_EQ(a->colour(), 5);
    EXPECT_EQ(filter->checkButtons().at(1)->palette().color(QPalette::WindowText), tagColour(5));
    EXPECT_EQ(filter->badgeButtons().at(1)->palette().color(QPalette::Button), tagColour(3));
    settle();

    undoManager.undo();
    EXPECT_EQ(a->colour(), 3);
    EXPECT_EQ(menu->selectedColour(), 3);
    // Green is darkened to be read on the popover.
    const QPalette title = filter->checkButtons().at(1)->palette();
    EXPECT_EQ(title.color(QPalette::WindowText), readableOn(tagColour(3), title.color(QPalette::Window)));
    EXPECT_GE(contrastRatio(title.color(QPalette::WindowText), title.color(QPalette::Window)), 3.0);

    // Notices whose values have other types are ignored.
    notices.post(NotificationName::tagValueChanged, nullptr, {{"affectedTag", "a"}});
    notices.post(NotificationName::tagValueChanged, nullptr,
        {{"affectedTag", QVariant::fromValue(a)}, {"newColour", QVariant(6)}});
    EXPECT_EQ(menu->selectedColour(), 3);
}

// A count of four digits widens its pill to the left, whole, and the title gives way to it.
TEST_F(FilterViewControllerTest, ABadgeGrowsWithItsDigitsInsideTheRow)
{
    KanbanColumn* stage = kanban->column().first();
    for (int n = 0; n < 1998; ++n)
        build.addCard(stage, {a});
    open();
    QAbstractButton* wide = filter->badgeButtons().at(1);
    ASSERT_EQ(wide->text(), "2000");
    const QSizeF needed = ColorCountButtonCell(wide->text()).sizeThatFits(wide->height());
    EXPECT_GE(wide->width(), needed.width());
    EXPECT_LE(wide->geometry().right(), filter->badgeButtons().at(0)->geometry().right());
    EXPECT_LE(filter->checkButtons().at(1)->geometry().right(), wide->geometry().left());
    EXPECT_EQ(filter->badgeButtons().at(0)->width(), 30) << "a short count keeps the round pill";
}

TEST_F(FilterViewControllerTest, AColourOutsideThePaletteShowsGreyAndSelectsNothing)
{
    a->setColour(9);
    open();
    EXPECT_EQ(filter->checkButtons().at(1)->palette().color(QPalette::WindowText), QColor(128, 128, 128));
    EXPECT_EQ(filter->popupButtons().at(1)->colourMenu()->selectedColour(), std::nullopt);
}

TEST_F(FilterViewControllerTest, AMergeShrinksTheListAndItsUndoBringsTheRowBack)
{
    open();
    QTest::mouseClick(filter->editButton(), Qt::LeftButton);
    alerts.enqueueAnswer(0);
    typeName(1, "b");
    QTest::keyClick(filter->textFields().at(1), Qt::Key_Return);
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_TRUE(a->isDeleted());
    EXPECT_EQ(titles(), (QStringList {"#B", "#b"}));
    EXPECT_EQ(filter->textFields().size(), 2);
    EXPECT_EQ(onlyA->tags(), (QList<Tag*> {b}));
    settle();

    undoManager.undo();
    EXPECT_EQ(titles(), (QStringList {"#B", "#a", "#b"}));
    EXPECT_EQ(filter->textFields().at(1)->text(), "a");
    EXPECT_EQ(onlyA->attributedNotes()->string(), "first #a");
}

TEST_F(FilterViewControllerTest, AScreenReaderFindsEachTagsCheckBoxByTheTagsName)
{
    FilterViewController& shown = open();
    QStringList boxes;
    for (QCheckBox* box : shown.checkButtons()) {
        QAccessibleInterface* row = QAccessible::queryAccessibleInterface(box);
        EXPECT_EQ(row->role(), QAccessible::CheckBox);
        boxes << row->text(QAccessible::Name);
    }
    EXPECT_EQ(boxes, (QStringList {"B", "a", "b"}));
    // A rename shows in the name at once.
    a->setName(QStringLiteral("c"));
    notices.post(NotificationName::tagValueChanged, nullptr, {{QStringLiteral("affectedTag"), QVariant::fromValue(a)}});
    EXPECT_EQ(QAccessible::queryAccessibleInterface(shown.checkButtons().at(1))->text(QAccessible::Name),
        QStringLiteral("c"));
}

TEST_F(FilterViewControllerTest, TheKeyboardStartsOnTheFirstTagAndSpaceTicksIt)
{
    open();
    QCheckBox* first = filter->checkButtons().at(0);
    ASSERT_EQ(QApplication::focusWidget(), first);
    // Tab goes on to the next tag.
    QTest::keyClick(first, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), filter->checkButtons().at(1));
    QTest::keyClick(filter->checkButtons().at(1), Qt::Key_Backtab);
    QTest::keyClick(first, Qt::Key_Space);
    EXPECT_EQ(board->tagFilter(), (QList<Tag*> {upperB}));
    QTest::keyClick(first, Qt::Key_Space);
    EXPECT_EQ(board->tagFilter(), std::nullopt);
}
