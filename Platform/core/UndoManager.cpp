#include "UndoManager.h"

#include <QTimer>

UndoManager::UndoManager(QObject* parent)
    : QObject(parent)
{
}

UndoManager::~UndoManager()
{
    // Filed under itself, the manager would hear of its own destruction once its members are gone.
    for (const QMetaObject::Connection& connection : std::as_const(m_watchedOwners))
        disconnect(connection);
}

void UndoManager::registerUndo(QObject* owner, Handler handler)
{
    if (!owner || !handler)
        return;
    watch(owner);
    if (m_state == State::Normal && !m_hasOpenGroup)
        openAutomaticGroupIfNeeded();
    if (m_state == State::Normal && !m_redoStack.isEmpty())
        m_redoStack.clear();
    m_open.actions.append({owner, owner, std::move(handler)});
    m_hasOpenGroup = true;
    emit changed();
}

void UndoManager::setActionName(const QString& name)
{
    if (m_hasOpenGroup || m_state != State::Normal) {
        m_open.name = name;
    } else if (!m_undoStack.isEmpty()) {
        // Naming after the group closed (as when a step is named once its registrations ran).
        m_undoStack.last().name = name;
    }
    emit changed();
}

bool UndoManager::canUndo() const
{
    return !m_undoStack.isEmpty() || (m_hasOpenGroup && !m_open.actions.isEmpty());
}

bool UndoManager::canRedo() const
{
    return !m_redoStack.isEmpty();
}

QString UndoManager::undoActionName() const
{
    if (m_hasOpenGroup && !m_open.actions.isEmpty())
        return m_open.name;
    return m_undoStack.isEmpty() ? QString() : m_undoStack.last().name;
}

QString UndoManager::redoActionName() const
{
    return m_redoStack.isEmpty() ? QString() : m_redoStack.last().name;
}

QString UndoManager::undoMenuItemTitle() const
{
    const QString name = undoActionName();
    return name.isEmpty() ? QStringLiteral("Undo") : QStringLiteral("Undo ") + name;
}

QString UndoManager::redoMenuItemTitle() const
{
    const QString name = redoActionName();
    return name.isEmpty() ? QStringLiteral("Redo") : QStringLiteral("Redo ") + name;
}

void UndoManager::undo()
{
    if (m_state != State::Normal)
        return;
    // An undo first closes whatever the current turn was building, as the platform does.
    if (m_hasOpenGroup && m_groupingLevel == 0)
        closeOpenGroup();
    if (m_undoStack.isEmpty())
        return;
    runGroup(m_undoStack.takeLast(), State::Undoing);
}

void UndoManager::redo()
{
    if (m_state != State::Normal || m_redoStack.isEmpty())
        return;
    if (m_hasOpenGroup && m_groupingLevel == 0)
        closeOpenGroup();
    runGroup(m_redoStack.takeLast(), State::Redoing);
}

void UndoManager::runGroup(Group group, State state)
{
    // Registrations made by the handlers form the opposite group, named after the group run
    // unless a handler names it anew.
    const Group savedOpen = std::exchange(m_open, Group {{}, group.name});
    const bool savedHasOpen = std::exchange(m_hasOpenGroup, false);
    m_state = state;
    // A step whose owner went during an earlier step of the group is skipped with it.
    for (auto it = group.actions.crbegin(); it != group.actions.crend(); ++it)
        if (it->owner)
            it->handler();
    m_state = State::Normal;
    Group opposite = std::exchange(m_open, savedOpen);
    m_hasOpenGroup = savedHasOpen;
    if (!opposite.actions.isEmpty())
        (state == State::Undoing ? m_redoStack : m_undoStack).append(std::move(opposite));
    emit changed();
}

void UndoManager::beginUndoGrouping()
{
    // Inside a turn's automatic group an explicit group simply nests: the turn stays one step.
    if (m_groupingLevel == 0 && !m_hasOpenGroup && m_state == State::Normal) {
        m_open = Group {};
        m_hasOpenGroup = true;
        m_automaticGroup = false;
    }
    ++m_groupingLevel;
}

void UndoManager::endUndoGrouping()
{
    if (m_groupingLevel == 0)
        return;
    if (--m_groupingLevel == 0 && m_state == State::Normal && !m_automaticGroup)
        closeOpenGroup();
}

void UndoManager::watch(QObject* owner)
{
    if (m_watchedOwners.contains(owner))
        return;
    const QObject* key = owner;
    m_watchedOwners.insert(key, connect(owner, &QObject::destroyed, this, [this, key] { removeAllActions(key); }));
}

void UndoManager::openAutomaticGroupIfNeeded()
{
    m_open = Group {};
    m_hasOpenGroup = true;
    m_automaticGroup = true;
    if (m_groupsByEvent && !m_closeScheduled) {
        m_closeScheduled = true;
        QTimer::singleShot(0, this, [this] {
            m_closeScheduled = false;
            if (m_automaticGroup && m_groupingLevel == 0 && m_state == State::Normal)
                closeOpenGroup();
        });
    }
}

void UndoManager::closeOpenGroup()
{
    if (!m_hasOpenGroup)
        return;
    if (!m_open.actions.isEmpty())
        m_undoStack.append(std::move(m_open));
    m_open = Group {};
    m_hasOpenGroup = false;
    m_automaticGroup = false;
    emit changed();
}

void UndoManager::removeAllActions()
{
    for (const QMetaObject::Connection& connection : std::as_const(m_watchedOwners))
        disconnect(connection);
    m_watchedOwners.clear();
    m_undoStack.clear();
    m_redoStack.clear();
    m_open = Group {};
    m_hasOpenGroup = false;
    m_automaticGroup = false;
    emit changed();
}

void UndoManager::removeAllActions(const QObject* owner)
{
    const auto ownedBy = [owner](const Action& action) { return action.ownerKey == owner; };
    const auto dropOwner = [&](QList<Group>& stack) {
        for (Group& group : stack)
            group.actions.removeIf(ownedBy);
        stack.removeIf([](const Group& group) { return group.actions.isEmpty(); });
    };
    dropOwner(m_undoStack);
    dropOwner(m_redoStack);
    m_open.actions.removeIf(ownedBy);
    if (const auto connection = m_watchedOwners.constFind(owner); connection != m_watchedOwners.cend()) {
        disconnect(*connection);
        m_watchedOwners.erase(connection);
    }
    emit changed();
}
