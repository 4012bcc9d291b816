#pragma once

#include <QAccessibleWidget>

class KDPageControl;

// The page dots as assistive technology sees them: a slider over the pages, counted from 1,
// whose value text reads "Page 2 of 6". The welcome moves it; assistive technology cannot.
class KDPageControlAccessible : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit KDPageControlAccessible(KDPageControl* control);

    QString text(QAccessible::Text t) const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant&) override { }
    QVariant maximumValue() const override;
    QVariant minimumValue() const override { return 1; }
    QVariant minimumStepSize() const override { return 1; }

private:
    const KDPageControl* control() const;
};
