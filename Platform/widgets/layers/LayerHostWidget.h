#pragma once

#include "Platform/widgets/layers/LayerRenderer.h"

#include <QWidget>
#include <memory>

class Layer;
class LayerClock;

// A widget that shows a layer tree, its root ("backing") layer filling the widget. It paints the
// tree as presented at the clock's time, at the widget's device pixel ratio, whenever the clock
// ticks. Stops due by now are delivered before it handles any mouse event.
class LayerHostWidget : public QWidget
{
    Q_OBJECT
public:
    explicit LayerHostWidget(LayerClock& clock, QWidget* parent = nullptr);
    ~LayerHostWidget() override;

    LayerClock& clock() const { return m_clock; }
    const std::shared_ptr<Layer>& rootLayer() const { return m_rootLayer; }
    // Replaces the whole tree: the earlier root and all below it leave the clock.
    void setRootLayer(const std::shared_ptr<Layer>& root);

    // Draws the tree as it stands now, placed at the painter's origin.
    void renderLayers(QPainter& painter);
    // Readies the tree's pictures for this widget's screen before they are first shown.
    void preparePictures();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    LayerClock& m_clock;
    std::shared_ptr<Layer> m_rootLayer;
    LayerRenderer m_renderer;
};
