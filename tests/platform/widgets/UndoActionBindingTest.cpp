#include "Platform/widgets/UndoActionBinding.h"
#include "Platform/core/UndoManager.h"

#include <QAction>
#include <QCoreApplication>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct EditMenu
{
    QAction undo {"Undo"};
    QAction redo {"Redo"};
    UndoActionBinding binding {&undo, &redo};

    void expect(const QString& undoTitle, bool undoEnabled, const QString& redoTitle, bool redoEnabled) const
    {
        EXPECT_EQ(undo.text(), undoTitle);
        EXPECT_EQ(undo.isEnabled(), undoEnabled);
        EXPECT_EQ(redo.text(), redoTitle);
        EXPECT_EQ(redo.isEnabled(), redoEnabled);
    }
};

// Adds `step` to `done`, undoably (undo registers the redo, as every undo handler does).
void change(UndoManager& manager, int& done, int step, const QString& name)
{
    done += step;
    manager.registerUndo(&manager, [&manager, &done, step, name] { change(manager, done, -step, name); });
    if (!name.isEmpty())
        manager.setActionName(name);
}

void markDone(UndoManager& manager, int& done, const QString& name)
{
    change(manager, done, 1, name);
    QCoreApplication::processEvents(); // the event-loop turn closes the group
}

} // namespace

TEST(UndoActionBinding, TitlesAndStatesFollowTheUndoManager)
{
    EditMenu menu;
    menu.expect("Undo", false, "Redo", false);

    UndoManager manager;
    menu.binding.setUndoManager(&manager);
    menu.expect("Undo", false, "Redo", false);

    int done = 0;
    markDone(manager, done, "Mark Done");
    menu.expect("Undo Mark Done", true, "Redo", false);

    menu.undo.trigger();
    EXPECT_EQ(done, 0);
    menu.expect("Undo", false, "Redo Mark Done", true);

    menu.redo.trigger();
    EXPECT_EQ(done, 1);
    menu.expect("Undo Mark Done", true, "Redo", false);

    markDone(manager, done, QString());
    menu.expect("Undo", true, "Redo", false);
}

TEST(UndoActionBinding, FollowsTheManagerOfTheWindowInFrontAndLetsGoOfADestroyedOne)
{
    EditMenu menu;
    auto first = std::make_unique<UndoManager>();
    UndoManager second;
    int done = 0;
    markDone(*first, done, "Mark Done");
    markDone(second, done, "Move Card");

    menu.binding.setUndoManager(first.get());
    menu.expect("Undo Mark Done", true, "Redo", false);
    menu.binding.setUndoManager(&second);
    menu.expect("Undo Move Card", true, "Redo", false);

    // The manager no longer shown must not drive the items any more.
    markDone(*first, done, "Rename Tag");
    menu.expect("Undo Move Card", true, "Redo", false);

    menu.binding.setUndoManager(first.get());
    first.reset();
    menu.expect("Undo", false, "Redo", false);
}
