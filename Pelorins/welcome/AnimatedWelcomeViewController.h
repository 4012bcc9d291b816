#pragma once

#include "Pelorins/welcome/WelcomeResources.h"

#include <QWidget>

class WelcomeDelegate;
class Page1View;

// The welcome window's content: the welcome view, and the licence agreement on request.
class AnimatedWelcomeViewController : public QWidget
{
    Q_OBJECT
public:
    static constexpr const char* eulaDialogName = "showEULA";

    AnimatedWelcomeViewController(
        const WelcomeResources& resources, WelcomeDelegate& delegate, QWidget* parent = nullptr);

    Page1View* page1() const { return m_page1; }

    // Shows the licence in a dialog over the welcome window, which stays blocked until it closes.
    void eulaButtonClicked();

private:
    Page1View* m_page1;
};
