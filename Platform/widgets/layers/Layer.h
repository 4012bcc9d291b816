#pragma once

#include "Platform/widgets/layers/Animation.h"

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QTransform>
#include <memory>
#include <vector>

class Layer;
class LayerClock;
class QPainter;

// What a layer shows at one moment: its model values with its animations applied.
struct LayerPresentation
{
    double opacity = 1;
    QPointF position;
    QTransform transform;
};

// A stop that has come due, for the clock to deliver.
struct LayerStop
{
    std::weak_ptr<Layer> layer;
    std::shared_ptr<const Animation> animation;
    std::shared_ptr<bool> reported;
    double mediaTime = 0;
    bool finished = false;
};

// A retained drawing: a tree of layers, each with a model state and attached animations that
// change what it presents over time. Coordinates grow rightwards and downwards; a layer's bounds
// start at (0, 0), and its anchor point (in fractions of its size) sits at its position in the
// superlayer, the transform turning and scaling about it. Later sublayers draw above earlier ones.
//
// Layers are shared: a tree owns its sublayers, and others may keep a layer as well.
class Layer : public std::enable_shared_from_this<Layer>
{
public:
    enum class Gravity { resize, center, left, resizeAspect };
    enum class Filter { linear, nearest };

    static std::shared_ptr<Layer> create(const QString& name = {});
    virtual ~Layer();
    Layer(const Layer&) = delete;
    Layer& operator=(const Layer&) = delete;

    // The tree
    Layer* superlayer() const { return m_superlayer; }
    const std::vector<std::shared_ptr<Layer>>& sublayers() const { return m_sublayers; }
    // Appends `layer`, taking it from its earlier superlayer.
    void addSublayer(const std::shared_ptr<Layer>& layer);
    void removeFromSuperlayer();

    // Geometry
    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    QSizeF boundsSize() const { return m_boundsSize; }
    void setBoundsSize(const QSizeF& size);
    QPointF position() const { return m_position; }
    void setPosition(const QPointF& position);
    QPointF anchorPoint() const { return m_anchorPoint; }
    void setAnchorPoint(const QPointF& anchorPoint);
    QTransform transform() const { return m_transform; }
    void setTransform(const QTransform& transform);
    // The model frame in the superlayer.
    QRectF frame() const;

    // Look
    double opacity() const { return m_opacity; }
    void setOpacity(double opacity);
    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden);
    bool masksToBounds() const { return m_masksToBounds; }
    void setMasksToBounds(bool masks);
    QColor backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor& colour);
    QColor borderColor() const { return m_borderColor; }
    void setBorderColor(const QColor& colour);
    double borderWidth() const { return m_borderWidth; }
    void setBorderWidth(double width);
    QColor shadowColor() const { return m_shadowColor; }
    void setShadowColor(const QColor& colour);
    double shadowOpacity() const { return m_shadowOpacity; }
    void setShadowOpacity(double opacity);
    double shadowRadius() const { return m_shadowRadius; }
    void setShadowRadius(double radius);
    QPointF shadowOffset() const { return m_shadowOffset; }
    void setShadowOffset(const QPointF& offset);
    bool castsShadow() const { return m_shadowOpacity > 0 && m_shadowColor.alpha() > 0; }

    // Contents: a picture drawn by gravity; its size in points is its pixels over the scale.
    QImage contents() const { return m_contents; }
    void setContents(const QImage& image);
    double contentsScale() const { return m_contentsScale; }
    void setContentsScale(double scale);
    Gravity contentsGravity() const { return m_contentsGravity; }
    void setContentsGravity(Gravity gravity);
    Filter magnificationFilter() const { return m_magnificationFilter; }
    void setMagnificationFilter(Filter filter);
    Filter minificationFilter() const { return m_minificationFilter; }
    void setMinificationFilter(Filter filter);

    // The layer's own timing: its time runs behind its superlayer's by its begin time.
    double beginTime() const { return m_beginTime; }
    void setBeginTime(double beginTime) { m_beginTime = beginTime; }
    Animation::FillMode fillMode() const { return m_fillMode; }
    void setFillMode(Animation::FillMode fillMode) { m_fillMode = fillMode; }

    // Animations. A copy is attached; one under a key already in use replaces the earlier one,
    // which stops unfinished, and goes last. One begun at 0 begins when added (outside a clocked
    // tree, when the layer joins one).
    void addAnimation(const Animation& animation, const QString& key);
    void removeAnimation(const QString& key);
    void removeAllAnimations();
    const Animation* animationForKey(const QString& key) const;
    QStringList animationKeys() const;

    // Time. A root layer is given the clock its tree runs on.
    void setClock(LayerClock* clock);
    LayerClock* clock() const;
    // This layer's time at `mediaTime` on the clock.
    double localTime(double mediaTime) const;
    // The clock's current time in this layer's time space; 0 outside a clocked tree.
    double convertTimeFromRoot() const;

    // The presented state at this layer's time `localTime`.
    LayerPresentation presentationAt(double localTime) const;
    // Maps this layer's coordinates into its superlayer's, as presented.
    QTransform transformToSuperlayer(const LayerPresentation& presentation) const;
    // The deepest visible layer at `point` (in the superlayer's coordinates), by bounds, in the
    // presented tree at the clock's time; null when none.
    const Layer* hitTest(const QPointF& point) const;
    const Layer* hitTest(const QPointF& point, double superlayerTime) const;

    // Changes with every change of what the layer draws itself.
    quint64 revision() const { return m_revision; }
    // The name, or for a layer without one its kind and frame.
    QString description() const;

    // Draws what the layer's kind adds after its background and contents, in its own coordinates.
    virtual void drawContent(QPainter& painter) const;
    // The area drawContent may cover, in the layer's coordinates.
    virtual QRectF contentExtent() const;

    // Adds the stops due by `mediaTime` in this tree; `running` becomes true while an attached
    // animation has yet to end.
    void collectStops(double superlayerTime, double mediaTime, std::vector<LayerStop>& stops, bool& running);
    // After a delivered finished stop: an animation removed on completion goes.
    void removeFinished(const std::shared_ptr<bool>& reported);

protected:
    Layer();
    virtual QString kindName() const;
    void changed() { ++m_revision; }

private:
    struct Attached;
    enum class Channel { none, opacity, position, positionX, positionY, scale };
    static Channel channelOf(const QString& keyPath);
    void retire(Attached& entry);
    // Begins the animations added at 0 outside a clocked tree, now that it has a clock.
    void startWaitingAnimations(double superlayerTime);
    void requestTicks() const;

    QString m_name;
    Layer* m_superlayer = nullptr;
    std::vector<std::shared_ptr<Layer>> m_sublayers;
    LayerClock* m_clock = nullptr;

    QSizeF m_boundsSize;
    QPointF m_position;
    QPointF m_anchorPoint {0.5, 0.5};
    QTransform m_transform;
    double m_opacity = 1;
    bool m_hidden = false;
    bool m_masksToBounds = false;
    QColor m_backgroundColor;
    QColor m_borderColor = Qt::black;
    double m_borderWidth = 0;
    QColor m_shadowColor = Qt::black;
    double m_shadowOpacity = 0;
    double m_shadowRadius = 3;
    QPointF m_shadowOffset {0, 3};
    QImage m_contents;
    double m_contentsScale = 1;
    Gravity m_contentsGravity = Gravity::resize;
    Filter m_magnificationFilter = Filter::linear;
    Filter m_minificationFilter = Filter::linear;
    double m_beginTime = 0;
    Animation::FillMode m_fillMode = Animation::FillMode::removed;

    struct Attached
    {
        QString key;
        std::shared_ptr<Animation> animation;
        Channel channel;
        std::shared_ptr<bool> reported;
        // Begun at 0 outside a clocked tree: begins when the tree gets its clock.
        bool beginsWhenClocked;
    };
    std::vector<Attached> m_animations;
    // Replaced or removed animations whose unfinished stop is still to be delivered.
    std::vector<LayerStop> m_retired;
    quint64 m_revision = 0;
};
