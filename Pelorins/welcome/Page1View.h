#pragma once

#include "Pelorins/welcome/WelcomeResources.h"
#include "Pelorins/welcome/WelcomeSceneMachine.h"
#include "Platform/widgets/layers/AnimationDelegate.h"
#include "Platform/widgets/layers/LayerHostWidget.h"

#include <memory>

class WelcomeDelegate;
class BasicAnimation;
class KDPageControl;
class Layer;
class Page5View;
class QPushButton;
class TextLayer;
class WelcomeBottomButton;

// The welcome's one view: the first page's greeting, which then hands the stage to the tour
// page, with the page dots and the agreement button below. Each click on the bottom button
// plays the next step, but only once the step before has ended; the last click opens the main
// window and closes the welcome.
class Page1View : public LayerHostWidget, public AnimationDelegate
{
    Q_OBJECT
public:
    static constexpr QSize pageSize {800, 600};
    static constexpr const char* agreementTitle = "By clicking Let's go!, you agree to the End-User License Agreement";
    static constexpr const char* lastCaption = "Let's go!";
    // Where the bottom button is drawn.
    static constexpr QRect bottomButtonFrame {308, 538, 185, 46};

    Page1View(const WelcomeResources& resources, WelcomeDelegate& delegate, QWidget* parent = nullptr);
    ~Page1View() override;

    void setupPager();
    void setupEulaButton();
    // Builds the first page afresh: a new root layer, tree and fields.
    void buildLayers();
    // The bottom button's click: the next step, when none is running.
    void mouseClickedPlayAnimationsAction(QObject* sender);
    // Opens the main window, then closes the welcome.
    void finishWelcome();
    void animationDidStop(const Animation& animation, bool finished) override;

    qint64 currentScene() const { return m_machine.currentScene(); }
    bool isAnimationInProgress() const { return m_machine.isAnimationInProgress(); }
    Page5View* page5() const { return m_page5; }
    KDPageControl* pager() const { return m_pager; }
    QPushButton* eulaButton() const { return m_eulaButton; }
    // The bottom button as the keyboard and assistive technology reach it.
    WelcomeBottomButton* bottomButton() const { return m_bottomButton; }
    const std::shared_ptr<TextLayer>& bottomButtonTextLayer() const { return m_bottomButtonTextLayer; }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The keys: the bottom button takes the focus, Tab goes on to the agreement and the dots.
    void setupKeyboard();
    QRect pagerFocusFrame() const;
    void refreshPager();
    void bringInTour();

    WelcomeResources m_resources;
    WelcomeDelegate& m_delegate;
    std::shared_ptr<TextLayer> m_bottomButtonTextLayer;
    std::shared_ptr<TextLayer> m_pelorinsMakesManaLayer;
    std::shared_ptr<Layer> m_iconsLayer;
    std::shared_ptr<BasicAnimation> m_opacityAnimation;
    std::shared_ptr<BasicAnimation> m_fadeOutAnimation;
    KDPageControl* m_pager = nullptr;
    QPushButton* m_eulaButton = nullptr;
    WelcomeBottomButton* m_bottomButton = nullptr;
    Page5View* m_page5 = nullptr;
    WelcomeSceneMachine m_machine;
};
