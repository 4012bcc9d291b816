#include "Pelorins/welcome/WelcomeBuilder.h"

#include "Platform/widgets/layers/BasicAnimation.h"
#include "Platform/widgets/layers/ShapeLayer.h"
#include "Platform/widgets/layers/TextLayer.h"

namespace {

template <typename L> std::shared_ptr<L> placed(std::shared_ptr<L> layer, const QSizeF& size, const QPointF& position)
{
    layer->setBoundsSize(size);
    layer->setPosition(position);
    layer->setAnchorPoint(QPointF(0, 0));
    layer->setContentsGravity(Layer::Gravity::center);
    layer->setContentsScale(2);
    return layer;
}

} // namespace

std::shared_ptr<Layer> WelcomeBuilder::layer(const QString& name, const QSizeF& size, const QPointF& position)
{
    return placed(Layer::create(name), size, position);
}

std::shared_ptr<ShapeLayer> WelcomeBuilder::shape(
    const QString& name, const QSizeF& size, const QPointF& position, const QPainterPath& path)
{
    auto layer = placed(ShapeLayer::create(name), size, position);
    layer->setPath(path);
    layer->setFillRule(ShapeLayer::FillRule::evenOdd);
    return layer;
}

std::shared_ptr<TextLayer> WelcomeBuilder::text(const QString& name, const QSizeF& size, const QPointF& position)
{
    auto layer = placed(TextLayer::create(name), size, position);
    layer->setMagnificationFilter(Layer::Filter::nearest);
    layer->setMinificationFilter(Layer::Filter::nearest);
    layer->setWrapped(true);
    return layer;
}

std::shared_ptr<BasicAnimation> WelcomeBuilder::animation(const QString& keyPath, const QVariant& from,
    const QVariant& to, double beginTime, Animation::FillMode fillMode, double duration)
{
    auto animation = std::make_shared<BasicAnimation>(keyPath);
    animation->setFromValue(from);
    animation->setToValue(to);
    animation->setBeginTime(beginTime);
    animation->setDuration(duration);
    animation->setFillMode(fillMode);
    animation->setRemovedOnCompletion(false);
    animation->setTimingFunction(TimingFunction::easeInEaseOut());
    return animation;
}

void WelcomeBuilder::markSceneEnd(Animation& animation, const QString& name, AnimationDelegate* delegate)
{
    animation.setDelegate(delegate);
    animation.setValue(QStringLiteral("animationName"), name);
}
