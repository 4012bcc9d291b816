#pragma once

#include "Pelorins/card/AnimatedCheckButton.h"

// The rounded-square box beside a checklist line: it animates both ways and tells the notes
// editor as soon as the tick has drawn or erased itself. Its tag is the ordinal of its line.
class ChecklistButton : public AnimatedCheckButton
{
    Q_OBJECT

public:
    static constexpr int defaultWidth = 16;

    explicit ChecklistButton(QWidget* parent = nullptr, int width = defaultWidth);

    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

signals:
    void checkUncheckLine(ChecklistButton* button);

protected:
    void tellTarget() override { emit checkUncheckLine(this); }

private:
    int m_tag = 0;
};
