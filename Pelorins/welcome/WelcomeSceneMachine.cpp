#include "Pelorins/welcome/WelcomeSceneMachine.h"

WelcomeSceneMachine::Step WelcomeSceneMachine::click()
{
    if (m_animationInProgress)
        return Step::ignored;
    // Every taken click locks, even one with nothing to play.
    m_animationInProgress = true;
    switch (m_currentScene) {
    case 0:
        return Step::fadeOutIntro;
    case 1:
        return Step::act1;
    case 2:
        return Step::act2;
    case 3:
        return Step::act3;
    case 4:
        return Step::closingAct;
    case 5:
        return Step::finish;
    default:
        return Step::lockOnly;
    }
}

WelcomeSceneMachine::Stop WelcomeSceneMachine::animationDidStop(const QString& name)
{
    if (name == QLatin1String(fadeInName)) {
        m_currentScene = 0;
        m_animationInProgress = false;
        return Stop::nothing;
    }
    if (name == QLatin1String(fadeOutName))
        return Stop::bringInTour;
    for (int scene = 1; scene <= 5; ++scene) {
        // A scene's end sets its number whatever came before; the clicks keep the order.
        if (name == QStringLiteral("Scene %1").arg(scene)) {
            m_currentScene = scene;
            m_animationInProgress = false;
            return Stop::nothing;
        }
    }
    return Stop::nothing;
}
