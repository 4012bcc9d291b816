#pragma once

#include "Pelorins/column/EditableHeaderTextField.h"
#include "Pelorins/column/ListItemHeaderCellView.h"
#include "Platform/widgets/ActionRouter.h"
#include "app/board/BoardViewFixture.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>

// A board view wired to an action router, as in the main window, so that header menus and the
// add-column button reach the columns and the board; its window is active, so that focus and
// typing land where a user's would.
class SectionsFixture : public BoardViewFixture
{
protected:
    void showRouted(Kanban* kanban)
    {
        MacKanbanColumnsViewController::Services routed = services();
        routed.router = &router;
        board = std::make_unique<MacKanbanColumnsViewController>(routed);
        board->animator().setFinishesAtOnce(true);
        board->resize(1440, 900);
        board->show();
        board->activateWindow();
        (void)QTest::qWaitForWindowActive(board.get());
        show(kanban);
    }

    QStringList stageTitles() const
    {
        QStringList titles;
        for (const KanbanColumn* stage : board->kanbanColumns())
            titles << stage->title();
        return titles;
    }

    // What each stage column's pinned header shows, left to right.
    QStringList headerTitles() const
    {
        QStringList titles;
        for (int section = 0; section < board->kanbanColumns().size(); ++section)
            titles << header(section)->title();
        return titles;
    }

    ListItemHeaderCellView* header(int section) const { return controller(section)->topHeaderView(); }

    QList<int> selectedColumns() const
    {
        QList<int> selected;
        for (int section = 0; section <= board->kanbanColumns().size(); ++section)
            if (controller(section)->isSelected())
                selected << section;
        return selected;
    }

    static QPoint titlePoint() { return QPoint(60, 19); }

    void click(ListItemHeaderCellView* on, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseClick(on, Qt::LeftButton, modifiers, titlePoint());
        settle();
    }

    // Picks an item of the header's menu as a right click shows it.
    void chooseFromMenu(ListItemHeaderCellView* on, const QString& action)
    {
        // The press, then the context-menu event the window system sends for it.
        QTest::mouseClick(on, Qt::RightButton, Qt::NoModifier, titlePoint());
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, titlePoint(), on->mapToGlobal(titlePoint()));
        QCoreApplication::sendEvent(on, &menuEvent);
        settle();
        ASSERT_TRUE(on->menu());
        EXPECT_TRUE(on->menu()->isVisible());
        QAction* item = on->menu()->findChild<QAction*>(action);
        ASSERT_TRUE(item) << action.toStdString();
        item->trigger();
        on->menu()->hide();
        settle();
    }

    void type(ListItemHeaderCellView* on, const QString& text, int key = Qt::Key_Return)
    {
        QTest::keyClicks(on->editableTextField(), text);
        QTest::keyClick(on->editableTextField(), Qt::Key(key));
        settle();
    }

    ActionRouter router;
};
