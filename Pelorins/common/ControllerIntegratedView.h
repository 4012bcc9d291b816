#pragma once

#include <QPointer>
#include <QWidget>

class ActionRouter;
class ActionResponder;

// A view that puts its controller into the action routing right behind itself, so that actions
// from anything inside it reach the controller before they reach the view's parents.
class ControllerIntegratedView : public QWidget
{
    Q_OBJECT
public:
    explicit ControllerIntegratedView(ActionRouter* router, QWidget* parent = nullptr);

    // Null once the controller is gone: the routing forgets a destroyed controller.
    ActionResponder* viewController() const;
    // Replaces the controller; null takes it out of the routing.
    void setViewController(ActionResponder* controller);

private:
    QPointer<ActionRouter> m_router;
};
