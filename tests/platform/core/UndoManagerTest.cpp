#include "Platform/core/UndoManager.h"

#include <QCoreApplication>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

namespace {
void finishEventLoopTurn()
{
    QCoreApplication::processEvents();
}
}

TEST(UndoManager, GroupOfTwoRegistrationsUndoesInReverseOrder)
{
    UndoManager undo;
    QStringList calls;
    undo.beginUndoGrouping();
    undo.registerUndo(&undo, [&] { calls << "first"; });
    undo.registerUndo(&undo, [&] { calls << "second"; });
    undo.endUndoGrouping();

    undo.undo();
    EXPECT_EQ(calls, QStringList({"second", "first"}));
    EXPECT_FALSE(undo.canUndo());
}

TEST(UndoManager, RegistrationWhileUndoingLandsOnRedoStackAndRedoRunsItAsRedoing)
{
    UndoManager undo;
    int value = 0;
    QList<bool> redoingSeen;
    std::function<void(int)> setValue = [&](int newValue) {
        const int old = value;
        value = newValue;
        redoingSeen << undo.isRedoing();
        undo.registerUndo(&undo, [&, old] { setValue(old); });
        undo.setActionName("Change Value");
    };
    setValue(5);
    finishEventLoopTurn();
    ASSERT_TRUE(undo.canUndo());
    EXPECT_EQ(undo.undoMenuItemTitle(), "Undo Change Value");

    undo.undo();
    EXPECT_EQ(value, 0);
    EXPECT_FALSE(undo.canUndo());
    ASSERT_TRUE(undo.canRedo());
    EXPECT_EQ(undo.redoMenuItemTitle(), "Redo Change Value");

    undo.redo();
    EXPECT_EQ(value, 5);
    EXPECT_TRUE(redoingSeen.last());
    EXPECT_TRUE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo());

    undo.undo();
    EXPECT_EQ(value, 0);
}

TEST(UndoManager, FreshRegistrationAfterUndoClearsRedo)
{
    UndoManager undo;
    undo.registerUndo(&undo, [&] { undo.registerUndo(&undo, [] {}); });
    finishEventLoopTurn();
    undo.undo();
    ASSERT_TRUE(undo.canRedo());

    undo.registerUndo(&undo, [] {});
    EXPECT_FALSE(undo.canRedo());
}

TEST(UndoManager, RegistrationsInOneEventLoopTurnFormOneGroupNamedByLastActionName)
{
    UndoManager undo;
    QStringList calls;
    undo.registerUndo(&undo, [&] { calls << "mark"; });
    undo.setActionName("Mark Done");
    undo.registerUndo(&undo, [&] { calls << "unmark"; });
    undo.setActionName("Unmark Done");
    finishEventLoopTurn();
    undo.registerUndo(&undo, [&] { calls << "later"; });
    undo.setActionName("Move Card");
    finishEventLoopTurn();

    EXPECT_EQ(undo.undoActionName(), "Move Card");
    undo.undo();
    EXPECT_EQ(calls, QStringList({"later"}));
    EXPECT_EQ(undo.undoActionName(), "Unmark Done");
    undo.undo();
    EXPECT_EQ(calls, QStringList({"later", "unmark", "mark"}));
    EXPECT_FALSE(undo.canUndo());
}

TEST(UndoManager, ExplicitGroupInsideATurnStaysPartOfTheTurn)
{
    UndoManager undo;
    int calls = 0;
    undo.registerUndo(&undo, [&] { ++calls; });
    undo.beginUndoGrouping();
    undo.registerUndo(&undo, [&] { ++calls; });
    undo.endUndoGrouping();
    finishEventLoopTurn();
    undo.undo();
    EXPECT_EQ(calls, 2);
    EXPECT_FALSE(undo.canUndo());
}

TEST(UndoManager, UndoClosesTheOpenGroupFirst)
{
    UndoManager undo;
    bool ran = false;
    undo.registerUndo(&undo, [&] { ran = true; });
    undo.undo(); // same turn: the open group is closed and undone
    EXPECT_TRUE(ran);
}

// Removing an owner's steps by hand and destroying the owner drop the same steps: only its own,
// and the groups left empty.
TEST(UndoManager, AnOwnersStepsGoWithItsRemovalOrItsDestruction)
{
    for (const bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "destroyed" : "removed");
        UndoManager undo;
        auto a = std::make_unique<QObject>();
        QObject b;
        int aCalls = 0, bCalls = 0;
        undo.registerUndo(a.get(), [&] { ++aCalls; });
        finishEventLoopTurn();
        undo.registerUndo(a.get(), [&] { ++aCalls; });
        undo.registerUndo(&b, [&] { ++bCalls; });
        finishEventLoopTurn();

        if (destroy)
            a.reset();
        else
            undo.removeAllActions(a.get());
        undo.undo();
        EXPECT_EQ(bCalls, 1);
        EXPECT_EQ(aCalls, 0);
        EXPECT_FALSE(undo.canUndo());
    }
}

TEST(UndoManager, AStepWhoseOwnerGoesDuringItsGroupIsSkipped)
{
    UndoManager undo;
    auto editor = std::make_unique<QObject>();
    QObject board;
    QStringList calls;
    undo.beginUndoGrouping();
    undo.registerUndo(editor.get(), [&] { calls << "editor"; });
    undo.registerUndo(&board, [&] {
        calls << "board";
        editor.reset();
    });
    undo.endUndoGrouping();

    undo.undo();
    EXPECT_EQ(calls, QStringList({"board"}));
}

TEST(UndoManager, AStepWithoutAnOwnerIsNotFiled)
{
    UndoManager undo;
    undo.registerUndo(nullptr, [] {});
    EXPECT_FALSE(undo.canUndo());
}

TEST(UndoManager, ChangedSignalFollowsRegistrationsAndUndo)
{
    UndoManager undo;
    int changes = 0;
    QObject::connect(&undo, &UndoManager::changed, [&] { ++changes; });
    undo.registerUndo(&undo, [] {});
    finishEventLoopTurn();
    const int afterRegistration = changes;
    EXPECT_GT(afterRegistration, 0);
    undo.undo();
    EXPECT_GT(changes, afterRegistration);
}

TEST(UndoManager, EmptyNamesGivePlainMenuTitles)
{
    UndoManager undo;
    EXPECT_EQ(undo.undoMenuItemTitle(), "Undo");
    EXPECT_EQ(undo.redoMenuItemTitle(), "Redo");
    EXPECT_FALSE(undo.canUndo());
    undo.undo(); // nothing to undo: no effect
    EXPECT_FALSE(undo.canRedo());
}
