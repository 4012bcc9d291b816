#pragma once

#include "Pelorins/welcome/WelcomeResources.h"
#include "Platform/widgets/layers/LayerHostWidget.h"

#include <memory>
#include <vector>

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
    // The layers and animations the acts play, each animation added under its field's name.
    struct Fields
    {
        std::shared_ptr<Layer> windowLayer;
        std::shared_ptr<Layer> overlaySideBarLayer;
        std::shared_ptr<Layer> projectSidebarLayer;
        std::shared_ptr<Layer> overlayBGLayer;
        std::shared_ptr<Layer> cardsTextLayer;
        std::shared_ptr<Layer> mailWindowLayer;
        std::shared_ptr<Layer> finderWindowLayer;
        std::shared_ptr<Layer> attachTextLayer;
        std::shared_ptr<Layer> imageLayerLayer;
        std::shared_ptr<Layer> autumnColoursSmallLayer;
        std::shared_ptr<Layer> cursorLayer;
        std::shared_ptr<Layer> doneIconLayer;
        std::shared_ptr<Layer> tickLayer;
        std::shared_ptr<Layer> bgFillLayer;
        std::shared_ptr<Layer> partyCardLayer;
        std::shared_ptr<Layer> overlayDoneLayer;
        std::shared_ptr<Layer> doneTextLayer;
        std::shared_ptr<Layer> enjoyPelorinsLayer;
        std::shared_ptr<Animation> opacityAnimation;
        std::shared_ptr<Animation> opacityAnimation1;
        std::shared_ptr<Animation> enjoyOpacityInAnimation;
        std::shared_ptr<Animation> windowInPositionYAnimation;
        std::shared_ptr<Animation> windowPositionXAnimation;
        std::shared_ptr<Animation> windowTransformScaleInAnimation;
        std::shared_ptr<Animation> windowTransformScaleInAnimation1;
        std::shared_ptr<Animation> positionZoomAnimation;
        std::shared_ptr<Animation> transformScaleXyZoomAnimation;
        std::shared_ptr<Animation> transformScaleZoomAnimation;
        std::shared_ptr<Animation> positionOutAnimation;
        std::shared_ptr<Animation> opacityAnimation2;
        std::shared_ptr<Animation> opacityAnimation3;
        std::shared_ptr<Animation> positionAnimation;
        std::shared_ptr<Animation> transformScaleAnimation;
        std::shared_ptr<Animation> transformScaleAnimation1;
        std::shared_ptr<Animation> fillOpacityAnimation;
        std::shared_ptr<Animation> tickOpacityAnimation;
        std::shared_ptr<Animation> opacityInAnimation;
        std::shared_ptr<Animation> opacityOutAnimation;
        std::shared_ptr<Animation> opacityAnimation4;
        std::shared_ptr<Animation> opacityAnimation5;
        std::shared_ptr<Animation> finderOpacityInAnimation;
        std::shared_ptr<Animation> finderPositionInAnimation;
        std::shared_ptr<Animation> finderOpacityOutAnimation;
        std::shared_ptr<Animation> finderPositionOutAnimation;
        std::shared_ptr<Animation> mailOpacityInAnimation;
        std::shared_ptr<Animation> mailPositionInAnimation;
        std::shared_ptr<Animation> mailOpacityOutAnimation;
        std::shared_ptr<Animation> mailPositionOutAnimation;
        std::shared_ptr<Animation> imgIconOpacityInAnimation;
        std::shared_ptr<Animation> imgIconPositionAnimation;
        std::shared_ptr<Animation> imgIconOpacityOutAnimation;
        std::shared_ptr<Animation> mailIconOpacityInAnimation;
        std::shared_ptr<Animation> mailIconPositionAnimation;
        std::shared_ptr<Animation> mailIconOpacityOutAnimation;
        std::shared_ptr<Animation> attachTextOpacityInAnimation;
        std::shared_ptr<Animation> attachTextOpacityOutAnimation;
        std::shared_ptr<Animation> cursorPositionAnimation;
        std::shared_ptr<Animation> cursorOpacityAnimation;
        std::shared_ptr<Animation> cardTextOpacityInAnimation;
        std::shared_ptr<Animation> cardTextOpacityOutAnimation;
        std::shared_ptr<Animation> doneOpacityInAnimation;
        std::shared_ptr<Animation> doneOpacityOutAnimation;
    };

    // One entry of an act: the kept animation, the layer it goes on, how long after the act it
    // begins, and the key it is added under, which is the field's name.
    struct ActStep
    {
        std::shared_ptr<Animation> Fields::*animation;
        std::shared_ptr<Layer> Fields::*target;
        double offset;
        const char* key;
    };
    static constexpr int actCount = 5;
    static const std::vector<ActStep>& act(int index);

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
