#pragma once

#include "Pelorins/card/AnimatedCheckButton.h"

// The round done box of a card. Clicking it while off draws the tick, fills the circle and
// springs it, then tells the card 0.7 s after the tick is complete; clicking it while on tells
// the card at once.
class CheckedButton : public AnimatedCheckButton
{
    Q_OBJECT

public:
    static constexpr int defaultWidth = 18;

    explicit CheckedButton(QWidget* parent = nullptr, int width = defaultWidth);

signals:
    void checkButtonTapped(CheckedButton* button);

protected:
    void tellTarget() override { emit checkButtonTapped(this); }
};
