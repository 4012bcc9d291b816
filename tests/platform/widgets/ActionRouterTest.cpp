#include "Platform/widgets/ActionRouter.h"
#include "Platform/widgets/ActionResponder.h"
#include "Platform/widgets/Popover.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QStringList>
#include <QVBoxLayout>
#include <QWindow>
#include <gtest/gtest.h>
#include <memory>

namespace {

// Answers the actions it is given and writes "name:action" into a shared log when it performs.
class Responder : public ActionResponder
{
public:
    Responder(QString name, QStringList* log)
        : m_name(std::move(name))
        , m_log(log)
    {
    }

    QSet<QString> actions;
    QSet<QString> refused; // responds, but validates as disabled

    bool respondsTo(const QString& action) const override { return actions.contains(action); }
    void perform(const QString& action, QObject*) override { m_log->append(m_name + ":" + action); }
    bool validate(const QString& action, QAction*) const override { return !refused.contains(action); }

private:
    QString m_name;
    QStringList* m_log;
};

// A text field that handles actions itself, as an editor does.
class Editor : public QLineEdit, public Responder
{
public:
    Editor(QWidget* parent, QStringList* log)
        : QLineEdit(parent)
        , Responder("editor", log)
    {
    }
};

// window > board > column > editor, each container with a controller; plus a sidebar field
// beside the board with no controller of its own.
struct Window
{
    QStringList log;
    ActionRouter router;
    QWidget window;
    QWidget* board = new QWidget(&window);
    QWidget* column = new QWidget(board);
    Editor* editor = new Editor(column, &log);
    QLineEdit* sidebar = new QLineEdit(&window);
    Responder columnController {"column", &log};
    Responder boardController {"board", &log};
    Responder windowController {"window", &log};
    Responder application {"application", &log};

    Window()
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(sidebar);
        layout->addWidget(board);
        new QVBoxLayout(board);
        board->layout()->addWidget(column);
        new QVBoxLayout(column);
        column->layout()->addWidget(editor);
        router.attach(column, &columnController);
        router.attach(board, &boardController);
        router.attach(&window, &windowController);
        router.setApplicationResponder(&application);
    }

    void showAndFocus(QWidget* widget)
    {
        window.show();
        window.activateWindow();
        QApplication::setActiveWindow(&window);
        widget->setFocus();
        QApplication::processEvents();
    }
};

} // namespace

TEST(ActionRouter, ChainRunsFromFocusThroughAncestorsControllersToWindowThenApplication)
{
    Window w;
    const QList<ActionResponder*> expected
        = {w.editor, &w.columnController, &w.boardController, &w.windowController, &w.application};
    EXPECT_EQ(w.router.chain(w.editor), expected);
    w.router.attach(w.column, &w.columnController);
    EXPECT_EQ(w.router.chain(w.editor), expected);

    w.showAndFocus(w.editor);
    ASSERT_EQ(QApplication::focusWidget(), w.editor);
    EXPECT_EQ(w.router.chain(), expected);

    w.showAndFocus(w.sidebar);
    EXPECT_EQ(w.router.chain(), (QList<ActionResponder*> {&w.windowController, &w.application}));
}

TEST(ActionRouter, FirstResponderThatRespondsPerformsTheAction)
{
    struct Case
    {
        QStringList responding; // which of editor, column, board, window, application respond
        QString performer; // empty: nobody
    };
    const QList<Case> cases = {
        {{"editor", "column", "board", "window", "application"}, "editor"},
        {{"board", "window", "application"}, "board"},
        {{"column", "application"}, "column"},
        {{"window", "application"}, "window"},
        {{"application"}, "application"},
        {{}, ""},
    };
    for (const Case& c : cases) {
        Window w;
        const QList<std::pair<QString, Responder*>> all = {{"editor", w.editor}, {"column", &w.columnController},
            {"board", &w.boardController}, {"window", &w.windowController}, {"application", &w.application}};
        for (const auto& [name, responder] : all) {
            if (c.responding.contains(name))
                responder->actions.insert("insertNewSectionAfter:");
        }
        w.showAndFocus(w.editor);

        const bool sent = w.router.send("insertNewSectionAfter:", nullptr);

        EXPECT_EQ(sent, !c.performer.isEmpty()) << c.responding.join(",").toStdString();
        const QStringList expected
            = c.performer.isEmpty() ? QStringList() : QStringList {c.performer + ":insertNewSectionAfter:"};
        EXPECT_EQ(w.log, expected) << c.responding.join(",").toStdString();
    }
}

TEST(ActionRouter, TargetThatRefusesDisablesTheItemAndDoesNotPassItOn)
{
    Window w;
    w.columnController.actions = {"showProjectSettings:"};
    w.columnController.refused = {"showProjectSettings:"};
    w.boardController.actions = {"showProjectSettings:"};
    w.showAndFocus(w.editor);
    QAction item("Project Settings");
    w.router.connectAction(&item, "showProjectSettings:");

    EXPECT_FALSE(item.isEnabled());
    item.trigger();
    EXPECT_FALSE(w.router.send("showProjectSettings:", nullptr));
    EXPECT_TRUE(w.log.isEmpty());
}

TEST(ActionRouter, MenuValidatesItsItemsForTheCurrentFocusWhenAboutToShow)
{
    Window w;
    w.boardController.actions = {"insertNewSectionAfter:"};
    w.application.actions = {"showImport:"};
    QMenu menu;
    QAction* insert = menu.addAction("Insert Section After");
    QAction* import = menu.addAction("Import…");
    QAction* plain = menu.addAction("Not routed");
    w.router.connectAction(insert, "insertNewSectionAfter:");
    w.router.connectAction(import, "showImport:");
    w.router.trackMenu(&menu);

    w.showAndFocus(w.sidebar);
    emit menu.aboutToShow();
    EXPECT_FALSE(insert->isEnabled());
    EXPECT_TRUE(import->isEnabled());
    EXPECT_TRUE(plain->isEnabled());

    w.showAndFocus(w.editor);
    insert->setEnabled(false);
    emit menu.aboutToShow();
    EXPECT_TRUE(insert->isEnabled());

    insert->trigger();
    import->trigger();
    EXPECT_EQ(w.log, QStringList({"board:insertNewSectionAfter:", "application:showImport:"}));
}

TEST(ActionRouter, FocusChangeRevalidatesConnectedActions)
{
    Window w;
    w.columnController.actions = {"jumpToBookmarkedSection:"};
    QAction item("Jump to Bookmark");
    w.router.connectAction(&item, "jumpToBookmarkedSection:");

    w.showAndFocus(w.editor);
    EXPECT_TRUE(item.isEnabled());
    w.showAndFocus(w.sidebar);
    EXPECT_FALSE(item.isEnabled());
}

TEST(ActionRouter, ShortcutOverrideRevalidatesBeforeShortcutsAreMatched)
{
    Window w;
    QAction item("Show Sidebar");
    w.window.addAction(&item);
    w.router.connectAction(&item, "showHideSidebar:");
    w.showAndFocus(w.editor);
    ASSERT_FALSE(item.isEnabled());

    // The responder becomes able without any focus change; the next key press must see it.
    w.windowController.actions = {"showHideSidebar:"};
    QKeyEvent override(QEvent::ShortcutOverride, Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
    QCoreApplication::sendEvent(w.window.windowHandle(), &override);
    EXPECT_TRUE(item.isEnabled());
}

TEST(ActionRouter, DestroyedControllerIsNeverCalled)
{
    Window w;
    auto doomed = std::make_unique<Responder>("doomed", &w.log);
    doomed->actions = {"duplicateSelected:"};
    w.boardController.actions = {"duplicateSelected:"};
    w.router.attach(w.column, doomed.get());
    QAction item("Duplicate");
    w.router.connectAction(&item, "duplicateSelected:");
    w.showAndFocus(w.editor);

    doomed.reset();
    EXPECT_EQ(w.router.controllerFor(w.column), nullptr);
    item.trigger();
    EXPECT_EQ(w.log, QStringList({"board:duplicateSelected:"}));
}

TEST(ActionRouter, ControllerLeavesTheChainWithItsWidgetAndApplicationResponderWhenDestroyed)
{
    Window w;
    w.columnController.actions = {"addKanbanSelected:"};
    w.application.actions = {"addKanbanSelected:"};
    auto* extra = new QWidget(w.board);
    Responder extraController("extra", &w.log);
    w.router.attach(extra, &extraController);

    delete extra;
    EXPECT_EQ(w.router.controllerFor(extra), nullptr);
    EXPECT_FALSE(w.router.chain(w.board).contains(&extraController));

    {
        Responder temporary("temporary", &w.log);
        w.router.setApplicationResponder(&temporary);
    }
    EXPECT_EQ(w.router.applicationResponder(), nullptr);
}

TEST(ActionRouter, ResponderOutlivingItsRouterDetachesSafely)
{
    QStringList log;
    QWidget widget;
    Responder controller("controller", &log);
    {
        ActionRouter router;
        router.attach(&widget, &controller);
        router.setApplicationResponder(&controller);
    }
    // Leaving the test destroys `controller` after its router; it must not reach the router.
}

TEST(ActionRouter, PopoverContentRoutesOnIntoTheWindowItBelongsTo)
{
    Window w;
    w.windowController.actions = {"showInfoView:"};
    w.showAndFocus(w.editor);
    Popover popover(&w.window);
    auto* field = new QLineEdit;
    popover.setContentWidget(field);
    Responder panelController("panel", &w.log);
    w.router.attach(field, &panelController);

    const QList<ActionResponder*> chain = w.router.chain(field);
    ASSERT_EQ(chain.size(), 3);
    EXPECT_EQ(chain.at(0), &panelController);
    EXPECT_EQ(chain.at(1), &w.windowController);
    EXPECT_EQ(chain.at(2), &w.application);
    EXPECT_EQ(w.router.targetFor("showInfoView:", field), &w.windowController);
}

// Escape closing a menu of the menu bar leaves the bar holding the keyboard; the items still act
// on the widget that had the focus before.
TEST(ActionRouter, AMenuClosedWithEscapeKeepsTheChainOfTheFocusBeforeIt)
{
    Window w;
    w.columnController.actions = {"newCardBelow:"};
    auto* bar = new QMenuBar(&w.window);
    w.window.layout()->setMenuBar(bar);
    QMenu* menu = bar->addMenu("Board");
    QAction* below = menu->addAction("New Card Below");
    w.router.connectAction(below, "newCardBelow:");
    w.router.trackMenu(menu);
    w.showAndFocus(w.editor);

    bar->setActiveAction(menu->menuAction());
    QApplication::processEvents();
    ASSERT_TRUE(menu->isVisible());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(menu, &escape);
    QApplication::processEvents();

    emit menu->aboutToShow();
    EXPECT_TRUE(below->isEnabled());
    below->trigger();
    EXPECT_EQ(w.log, QStringList({"column:newCardBelow:"}));
}
