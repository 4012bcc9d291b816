#pragma once

#include "Platform/widgets/layers/Animation.h"

#include <QPainterPath>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QVariant>
#include <memory>

class BasicAnimation;
class Layer;
class ShapeLayer;
class TextLayer;

// The building blocks of the welcome pages, made the way every layer and animation of the pages
// starts: a layer placed by its top-left corner (anchor (0, 0)), its picture centred at two
// pixels a point; an animation eased in and out and kept after its end.
class WelcomeBuilder
{
public:
    static std::shared_ptr<Layer> layer(const QString& name, const QSizeF& size, const QPointF& position);
    static std::shared_ptr<ShapeLayer> shape(
        const QString& name, const QSizeF& size, const QPointF& position, const QPainterPath& path);
    static std::shared_ptr<TextLayer> text(const QString& name, const QSizeF& size, const QPointF& position);

    // An animation of `keyPath` from `from` to `to` over 0.5 s unless told otherwise.
    static std::shared_ptr<BasicAnimation> animation(const QString& keyPath, const QVariant& from, const QVariant& to,
        double beginTime, Animation::FillMode fillMode, double duration = 0.5);
    // Marks an animation whose stop ends a step: its name under "animationName" and its delegate.
    static void markSceneEnd(Animation& animation, const QString& name, AnimationDelegate* delegate);
};
