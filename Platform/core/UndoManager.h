#pragma once

#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

// Records undo and redo steps in groups, with the platform's rules:
// - a registration made while undoing lands on the redo stack, one made while redoing on the
//   undo stack, and any other registration on the undo stack, clearing redo;
// - registrations made during one turn of the event loop form one group, undone last first,
//   unless explicit grouping is used;
// - the action name names the group being built.
//
// Ownership: every step belongs to an owner QObject and goes when its owner is destroyed, so a
// step never outlives what it calls. A handler may hold raw pointers to managed objects (their
// context's ownership rule, in ManagedObjectContext.h, keeps them valid, and a context going away
// first removes its actions here) and to its owner or what the owner outlives, and to nothing
// else: controllers, movers and widgets come and go with boards and columns, so a handler finds
// the live one through its owner when it runs, and falls back to the model when none is.
class UndoManager : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<void()>;

    explicit UndoManager(QObject* parent = nullptr);
    ~UndoManager() override;

    // Files the step under `owner`; without an owner nothing is filed.
    void registerUndo(QObject* owner, Handler handler);
    void setActionName(const QString& name);

    bool canUndo() const;
    bool canRedo() const;
    bool isUndoing() const { return m_state == State::Undoing; }
    bool isRedoing() const { return m_state == State::Redoing; }

    QString undoActionName() const;
    QString redoActionName() const;
    // Menu titles as the Edit menu shows them: "Undo Mark Done", or "Undo" without a name.
    QString undoMenuItemTitle() const;
    QString redoMenuItemTitle() const;

    void undo();
    void redo();

    void beginUndoGrouping();
    void endUndoGrouping();
    int groupingLevel() const { return m_groupingLevel; }
    // When on (the default), a group opened by a registration closes at the end of the current
    // event-loop turn.
    void setGroupsByEvent(bool groupsByEvent) { m_groupsByEvent = groupsByEvent; }
    bool groupsByEvent() const { return m_groupsByEvent; }

    void removeAllActions();
    void removeAllActions(const QObject* owner);

signals:
    void changed();

private:
    enum class State { Normal, Undoing, Redoing };
    struct Action
    {
        QPointer<QObject> owner;
        const QObject* ownerKey;
        Handler handler;
    };
    struct Group
    {
        QList<Action> actions;
        QString name;
    };

    void watch(QObject* owner);
    void openAutomaticGroupIfNeeded();
    void closeOpenGroup();
    void runGroup(Group group, State state);
    QList<Group>& stackForRegistrations();

    QList<Group> m_undoStack;
    QList<Group> m_redoStack;
    Group m_open;
    bool m_hasOpenGroup = false;
    bool m_automaticGroup = false;
    bool m_closeScheduled = false;
    bool m_groupsByEvent = true;
    int m_groupingLevel = 0;
    State m_state = State::Normal;
    QHash<const QObject*, QMetaObject::Connection> m_watchedOwners;
};
