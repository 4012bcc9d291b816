#pragma once

#include <QString>

class QWidget;

// Names for assistive technology. A screen reader reads a control's name and only offers its
// tooltip as a description, so a control that has no label of its own is named by its tooltip.
namespace AccessibleNames {

// Sets the tooltip and makes it the control's name.
void setToolTip(QWidget* control, const QString& toolTip);

} // namespace AccessibleNames
