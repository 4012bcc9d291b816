#include "Pelorins/welcome/Page1View.h"

#include "Pelorins/welcome/KDPageControl.h"
#include "Pelorins/welcome/Page5View.h"
#include "Pelorins/welcome/WelcomeArtwork.h"
#include "Pelorins/welcome/WelcomeBottomButton.h"
#include "Pelorins/welcome/WelcomeBuilder.h"
#include "Pelorins/welcome/WelcomeDelegate.h"
#include "Pelorins/welcome/WelcomeFonts.h"
#include "Pelorins/welcome/WelcomeIconPaths.h"
#include "Pelorins/welcome/WelcomePaths.h"
#include "Platform/widgets/FocusFrame.h"
#include "Platform/widgets/layers/BasicAnimation.h"
#include "Platform/widgets/layers/Layer.h"
#include "Platform/widgets/layers/ShapeLayer.h"
#include "Platform/widgets/layers/TextLayer.h"

#include <QHash>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <vector>

namespace {

using Fill = Animation::FillMode;

QColor rgba(double red, double green, double blue, double alpha)
{
    return QColor::fromRgbF(float(red), float(green), float(blue), float(alpha));
}

// The first page's colours, made in this order.
struct Colours
{
    QColor sceneGrey = rgba(0.974011, 0.974011, 0.974011, 1);
    QColor backgroundMint = rgba(0.764706, 0.92549, 0.909804, 1);
    QColor clear = rgba(0, 0, 0, 0);
    QColor iconTeal = rgba(0.619608, 0.85098, 0.827451, 1);
    QColor buttonTeal = rgba(0.617688, 0.850128, 0.82745, 1);
    QColor greetingText = rgba(0.25098, 0.482353, 0.462745, 1);
    QColor introText = rgba(0.008206, 0.415099, 0.379292, 1);
    QColor buttonBody = rgba(0.215686, 0.705882, 0.662745, 1);
    QColor white = Qt::white;
    QColor cardShadow = rgba(0, 0, 0, 0.5);
    QColor cardOutline = rgba(0.592, 0.592, 0.592, 1);
    QColor yellowCardFace = rgba(0.993941, 0.819184, 0.276389, 1);
    QColor purpleCardFace = rgba(0.784842, 0.540996, 1, 1);
    QColor tealCardFace = rgba(0.32549, 0.909804, 0.860681, 1);
};

// How an icon part is painted, in both rows.
enum class Paint { outline, squareOutline, solid, button };

// One part of an icon: its frame and outline in the hidden vector row, and its frame and picture
// in the row that shows.
struct IconPart
{
    const char* name;
    Paint paint;
    QSizeF vectorSize;
    QPointF vectorPosition;
    QPainterPath (*outline)();
    QSizeF pictureSize;
    QPointF picturePosition;
    const char* picture;
};

struct Icon
{
    const char* name;
    QSizeF size;
    std::vector<IconPart> parts;
};

const Icon calendar {"Calendar-icon", {141, 120},
    {
        {"Rectangle 6", Paint::outline, {140.241, 119.181}, {0, 0}, WelcomeIconPaths::calendarFrame, {141, 120}, {0, 0},
            "Rectangle-6"},
        {"Line", Paint::squareOutline, {140.241, 7.965}, {0, 25.885}, WelcomeIconPaths::calendarRule, {145, 13},
            {-2, 23}, "Line"},
        {"Rectangle 7", Paint::solid, {10.017, 9.932}, {50.086, 6.348}, WelcomeIconPaths::calendarRing, {11, 11},
            {50, 6}, "Rectangle-7"},
        {"Rectangle 7", Paint::solid, {10.017, 9.932}, {80.137, 6.348}, WelcomeIconPaths::calendarRing, {11, 11},
            {80, 6}, "Rectangle-7-1"},
        {"Rectangle 7", Paint::solid, {20.034, 9.932}, {30.052, 44.88}, WelcomeIconPaths::calendarDay, {21, 11},
            {30, 44}, "Rectangle-7-2"},
        {"Rectangle 7", Paint::solid, {20.034, 9.932}, {60.103, 44.88}, WelcomeIconPaths::calendarDay, {21, 11},
            {60, 44}, "Rectangle-7-3"},
        {"Rectangle 7", Paint::solid, {20.034, 9.932}, {90.155, 44.88}, WelcomeIconPaths::calendarDay, {21, 11},
            {90, 44}, "Rectangle-7-4"},
        {"Rectangle 7", Paint::solid, {20.034, 9.932}, {30.052, 64.744}, WelcomeIconPaths::calendarDay, {21, 11},
            {30, 64}, "Rectangle-7-5"},
        {"Rectangle 7", Paint::solid, {20.034, 9.932}, {60.103, 64.744}, WelcomeIconPaths::calendarDay, {21, 11},
            {60, 64}, "Rectangle-7-6"},
        {"Rectangle 7", Paint::solid, {20.034, 9.932}, {90.155, 64.744}, WelcomeIconPaths::calendarDay, {21, 11},
            {90, 64}, "Rectangle-7-7"},
        {"Rectangle 7", Paint::solid, {20.034, 9.932}, {30.052, 84.607}, WelcomeIconPaths::calendarDay, {21, 11},
            {30, 84}, "Rectangle-7-8"},
        {"Rectangle 7", Paint::solid, {20.034, 9.932}, {59.761, 85.547}, WelcomeIconPaths::calendarDay, {21, 11},
            {59, 85}, "Rectangle-7-9"},
        {"Rectangle 7", Paint::solid, {20.034, 9.932}, {90.155, 84.607}, WelcomeIconPaths::calendarDay, {21, 11},
            {90, 84}, "Rectangle-7-10"},
    }};

const Icon sidebar {"SideBar", {129, 97},
    {
        {"Rectangle 6", Paint::outline, {128.358, 96.269}, {0, 0}, WelcomeIconPaths::sidebarFrame, {129, 97}, {0, 0},
            "Rectangle-6-1"},
        {"Line", Paint::squareOutline, {6.522, 96.269}, {30.979, 0}, WelcomeIconPaths::sidebarDivider, {12, 101},
            {28, -2}, "Line-1"},
        {"Line", Paint::squareOutline, {16.045, 6.522}, {11.153, 14.674}, WelcomeIconPaths::sidebarRow, {21, 12},
            {9, 12}, "Line-2"},
        {"Line", Paint::squareOutline, {16.045, 6.522}, {11.153, 30.979}, WelcomeIconPaths::sidebarRow, {21, 12},
            {9, 28}, "Line-3"},
        {"Line", Paint::squareOutline, {16.045, 6.522}, {11.153, 47.284}, WelcomeIconPaths::sidebarRow, {21, 11},
            {9, 45}, "Line-4"},
    }};

const Icon archive {"ArchivedIconTemplate", {153, 130},
    {
        {"Rectangle 7", Paint::outline, {152.779, 38.195}, {0, 0}, WelcomeIconPaths::archiveLid, {153, 39}, {0, 0},
            "Rectangle-7-11"},
        {"Rectangle 7", Paint::outline, {133.682, 95.487}, {9.549, 34.205}, WelcomeIconPaths::archiveBox, {135, 96},
            {9, 34}, "Rectangle-7-12"},
        {"Rectangle 7", Paint::outline, {57.292, 24.644}, {47.744, 47.744}, WelcomeIconPaths::archiveLabel, {59, 26},
            {47, 47}, "Rectangle-7-13"},
    }};

const Icon plusButton {"Plus-Button-wPadding", {82, 82},
    {
        {"Plus button", Paint::button, {81.245, 81.245}, {0, 0}, WelcomeIconPaths::plusButton, {82, 82}, {0, 0},
            "Plus-button-1"},
    }};

const Icon pencil {"Pencil", {111, 111},
    {
        {"Path 5", Paint::outline, {110.325, 109.992}, {0.286, 0.49}, WelcomeIconPaths::pencilBody, {115, 115},
            {-2, -2}, "Path-5"},
        {"Line", Paint::squareOutline, {31.185, 31.185}, {8.356, 78.522}, WelcomeIconPaths::pencilTip, {29, 29},
            {6, 76}, "Line-5"},
        {"Line", Paint::squareOutline, {85.759, 85.759}, {16.152, 8.356}, WelcomeIconPaths::pencilEdge, {90, 91},
            {14, 6}, "Line-6"},
    }};

const Icon tag {"TagIconTemplate", {91, 50},
    {
        {"Path 10", Paint::outline, {90.234, 49.063}, {0.28, 0.218}, WelcomeIconPaths::tagBody, {95, 54}, {-2, -2},
            "Path-10"},
        {"Oval 4", Paint::solid, {10.938, 10.938}, {16.408, 19.142}, WelcomeIconPaths::tagHole, {12, 12}, {16, 19},
            "Oval-4"},
    }};

const Icon theme {"ThemeIconTemplate", {145, 113},
    {
        {"Oval 4", Paint::solid, {24.055, 24.055}, {16.037, 16.037}, WelcomeIconPaths::themeSun, {25, 25}, {16, 16},
            "Oval-4-1"},
        {"Rectangle 9", Paint::outline, {144.332, 112.258}, {0, 0}, WelcomeIconPaths::themeFrame, {145, 113}, {0, 0},
            "Rectangle-9"},
        {"Path 11", Paint::outline, {136.519, 73.662}, {4.479, 28.888}, WelcomeIconPaths::themeHills, {145, 79},
            {0, 26}, "Path-11"},
    }};

const Icon clock {"Clock-icon", {92, 92},
    {
        {"Oval 5", Paint::outline, {91.512, 91.512}, {0, 0}, WelcomeIconPaths::clockFace, {92, 92}, {0, 0}, "Oval-5"},
        {"Path 13", Paint::outline, {23.725, 33.893}, {45.756, 11.863}, WelcomeIconPaths::clockHands, {29, 39}, {43, 9},
            "Path-13"},
    }};

// An icon of a row: where it stands, and when it fades in (seconds after the build).
struct RowIcon
{
    const Icon& icon;
    QPointF position;
    const char* fadeInKey;
    double fadeIn;
};

// The hidden vector row "Icons", in the order of adding.
const RowIcon vectorRow[] = {
    {calendar, {0, 15.148}, "opacityAnimation1", 1.700},
    {sidebar, {429.987, 7.92}, "opacityAnimation2", 1.559},
    {archive, {46.728, 230.056}, "opacityAnimation3", 1.750},
    {plusButton, {434.73, 274.654}, "opacityAnimation4", 1.609},
    {pencil, {621.73, 233.654}, "opacityAnimation5", 1.750},
    {tag, {262.668, 290.299}, "opacityAnimation6", 1.648},
    {theme, {638.816, 0}, "opacityAnimation7", 1.559},
    {clock, {242.994, 11.917}, "opacityAnimation8", 1.648},
};

// The row of pictures "Icons 2" that shows, in the order of adding.
const RowIcon pictureRow[] = {
    {pencil, {567, 203}, "opacityAnimation9", 1.619258},
    {plusButton, {426, 254}, "opacityAnimation10", 1.575},
    {tag, {348, 280}, "opacityAnimation11", 1.52},
    {archive, {62, 198}, "opacityAnimation12", 1.647539},
    {theme, {587, 5}, "opacityAnimation13", 1.575},
    {sidebar, {402, 18}, "opacityAnimation14", 1.647539},
    {clock, {245.263, 19.263}, "opacityAnimation15", 1.52},
    {calendar, {44, 3}, "opacityAnimation16", 1.709062},
};

// The tag of the row that shows is turned by 136 degrees about its corner.
const QTransform turnedTag(-0.71934, 0.694658, -0.694658, -0.71934, 0, 0);

void paintPart(ShapeLayer& part, Paint paint, const Colours& colours)
{
    const bool solid = paint == Paint::solid || paint == Paint::button;
    part.setFillColor(paint == Paint::button ? colours.buttonTeal : solid ? colours.iconTeal : colours.clear);
    part.setStrokeColor(solid ? colours.clear : colours.iconTeal);
    part.setFillRule(ShapeLayer::FillRule::evenOdd);
    if (paint == Paint::squareOutline)
        part.setLineCap(ShapeLayer::LineCap::square);
    part.setLineWidth(solid ? 0 : 4);
}

// A card of the program's picture: a white body with its outline and shadow, and a coloured face.
std::shared_ptr<Layer> card(const QPointF& position, const QPointF& anchor, const QTransform& transform,
    const QColor& face, const Colours& colours)
{
    auto group = WelcomeBuilder::layer(QStringLiteral("Card"), QSizeF(222, 295.514512), position);
    group->setAnchorPoint(anchor);
    group->setTransform(transform);
    auto body = WelcomeBuilder::shape(QStringLiteral("Rectangle 4"), QSizeF(221.539789, 295.514512), QPointF(0, 0),
        WelcomePaths::roundedRectangle(QSizeF(221.54, 295.515), 15.224));
    body->setFillColor(colours.white);
    body->setStrokeColor(colours.cardOutline);
    body->setLineWidth(0.5);
    body->setShadowOpacity(1);
    body->setShadowRadius(5);
    body->setShadowOffset(QPointF(0, 2));
    body->setShadowColor(colours.cardShadow);
    group->addSublayer(body);
    auto faceLayer = WelcomeBuilder::shape(QStringLiteral("Rectangle 4"), QSizeF(184.615385, 258.575198),
        QPointF(18.461538, 18.469657), WelcomePaths::roundedRectangle(QSizeF(184.615, 258.575), 7.381));
    faceLayer->setFillColor(face);
    faceLayer->setStrokeColor(colours.clear);
    faceLayer->setLineWidth(0);
    group->addSublayer(faceLayer);
    return group;
}

// The done badge: a white disc with a tick cut out of it.
QPainterPath doneBadge()
{
    QPainterPath path = WelcomePaths::ellipse(QSizeF(154.61, 154.678));
    path.addPath(WelcomePaths::polyline({{55.356, 105.272}, {32.696, 82.773}, {25.887, 89.631}, {55.383, 118.916},
                                            {123.737, 50.561}, {116.902, 43.726}},
        true));
    return path;
}

const QString introSentence
    = QStringLiteral("Pelorins makes managing your projects super easy.\n\nLet\u2019s get started!");

} // namespace

Page1View::Page1View(const WelcomeResources& resources, WelcomeDelegate& delegate, QWidget* parent)
    : LayerHostWidget(resources.clock, parent)
    , m_resources(resources)
    , m_delegate(delegate)
{
    // The tour page builds once now, and comes in when the greeting has faded out.
    m_page5 = new Page5View(resources, this);
    m_page5->hide();
    setFixedSize(pageSize);
    buildLayers();
    setupPager();
    setupEulaButton();
    setupKeyboard();
}

void Page1View::setupKeyboard()
{
    // The drawn bottom button's keyboard twin, where the button lies and named as it reads.
    m_bottomButton = new WelcomeBottomButton(this);
    m_bottomButton->setObjectName(QStringLiteral("bottomButton"));
    m_bottomButton->setGeometry(bottomButtonFrame);
    m_bottomButton->setText(m_bottomButtonTextLayer->string());
    connect(m_bottomButton, &QAbstractButton::clicked, this, [this] { mouseClickedPlayAnimationsAction(this); });
    connect(m_pager, &KDPageControl::nextPageRequested, this, [this] { mouseClickedPlayAnimationsAction(this); });
    m_pager->installEventFilter(this);
    m_eulaButton->setAutoDefault(true);
    setTabOrder(m_bottomButton, m_eulaButton);
    setTabOrder(m_eulaButton, m_pager);
    // Return goes on from the first moment.
    m_bottomButton->setFocus();
}

Page1View::~Page1View() = default;

void Page1View::buildLayers()
{
    auto backing = Layer::create();
    setRootLayer(backing);
    m_page5->setAnimationDelegate(this);
    const auto now = [&backing] { return backing->convertTimeFromRoot(); };

    // The catalogue: every picture is drawn before the first frame; a missing one stops the build.
    QHash<QString, QImage> pictures;
    for (const QString& name : WelcomeArtwork::firstPageNames())
        pictures.insert(name, m_resources.artwork.image(name));
    const Colours colours;
    const QFont greetingFont = m_resources.fonts.named(QStringLiteral("Helvetica-Bold"), 36);
    const QFont introFont = m_resources.fonts.named(QStringLiteral("Helvetica"), 24);
    const QFont buttonFont = m_resources.fonts.named(QStringLiteral("Helvetica-Bold"), 18);

    // The frame: the artboard, the clipped scene and the backdrop that slides in.
    auto page = WelcomeBuilder::layer(QStringLiteral("Page 1"), QSizeF(4282, 2026), QPointF(0, 0));
    auto scene = WelcomeBuilder::layer(QStringLiteral("Scene 2"), pageSize, QPointF(0, 0));
    scene->setMasksToBounds(true);
    scene->setBackgroundColor(colours.sceneGrey);
    auto background = WelcomeBuilder::layer(QStringLiteral("Background"), QSizeF(818, 414), QPointF(-16, 93));
    background->addAnimation(*WelcomeBuilder::animation(QStringLiteral("position.x"), -818, -18, now() + 1, Fill::both),
        QStringLiteral("positionXAnimation"));

    // The mint band and the hidden row of vector icons.
    auto backgrounds = WelcomeBuilder::shape(
        QStringLiteral("Backgrounds"), QSizeF(800, 414), QPointF(17, 0), WelcomePaths::rectangle(QSizeF(800, 414)));
    backgrounds->setFillColor(colours.backgroundMint);
    backgrounds->setStrokeColor(colours.clear);
    backgrounds->setLineWidth(0);
    background->addSublayer(backgrounds);

    auto icons = WelcomeBuilder::layer(QStringLiteral("Icons"), QSizeF(783.816, 360.056), QPointF(16.27, 26.346));
    icons->setContentsScale(1);
    icons->setHidden(true);
    icons->setShadowOffset(QPointF(0, 1));
    icons->setFillMode(Fill::forwards);
    auto iconsFadeOut = WelcomeBuilder::animation(QStringLiteral("opacity"), 1, 0, 3, Fill::forwards);
    for (const RowIcon& entry : vectorRow) {
        auto group = WelcomeBuilder::layer(QLatin1String(entry.icon.name), entry.icon.size, entry.position);
        group->addAnimation(
            *WelcomeBuilder::animation(QStringLiteral("opacity"), 0, 1, now() + entry.fadeIn, Fill::both),
            QLatin1String(entry.fadeInKey));
        for (const IconPart& part : entry.icon.parts) {
            auto shape
                = WelcomeBuilder::shape(QLatin1String(part.name), part.vectorSize, part.vectorPosition, part.outline());
            paintPart(*shape, part.paint, colours);
            group->addSublayer(shape);
        }
        icons->addSublayer(group);
    }
    background->addSublayer(icons);

    // The row of pictures that shows.
    auto iconPictures = WelcomeBuilder::layer(QStringLiteral("Icons 2"), QSizeF(785, 361), QPointF(25, 32));
    for (const RowIcon& entry : pictureRow) {
        auto group = WelcomeBuilder::layer(QLatin1String(entry.icon.name), entry.icon.size, entry.position);
        group->setOpacity(0);
        if (&entry.icon == &tag)
            group->setTransform(turnedTag);
        group->addAnimation(
            *WelcomeBuilder::animation(QStringLiteral("opacity"), 0, 1, now() + entry.fadeIn, Fill::forwards),
            QLatin1String(entry.fadeInKey));
        for (const IconPart& part : entry.icon.parts) {
            auto shape = ShapeLayer::create(QLatin1String(part.name));
            shape->setBoundsSize(part.pictureSize);
            shape->setPosition(part.picturePosition);
            shape->setAnchorPoint(QPointF(0, 0));
            shape->setContents(pictures.value(QLatin1String(part.picture)));
            shape->setContentsGravity(Layer::Gravity::center);
            shape->setContentsScale(2);
            paintPart(*shape, part.paint, colours);
            group->addSublayer(shape);
        }
        iconPictures->addSublayer(group);
    }
    background->addSublayer(iconPictures);
    scene->addSublayer(background);

    // The greeting, the intro sentence and the bottom button.
    auto hello = WelcomeBuilder::text(QStringLiteral("Hello!"), QSizeF(101, 43), QPointF(103, 27));
    hello->setContentsGravity(Layer::Gravity::left);
    hello->addAnimation(*WelcomeBuilder::animation(QStringLiteral("opacity"), 0, 1, now() + 1.275859, Fill::both),
        QStringLiteral("opacityAnimation17"));
    hello->setString(QStringLiteral("Hello!"));
    hello->setFontSize(36);
    hello->setForegroundColor(colours.greetingText);
    hello->setFont(greetingFont);
    hello->setAlignment(TextLayer::Alignment::left);
    scene->addSublayer(hello);

    auto intro = WelcomeBuilder::text(QStringLiteral("Pelorins makes mana"), QSizeF(630, 100), QPointF(86, 261));
    auto fadeIn = WelcomeBuilder::animation(QStringLiteral("opacity"), 0, 1, now() + 2, Fill::both);
    WelcomeBuilder::markSceneEnd(*fadeIn, QLatin1String(WelcomeSceneMachine::fadeInName), this);
    intro->addAnimation(*fadeIn, QStringLiteral("fadeInAnimation"));
    auto fadeOut = WelcomeBuilder::animation(QStringLiteral("opacity"), 1, 0, 3, Fill::forwards);
    WelcomeBuilder::markSceneEnd(*fadeOut, QLatin1String(WelcomeSceneMachine::fadeOutName), this);
    intro->setString(introSentence);
    intro->setFontSize(24);
    intro->setForegroundColor(colours.introText);
    intro->setFont(introFont);
    intro->setAlignment(TextLayer::Alignment::center);
    scene->addSublayer(intro);

    auto button
        = WelcomeBuilder::layer(QStringLiteral("Bottom Button"), bottomButtonFrame.size(), bottomButtonFrame.topLeft());
    button->addAnimation(*WelcomeBuilder::animation(QStringLiteral("opacity"), 0, 1, now() + 2.404023, Fill::both),
        QStringLiteral("opacityAnimation18"));
    auto body = WelcomeBuilder::shape(QStringLiteral("Rectangle 2"), QSizeF(185, 46), QPointF(0, 0),
        WelcomePaths::roundedRectangle(QSizeF(185, 46), 8));
    body->setFillColor(colours.buttonBody);
    body->setStrokeColor(colours.clear);
    body->setLineWidth(0);
    button->addSublayer(body);
    auto next = WelcomeBuilder::text(QStringLiteral("Next"), QSizeF(100, 22), QPointF(43, 10));
    next->setContentsGravity(Layer::Gravity::left);
    next->setString(QStringLiteral("Next"));
    next->setFontSize(18);
    next->setForegroundColor(colours.white);
    next->setFont(buttonFont);
    next->setAlignment(TextLayer::Alignment::center);
    m_bottomButtonTextLayer = next;
    button->addSublayer(next);
    scene->addSublayer(button);
    page->addSublayer(scene);

    // The picture of the program: three fanned cards under the done badge, which fades in and
    // flies, shrinking, into the page's corner.
    auto app = WelcomeBuilder::layer(QStringLiteral("MyApp"), QSizeF(354, 350), QPointF(220, 110));
    app->addAnimation(*WelcomeBuilder::animation(QStringLiteral("opacity"), 0, 1, now() + 0.000001, Fill::both),
        QStringLiteral("opacityAnimation19"));
    app->addAnimation(*WelcomeBuilder::animation(
                          QStringLiteral("position"), QPointF(222, 112), QPointF(20, 13), now() + 1.001, Fill::both),
        QStringLiteral("positionAnimation"));
    app->addAnimation(*WelcomeBuilder::animation(QStringLiteral("transform.scale"), 1, 0.2, now() + 1.007, Fill::both),
        QStringLiteral("transformScaleAnimation"));
    app->addSublayer(card(QPointF(208.206706, 315.5987), QPointF(0.5, 1),
        QTransform(0.951057, -0.309017, 0.309017, 0.951057, 0, 0), colours.yellowCardFace, colours));
    app->addSublayer(card(QPointF(145.004749, 315.5987), QPointF(0.5, 1),
        QTransform(0.951057, 0.309017, -0.309017, 0.951057, 0, 0), colours.purpleCardFace, colours));
    app->addSublayer(card(QPointF(63.692308, 35.092348), QPointF(0, 0), QTransform(), colours.tealCardFace, colours));
    auto done = WelcomeBuilder::layer(
        QStringLiteral("Done-icon"), QSizeF(154.615385, 154.683377), QPointF(97.384615, 105.738786));
    auto badge = WelcomeBuilder::shape(
        QStringLiteral("Combined Shape"), QSizeF(154.610094, 154.678085), QPointF(0, 0), doneBadge());
    badge->setFillColor(colours.white);
    badge->setStrokeColor(colours.clear);
    badge->setLineWidth(0);
    done->addSublayer(badge);
    app->addSublayer(done);
    page->addSublayer(app);

    backing->addSublayer(page);
    m_pelorinsMakesManaLayer = intro;
    m_iconsLayer = icons;
    m_opacityAnimation = iconsFadeOut;
    m_fadeOutAnimation = fadeOut;
}

void Page1View::setupPager()
{
    if (!m_pager) {
        m_pager = new KDPageControl(this);
        m_pager->setNumberOfPages(6);
    }
    const qint64 count = m_pager->numberOfPages();
    const qint64 rowWidth = count * 6 + (count - 1) * 4;
    m_pager->setGeometry(int(width() * 0.5 - rowWidth * 0.5), height() - 80, int(rowWidth), 6);
    m_pager->show();
}

void Page1View::setupEulaButton()
{
    delete m_eulaButton;
    m_eulaButton = new QPushButton(QString::fromLatin1(agreementTitle), this);
    m_eulaButton->hide();
    // Centred across the page, its bottom edge 70 points above the page's.
    const QSize size = m_eulaButton->sizeHint();
    m_eulaButton->setGeometry((width() - size.width()) / 2, height() - 70 - size.height(), size.width(), size.height());
}

void Page1View::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !parentWidget() || !rootLayer())
        return;
    const Layer* hit = rootLayer()->hitTest(event->position());
    if (!hit)
        return;
    // The button answers by its layers' names, whatever its caption reads.
    if (hit->name() == QLatin1String("Next") || hit->name() == QLatin1String("Rectangle 2"))
        mouseClickedPlayAnimationsAction(this);
}

void Page1View::mouseClickedPlayAnimationsAction(QObject*)
{
    switch (m_machine.click()) {
    case WelcomeSceneMachine::Step::ignored:
        return;
    case WelcomeSceneMachine::Step::lockOnly:
        break;
    case WelcomeSceneMachine::Step::fadeOutIntro:
        m_fadeOutAnimation->setDelegate(this);
        m_fadeOutAnimation->setBeginTime(m_pelorinsMakesManaLayer->convertTimeFromRoot());
        m_pelorinsMakesManaLayer->addAnimation(*m_fadeOutAnimation, QStringLiteral("fadeOutAnimation"));
        m_opacityAnimation->setBeginTime(m_iconsLayer->convertTimeFromRoot());
        m_iconsLayer->addAnimation(*m_opacityAnimation, QStringLiteral("opacityAnimation"));
        break;
    case WelcomeSceneMachine::Step::act1:
        m_page5->mouseClickedPlayAnimationsAction1(this);
        break;
    case WelcomeSceneMachine::Step::act2:
        m_page5->mouseClickedPlayAnimationsAction2(this);
        break;
    case WelcomeSceneMachine::Step::act3:
        m_page5->mouseClickedPlayAnimationsAction3(this);
        break;
    case WelcomeSceneMachine::Step::closingAct:
        m_page5->mouseClickedPlayAnimationsAction4(this);
        if (m_eulaButton)
            m_eulaButton->show();
        if (m_bottomButtonTextLayer)
            m_bottomButtonTextLayer->setString(QString::fromLatin1(lastCaption));
        if (m_bottomButton)
            m_bottomButton->setText(QString::fromLatin1(lastCaption));
        break;
    case WelcomeSceneMachine::Step::finish:
        finishWelcome();
        break;
    }
    refreshPager();
}

void Page1View::finishWelcome()
{
    m_delegate.showMainWindow(this);
    if (QWidget* welcomeWindow = window())
        welcomeWindow->close();
}

void Page1View::animationDidStop(const Animation& animation, bool)
{
    const QVariant name = animation.value(QStringLiteral("animationName"));
    const QString text = name.typeId() == QMetaType::QString ? name.toString() : QString();
    // The greeting has settled and nothing moves until the first click: the tour's pictures are
    // readied now rather than on its first frame.
    if (text == QLatin1String(WelcomeSceneMachine::fadeInName))
        m_page5->preparePictures();
    if (m_machine.animationDidStop(text) == WelcomeSceneMachine::Stop::bringInTour)
        bringInTour();
    refreshPager();
}

void Page1View::bringInTour()
{
    m_page5->move(m_page5->pos() + QPoint(0, 93));
    m_page5->show();
    m_page5->raise();
    // Built again now that this view hears its scene ends, and timed from this moment.
    m_page5->buildLayers();
    m_page5->mouseClickedPlayAnimationsAction(this);
}

void Page1View::refreshPager()
{
    if (!m_pager)
        return;
    m_pager->setCurrentPage(m_machine.currentScene());
    m_pager->repaint();
}

bool Page1View::eventFilter(QObject* watched, QEvent* event)
{
    // The dots are too small to frame themselves: the page frames them.
    if (watched == m_pager && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        update(pagerFocusFrame());
    return LayerHostWidget::eventFilter(watched, event);
}

QRect Page1View::pagerFocusFrame() const
{
    const int margin = int(FocusFrame::width) + 2;
    return m_pager->geometry().adjusted(-margin, -margin, margin, margin);
}

void Page1View::paintEvent(QPaintEvent* event)
{
    LayerHostWidget::paintEvent(event);
    if (m_pager && m_pager->hasFocus()) {
        QPainter painter(this);
        FocusFrame::paint(painter, pagerFocusFrame(), FocusFrame::buttonRadius);
    }
}
