#pragma once

#include <QList>
#include <QPointer>
#include <QString>

class ActionRouter;
class QAction;
class QObject;

// Something that can take part in action routing: a controller attached to a widget, a widget
// itself, a window controller or the application's own responder. Actions are named like
// "showHideSidebar:". A responder that goes away detaches itself from every router, so a
// router never calls a destroyed responder.
class ActionResponder
{
public:
    ActionResponder() = default;
    ActionResponder(const ActionResponder&) = delete;
    ActionResponder& operator=(const ActionResponder&) = delete;
    virtual ~ActionResponder();

    virtual bool respondsTo(const QString& action) const = 0;
    virtual void perform(const QString& action, QObject* sender) = 0;
    // Asked only of the responder that would perform the action; `item` may be null when a
    // shortcut or a control sends it. Enabled unless the responder says otherwise.
    virtual bool validate(const QString& action, QAction* item) const;
    // Told before an action goes past this responder to one further on: edits it holds and has
    // not handed on yet (typing not yet written into the model) go first, so the action sees them.
    virtual void commitPendingEdits() { }

private:
    friend class ActionRouter;
    QList<QPointer<ActionRouter>> m_routers;
};
