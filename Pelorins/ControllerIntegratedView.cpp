#include "Pelorins/ControllerIntegratedView.h"

#include "Platform/widgets/ActionRouter.h"

ControllerIntegratedView::ControllerIntegratedView(ActionRouter* router, QWidget* parent)
    : QWidget(parent)
    , m_router(router)
{
}

void ControllerIntegratedView::setViewController(ActionResponder* controller)
{
    m_viewController = controller;
    if (!m_router)
        return;
    if (controller)
        m_router->attach(this, controller);
    else
        m_router->detach(this);
}
