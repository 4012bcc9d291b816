#include "Pelorins/welcome/AnimatedWelcomeViewController.h"
#include "Pelorins/welcome/Page1View.h"
#include "Platform/widgets/layers/TextLayer.h"
#include "WelcomeFixture.h"

#include <QImage>
#include <QTest>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

static void initResources()
{
    Q_INIT_RESOURCE(PelorinsResources);
}

namespace {

// The first page as the welcome window builds it, on the fixture's manual clock.
struct FirstPage
{
    FirstPage()
    {
        initResources();
        fixture.delegate->showWelcomeScreen(nullptr);
        page1 = fixture.welcome()->contentViewController()->page1();
        built = fixture.clock.currentMediaTime();
    }

    void at(double seconds) { fixture.clock.advanceTo(built + seconds); }

    // The first layer of that name, depth first.
    const Layer* layer(const QString& name) const
    {
        std::function<const Layer*(const Layer&)> find = [&](const Layer& from) -> const Layer* {
            if (from.name() == name)
                return &from;
            for (const auto& sublayer : from.sublayers()) {
                if (const Layer* found = find(*sublayer))
                    return found;
            }
            return nullptr;
        };
        return find(*page1->rootLayer());
    }

    LayerPresentation presented(const Layer& layer) const
    {
        return layer.presentationAt(layer.localTime(fixture.clock.currentMediaTime()));
    }

    QImage frame() const
    {
        QImage image(page1->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        page1->render(&image);
        return image;
    }

    WelcomeFixture fixture;
    Page1View* page1 = nullptr;
    double built = 0;
};

QStringList names(const Layer& layer)
{
    QStringList result;
    for (const auto& sublayer : layer.sublayers())
        result << sublayer->name();
    return result;
}

int countBelow(const Layer& layer)
{
    int count = 0;
    for (const auto& sublayer : layer.sublayers())
        count += 1 + countBelow(*sublayer);
    return count;
}

void tally(const Layer& layer, int& named, int& animations)
{
    named += layer.name().isEmpty() ? 0 : 1;
    animations += int(layer.animationKeys().size());
    for (const auto& sublayer : layer.sublayers())
        tally(*sublayer, named, animations);
}

bool near(QRgb pixel, const QColor& colour, int tolerance = 6)
{
    return std::abs(qRed(pixel) - colour.red()) <= tolerance && std::abs(qGreen(pixel) - colour.green()) <= tolerance
        && std::abs(qBlue(pixel) - colour.blue()) <= tolerance;
}

int countNear(const QImage& image, const QRect& area, const QColor& colour, int tolerance = 6)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            count += near(image.pixel(x, y), colour, tolerance) ? 1 : 0;
    }
    return count;
}

const QColor mint(195, 236, 232);
const QColor iconTeal(158, 217, 211);

} // namespace

TEST(FirstPageBuild, TheTreeHoldsTheFrameTheRowsTheGreetingAndTheProgramsPicture)
{
    FirstPage page;
    const Layer* artboard = page.layer(QStringLiteral("Page 1"));
    ASSERT_NE(artboard, nullptr);
    EXPECT_EQ(names(*artboard), (QStringList {"Scene 2", "MyApp"}));
    EXPECT_EQ(names(*page.layer(QStringLiteral("Scene 2"))),
        (QStringList {"Background", "Hello!", "Pelorins makes mana", "Bottom Button"}));
    const Layer* background = page.layer(QStringLiteral("Background"));
    EXPECT_EQ(names(*background), (QStringList {"Backgrounds", "Icons", "Icons 2"}));
    EXPECT_EQ(countBelow(*background->sublayers()[1]), 40);
    EXPECT_EQ(countBelow(*background->sublayers()[2]), 40);

    int named = 0;
    int animations = 0;
    tally(*page.page1->rootLayer(), named, animations);
    EXPECT_EQ(named, 103);
    // With the intro's and the hidden row's fade-outs, which wait in fields for the first click.
    EXPECT_EQ(animations + 2, 25);

    const Layer& vectorRow = *background->sublayers()[1];
    EXPECT_TRUE(vectorRow.isHidden());
    for (const auto& group : vectorRow.sublayers())
        EXPECT_EQ(group->opacity(), 1) << group->name().toStdString();
    const Layer& pictureRow = *background->sublayers()[2];
    EXPECT_EQ(names(pictureRow),
        (QStringList {"Pencil", "Plus-Button-wPadding", "TagIconTemplate", "ArchivedIconTemplate", "ThemeIconTemplate",
            "SideBar", "Clock-icon", "Calendar-icon"}));
    for (const auto& group : pictureRow.sublayers())
        EXPECT_EQ(group->opacity(), 0) << group->name().toStdString();
    // The calendar's odd day square, out of line with its row.
    const Layer& calendar = *vectorRow.sublayers()[0];
    EXPECT_EQ(calendar.name(), QStringLiteral("Calendar-icon"));
    EXPECT_EQ(calendar.sublayers()[11]->position(), QPointF(59.761, 85.547));
    EXPECT_EQ(calendar.sublayers()[10]->position(), QPointF(30.052, 84.607));

    const auto* intro = dynamic_cast<const TextLayer*>(page.layer(QStringLiteral("Pelorins makes mana")));
    ASSERT_NE(intro, nullptr);
    EXPECT_EQ(intro->string(),
        QStringLiteral("Pelorins makes managing your projects super easy.\n\nLet\u2019s get started!"));
}

TEST(FirstPageTimeline, EachLayerPresentsItsValueAtItsMoment)
{
    enum class Property { x, opacity, scale };
    struct Moment
    {
        double seconds;
        const char* layer;
        Property property;
        double value;
    };
    const Moment moments[] = {
        {0, "MyApp", Property::opacity, 0},
        {0.9, "Background", Property::x, -818},
        {1.125, "Background", Property::x, -714.67},
        {1.25, "Background", Property::x, -418},
        {1.2758, "Hello!", Property::opacity, 0},
        {1.5, "Background", Property::x, -18},
        {1.507, "MyApp", Property::scale, 0.2},
        {1.507, "MyApp", Property::x, 20},
        {1.519, "Pencil", Property::opacity, 0},
        {1.519, "Clock-icon", Property::opacity, 0},
        {2.209, "Calendar-icon", Property::opacity, 1},
        {2.209, "TagIconTemplate", Property::opacity, 1},
        {2.404, "Bottom Button", Property::opacity, 0},
        {2.904, "Bottom Button", Property::opacity, 1},
        {30, "Background", Property::x, -18},
    };
    FirstPage page;
    // The icons of the row that shows; the hidden row has groups of the same names.
    const Layer& pictureRow = *page.layer(QStringLiteral("Icons 2"));
    const auto find = [&](const char* name) -> const Layer* {
        for (const auto& group : pictureRow.sublayers()) {
            if (group->name() == QLatin1String(name))
                return group.get();
        }
        return page.layer(QLatin1String(name));
    };
    for (const Moment& moment : moments) {
        page.at(moment.seconds);
        const Layer* layer = find(moment.layer);
        ASSERT_NE(layer, nullptr) << moment.layer;
        const LayerPresentation presented = page.presented(*layer);
        const double value = moment.property == Property::x ? presented.position.x()
            : moment.property == Property::opacity          ? presented.opacity
                                                   : std::hypot(presented.transform.m11(), presented.transform.m12());
        EXPECT_NEAR(value, moment.value, 0.01) << moment.layer << " at " << moment.seconds;
    }
    const LayerPresentation app = page.presented(*page.layer(QStringLiteral("MyApp")));
    EXPECT_EQ(app.position, QPointF(20, 13));
}

TEST(FirstPageTimeline, TheIntroEndsTheGreetingAtTwoAndAHalfAndTheFirstClickLeavesTheIconsAlone)
{
    FirstPage page;
    page.at(2.499);
    EXPECT_EQ(page.page1->currentScene(), -1);
    page.at(2.5);
    EXPECT_EQ(page.page1->currentScene(), 0);

    page.at(4);
    QTest::mouseClick(page.page1, Qt::LeftButton, {}, QPoint(400, 561));
    page.at(5);
    for (const auto& group : page.layer(QStringLiteral("Icons 2"))->sublayers())
        EXPECT_EQ(page.presented(*group).opacity, 1) << group->name().toStdString();
    EXPECT_EQ(page.presented(*page.layer(QStringLiteral("Pelorins makes mana"))).opacity, 0);
}

TEST(FirstPageTimeline, FramesShowTheSceneBackdropButtonAndPictureInTheirColours)
{
    FirstPage page;
    page.at(0.5);
    EXPECT_TRUE(near(page.frame().pixel(10, 10), QColor(248, 248, 248)));

    // Just before the icons rise, the band shows nothing but mint.
    page.at(1.515);
    QImage frame = page.frame();
    const QRect band(0, 100, 798, 150);
    EXPECT_EQ(countNear(frame, band, mint), band.width() * band.height());
    EXPECT_TRUE(near(frame.pixel(30, 480), mint));

    page.at(1.6);
    frame = page.frame();
    // The program's picture in the corner: its teal card face.
    EXPECT_GT(countNear(frame, QRect(20, 13, 70, 70), QColor(83, 232, 219), 10), 100);

    page.at(2.905);
    frame = page.frame();
    EXPECT_TRUE(near(frame.pixel(320, 550), QColor(55, 180, 169)));
    // The tag stands turned about its corner, to the left of where an upright tag would be.
    EXPECT_GT(countNear(frame, QRect(255, 369, 100, 99), iconTeal, 12), 200);
    EXPECT_LT(countNear(frame, QRect(367, 415, 60, 35), iconTeal, 12), 5);
}
