#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class ActionResponder;
class QAction;
class QMenu;
class QWidget;

// Sends named actions to whoever should handle them, as menus and shortcuts expect: from the
// focus widget up through its parents, each widget followed by the controller attached to it,
// to the window (and, for a popup or dialog, on through the widget that owns it), then to the
// application's responder. The first responder that responds to the action handles it.
//
// QActions connected here send from their own window: from the focus while it is the active
// window, else from the widget that last had the focus in it, so that a button or menu item of a
// window behind another still acts on its own window. They are enabled exactly when some
// responder would handle them and agrees in `validate`; they are validated when a tracked menu is
// about to show, after the focus moves, before a shortcut is matched, and on `validateActions()`.
class ActionRouter : public QObject
{
    Q_OBJECT
public:
    explicit ActionRouter(QObject* parent = nullptr);

    // Puts `controller` into the routing right behind `widget`, replacing an earlier one. The
    // link goes when either of them is destroyed.
    void attach(QWidget* widget, ActionResponder* controller);
    void detach(QWidget* widget);
    ActionResponder* controllerFor(QWidget* widget) const;

    void setApplicationResponder(ActionResponder* responder);
    ActionResponder* applicationResponder() const { return m_applicationResponder; }

    // The responders in routing order, starting at `from` or, when null, at the focus widget
    // (the active window when nothing has the focus).
    QList<ActionResponder*> chain(QWidget* from = nullptr) const;
    ActionResponder* targetFor(const QString& action, QWidget* from = nullptr) const;
    // Performs the action on its target; false when nobody handles it or the target refuses it.
    bool send(const QString& action, QObject* sender, QWidget* from = nullptr);

    // Triggering `item` sends `action` with `item` as sender, from the window the item sits in
    // (its menu's or widget's window, else its parent widget's).
    void connectAction(QAction* item, const QString& action);
    void trackMenu(QMenu* menu);
    void validateActions();
    void validateMenu(QMenu* menu);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class ActionResponder;
    struct Attachment
    {
        ActionResponder* controller;
        QMetaObject::Connection widgetDestroyed;
    };

    void forget(ActionResponder* responder);
    void adopt(ActionResponder* responder);
    void validateAction(QAction* item, const QString& action, const QList<ActionResponder*>& chain);
    void scheduleValidation();

    QHash<QWidget*, Attachment> m_attachments;
    ActionResponder* m_applicationResponder = nullptr;
    QHash<QAction*, QString> m_actions;
    bool m_validationScheduled = false;
    // The focus before a menu bar took the keyboard (as it does when Escape closes its menu).
    QPointer<QWidget> m_focusOutsideMenuBar;
};
