#include "BoardViewFixture.h"

#include "Pelorins/board/ColourPopupButton.h"
#include "Pelorins/board/ColourPopupButtonMenu.h"
#include "Pelorins/board/EditingTextField.h"
#include "Pelorins/board/TagColourTableCell.h"
#include "Pelorins/board/TagNameTableCell.h"
#include "Pelorins/board/TagsManagerController.h"
#include "PelorinsKit/board/TagRenaming.h"
#include "PelorinsKit/model/Hashtags.h"
#include "PelorinsKit/model/NotificationName.h"
#include "PelorinsKit/model/Tag.h"
#include "Platform/widgets/ScriptedAlertPresenter.h"
#include "support/QStringPrinting.h"

#include <QAbstractItemModelTester>
#include <QTableView>
#include <QTest>

namespace {

// The tag table of a board with the tags b, B and a, beside another board that has a tag "x".
class TagsManagerControllerTest : public BoardViewFixture
{
protected:
    TagsManagerControllerTest()
    {
        kanban = build.addBoard("Letters", {"Stage"});
        b = build.addTag(kanban, "b");
        upperB = build.addTag(kanban, "B");
        a = build.addTag(kanban, "a");
        addCard(kanban->column().first(), "#a #b", {a, b});
        Kanban* other = build.addBoard("Other", {"Stage"});
        build.addTag(other, "x");

        auto boardServices = services();
        boardServices.alertPresenter = &alerts;
        board = std::make_unique<MacKanbanColumnsViewController>(boardServices);
        show(kanban);

        table.setDelegate(board.get());
        table.setKanban(kanban);
        table.setTagTableView(&view);
        view.resize(300, 200);
        view.show();
        notices.addObserver(&observer, NotificationName::tagValueChanged,
            [this](const NotificationCenter::Notification& notice) { posted.append(notice.userInfo); });
    }

    QStringList names() const
    {
        QStringList shown;
        for (int row = 0; row < table.rowCount(); ++row)
            shown << table.index(row, 0).data().toString();
        return shown;
    }
    template <typename Cell> Cell* cell(int row, int column) const
    {
        return qobject_cast<Cell*>(view.indexWidget(table.index(row, column)));
    }
    void typeName(int row, const QString& name)
    {
        EditingTextField* field = cell<TagNameTableCell>(row, 0)->textField();
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, name);
        QTest::keyClick(field, Qt::Key_Return);
        settle();
    }

    ScriptedAlertPresenter alerts;
    QObject observer;
    QList<QVariantMap> posted;
    Kanban* kanban;
    Tag* b;
    Tag* upperB;
    Tag* a;
    TagsManagerController table {notices, [this] { ++saves; }};
    QAbstractItemModelTester tester {&table, QAbstractItemModelTester::FailureReportingMode::Fatal};
    QTableView view;
};

} // namespace

TEST_F(TagsManagerControllerTest, RowsAreSortedByNameWithANameAndAColourCell)
{
    EXPECT_EQ(names(), (QStringList {"B", "a", "b"}));
    EXPECT_EQ(TagsManagerController::columnIdentifier(0), "nameColumn");
    EXPECT_EQ(TagsManagerController::columnIdentifier(1), "colourColumn");
    EXPECT_EQ(table.viewFor("other", 0), nullptr);
    ASSERT_NE(cell<TagNameTableCell>(1, 0), nullptr);
    EXPECT_EQ(cell<TagNameTableCell>(1, 0)->textField()->text(), "a");
    EXPECT_EQ(cell<TagColourTableCell>(1, 1)->objectValue(), a);

    table.setKanban(nullptr);
    EXPECT_EQ(table.rowCount(), 0);
}

TEST_F(TagsManagerControllerTest, AColourCellShowsOneSwatch)
{
    upperB->setColour(4);
    table.setKanban(kanban);
    settle();
    const QRect cellRect = view.visualRect(table.index(0, 1));
    const QImage drawn = view.viewport()->grab(cellRect).toImage();
    const QColor swatch = tagColour(4);
    const auto isSwatch = [&](QColor pixel) {
        return std::abs(pixel.red() - swatch.red()) < 12 && std::abs(pixel.green() - swatch.green()) < 12
            && std::abs(pixel.blue() - swatch.blue()) < 12;
    };
    // Runs of the swatch's colour along the cell's middle line.
    int runs = 0;
    bool inRun = false;
    const int y = drawn.height() / 2;
    for (int x = 0; x < drawn.width(); ++x) {
        const bool on = isSwatch(drawn.pixelColor(x, y));
        runs += on && !inRun;
        inRun = on;
    }
    EXPECT_EQ(runs, 1);
}

TEST_F(TagsManagerControllerTest, RenamingRenamesAndOntoAnotherTagsNameAsksOnceThenMerges)
{
    typeName(1, "c");
    EXPECT_TRUE(alerts.alerts().isEmpty());
    EXPECT_EQ(a->name(), "c");
    EXPECT_EQ(names(), (QStringList {"B", "b", "c"}));

    // Another board's "x" does not count.
    typeName(2, "x");
    EXPECT_TRUE(alerts.alerts().isEmpty());
    EXPECT_EQ(a->name(), "x");

    alerts.enqueueAnswer(0);
    typeName(1, "B");
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(alerts.alerts().first().informativeText, "Renaming it, will merge b with B.");
    EXPECT_TRUE(b->isDeleted());
    EXPECT_EQ(names(), (QStringList {"B", "x"}));
    EXPECT_EQ(undoManager.undoActionName(), "Rename Tag");
}

TEST_F(TagsManagerControllerTest, AColourChoiceIsSavedAndPostedWithoutUndo)
{
    ColourPopupButtonMenu* menu = cell<TagColourTableCell>(1, 1)->colourPopupMenu()->colourMenu();
    EXPECT_EQ(menu->selectedColour(), a->colour());
    menu->actions().at(6)->trigger();
    EXPECT_EQ(a->colour(), 6);
    EXPECT_EQ(saves, 1);
    ASSERT_EQ(posted.size(), 1);
    EXPECT_EQ(TagRenaming::affectedTag(posted.first()), a);
    EXPECT_FALSE(posted.first().contains(TagRenaming::newColourKey));
    EXPECT_FALSE(undoManager.canUndo());
}
