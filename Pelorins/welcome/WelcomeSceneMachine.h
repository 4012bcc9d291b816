#pragma once

#include <QString>

// The welcome's scenes: which scene has been reached (-1 until the intro has faded in, then 0
// to 5) and whether a step is running. A click starts the next step only while none runs; a
// step ends when an animation carrying a scene's name stops.
class WelcomeSceneMachine
{
public:
    // What a click asks of the page.
    enum class Step {
        // A step is running: the click changes nothing.
        ignored,
        // Taken, but there is nothing to play yet (the intro is still fading in): it only locks.
        lockOnly,
        fadeOutIntro,
        act1,
        act2,
        act3,
        // The closing act, with the agreement button and "Let's go!".
        closingAct,
        finish,
    };
    // What a stopped animation asks of the page.
    enum class Stop { nothing, bringInTour };

    static constexpr const char* fadeInName = "p1FadeInAnimation";
    static constexpr const char* fadeOutName = "p1FadeOutAnimation";

    qint64 currentScene() const { return m_currentScene; }
    bool isAnimationInProgress() const { return m_animationInProgress; }

    Step click();
    // `name` is the stopped animation's "animationName"; empty when it carries none.
    Stop animationDidStop(const QString& name);

private:
    qint64 m_currentScene = -1;
    bool m_animationInProgress = false;
};
