#pragma once

#include "Pelorins/welcome/WelcomeResources.h"
#include "Platform/widgets/layers/LayerHostWidget.h"

#include <memory>

class Animation;
class AnimationDelegate;
class Layer;

// The tour page: a drawn window of the program in which five acts play, each started by its
// owner. An act gives a fixed list of the animations the builder kept a begin time of now (in
// the target layer's own time) plus an offset, and adds each to its layer under the field's
// name. The last animation of each act carries "Scene 1" to "Scene 5" and reports its stop to
// the animation delegate. Clicks on the page are only logged.
class Page5View : public LayerHostWidget
{
    Q_OBJECT
public:
    // The layers and animations the acts play, under the names the acts add them by.
    struct Fields
    {
        std::shared_ptr<Layer> windowLayer;
        std::shared_ptr<Layer> projectSidebarLayer;
        std::shared_ptr<Layer> cardsTextLayer;
        std::shared_ptr<Layer> attachTextLayer;
        std::shared_ptr<Layer> doneTextLayer;
        std::shared_ptr<Animation> opacityAnimation;
        std::shared_ptr<Animation> positionOutAnimation;
        std::shared_ptr<Animation> attachTextOpacityInAnimation;
        std::shared_ptr<Animation> cardTextOpacityInAnimation;
        std::shared_ptr<Animation> doneOpacityInAnimation;
    };

    static constexpr QSize pageSize {800, 412};

    explicit Page5View(const WelcomeResources& resources, QWidget* parent = nullptr);
    ~Page5View() override;

    // Told when a scene's last animation stops; set before a build for that build's animations.
    AnimationDelegate* animationDelegate() const { return m_animationDelegate; }
    void setAnimationDelegate(AnimationDelegate* delegate) { m_animationDelegate = delegate; }

    // Builds the whole tour afresh: a new root layer, tree and fields.
    void buildLayers();
    const Fields& fields() const { return m_fields; }

    // Acts 0 to 4; the sender is not used.
    void mouseClickedPlayAnimationsAction(QObject* sender);
    void mouseClickedPlayAnimationsAction1(QObject* sender);
    void mouseClickedPlayAnimationsAction2(QObject* sender);
    void mouseClickedPlayAnimationsAction3(QObject* sender);
    void mouseClickedPlayAnimationsAction4(QObject* sender);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void playAct(int act);

    WelcomeResources m_resources;
    AnimationDelegate* m_animationDelegate = nullptr;
    Fields m_fields;
};
