#include "Pelorins/common/ControllerIntegratedView.h"

#include "Platform/widgets/ActionRouter.h"

ControllerIntegratedView::ControllerIntegratedView(ActionRouter* router, QWidget* parent)
    : QWidget(parent)
    , m_router(router)
{
}

ActionResponder* ControllerIntegratedView::viewController() const
{
    return m_router ? m_router->controllerFor(const_cast<ControllerIntegratedView*>(this)) : nullptr;
}

void ControllerIntegratedView::setViewController(ActionResponder* controller)
{
    if (!m_router)
        return;
    if (controller)
        m_router->attach(this, controller);
    else
        m_router->detach(this);
}
