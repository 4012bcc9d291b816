#pragma once

#include "Platform/widgets/layers/Animation.h"

#include <utility>

// An animation between two values given as from, to and by. With two of them set, the third
// follows (from and to rule when all three are set); a single one runs from or to the value
// beneath the animation; none leaves that value as it is.
class BasicAnimation : public Animation
{
public:
    BasicAnimation() = default;
    explicit BasicAnimation(const QString& keyPath);

    std::unique_ptr<Animation> clone() const override;

    QVariant fromValue() const { return m_fromValue; }
    void setFromValue(const QVariant& value) { m_fromValue = value; }
    QVariant toValue() const { return m_toValue; }
    void setToValue(const QVariant& value) { m_toValue = value; }
    QVariant byValue() const { return m_byValue; }
    void setByValue(const QVariant& value) { m_byValue = value; }

protected:
    QVariant interpolate(double elapsed, double fraction, const QVariant& underlying) const override;
    // The start and end values over `underlying`.
    std::pair<QVariant, QVariant> range(const QVariant& underlying) const;

private:
    QVariant m_fromValue;
    QVariant m_toValue;
    QVariant m_byValue;
};
