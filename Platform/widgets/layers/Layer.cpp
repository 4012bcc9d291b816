#include "Platform/widgets/layers/Layer.h"

#include "Platform/widgets/layers/AnimatedValue.h"
#include "Platform/widgets/layers/LayerClock.h"

#include <QtMath>
#include <algorithm>
#include <cmath>

namespace {

// The model transform with its uniform scale set to `scale`, its rotation and offset kept.
QTransform withScale(const QTransform& model, double scale)
{
    const double angle = std::atan2(model.m12(), model.m11());
    const double c = std::cos(angle) * scale;
    const double s = std::sin(angle) * scale;
    return QTransform(c, s, -s, c, model.dx(), model.dy());
}

QString number(double value)
{
    return QString::number(value, 'g', 6);
}

} // namespace

std::shared_ptr<Layer> Layer::create(const QString& name)
{
    std::shared_ptr<Layer> layer(new Layer);
    layer->setName(name);
    return layer;
}

Layer::Layer() = default;

Layer::~Layer()
{
    for (const std::shared_ptr<Layer>& sublayer : m_sublayers)
        sublayer->m_superlayer = nullptr;
}

void Layer::addSublayer(const std::shared_ptr<Layer>& layer)
{
    if (!layer || layer.get() == this)
        return;
    // Keeps the layer alive while it moves.
    const std::shared_ptr<Layer> moving = layer;
    moving->removeFromSuperlayer();
    moving->m_superlayer = this;
    m_sublayers.push_back(moving);
    if (LayerClock* layerClock = clock()) {
        moving->startWaitingAnimations(localTime(layerClock->currentMediaTime()));
        layerClock->setNeedsTick();
    }
}

void Layer::startWaitingAnimations(double superlayerTime)
{
    const double time = superlayerTime - m_beginTime;
    for (Attached& entry : m_animations) {
        if (entry.beginsWhenClocked) {
            entry.animation->setBeginTime(time);
            entry.beginsWhenClocked = false;
        }
    }
    for (const std::shared_ptr<Layer>& sublayer : m_sublayers)
        sublayer->startWaitingAnimations(time);
}

void Layer::removeFromSuperlayer()
{
    Layer* superlayer = m_superlayer;
    if (!superlayer)
        return;
    m_superlayer = nullptr;
    auto& siblings = superlayer->m_sublayers;
    siblings.erase(std::remove_if(siblings.begin(), siblings.end(),
                       [this](const std::shared_ptr<Layer>& sibling) { return sibling.get() == this; }),
        siblings.end());
}

void Layer::setBoundsSize(const QSizeF& size)
{
    m_boundsSize = size;
    changed();
}

void Layer::setPosition(const QPointF& position)
{
    m_position = position;
}

void Layer::setAnchorPoint(const QPointF& anchorPoint)
{
    m_anchorPoint = anchorPoint;
}

void Layer::setTransform(const QTransform& transform)
{
    m_transform = transform;
}

QRectF Layer::frame() const
{
    return transformToSuperlayer({m_opacity, m_position, m_transform}).mapRect(QRectF(QPointF(), m_boundsSize));
}

void Layer::setOpacity(double opacity)
{
    m_opacity = opacity;
}

void Layer::setHidden(bool hidden)
{
    m_hidden = hidden;
}

void Layer::setMasksToBounds(bool masks)
{
    m_masksToBounds = masks;
    changed();
}

void Layer::setBackgroundColor(const QColor& colour)
{
    m_backgroundColor = colour;
    changed();
}

void Layer::setBorderColor(const QColor& colour)
{
    m_borderColor = colour;
    changed();
}

void Layer::setBorderWidth(double width)
{
    m_borderWidth = width;
    changed();
}

void Layer::setShadowColor(const QColor& colour)
{
    m_shadowColor = colour;
    changed();
}

void Layer::setShadowOpacity(double opacity)
{
    m_shadowOpacity = opacity;
    changed();
}

void Layer::setShadowRadius(double radius)
{
    m_shadowRadius = radius;
    changed();
}

void Layer::setShadowOffset(const QPointF& offset)
{
    m_shadowOffset = offset;
    changed();
}

void Layer::setContents(const QImage& image)
{
    m_contents = image;
    changed();
}

void Layer::setContentsScale(double scale)
{
    m_contentsScale = scale > 0 ? scale : 1;
    changed();
}

void Layer::setContentsGravity(Gravity gravity)
{
    m_contentsGravity = gravity;
    changed();
}

void Layer::setMagnificationFilter(Filter filter)
{
    m_magnificationFilter = filter;
    changed();
}

void Layer::setMinificationFilter(Filter filter)
{
    m_minificationFilter = filter;
    changed();
}

Layer::Channel Layer::channelOf(const QString& keyPath)
{
    if (keyPath == QLatin1String("opacity"))
        return Channel::opacity;
    if (keyPath == QLatin1String("position"))
        return Channel::position;
    if (keyPath == QLatin1String("position.x"))
        return Channel::positionX;
    if (keyPath == QLatin1String("position.y"))
        return Channel::positionY;
    if (keyPath == QLatin1String("transform.scale") || keyPath == QLatin1String("transform.scale.xy"))
        return Channel::scale;
    return Channel::none;
}

void Layer::addAnimation(const Animation& animation, const QString& key)
{
    std::shared_ptr<Animation> copy = animation.clone();
    bool beginsWhenClocked = false;
    if (copy->beginTime() == 0) {
        if (clock())
            copy->setBeginTime(convertTimeFromRoot());
        else
            beginsWhenClocked = true;
    }
    if (!key.isEmpty())
        removeAnimation(key);
    m_animations.push_back(
        {key, std::move(copy), channelOf(animation.keyPath()), std::make_shared<bool>(false), beginsWhenClocked});
    requestTicks();
}

void Layer::retire(Attached& entry)
{
    if (*entry.reported)
        return;
    if (!entry.animation->delegate()) {
        *entry.reported = true;
        return;
    }
    const LayerClock* layerClock = clock();
    m_retired.push_back(
        {weak_from_this(), entry.animation, entry.reported, layerClock ? layerClock->currentMediaTime() : 0, false});
    requestTicks();
}

void Layer::removeAnimation(const QString& key)
{
    const auto found = std::find_if(
        m_animations.begin(), m_animations.end(), [&key](const Attached& entry) { return entry.key == key; });
    if (found == m_animations.end())
        return;
    retire(*found);
    m_animations.erase(found);
}

void Layer::removeAllAnimations()
{
    for (Attached& entry : m_animations)
        retire(entry);
    m_animations.clear();
}

const Animation* Layer::animationForKey(const QString& key) const
{
    for (const Attached& entry : m_animations) {
        if (!key.isEmpty() && entry.key == key)
            return entry.animation.get();
    }
    return nullptr;
}

QStringList Layer::animationKeys() const
{
    QStringList keys;
    for (const Attached& entry : m_animations) {
        if (!entry.key.isEmpty())
            keys << entry.key;
    }
    return keys;
}

void Layer::setClock(LayerClock* clock)
{
    m_clock = clock;
    if (clock) {
        startWaitingAnimations(clock->currentMediaTime());
        clock->attach(shared_from_this());
    }
}

LayerClock* Layer::clock() const
{
    const Layer* root = this;
    while (root->m_superlayer)
        root = root->m_superlayer;
    return root->m_clock;
}

void Layer::requestTicks() const
{
    if (LayerClock* layerClock = clock())
        layerClock->setNeedsTick();
}

double Layer::localTime(double mediaTime) const
{
    double time = mediaTime;
    for (const Layer* layer = this; layer; layer = layer->m_superlayer)
        time -= layer->m_beginTime;
    return time;
}

double Layer::convertTimeFromRoot() const
{
    const LayerClock* layerClock = clock();
    return localTime(layerClock ? layerClock->currentMediaTime() : 0);
}

LayerPresentation Layer::presentationAt(double localTime) const
{
    LayerPresentation presented {m_opacity, m_position, m_transform};
    double scale = std::hypot(m_transform.m11(), m_transform.m12());
    bool scaled = false;
    for (const Attached& entry : m_animations) {
        if (entry.channel == Channel::none)
            continue;
        // Not yet seen by a clock: shown as at its start.
        const double time = entry.beginsWhenClocked ? entry.animation->beginTime() : localTime;
        switch (entry.channel) {
        case Channel::opacity:
            if (const auto value = entry.animation->valueAt(time, presented.opacity))
                presented.opacity = value->toDouble();
            break;
        case Channel::position:
            if (const auto value = entry.animation->valueAt(time, presented.position))
                presented.position = AnimatedValue::toPoint(*value);
            break;
        case Channel::positionX:
            if (const auto value = entry.animation->valueAt(time, presented.position.x()))
                presented.position.setX(value->toDouble());
            break;
        case Channel::positionY:
            if (const auto value = entry.animation->valueAt(time, presented.position.y()))
                presented.position.setY(value->toDouble());
            break;
        case Channel::scale:
            if (const auto value = entry.animation->valueAt(time, scale)) {
                scale = value->toDouble();
                scaled = true;
            }
            break;
        case Channel::none:
            break;
        }
    }
    if (scaled)
        presented.transform = withScale(m_transform, scale);
    return presented;
}

QTransform Layer::transformToSuperlayer(const LayerPresentation& presentation) const
{
    return QTransform::fromTranslate(
               -m_anchorPoint.x() * m_boundsSize.width(), -m_anchorPoint.y() * m_boundsSize.height())
        * presentation.transform * QTransform::fromTranslate(presentation.position.x(), presentation.position.y());
}

const Layer* Layer::hitTest(const QPointF& point) const
{
    const double mediaTime = [this] {
        const LayerClock* layerClock = clock();
        return layerClock ? layerClock->currentMediaTime() : 0.0;
    }();
    const double superlayerTime = m_superlayer ? m_superlayer->localTime(mediaTime) : mediaTime;
    return hitTest(point, superlayerTime);
}

const Layer* Layer::hitTest(const QPointF& point, double superlayerTime) const
{
    if (m_hidden)
        return nullptr;
    const double time = superlayerTime - m_beginTime;
    bool invertible = false;
    const QTransform toLocal = transformToSuperlayer(presentationAt(time)).inverted(&invertible);
    if (!invertible)
        return nullptr;
    const QPointF local = toLocal.map(point);
    const bool inside = QRectF(QPointF(), m_boundsSize).contains(local);
    if (m_masksToBounds && !inside)
        return nullptr;
    for (auto it = m_sublayers.rbegin(); it != m_sublayers.rend(); ++it) {
        if (const Layer* hit = (*it)->hitTest(local, time))
            return hit;
    }
    return inside ? this : nullptr;
}

QString Layer::kindName() const
{
    return QStringLiteral("Layer");
}

QString Layer::description() const
{
    if (!m_name.isEmpty())
        return m_name;
    const QRectF box = frame();
    return kindName() + QStringLiteral(" (") + number(box.x()) + QStringLiteral(", ") + number(box.y())
        + QStringLiteral(", ") + number(box.width()) + QStringLiteral(", ") + number(box.height()) + QLatin1Char(')');
}

void Layer::drawContent(QPainter&) const { }

QRectF Layer::contentExtent() const
{
    return {};
}

void Layer::collectStops(double superlayerTime, double mediaTime, std::vector<LayerStop>& stops, bool& running)
{
    const double time = superlayerTime - m_beginTime;
    for (Attached& entry : m_animations) {
        if (*entry.reported)
            continue;
        const double end = entry.animation->endTime();
        if (time < end) {
            running = true;
            continue;
        }
        stops.push_back({weak_from_this(), entry.animation, entry.reported, mediaTime - (time - end), true});
    }
    stops.insert(stops.end(), m_retired.begin(), m_retired.end());
    m_retired.clear();
    for (const std::shared_ptr<Layer>& sublayer : m_sublayers)
        sublayer->collectStops(time, mediaTime, stops, running);
}

void Layer::removeFinished(const std::shared_ptr<bool>& reported)
{
    m_animations.erase(std::remove_if(m_animations.begin(), m_animations.end(),
                           [&reported](const Attached& entry) {
                               return entry.reported == reported && entry.animation->isRemovedOnCompletion();
                           }),
        m_animations.end());
}
