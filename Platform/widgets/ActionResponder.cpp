#include "Platform/widgets/ActionResponder.h"

#include "Platform/widgets/ActionRouter.h"

ActionResponder::~ActionResponder()
{
    const auto routers = m_routers;
    for (const QPointer<ActionRouter>& router : routers) {
        if (router)
            router->forget(this);
    }
}

bool ActionResponder::validate(const QString&, QAction*) const
{
    return true;
}
