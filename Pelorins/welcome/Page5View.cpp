#include "Pelorins/welcome/Page5View.h"

#include "Pelorins/welcome/WelcomeArtwork.h"
#include "Pelorins/welcome/WelcomeBuilder.h"
#include "Pelorins/welcome/WelcomeFonts.h"
#include "Pelorins/welcome/WelcomePaths.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/widgets/layers/BasicAnimation.h"
#include "Platform/widgets/layers/KeyframeAnimation.h"
#include "Platform/widgets/layers/Layer.h"
#include "Platform/widgets/layers/ShapeLayer.h"
#include "Platform/widgets/layers/SpringAnimation.h"
#include "Platform/widgets/layers/TextLayer.h"

#include <QHash>
#include <QMouseEvent>

namespace {

using Fields = Page5View::Fields;
using Fill = Animation::FillMode;
using Cap = ShapeLayer::LineCap;

// The acts: each entry adds a kept animation to a kept layer, begun `offset` seconds after the act.
const std::vector<Page5View::ActStep> acts[Page5View::actCount] = {
    {
        {&Fields::windowInPositionYAnimation, &Fields::windowLayer, 0, "windowInPositionYAnimation"},
        {&Fields::windowPositionXAnimation, &Fields::windowLayer, 1, "windowPositionXAnimation"},
        {&Fields::windowTransformScaleInAnimation, &Fields::windowLayer, 1, "windowTransformScaleInAnimation"},
        {&Fields::opacityInAnimation, &Fields::overlaySideBarLayer, 1, "opacityInAnimation"},
        {&Fields::opacityAnimation, &Fields::projectSidebarLayer, 0.1, "opacityAnimation"},
    },
    {
        {&Fields::windowTransformScaleInAnimation1, &Fields::windowLayer, 0, "windowTransformScaleInAnimation1"},
        {&Fields::positionZoomAnimation, &Fields::windowLayer, 0, "positionZoomAnimation"},
        {&Fields::opacityAnimation1, &Fields::projectSidebarLayer, 0, "opacityAnimation1"},
        {&Fields::opacityOutAnimation, &Fields::overlaySideBarLayer, 0, "opacityOutAnimation"},
        {&Fields::transformScaleXyZoomAnimation, &Fields::windowLayer, 1, "transformScaleXyZoomAnimation"},
        {&Fields::opacityAnimation2, &Fields::overlayBGLayer, 1, "opacityAnimation2"},
        {&Fields::cardTextOpacityInAnimation, &Fields::cardsTextLayer, 1.5, "cardTextOpacityInAnimation"},
    },
    {
        {&Fields::cardTextOpacityOutAnimation, &Fields::cardsTextLayer, 0, "cardTextOpacityOutAnimation"},
        {&Fields::mailOpacityInAnimation, &Fields::mailWindowLayer, 0.5, "mailOpacityInAnimation"},
        {&Fields::mailPositionInAnimation, &Fields::mailWindowLayer, 0.5, "mailPositionInAnimation"},
        {&Fields::finderOpacityInAnimation, &Fields::finderWindowLayer, 0.5, "finderOpacityInAnimation"},
        {&Fields::finderPositionInAnimation, &Fields::finderWindowLayer, 0.5, "finderPositionInAnimation"},
        {&Fields::attachTextOpacityInAnimation, &Fields::attachTextLayer, 1, "attachTextOpacityInAnimation"},
        {&Fields::mailIconPositionAnimation, &Fields::imageLayerLayer, 2, "mailIconPositionAnimation"},
        {&Fields::imgIconPositionAnimation, &Fields::autumnColoursSmallLayer, 2, "imgIconPositionAnimation"},
        {&Fields::mailIconOpacityInAnimation, &Fields::imageLayerLayer, 2, "mailIconOpacityInAnimation"},
        {&Fields::imgIconOpacityInAnimation, &Fields::autumnColoursSmallLayer, 2, "imgIconOpacityInAnimation"},
        {&Fields::mailIconOpacityOutAnimation, &Fields::imageLayerLayer, 2.5, "mailIconOpacityOutAnimation"},
        {&Fields::imgIconOpacityOutAnimation, &Fields::autumnColoursSmallLayer, 2.5, "imgIconOpacityOutAnimation"},
    },
    {
        {&Fields::attachTextOpacityOutAnimation, &Fields::attachTextLayer, 0, "attachTextOpacityOutAnimation"},
        {&Fields::mailOpacityOutAnimation, &Fields::mailWindowLayer, 0, "mailOpacityOutAnimation"},
        {&Fields::mailPositionOutAnimation, &Fields::mailWindowLayer, 0, "mailPositionOutAnimation"},
        {&Fields::finderOpacityOutAnimation, &Fields::finderWindowLayer, 0, "finderOpacityOutAnimation"},
        {&Fields::finderPositionOutAnimation, &Fields::finderWindowLayer, 0, "finderPositionOutAnimation"},
        {&Fields::opacityAnimation3, &Fields::overlayBGLayer, 0.5, "opacityAnimation3"},
        {&Fields::transformScaleZoomAnimation, &Fields::windowLayer, 1, "transformScaleZoomAnimation"},
        {&Fields::cursorPositionAnimation, &Fields::cursorLayer, 1.5, "cursorPositionAnimation"},
        {&Fields::transformScaleAnimation, &Fields::doneIconLayer, 2.5, "transformScaleAnimation"},
        {&Fields::cursorOpacityAnimation, &Fields::cursorLayer, 2.5, "cursorOpacityAnimation"},
        {&Fields::tickOpacityAnimation, &Fields::tickLayer, 2.5, "tickOpacityAnimation"},
        {&Fields::fillOpacityAnimation, &Fields::bgFillLayer, 2.5, "fillOpacityAnimation"},
        {&Fields::positionAnimation, &Fields::partyCardLayer, 3.5, "positionAnimation"},
        {&Fields::transformScaleAnimation1, &Fields::doneIconLayer, 3.5, "transformScaleAnimation1"},
        {&Fields::opacityAnimation4, &Fields::overlayDoneLayer, 4, "opacityAnimation4"},
        {&Fields::doneOpacityInAnimation, &Fields::doneTextLayer, 4.5, "doneOpacityInAnimation"},
    },
    {
        {&Fields::doneOpacityOutAnimation, &Fields::doneTextLayer, 0, "doneOpacityOutAnimation"},
        {&Fields::opacityAnimation5, &Fields::overlayDoneLayer, 0.5, "opacityAnimation5"},
        {&Fields::positionOutAnimation, &Fields::windowLayer, 1, "positionOutAnimation"},
        {&Fields::enjoyOpacityInAnimation, &Fields::enjoyPelorinsLayer, 1, "enjoyOpacityInAnimation"},
    },
};

QColor rgba(double red, double green, double blue, double alpha)
{
    return QColor::fromRgbF(float(red), float(green), float(blue), float(alpha));
}

QColor grey(double level)
{
    return rgba(level, level, level, 1);
}

// The tour's colours, made in this order.
struct Colours
{
    QColor transparentWhite = rgba(0.999996, 1, 1, 0);
    QColor pageBorderRose = rgba(0.75, 0.15, 0.389062, 1);
    QColor captionBorderGrey = grey(0.795254);
    QColor black = Qt::black;
    QColor paleTranslucent = rgba(0.960784, 0.956863, 0.960784, 0.7);
    QColor clear = rgba(0, 0, 0, 0);
    QColor inkGrey = rgba(0.290222, 0.290175, 0.290237, 1);
    QColor headerGrey = rgba(0.910821, 0.910821, 0.910821, 0.9);
    QColor ruleGrey = grey(0.592);
    QColor smallPlusGrey = grey(0.592157);
    QColor overlayBlack = rgba(0, 0, 0, 0.696997);
    QColor overlayBorderGrey = rgba(0.370555, 0.370565, 0.37056, 1);
    QColor cardShadowBlack = rgba(0, 0, 0, 0.594118);
    QColor white = Qt::white;
    QColor calendarOutlineGrey = grey(0.47451);
    QColor calendarCellGrey = grey(0.578125);
    QColor calendarRingGrey = grey(0.576471);
    QColor checklistGrey = grey(0.345098);
    QColor paperClipGrey = grey(0.372549);
    QColor checkRingGrey = grey(0.718458);
    QColor midGrey = grey(0.644159);
    QColor darkGrey = grey(0.442124);
    QColor amber = rgba(0.996078, 0.784314, 0.466667, 1);
    QColor doneBlue = rgba(0.288656, 0.564552, 0.886239, 1);
    QColor attachBorderGrey = grey(0.795254);
    QColor captionWhite = rgba(0.999996, 1, 1, 1);
};

// The tour's pictures, asked for in this order; a missing one stops the build at once.
const char* const pictureNames[] = {"bg-screenshot", "Title", "Title-1", "Title-2", "Title-3", "Notes-text-5",
    "Main-header-1", "FontIconGrey", "Notes-text", "Notes-text-1", "Notes-text-2", "Party-Layout", "23MB", "Bitmap-2",
    "Notes-text-3", "Notes-text-4", "Main-header", "Screenshot 2019-10-11 at 16.20.55",
    "Screenshot 2019-10-12 at 11.00.16", "Autumn-Colours_small", "Mail"};

// The paper clip of the card badges: three straight runs and seven curves around two loops.
QPainterPath paperClip()
{
    QPainterPath path;
    path.moveTo(14, 8.988);
    path.lineTo(5, 8.988);
    path.cubicTo(4.448, 8.988, 4, 9.436, 4, 9.99);
    path.cubicTo(4, 10.544, 4.448, 10.992, 5, 10.992);
    path.lineTo(16, 10.992);
    path.cubicTo(17.657, 10.992, 19, 10.1, 19, 9);
    path.cubicTo(19, 7.9, 17.657, 7.007, 16, 7.007);
    path.lineTo(4, 7.007);
    path.cubicTo(2.343, 7.007, 1, 8.343, 1, 10);
    path.cubicTo(1, 11.657, 2.343, 12.993, 4, 12.993);
    path.cubicTo(7.333, 12.993, 10.667, 12.993, 14, 12.993);
    return path;
}

// The arrow pointer: down the left edge, out along the tail, round its end and back to the tip.
QPainterPath cursorArrow()
{
    QPainterPath path;
    path.moveTo(4, 3);
    path.lineTo(4, 15);
    path.lineTo(7, 12);
    path.lineTo(9.5, 17);
    path.lineTo(10.5, 17);
    path.cubicTo(10.6, 16, 9.8, 15, 9.5, 14);
    path.cubicTo(9.2, 13, 8.6, 12, 8.5, 11);
    path.lineTo(12, 11);
    path.lineTo(4, 3);
    path.closeSubpath();
    return path;
}

QPainterPath checkMark(std::initializer_list<QPointF> points)
{
    return WelcomePaths::polyline(points);
}

// The tour's layers, placed by their top-left corner as their Parts give them.
struct Builder
{
    const Colours& colours;
    const QHash<QString, QImage>& pictures;

    static std::shared_ptr<Layer> group(const char* name, const QRectF& frame)
    {
        return WelcomeBuilder::layer(QLatin1String(name), frame.size(), frame.topLeft());
    }

    static std::shared_ptr<ShapeLayer> shape(const char* name, const QRectF& frame, const QPainterPath& path,
        const QColor& fill, const QColor& stroke, double lineWidth, Cap cap = Cap::butt)
    {
        auto layer = WelcomeBuilder::shape(QLatin1String(name), frame.size(), frame.topLeft(), path);
        layer->setFillColor(fill);
        layer->setStrokeColor(stroke);
        layer->setLineWidth(lineWidth);
        layer->setLineCap(cap);
        return layer;
    }

    std::shared_ptr<Layer> picture(const char* name, const QRectF& frame, const char* image,
        Layer::Gravity gravity = Layer::Gravity::left, bool nearest = true) const
    {
        auto layer = group(name, frame);
        layer->setContents(pictures.value(QLatin1String(image)));
        layer->setContentsGravity(gravity);
        if (nearest) {
            layer->setMagnificationFilter(Layer::Filter::nearest);
            layer->setMinificationFilter(Layer::Filter::nearest);
        }
        return layer;
    }

    // A plus in a pale disc; the large buttons of the board and the small one of the headers.
    std::shared_ptr<Layer> plusButton(const char* name, const QRectF& frame, double inset, const QColor& bars) const
    {
        const double diameter = frame.width();
        const double length = diameter - 2 * inset;
        auto button = group(name, frame);
        button->addSublayer(shape("Oval 2", QRectF(0, 0, diameter, diameter), WelcomePaths::circle(diameter),
            colours.paleTranslucent, colours.clear, 0));
        button->addSublayer(shape("Line", QRectF(diameter / 2 - 1, inset, 2, length),
            WelcomePaths::line({2, 1}, {2, length + 1}), colours.clear, bars, 1, Cap::square));
        button->addSublayer(shape("Line", QRectF(inset, diameter / 2 - 1, length, 2),
            WelcomePaths::line({length + 1, 2}, {1, 2}), colours.clear, bars, 1, Cap::square));
        return button;
    }

    std::shared_ptr<Layer> header(
        const QRectF& frame, const char* title, double titleWidth, Layer::Gravity gravity, bool bottomLine) const
    {
        auto header = group("Header 1", frame);
        auto background = shape("Background", QRectF(0, 0, 300, 44), WelcomePaths::rectangle(QSizeF(300, 44)),
            colours.headerGrey, colours.clear, 0);
        background->setFillRule(ShapeLayer::FillRule::nonZero);
        header->addSublayer(background);
        if (bottomLine) {
            auto line = shape("BottomLine", QRectF(0, 43, 300, 2), WelcomePaths::line({1, 2}, {301, 2}), colours.clear,
                colours.ruleGrey, 1, Cap::square);
            line->setFillRule(ShapeLayer::FillRule::nonZero);
            header->addSublayer(line);
        }
        header->addSublayer(picture("Title", QRectF(20, 10, titleWidth, 24), title, gravity));
        return header;
    }

    // The date badge of a card: a frame, its rule, two rings and a grid of days. The second
    // card's badge is a point taller, its rows spread to match.
    std::shared_ptr<Layer> calendarIcon(double height) const
    {
        const double row = height / 12;
        auto icon = group("Calendar-icon", QRectF(255, 8, 14, height));
        icon->addSublayer(shape("Rectangle 6", QRectF(0, 0, 14, height),
            WelcomePaths::roundedRectangle(QSizeF(14, height), 2), colours.clear, colours.calendarOutlineGrey, 1));
        const double ruleY = 2.5 + (row - 1) * 3.5;
        icon->addSublayer(
            shape("Line", QRectF(0, 2 * row, 14, 3 * row), WelcomePaths::line({1.5, ruleY}, {14.5, ruleY}),
                colours.clear, colours.calendarOutlineGrey, 1, Cap::square));
        const auto day = [&](double x, double y) {
            icon->addSublayer(shape("Rectangle 7", QRectF(x, y * row, 2, row), WelcomePaths::rectangle(QSizeF(2, row)),
                colours.calendarCellGrey, colours.clear, 0));
        };
        const auto ring = [&](double x) {
            icon->addSublayer(shape("Rectangle 7", QRectF(x, row, 1, row), WelcomePaths::rectangle(QSizeF(1, row)),
                colours.calendarRingGrey, colours.ruleGrey, 1));
        };
        for (const double x : {3, 6, 9})
            day(x, 5);
        ring(5);
        ring(8);
        for (const double y : {7, 9}) {
            for (const double x : {3, 6, 9})
                day(x, y);
        }
        return icon;
    }

    std::shared_ptr<Layer> checklistBadge(const QPointF& position) const
    {
        auto badge = group("ChecklistGrey", QRectF(position, QSizeF(13, 13)));
        badge->addSublayer(
            shape("Oval", QRectF(0, 0, 13, 13), WelcomePaths::circle(13), colours.clear, colours.checklistGrey, 1));
        badge->addSublayer(shape("Path 4", QRectF(3, 4, 7.35682, 4.806251),
            checkMark({{0, 2.256}, {2.551, 4.806}, {7.357, 0}}), colours.clear, colours.checklistGrey, 1));
        return badge;
    }

    std::shared_ptr<Layer> paperClipBadge(const QPointF& position) const
    {
        auto clip
            = shape("PaperClip-IconGrey", QRectF(0, 0, 18, 6), paperClip(), colours.clear, colours.paperClipGrey, 1);
        clip->setPosition(position);
        clip->setAnchorPoint(QPointF(0.5, 1));
        clip->setTransform(QTransform(-0.707107, 0.707107, -0.707107, -0.707107, 0, 0));
        return clip;
    }

    // A card's body: its pale frame, and the white of its header and notes.
    std::shared_ptr<Layer> cardBody(double height, const QRectF& lower, const QRectF& middle) const
    {
        auto body = group("Rect", QRectF(0, 0, 280, height));
        body->addSublayer(shape("Rectangle", QRectF(0, 0, 280, height),
            WelcomePaths::smoothRoundedRectangle(QSizeF(280, height), 12.819), colours.paleTranslucent, colours.clear,
            0));
        body->addSublayer(shape("Rectangle 2", lower, WelcomePaths::roundedRectangle(lower.size(), 9.996, 10.007),
            colours.white, colours.clear, 0));
        body->addSublayer(
            shape("Rectangle 2", middle, WelcomePaths::rectangle(middle.size()), colours.white, colours.clear, 0));
        return body;
    }

    std::shared_ptr<ShapeLayer> downArrow(const QPointF& position) const
    {
        return shape("DownArrow Copy 4", QRectF(position, QSizeF(12, 8)),
            WelcomePaths::polyline({{6, 0}, {12, 8}, {0, 8}}, true), colours.inkGrey, colours.clear, 0);
    }

    void castCardShadow(Layer& card) const
    {
        card.setShadowOpacity(1);
        card.setShadowRadius(8);
        card.setShadowOffset(QPointF(0, 4));
        card.setShadowColor(colours.cardShadowBlack);
    }
};

std::shared_ptr<BasicAnimation> fade(double from, double to, double begin, double duration = 0.5)
{
    return WelcomeBuilder::animation(QStringLiteral("opacity"), from, to, begin, Fill::forwards, duration);
}

std::shared_ptr<BasicAnimation> change(
    const QString& keyPath, const QVariant& from, const QVariant& to, double begin, double duration = 0.5)
{
    return WelcomeBuilder::animation(keyPath, from, to, begin, Fill::forwards, duration);
}

std::shared_ptr<SpringAnimation> spring(double from, double to, double begin, double duration, float speed)
{
    auto animation = std::make_shared<SpringAnimation>(QStringLiteral("transform.scale"));
    animation->setFromValue(from);
    animation->setToValue(to);
    animation->setBeginTime(begin);
    animation->setDuration(duration);
    animation->setSpeed(double(speed));
    animation->setFillMode(Fill::forwards);
    animation->setRemovedOnCompletion(false);
    animation->setStiffness(200);
    animation->setDamping(10);
    animation->setMass(0.7);
    animation->setInitialVelocity(4);
    return animation;
}

// The settings the three white captions share.
void setUpCaption(
    TextLayer& caption, const QString& text, const QColor& border, const QFont& font, const Colours& colours)
{
    caption.setBorderColor(border);
    caption.setShadowOffset(QPointF(0, 1));
    caption.setOpacity(0);
    caption.setFillMode(Fill::forwards);
    caption.setString(text);
    caption.setFontSize(32);
    caption.setForegroundColor(colours.captionWhite);
    caption.setFont(font);
    caption.setAlignment(TextLayer::Alignment::left);
}

} // namespace

const std::vector<Page5View::ActStep>& Page5View::act(int index)
{
    return acts[index];
}

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
    AnimationDelegate* delegate = m_animationDelegate;
    const auto sceneEnd = [delegate](const std::shared_ptr<BasicAnimation>& animation, const char* scene) {
        WelcomeBuilder::markSceneEnd(*animation, QLatin1String(scene), delegate);
        return animation;
    };

    // The catalogue.
    QHash<QString, QImage> pictures;
    for (const char* name : pictureNames)
        pictures.insert(QLatin1String(name), m_resources.artwork.image(QLatin1String(name)));
    const Colours colours;
    // The caption boxes fit Helvetica's widths; the desktop's sans is often wider, and a caption
    // wrapping onto a further line would run out of its box under the windows beside it.
    const QFont captionFont = m_resources.fonts.named(QStringLiteral("Helvetica-Bold"), 32);
    const QFont closingTitleFont = m_resources.fonts.systemFont(32, QFont::Medium);
    const QFont emojiFont = m_resources.fonts.named(QStringLiteral("AppleColorEmoji"), 32);
    const QFont closingBodyFont = m_resources.fonts.systemFont(18, QFont::Normal);
    const Builder build {colours, pictures};
    Fields f;

    auto page = Builder::group("Page5", QRectF(QPointF(0, 0), pageSize));
    page->setBackgroundColor(colours.transparentWhite);
    page->setBorderColor(colours.pageBorderRose);
    page->setShadowOffset(QPointF(0, 1));
    page->setFillMode(Fill::forwards);
    page->setMasksToBounds(true);

    // The first caption and the closing one.
    auto projectSidebar = WelcomeBuilder::text(QStringLiteral("Project Sidebar"), QSizeF(199, 117), QPointF(30, 107));
    projectSidebar->setBorderColor(colours.captionBorderGrey);
    projectSidebar->setShadowOffset(QPointF(0, 1));
    projectSidebar->setOpacity(0);
    projectSidebar->setBeginTime(now() + 1.495);
    projectSidebar->setFillMode(Fill::forwards);
    f.opacityAnimation = sceneEnd(fade(0, 1, 0.005), "Scene 1");
    f.opacityAnimation1 = fade(1, 0, 1.505);
    projectSidebar->setString(QStringLiteral("Your projects are in the sidebar."));
    projectSidebar->setFontSize(32);
    projectSidebar->setForegroundColor(colours.black);
    projectSidebar->setFont(captionFont);
    projectSidebar->setAlignment(TextLayer::Alignment::left);
    page->addSublayer(projectSidebar);

    auto enjoy = WelcomeBuilder::text(QStringLiteral("Enjoy Pelorins"), QSizeF(440, 75), QPointF(371, 200));
    enjoy->setAnchorPoint(QPointF(0.5, 0.5));
    enjoy->setBorderColor(colours.captionBorderGrey);
    enjoy->setShadowOffset(QPointF(0, 1));
    enjoy->setOpacity(0);
    enjoy->setBeginTime(now() + 12);
    enjoy->setFillMode(Fill::forwards);
    f.enjoyOpacityInAnimation = fade(0, 1, 3.013001);
    const QString title = QStringLiteral("Enjoy Pelorins! ");
    const QString emoji = QStringLiteral("\U0001F973\n");
    const QString body = QStringLiteral("To learn more, look in the help menu or watch video!");
    enjoy->setAttributedString(title + emoji + body,
        {
            {0, int(title.size()), closingTitleFont, colours.black},
            {int(title.size()), int(emoji.size()), emojiFont, colours.black},
            {int(title.size() + emoji.size()), int(body.size()), closingBodyFont, colours.black},
        });
    enjoy->setAlignment(TextLayer::Alignment::center);
    page->addSublayer(enjoy);

    // The program's window, which rises, moves and zooms through the acts.
    auto window = Builder::group("Window", QRectF(-10, 401, 1263, 832));
    window->setTransform(QTransform::fromScale(0.65, 0.65));
    f.windowInPositionYAnimation = change(QStringLiteral("position.y"), 400, -10, 0.000001, 0.7);
    f.windowPositionXAnimation = change(QStringLiteral("position"), QPointF(-10, -10), QPointF(185, 29), 1);
    f.windowTransformScaleInAnimation = change(QStringLiteral("transform.scale"), 0.65, 1, 1);
    f.windowTransformScaleInAnimation1 = change(QStringLiteral("transform.scale"), 1, 0.65, 3);
    f.positionZoomAnimation = change(QStringLiteral("position"), QPointF(185, 29), QPointF(-10, 29), 3);
    f.transformScaleXyZoomAnimation = change(QStringLiteral("transform.scale.xy"), 0.65, 0.75, 4);
    f.transformScaleZoomAnimation = change(QStringLiteral("transform.scale"), 0.75, 0.65, 9.513);
    f.positionOutAnimation
        = sceneEnd(change(QStringLiteral("position"), QPointF(-10, 29), QPointF(-10, 400), 15), "Scene 5");

    window->addSublayer(
        build.picture("Window BG", QRectF(0, 0, 1263, 832), "bg-screenshot", Layer::Gravity::center, false));
    window->addSublayer(build.plusButton("Plus button 2", QRectF(699, 134, 36, 36), 6, colours.inkGrey));
    window->addSublayer(build.plusButton("Plus button 1", QRectF(400, 552, 36, 36), 6, colours.inkGrey));

    auto headers = Builder::group("Headers", QRectF(267, 76, 940, 89));
    headers->addSublayer(build.header(QRectF(640, 44, 300, 45), "Title", 60, Layer::Gravity::left, true));
    headers->addSublayer(build.header(QRectF(640, 0, 300, 44), "Title-1", 115, Layer::Gravity::left, false));
    headers->addSublayer(build.plusButton("Plus button", QRectF(607, 10, 26, 26), 4, colours.smallPlusGrey));
    headers->addSublayer(build.header(QRectF(300, 0, 300, 45), "Title-2", 112, Layer::Gravity::left, true));
    headers->addSublayer(build.header(QRectF(0, 0, 300, 45), "Title-3", 53, Layer::Gravity::center, true));
    window->addSublayer(headers);

    auto overlayBG = Builder::group("Overlay BG", QRectF(54, 39, 1153, 721));
    overlayBG->setContentsScale(1);
    overlayBG->setOpacity(0);
    overlayBG->setBackgroundColor(colours.overlayBlack);
    overlayBG->setBorderWidth(1);
    overlayBG->setBorderColor(colours.overlayBorderGrey);
    overlayBG->setShadowOffset(QPointF(0, 1));
    overlayBG->setBeginTime(now() + 4);
    overlayBG->setFillMode(Fill::forwards);
    f.opacityAnimation2 = fade(0, 1, 0.000001);
    f.opacityAnimation3 = fade(1, 0, 5.513);
    window->addSublayer(overlayBG);

    // The first card, which stays bright above the dimmed board.
    auto randomCard = Builder::group("Random Card", QRectF(278, 404, 280, 123));
    build.castCardShadow(*randomCard);
    randomCard->addSublayer(build.cardBody(123, QRectF(0, 61, 280, 62), QRectF(0, 28, 280, 62)));
    randomCard->addSublayer(build.downArrow(QPointF(11, 102)));
    randomCard->addSublayer(build.picture("Notes text", QRectF(10, 57, 260, 28), "Notes-text-5"));
    randomCard->addSublayer(build.picture("Main header", QRectF(10, 33, 251, 20), "Main-header-1"));
    randomCard->addSublayer(build.calendarIcon(12));
    randomCard->addSublayer(build.checklistBadge(QPointF(225, 101)));
    randomCard->addSublayer(
        build.picture("FontIconGrey", QRectF(195, 97, 21, 20), "FontIconGrey", Layer::Gravity::center));
    randomCard->addSublayer(build.paperClipBadge(QPointF(258, 109)));
    auto checkButton = Builder::group("CheckButton", QRectF(10, 6, 17, 17));
    checkButton->addSublayer(Builder::shape(
        "Oval 2", QRectF(0, 0, 17, 17), WelcomePaths::circle(17), colours.clear, colours.checkRingGrey, 1));
    randomCard->addSublayer(checkButton);
    window->addSublayer(randomCard);

    // The second card, whose done box springs and which then travels to the done column.
    auto partyCard = Builder::group("Party Card", QRectF(278, 134, 280, 241));
    build.castCardShadow(*partyCard);
    auto cardMove = std::make_shared<KeyframeAnimation>(QStringLiteral("position"));
    cardMove->setValues({QPointF(278, 134), QPointF(660, 25), QPointF(919, 180)});
    cardMove->setCalculationMode(KeyframeAnimation::CalculationMode::cubic);
    cardMove->setTensionValues({0, 0, 0});
    cardMove->setContinuityValues({0, 0, 0});
    cardMove->setBiasValues({0, 0, 0});
    cardMove->setBeginTime(12.516852);
    cardMove->setDuration(0.5);
    cardMove->setFillMode(Fill::forwards);
    cardMove->setRemovedOnCompletion(false);
    f.positionAnimation = cardMove;
    partyCard->addSublayer(build.cardBody(241, QRectF(0, 205, 280, 36), QRectF(0, 28, 280, 189)));
    partyCard->addSublayer(build.downArrow(QPointF(11, 220)));
    partyCard->addSublayer(build.picture("Notes text", QRectF(11, 199, 260, 14), "Notes-text"));

    auto checklist = Builder::group("CheckList", QRectF(10, 84, 158, 39));
    const auto listItem = [&](const QRectF& frame, const QColor& ringFill, const QColor& ringStroke, double ringWidth,
                              const QColor& tick, bool tickHidden, double textWidth, const char* text) {
        auto item = Builder::group("List item", frame);
        item->addSublayer(
            Builder::shape("Oval", QRectF(0, 0, 18, 18), WelcomePaths::circle(18), ringFill, ringStroke, ringWidth));
        auto mark = Builder::shape("Path 2", QRectF(3.977982, 6.037018, 10.957822, 8.006709),
            checkMark({{0, 4.714}, {3.187, 8.007}, {10.958, 0}}), colours.clear, tick, 2);
        mark->setHidden(tickHidden);
        item->addSublayer(mark);
        item->addSublayer(build.picture("Notes text", QRectF(23, 3, textWidth, 14), text));
        return item;
    };
    checklist->addSublayer(listItem(
        QRectF(0, 21, 154, 18), colours.clear, colours.midGrey, 1, colours.darkGrey, true, 131, "Notes-text-1"));
    checklist->addSublayer(
        listItem(QRectF(0, 0, 158, 18), colours.amber, colours.clear, 0, colours.white, false, 135, "Notes-text-2"));
    partyCard->addSublayer(checklist);

    auto link = Builder::group("Link Copy", QRectF(10, 151, 260, 40));
    link->addSublayer(Builder::shape("Rectangle 4", QRectF(0, 0, 260, 40),
        WelcomePaths::roundedRectangle(QSizeF(260, 40), 4), colours.clear, colours.ruleGrey, 1));
    link->addSublayer(build.picture("Party Layout", QRectF(41, 6, 189, 14), "Party-Layout"));
    link->addSublayer(build.picture("23MB", QRectF(41, 21, 169, 12), "23MB"));
    link->addSublayer(build.picture("Bitmap", QRectF(5, 5, 32, 32), "Bitmap-2", Layer::Gravity::center, false));
    partyCard->addSublayer(link);

    partyCard->addSublayer(build.picture("Notes text", QRectF(10, 60, 260, 14), "Notes-text-3"));
    partyCard->addSublayer(build.picture("Notes text", QRectF(9, 131, 260, 14), "Notes-text-4"));
    partyCard->addSublayer(build.picture("Main header", QRectF(10, 33, 251, 20), "Main-header"));
    partyCard->addSublayer(build.calendarIcon(13));
    partyCard->addSublayer(build.checklistBadge(QPointF(225, 219)));
    partyCard->addSublayer(
        build.picture("FontIconGrey", QRectF(195, 215, 21, 20), "FontIconGrey", Layer::Gravity::center));

    auto doneIcon = Builder::group("Done icon", QRectF(16.5, 14.5, 17, 17));
    doneIcon->setAnchorPoint(QPointF(0.5, 0.5));
    f.transformScaleAnimation = spring(1, 3, 11, 1.508768, 1.282976f);
    f.transformScaleAnimation1 = spring(3, 1, 11.828193, 0.414096, 0.914096f);
    auto bgFill
        = Builder::shape("bg fill", QRectF(0, 0, 17, 17), WelcomePaths::circle(17), colours.doneBlue, colours.clear, 0);
    bgFill->setOpacity(0);
    bgFill->setBackgroundColor(colours.clear);
    bgFill->setBeginTime(now() + 0.01);
    f.fillOpacityAnimation = fade(0, 1, 11, 0.1);
    doneIcon->addSublayer(bgFill);
    doneIcon->addSublayer(Builder::shape(
        "oultline", QRectF(0, 0, 17, 17), WelcomePaths::circle(17), colours.clear, colours.checkRingGrey, 1));
    auto tick = Builder::shape(
        "tick", QRectF(3, 5, 11, 8), checkMark({{0, 5}, {3, 8}, {11, 0}}), colours.clear, colours.white, 2);
    tick->setOpacity(0);
    tick->setBeginTime(now() + 0.01);
    f.tickOpacityAnimation = fade(0, 1, 11, 0.1);
    doneIcon->addSublayer(tick);
    partyCard->addSublayer(doneIcon);
    partyCard->addSublayer(build.paperClipBadge(QPointF(258, 227)));
    window->addSublayer(partyCard);

    // The veils: over all but the sidebar, and over all but the done column.
    const auto veil = [&](const char* name, const QRectF& frame, double borderWidth) {
        auto layer = Builder::group(name, frame);
        layer->setContentsScale(1);
        layer->setBackgroundColor(colours.overlayBlack);
        layer->setBorderWidth(borderWidth);
        layer->setBorderColor(colours.overlayBorderGrey);
        layer->setOpacity(0);
        layer->setShadowOffset(QPointF(0, 1));
        layer->setFillMode(Fill::forwards);
        return layer;
    };
    auto overlaySideBar = veil("Overlay SideBar", QRectF(266, 38, 939, 721), 1);
    f.opacityInAnimation = fade(0, 1, 1);
    auto sidebarVeilOut = fade(1, 0, 3);
    sidebarVeilOut->setByValue(0.5);
    f.opacityOutAnimation = sidebarVeilOut;
    window->addSublayer(overlaySideBar);
    auto overlayDone = veil("Overlay Done", QRectF(56, 76, 813, 682), 0);
    f.opacityAnimation4 = fade(0, 1, 13);
    f.opacityAnimation5 = fade(1, 0, 15);
    window->addSublayer(overlayDone);
    page->addSublayer(window);

    // The attachments scene: two windows slide in, and an e-mail and a picture fly out of them.
    const auto screenshot = [&](const char* name, const QRectF& frame, const char* image, double begin) {
        auto layer = build.picture(name, frame, image, Layer::Gravity::resizeAspect, false);
        layer->setOpacity(0);
        layer->setShadowOffset(QPointF(0, 1));
        layer->setTransform(QTransform::fromScale(0.9, 0.9));
        layer->setBeginTime(now() + begin);
        layer->setFillMode(Fill::forwards);
        return layer;
    };
    auto finder = screenshot("Finder Window", QRectF(-105, 289, 673, 457), "Screenshot 2019-10-11 at 16.20.55", 6.0);
    f.finderOpacityInAnimation = fade(0, 1, -0.000002);
    f.finderPositionInAnimation = change(QStringLiteral("position"), QPointF(-125, 269), QPointF(-105, 239), 0.000001);
    f.finderOpacityOutAnimation = fade(1, 0, 3.0);
    f.finderPositionOutAnimation = change(QStringLiteral("position"), QPointF(-105, 239), QPointF(-125, 269), 3.0);
    page->addSublayer(finder);

    auto mail = screenshot("Mail Window", QRectF(-242, -390, 1060, 782), "Screenshot 2019-10-12 at 11.00.16", 5.999998);
    f.mailOpacityInAnimation = fade(0, 1, -0.000002);
    f.mailPositionInAnimation = change(QStringLiteral("position"), QPointF(463, -30), QPointF(443, -30), 0.000001);
    f.mailOpacityOutAnimation = fade(1, 0, 3.0);
    f.mailPositionOutAnimation = change(QStringLiteral("position"), QPointF(443, -30), QPointF(463, -30), 3.0);
    page->addSublayer(mail);

    auto autumn = build.picture(
        "Autumn-Colours_small", QRectF(135, 414, 49, 33), "Autumn-Colours_small", Layer::Gravity::resizeAspect, false);
    autumn->setContentsScale(1);
    autumn->setOpacity(0);
    autumn->setShadowOffset(QPointF(0, 1));
    autumn->setBeginTime(now() + 7.5);
    autumn->setFillMode(Fill::forwards);
    f.imgIconOpacityInAnimation = fade(0, 1, now() - 0.000003, 0.1);
    autumn->addAnimation(*f.imgIconOpacityInAnimation, QStringLiteral("imgIconOpacityInAnimation"));
    f.imgIconPositionAnimation = change(QStringLiteral("position"), QPointF(135, 364), QPointF(205, 241), 0.000001);
    f.imgIconOpacityOutAnimation = fade(1, 0, 0.500001);
    page->addSublayer(autumn);

    auto mailIcon = build.picture("Image Layer", QRectF(520, 397, 32, 24), "Mail", Layer::Gravity::resizeAspect, false);
    mailIcon->setOpacity(0);
    mailIcon->setShadowOffset(QPointF(0, 1));
    mailIcon->setBeginTime(now() + 7.500001);
    mailIcon->setFillMode(Fill::forwards);
    f.mailIconOpacityInAnimation = fade(0, 1, 0.006499, 0.1);
    f.mailIconPositionAnimation = change(QStringLiteral("position"), QPointF(520, 377), QPointF(214, 246), -0.000001);
    f.mailIconOpacityOutAnimation = fade(1, 0, 0.500001);
    page->addSublayer(mailIcon);

    auto attachText = WelcomeBuilder::text(QStringLiteral("Attach text"), QSizeF(134, 128), QPointF(47, 131));
    attachText->setBeginTime(now() + 6.500001);
    f.attachTextOpacityInAnimation = sceneEnd(fade(0, 1, 0.0), "Scene 3");
    f.attachTextOpacityOutAnimation = fade(1, 0, 2.499999);
    setUpCaption(
        *attachText, QStringLiteral("Attach files and emails"), colours.attachBorderGrey, captionFont, colours);
    page->addSublayer(attachText);

    auto cursor = ShapeLayer::create(QStringLiteral("Cursor"));
    cursor->setBoundsSize(QSizeF(6, 11));
    cursor->setPosition(QPointF(780, 421));
    cursor->setAnchorPoint(QPointF(0.49, 0.18));
    cursor->setContentsGravity(Layer::Gravity::center);
    cursor->setContentsScale(2);
    cursor->setShadowOpacity(1);
    cursor->setShadowOffset(QPointF(0, 1));
    cursor->setTransform(QTransform(2.999293, 0.065135, -0.065135, 2.999293, 0, 0));
    f.cursorPositionAnimation = change(QStringLiteral("position"), QPointF(780, 420), QPointF(179, 126), 10.013);
    f.cursorOpacityAnimation = fade(1, 0, 11.023);
    cursor->setPath(cursorArrow());
    cursor->setStrokeColor(colours.white);
    cursor->setFillRule(ShapeLayer::FillRule::evenOdd);
    cursor->setLineWidth(1);
    page->addSublayer(cursor);

    auto cardsText = WelcomeBuilder::text(QStringLiteral("Cards text"), QSizeF(247, 123), QPointF(415, 130));
    cardsText->setShadowOpacity(1);
    cardsText->setBeginTime(now() + 0.01);
    f.cardTextOpacityInAnimation = sceneEnd(fade(0, 1, 4.5), "Scene 2");
    f.cardTextOpacityOutAnimation = fade(1, 0, 5.489998);
    setUpCaption(*cardsText, QStringLiteral("Cards contain the tasks you need to work on."), colours.captionBorderGrey,
        captionFont, colours);
    page->addSublayer(cardsText);

    auto doneText = WelcomeBuilder::text(QStringLiteral("Done text"), QSizeF(247, 123), QPointF(163, 145));
    f.doneOpacityInAnimation = sceneEnd(fade(0, 1, 13.5), "Scene 4");
    f.doneOpacityOutAnimation = fade(1, 0, 14.5);
    setUpCaption(*doneText, QStringLiteral("Done cards are moved to the done column.    "), colours.captionBorderGrey,
        captionFont, colours);
    page->addSublayer(doneText);

    backing->addSublayer(page);

    f.windowLayer = window;
    f.overlaySideBarLayer = overlaySideBar;
    f.projectSidebarLayer = projectSidebar;
    f.overlayBGLayer = overlayBG;
    f.cardsTextLayer = cardsText;
    f.mailWindowLayer = mail;
    f.finderWindowLayer = finder;
    f.attachTextLayer = attachText;
    f.imageLayerLayer = mailIcon;
    f.autumnColoursSmallLayer = autumn;
    f.cursorLayer = cursor;
    f.doneIconLayer = doneIcon;
    f.tickLayer = tick;
    f.bgFillLayer = bgFill;
    f.partyCardLayer = partyCard;
    f.overlayDoneLayer = overlayDone;
    f.doneTextLayer = doneText;
    f.enjoyPelorinsLayer = enjoy;
    m_fields = std::move(f);
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
