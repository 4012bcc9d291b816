#include "Pelorins/welcome/WelcomeBottomButton.h"

#include "Platform/widgets/FocusFrame.h"

#include <QKeyEvent>
#include <QPainter>

WelcomeBottomButton::WelcomeBottomButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::StrongFocus);
}

void WelcomeBottomButton::paintEvent(QPaintEvent*)
{
    if (!hasFocus())
        return;
    QPainter painter(this);
    FocusFrame::paint(painter, rect(), FocusFrame::buttonRadius);
}

void WelcomeBottomButton::keyPressEvent(QKeyEvent* event)
{
    // Space clicks on release, as every button does; Return and Enter click at once.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}
