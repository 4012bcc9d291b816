#include "Pelorins/welcome/AnimatedWelcomeViewController.h"
#include "Pelorins/welcome/KDPageControl.h"
#include "Pelorins/welcome/Page1View.h"
#include "Pelorins/welcome/Page5View.h"
#include "Platform/widgets/layers/TextLayer.h"
#include "WelcomeFixture.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QTest>
#include <QTextStream>
#include <gtest/gtest.h>
#include <vector>

static void initResources()
{
    Q_INIT_RESOURCE(PelorinsResources);
}

namespace {

// A moment worth a look: seconds after the step named by `phase` began (the build, the first
// click, or the act), and what the frame should show.
struct Frame
{
    const char* phase;
    double after;
    const char* label;
    const char* shows;
};

// The steps of a run in which every click comes as soon as its scene is reached: the build, the
// intro's fade-out, then acts 0 to 4 (each act starts when the step before ends).
const char* const phases[] = {"greeting", "fadeout", "act0", "act1", "act2", "act3", "act4", "end"};

const Frame frames[] = {
    {"greeting", 0.25, "app-picture-fading-in",
        "The program's picture, three fanned cards under a white done badge, fades in over the grey page."},
    {"greeting", 1.25, "backdrop-sliding",
        "The mint backdrop slides in from the left, halfway; the picture flies to the top left, shrinking."},
    {"greeting", 1.86, "icons-rising",
        "The backdrop rests; the eight teal icons rise, half shown; \"Hello!\" fades in beside the small picture."},
    {"greeting", 2.25, "intro-fading-in", "The intro sentence fades in across the middle of the backdrop."},
    {"fadeout", 0, "scene0", "Scene 0: greeting, icons, intro sentence; the first dot is marked; Next fades in."},
    {"fadeout", 0.25, "intro-fading-out", "After the first click the intro sentence fades out; the icons stay."},
    {"act0", 0.35, "window-rising", "The drawn window rises from the bottom edge at 0.65 scale over the icons."},
    {"act0", 0.6, "scene1",
        "Scene 1: the window stands at the top, the caption \"Your projects are in the sidebar.\" on the left, "
        "the board dimmed beside the sidebar; the second dot is marked."},
    {"act1", 0.25, "window-shrinking-left", "The sidebar caption and veil fade out; the window slides to the left."},
    {"act1", 1.25, "window-zooming", "The window zooms to 0.75; the board darkens behind the two cards."},
    {"act1", 2, "scene2",
        "Scene 2: the board dark but for the two cards; \"Cards contain the tasks you need to work on.\" on the "
        "right."},
    {"act2", 0.75, "windows-sliding-in",
        "The cards caption has gone; a file-manager window slides in at the bottom left and a mail window at the top "
        "right."},
    {"act2", 1.5, "scene3", "Scene 3: both windows in place and \"Attach files and emails\" on the left."},
    {"act3", 0.25, "windows-leaving", "The attachments caption and both windows slide away and fade."},
    {"act2", 2.25, "icons-flying",
        "The e-mail icon and the landscape picture fly into the drawn window towards the first card."},
    {"act3", 1.25, "window-zooming-out", "The veil over the board lifts; the window zooms back out to 0.65."},
    {"act3", 1.75, "cursor-moving",
        "The arrow pointer travels from the bottom right towards the second card's done box."},
    {"act3", 2.55, "done-box-filling", "The done box starts to spring up and turns blue with its white tick."},
    {"act3", 2.85, "done-box-at-peak",
        "The done box at its largest, about 3.5 times its size, blue with a white tick."},
    {"act3", 3.75, "card-travelling",
        "The second card travels along a curve up and to the right, towards the done column."},
    {"act3", 4.25, "done-veil", "The card rests in the done column; a veil darkens everything else."},
    {"act3", 5, "scene4",
        "Scene 4: \"Done cards are moved to the done column.\" over the veil; the card undimmed on the right."},
    {"act4", 1.25, "window-dropping",
        "The done caption and veil have gone; the window drops out of the page while the closing caption fades in."},
    {"act4", 1.5, "scene5",
        "Scene 5: \"Enjoy Pelorins! \" with the party emoji and the help line centred; the button reads \"Let's go!\" "
        "and the agreement button shows above the dots."},
};

QString frameName(int index, const Frame& frame)
{
    return QStringLiteral("%1-%2-%3s-%4.png")
        .arg(index + 1, 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(frame.phase))
        .arg(frame.after, 0, 'f', 3)
        .arg(QLatin1String(frame.label));
}

// The welcome's page at device pixel ratio 2, as the window shows it.
QImage grab(QWidget& page)
{
    QImage image(page.size() * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::white);
    page.render(&image);
    return image;
}

} // namespace

TEST(WelcomeRun, EndToEnd)
{
    initResources();
    WelcomeFixture fixture;
    fixture.delegate->showWelcomeScreen(nullptr);
    Page1View* page1 = fixture.welcome()->contentViewController()->page1();
    const double built = fixture.clock.currentMediaTime();
    const QString framesFolder = qEnvironmentVariable("WELCOME_FRAMES_DIR");
    QStringList index;
    if (!framesFolder.isEmpty()) {
        ASSERT_TRUE(QDir().mkpath(framesFolder));
    }

    const auto click = [page1] { QTest::mouseClick(page1, Qt::LeftButton, {}, QPoint(400, 561)); };
    // The moment each step began, once it has.
    std::vector<double> phaseStart {built};
    std::vector<bool> written(std::size(frames), false);
    std::vector<double> sceneReached;
    double ignoredClickDue = -1;
    const double step = 0.001;

    while (sceneReached.size() < 6) {
        ASSERT_LT(fixture.clock.currentMediaTime() - built, 30) << "the run stalled in scene " << page1->currentScene();
        fixture.clock.advanceBy(step);
        const double now = fixture.clock.currentMediaTime();

        for (std::size_t i = 0; i < std::size(frames); ++i) {
            const auto phase = std::find_if(std::begin(phases), std::end(phases),
                [&](const char* name) { return QLatin1String(name) == QLatin1String(frames[i].phase); });
            const auto started = std::size_t(phase - std::begin(phases));
            if (written[i] || started >= phaseStart.size() || now + step / 2 < phaseStart[started] + frames[i].after)
                continue;
            written[i] = true;
            if (framesFolder.isEmpty())
                continue;
            const QString name = frameName(int(i), frames[i]);
            ASSERT_TRUE(grab(*page1).save(QDir(framesFolder).filePath(name)));
            index << name + QStringLiteral(": ") + QLatin1String(frames[i].shows);
        }

        // One click inside each step is ignored.
        if (ignoredClickDue > 0 && now >= ignoredClickDue) {
            ignoredClickDue = -1;
            const qint64 scene = page1->currentScene();
            click();
            EXPECT_EQ(page1->currentScene(), scene);
            EXPECT_TRUE(page1->isAnimationInProgress());
            EXPECT_EQ(page1->pager()->currentPage(), scene);
        }

        if (page1->isAnimationInProgress() || qint64(sceneReached.size()) != page1->currentScene())
            continue;
        sceneReached.push_back(now - built);
        EXPECT_EQ(page1->pager()->currentPage(), page1->currentScene());
        EXPECT_EQ(page1->eulaButton()->isVisible(), sceneReached.size() == 6);
        if (sceneReached.size() == 6)
            break;
        click();
        EXPECT_TRUE(page1->isAnimationInProgress());
        phaseStart.push_back(now);
        ignoredClickDue = now + 0.2;
        // The intro's fade-out hands over to act 0 when it ends.
        if (sceneReached.size() == 1)
            phaseStart.push_back(now + 0.5);
    }

    ASSERT_EQ(sceneReached.size(), 6u);
    const double expected[] = {2.5, 3.6, 5.6, 7.1, 12.1, 13.6};
    for (std::size_t scene = 0; scene < 6; ++scene)
        EXPECT_NEAR(sceneReached[scene], expected[scene], 0.01) << "scene " << scene;
    EXPECT_EQ(page1->bottomButtonTextLayer()->string(), QStringLiteral("Let's go!"));
    EXPECT_TRUE(page1->eulaButton()->isVisibleTo(page1));
    EXPECT_EQ(std::count(written.begin(), written.end(), true), qsizetype(std::size(frames)));

    if (!framesFolder.isEmpty()) {
        QFile file(QDir(framesFolder).filePath(QStringLiteral("index.txt")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text));
        QTextStream(&file) << index.join(QLatin1Char('\n')) << '\n';
    }

    EXPECT_TRUE(fixture.log.isEmpty());
    click();
    EXPECT_EQ(fixture.log, (QStringList {"main window made", "welcome closed"}));
}
