#include "Platform/widgets/AccessibleNames.h"

#include <QWidget>

void AccessibleNames::setToolTip(QWidget* control, const QString& toolTip)
{
    control->setToolTip(toolTip);
    control->setAccessibleName(toolTip);
}
