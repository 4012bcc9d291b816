#pragma once

#include <QAbstractButton>

// The keyboard's way to the first page's bottom button, which the page draws as layers: a
// button laid over it that takes the focus, answers Return, Enter and Space, and is named by the
// caption the layers show. It draws only its focus frame, and lets the pointer through to the
// page, which finds the drawn button by its layers.
class WelcomeBottomButton : public QAbstractButton
{
    Q_OBJECT

public:
    explicit WelcomeBottomButton(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};
