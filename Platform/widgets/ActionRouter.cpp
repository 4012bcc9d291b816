#include "Platform/widgets/ActionRouter.h"

#include "Platform/widgets/ActionResponder.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QWidget>

namespace {

ActionResponder* firstResponding(const QList<ActionResponder*>& chain, const QString& action)
{
    for (ActionResponder* responder : chain) {
        if (responder->respondsTo(action))
            return responder;
    }
    return nullptr;
}

// The window a widget belongs to. A popup menu belongs to the window of the menu bar, menu or
// button that opens it.
QWidget* owningWindow(QWidget* widget)
{
    while (widget) {
        QWidget* window = widget->window();
        if (!qobject_cast<QMenu*>(window))
            return window;
        widget = window->parentWidget();
    }
    return nullptr;
}

// The window of the menu or widget an item sits in, else of the widget that owns it; null for an
// item of no window.
QWidget* owningWindow(QAction* item)
{
    for (QObject* object : item->associatedObjects()) {
        if (auto* widget = qobject_cast<QWidget*>(object))
            return owningWindow(widget);
    }
    return owningWindow(qobject_cast<QWidget*>(item->parent()));
}

// Where the routing starts for what a window's items send: the focus while the window is active
// (null), else the widget that last had the focus in that window. A button clicked in a window
// behind another acts on its own window.
QWidget* startIn(QWidget* window)
{
    if (!window || window == QApplication::activeWindow())
        return nullptr;
    return window->focusWidget() ? window->focusWidget() : window;
}

} // namespace

ActionRouter::ActionRouter(QObject* parent)
    : QObject(parent)
{
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && !qobject_cast<QMenuBar*>(now))
            m_focusOutsideMenuBar = now;
        scheduleValidation();
    });
    qApp->installEventFilter(this);
}

void ActionRouter::attach(QWidget* widget, ActionResponder* controller)
{
    detach(widget);
    if (!widget || !controller)
        return;
    adopt(controller);
    const auto connection
        = connect(widget, &QObject::destroyed, this, [this, widget] { m_attachments.remove(widget); });
    m_attachments.insert(widget, {controller, connection});
}

void ActionRouter::detach(QWidget* widget)
{
    const auto found = m_attachments.constFind(widget);
    if (found == m_attachments.constEnd())
        return;
    disconnect(found->widgetDestroyed);
    m_attachments.erase(found);
}

ActionResponder* ActionRouter::controllerFor(QWidget* widget) const
{
    const auto found = m_attachments.constFind(widget);
    return found == m_attachments.constEnd() ? nullptr : found->controller;
}

void ActionRouter::setApplicationResponder(ActionResponder* responder)
{
    if (responder)
        adopt(responder);
    m_applicationResponder = responder;
}

QList<ActionResponder*> ActionRouter::chain(QWidget* from) const
{
    QList<ActionResponder*> responders;
    auto add = [&responders](ActionResponder* responder) {
        if (responder && !responders.contains(responder))
            responders.append(responder);
    };
    QWidget* widget = from ? from : QApplication::focusWidget();
    // A menu bar holding the keyboard is no responder: its items act where the focus was.
    if (qobject_cast<QMenuBar*>(widget) && m_focusOutsideMenuBar && m_focusOutsideMenuBar->window() == widget->window())
        widget = m_focusOutsideMenuBar;
    if (!widget)
        widget = QApplication::activeWindow();
    // A window's parent widget is the one that owns it, so a popup's or a dialog's chain goes
    // on into the window it belongs to.
    for (; widget; widget = widget->parentWidget()) {
        add(dynamic_cast<ActionResponder*>(widget));
        add(controllerFor(widget));
    }
    add(m_applicationResponder);
    return responders;
}

ActionResponder* ActionRouter::targetFor(const QString& action, QWidget* from) const
{
    return firstResponding(chain(from), action);
}

bool ActionRouter::send(const QString& action, QObject* sender, QWidget* from)
{
    const QList<ActionResponder*> responders = chain(from);
    ActionResponder* target = firstResponding(responders, action);
    // A menu item or shortcut may have been enabled under an older state: ask again.
    if (!target || !target->validate(action, qobject_cast<QAction*>(sender)))
        return false;
    for (ActionResponder* passed : responders) {
        if (passed == target)
            break;
        passed->commitPendingEdits();
    }
    target->perform(action, sender);
    return true;
}

void ActionRouter::connectAction(QAction* item, const QString& action)
{
    if (!item || m_actions.contains(item))
        return;
    m_actions.insert(item, action);
    connect(item, &QAction::triggered, this, [this, item, action] { send(action, item, startIn(owningWindow(item))); });
    connect(item, &QObject::destroyed, this, [this, item] { m_actions.remove(item); });
    validateAction(item, action, chain(startIn(owningWindow(item))));
}

void ActionRouter::trackMenu(QMenu* menu)
{
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { validateMenu(menu); });
}

void ActionRouter::validateActions()
{
    m_validationScheduled = false;
    // Items of one window share its chain.
    QHash<QWidget*, QList<ActionResponder*>> chains;
    for (auto it = m_actions.constBegin(); it != m_actions.constEnd(); ++it) {
        QWidget* start = startIn(owningWindow(it.key()));
        auto found = chains.find(start);
        if (found == chains.end())
            found = chains.insert(start, chain(start));
        validateAction(it.key(), it.value(), *found);
    }
}

void ActionRouter::validateMenu(QMenu* menu)
{
    const QList<ActionResponder*> responders = chain(startIn(owningWindow(menu)));
    const QList<QAction*> items = menu->actions();
    for (QAction* item : items) {
        const auto found = m_actions.constFind(item);
        if (found != m_actions.constEnd())
            validateAction(item, found.value(), responders);
    }
}

bool ActionRouter::eventFilter(QObject* watched, QEvent* event)
{
    // Sent once to the window before the shortcut map looks for a match: the states of the
    // shortcuts' actions must be current by then.
    if (event->type() == QEvent::ShortcutOverride && watched->isWindowType())
        validateActions();
    return QObject::eventFilter(watched, event);
}

void ActionRouter::forget(ActionResponder* responder)
{
    for (auto it = m_attachments.begin(); it != m_attachments.end();) {
        if (it->controller == responder) {
            disconnect(it->widgetDestroyed);
            it = m_attachments.erase(it);
        } else {
            ++it;
        }
    }
    if (m_applicationResponder == responder)
        m_applicationResponder = nullptr;
    responder->m_routers.removeAll(QPointer<ActionRouter>(this));
}

void ActionRouter::adopt(ActionResponder* responder)
{
    responder->m_routers.removeAll(QPointer<ActionRouter>()); // routers that are gone
    if (!responder->m_routers.contains(QPointer<ActionRouter>(this)))
        responder->m_routers.append(this);
}

void ActionRouter::validateAction(QAction* item, const QString& action, const QList<ActionResponder*>& chain)
{
    ActionResponder* target = firstResponding(chain, action);
    item->setEnabled(target && target->validate(action, item));
}

void ActionRouter::scheduleValidation()
{
    // Deferred: focus moves while widgets are being destroyed, when their chains are not safe
    // to walk.
    if (m_validationScheduled)
        return;
    m_validationScheduled = true;
    QTimer::singleShot(0, this, &ActionRouter::validateActions);
}
