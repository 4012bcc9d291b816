#include "Platform/widgets/ActionRouter.h"

#include "Platform/widgets/ActionResponder.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMenu>
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

} // namespace

ActionRouter::ActionRouter(QObject* parent)
    : QObject(parent)
{
    connect(qApp, &QApplication::focusChanged, this, &ActionRouter::scheduleValidation);
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
    ActionResponder* target = targetFor(action, from);
    // A menu item or shortcut may have been enabled under an older state: ask again.
    if (!target || !target->validate(action, qobject_cast<QAction*>(sender)))
        return false;
    target->perform(action, sender);
    return true;
}

void ActionRouter::connectAction(QAction* item, const QString& action)
{
    if (!item || m_actions.contains(item))
        return;
    m_actions.insert(item, action);
    connect(item, &QAction::triggered, this, [this, item, action] { send(action, item); });
    connect(item, &QObject::destroyed, this, [this, item] { m_actions.remove(item); });
    validateAction(item, action, chain());
}

void ActionRouter::trackMenu(QMenu* menu)
{
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { validateMenu(menu); });
}

void ActionRouter::validateActions()
{
    m_validationScheduled = false;
    const QList<ActionResponder*> responders = chain();
    for (auto it = m_actions.constBegin(); it != m_actions.constEnd(); ++it)
        validateAction(it.key(), it.value(), responders);
}

void ActionRouter::validateMenu(QMenu* menu)
{
    const QList<ActionResponder*> responders = chain();
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
