#pragma once

#include "FakeMoverBoard.h"
#include "FakeMoverColumn.h"
#include "StoreBuilder.h"

#include "PelorinsKit/board/DoneItemsMover.h"
#include "Platform/core/UndoManager.h"
#include "Platform/core/UserDefaults.h"

#include <QDateTime>
#include <QHash>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <vector>

class DoneDate;
class ManagedObjectContext;

// A board in the store manager's store (opened once per process in a temporary data folder), shown
// by a fake board view with a fake column controller, and so a card mover, for each stage column
// and for the done column, one undo manager for all, and the board's done mover. Cards carry
// names, so that layout() can write the whole board as one line to compare. The undo steps of
// the movers go with the view.
class MoverBoard
{
public:
    // The store manager's context; null when its store could not be set up.
    static ManagedObjectContext* context();

    explicit MoverBoard(
        const QStringList& stageTitles = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    MoverBoard(const MoverBoard&) = delete;
    MoverBoard& operator=(const MoverBoard&) = delete;

    // The start of the day `daysAgo` days before today.
    static QDateTime day(int daysAgo);

    FakeMoverColumn& stage(int section) { return *m_columns.at(section); }
    FakeMoverColumn& done() { return *m_columns.back(); }
    KanbanColumn* column(int section) const;

    // An open card at the end of a stage column, with notes holding its name.
    ListItem* addCard(int section, const QString& name);
    // A day group after the existing ones, and a done card at the end of it done at `doneAt`
    // (the group's day when none).
    DoneDate* addGroup(int daysAgo);
    ListItem* addDoneCard(DoneDate* group, const QString& name, const QDateTime& doneAt = QDateTime());
    // A new stage column at the end, with its controller; the done column's moves right.
    void appendStage(const QString& title);
    // Takes the done column's controller off the board, as when its view is gone.
    void removeDoneController();
    // Destroys the controller of the section (the done column's is the last), with its mover;
    // makeController() makes a new one in its place.
    void destroyController(int section);
    void makeController(int section);

    // Runs `step` as one undoable step, as one turn of the event loop would.
    void act(const std::function<void()>& step);

    QString name(const ListItem* card) const { return m_names.value(card, QStringLiteral("?")); }
    QStringList names(const QList<ListItem*>& cards) const;
    // "A[a b] B[] C[c] | d0[x] d2[y z]": each stage column's cards, then each day group by how
    // many days ago it is, newest first; soft-deleted cards are marked with a trailing '*'.
    QString layout() const;

    QTemporaryDir folder;
    UserDefaults defaults;
    UndoManager undoManager;
    Kanban* kanban = nullptr;
    FakeMoverBoard view;
    DoneItemsMover doneMover;

private:
    std::unique_ptr<StoreBuilder> m_builder;
    std::vector<std::unique_ptr<FakeMoverColumn>> m_columns;
    QHash<const ListItem*, QString> m_names;
};
