#include "Pelorins/welcome/Page5View.h"

#include "Pelorins/welcome/WelcomeBuilder.h"
#include "Pelorins/welcome/WelcomeFonts.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/widgets/layers/BasicAnimation.h"
#include "Platform/widgets/layers/Layer.h"
#include "Platform/widgets/layers/TextLayer.h"

#include <QMouseEvent>
#include <vector>

namespace {

using Fields = Page5View::Fields;
using Fill = Animation::FillMode;

// One entry of an act: the kept animation, the layer it goes on, and how long after the act
// it begins. It is added under the field's name.
struct ActStep
{
    std::shared_ptr<Animation> Fields::*animation;
    std::shared_ptr<Layer> Fields::*target;
    double offset;
    const char* key;
};

const std::vector<ActStep> acts[] = {
    {
        {&Fields::opacityAnimation, &Fields::projectSidebarLayer, 0.1, "opacityAnimation"},
    },
    {
        {&Fields::cardTextOpacityInAnimation, &Fields::cardsTextLayer, 1.5, "cardTextOpacityInAnimation"},
    },
    {
        {&Fields::attachTextOpacityInAnimation, &Fields::attachTextLayer, 1, "attachTextOpacityInAnimation"},
    },
    {
        {&Fields::doneOpacityInAnimation, &Fields::doneTextLayer, 4.5, "doneOpacityInAnimation"},
    },
    {
        {&Fields::positionOutAnimation, &Fields::windowLayer, 1, "positionOutAnimation"},
    },
};

QColor rgba(double red, double green, double blue, double alpha)
{
    return QColor::fromRgbF(float(red), float(green), float(blue), float(alpha));
}

} // namespace

Page5View::Page5View(const WelcomeResources& resources, QWidget* parent)
    : LayerHostWidget(resources.clock, parent)
    , m_resources(resources)
{
    setFixedSize(pageSize);
    buildLayers();
}

Page5View::~Page5View() = default;

void Page5View::buildLayers()
{
    auto backing = Layer::create();
    setRootLayer(backing);
    const auto now = [&backing] { return backing->convertTimeFromRoot(); };

    const QColor transparentWhite = rgba(0.999996, 1, 1, 0);
    const QColor pageBorderRose = rgba(0.75, 0.15, 0.389062, 1);
    const QColor captionBorderGrey = rgba(0.795254, 0.795254, 0.795254, 1);
    const QColor black = Qt::black;
    const QColor attachBorderGrey = rgba(0.795254, 0.795254, 0.795254, 1);
    const QColor captionWhite = rgba(0.999996, 1, 1, 1);
    const QFont captionFont = m_resources.fonts.systemFont(32, QFont::Bold);

    auto page = WelcomeBuilder::layer(QStringLiteral("Page5"), pageSize, QPointF(0, 0));
    page->setBackgroundColor(transparentWhite);
    page->setBorderColor(pageBorderRose);
    page->setShadowOffset(QPointF(0, 1));
    page->setFillMode(Fill::forwards);
    page->setMasksToBounds(true);

    auto projectSidebar = WelcomeBuilder::text(QStringLiteral("Project Sidebar"), QSizeF(199, 117), QPointF(30, 107));
    projectSidebar->setBorderColor(captionBorderGrey);
    projectSidebar->setShadowOffset(QPointF(0, 1));
    projectSidebar->setOpacity(0);
    projectSidebar->setBeginTime(now() + 1.495);
    projectSidebar->setFillMode(Fill::forwards);
    auto opacityAnimation = WelcomeBuilder::animation(QStringLiteral("opacity"), 0, 1, 0.005, Fill::forwards);
    WelcomeBuilder::markSceneEnd(*opacityAnimation, QStringLiteral("Scene 1"), m_animationDelegate);
    projectSidebar->setString(QStringLiteral("Your projects are in the sidebar."));
    projectSidebar->setFontSize(32);
    projectSidebar->setForegroundColor(black);
    projectSidebar->setFont(captionFont);
    projectSidebar->setAlignment(TextLayer::Alignment::left);
    page->addSublayer(projectSidebar);

    auto window = WelcomeBuilder::layer(QStringLiteral("Window"), QSizeF(1263, 832), QPointF(-10, 401));
    window->setTransform(QTransform::fromScale(0.65, 0.65));
    auto positionOutAnimation = WelcomeBuilder::animation(
        QStringLiteral("position"), QPointF(-10, 29), QPointF(-10, 400), 15, Fill::forwards);
    WelcomeBuilder::markSceneEnd(*positionOutAnimation, QStringLiteral("Scene 5"), m_animationDelegate);
    page->addSublayer(window);

    // The captions of the later acts.
    const auto caption = [&](const QString& name, const QSizeF& size, const QPointF& position, const QString& text,
                             const QColor& border) {
        auto layer = WelcomeBuilder::text(name, size, position);
        layer->setBorderColor(border);
        layer->setShadowOffset(QPointF(0, 1));
        layer->setOpacity(0);
        layer->setFillMode(Fill::forwards);
        layer->setString(text);
        layer->setFontSize(32);
        layer->setForegroundColor(captionWhite);
        layer->setFont(captionFont);
        layer->setAlignment(TextLayer::Alignment::left);
        return layer;
    };
    auto attachText = caption(QStringLiteral("Attach text"), QSizeF(134, 128), QPointF(47, 131),
        QStringLiteral("Attach files and emails"), attachBorderGrey);
    attachText->setBeginTime(now() + 6.500001);
    auto attachTextOpacityInAnimation = WelcomeBuilder::animation(QStringLiteral("opacity"), 0, 1, 0.0, Fill::forwards);
    WelcomeBuilder::markSceneEnd(*attachTextOpacityInAnimation, QStringLiteral("Scene 3"), m_animationDelegate);
    page->addSublayer(attachText);

    auto cardsText = caption(QStringLiteral("Cards text"), QSizeF(247, 123), QPointF(415, 130),
        QStringLiteral("Cards contain the tasks you need to work on."), captionBorderGrey);
    cardsText->setShadowOpacity(1);
    cardsText->setBeginTime(now() + 0.01);
    auto cardTextOpacityInAnimation = WelcomeBuilder::animation(QStringLiteral("opacity"), 0, 1, 4.5, Fill::forwards);
    WelcomeBuilder::markSceneEnd(*cardTextOpacityInAnimation, QStringLiteral("Scene 2"), m_animationDelegate);
    page->addSublayer(cardsText);

    auto doneText = caption(QStringLiteral("Done text"), QSizeF(247, 123), QPointF(163, 145),
        QStringLiteral("Done cards are moved to the done column.    "), captionBorderGrey);
    auto doneOpacityInAnimation = WelcomeBuilder::animation(QStringLiteral("opacity"), 0, 1, 13.5, Fill::forwards);
    WelcomeBuilder::markSceneEnd(*doneOpacityInAnimation, QStringLiteral("Scene 4"), m_animationDelegate);
    page->addSublayer(doneText);

    backing->addSublayer(page);

    m_fields = Fields {
        .windowLayer = window,
        .projectSidebarLayer = projectSidebar,
        .cardsTextLayer = cardsText,
        .attachTextLayer = attachText,
        .doneTextLayer = doneText,
        .opacityAnimation = opacityAnimation,
        .positionOutAnimation = positionOutAnimation,
        .attachTextOpacityInAnimation = attachTextOpacityInAnimation,
        .cardTextOpacityInAnimation = cardTextOpacityInAnimation,
        .doneOpacityInAnimation = doneOpacityInAnimation,
    };
}

void Page5View::playAct(int act)
{
    for (const ActStep& step : acts[act]) {
        const std::shared_ptr<Layer>& target = m_fields.*step.target;
        const std::shared_ptr<Animation>& animation = m_fields.*step.animation;
        if (!target || !animation)
            continue;
        animation->setBeginTime(target->convertTimeFromRoot() + step.offset);
        target->addAnimation(*animation, QLatin1String(step.key));
    }
}

void Page5View::mouseClickedPlayAnimationsAction(QObject*)
{
    playAct(0);
}

void Page5View::mouseClickedPlayAnimationsAction1(QObject*)
{
    playAct(1);
}

void Page5View::mouseClickedPlayAnimationsAction2(QObject*)
{
    playAct(2);
}

void Page5View::mouseClickedPlayAnimationsAction3(QObject*)
{
    playAct(3);
}

void Page5View::mouseClickedPlayAnimationsAction4(QObject*)
{
    playAct(4);
}

void Page5View::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !parentWidget() || !rootLayer())
        return;
    if (const Layer* hit = rootLayer()->hitTest(event->position()))
        ConsoleLog::write(QStringLiteral("Layer ") + hit->description() + QStringLiteral(" was clicked."));
}
