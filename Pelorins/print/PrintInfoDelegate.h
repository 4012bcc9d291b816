#pragma once

// What the preview and the set-up pane ask of the print window: the scale of cards on paper and
// the preview's zoom.
class PrintInfoDelegate
{
public:
    virtual ~PrintInfoDelegate() = default;

    virtual double itemScale() const = 0;
    // Lays the preview out again at the new scale.
    virtual void setItemScale(double scale) = 0;
    virtual double magnification() const = 0;
    virtual void setMagnification(double magnification) = 0;
};
