#include "Pelorins/welcome/Page1View.h"

#include "Pelorins/shell/AppDelegate.h"
#include "Pelorins/welcome/KDPageControl.h"
#include "Pelorins/welcome/Page5View.h"
#include "Pelorins/welcome/WelcomeArtwork.h"
#include "Pelorins/welcome/WelcomeBuilder.h"
#include "Pelorins/welcome/WelcomeFonts.h"
#include "Pelorins/welcome/WelcomePaths.h"
#include "Platform/widgets/layers/BasicAnimation.h"
#include "Platform/widgets/layers/Layer.h"
#include "Platform/widgets/layers/ShapeLayer.h"
#include "Platform/widgets/layers/TextLayer.h"

#include <QMouseEvent>
#include <QPushButton>

namespace {

using Fill = Animation::FillMode;

QColor rgba(double red, double green, double blue, double alpha)
{
    return QColor::fromRgbF(float(red), float(green), float(blue), float(alpha));
}

const QString introSentence
    = QStringLiteral("Pelorins makes managing your projects super easy.\n\nLet\u2019s get started!");

} // namespace

Page1View::Page1View(const WelcomeResources& resources, AppDelegate& appDelegate, QWidget* parent)
    : LayerHostWidget(resources.clock, parent)
    , m_resources(resources)
    , m_appDelegate(appDelegate)
{
    // The tour page builds once now, and comes in when the greeting has faded out.
    m_page5 = new Page5View(resources, this);
    m_page5->hide();
    setFixedSize(pageSize);
    buildLayers();
    setupPager();
    setupEulaButton();
}

Page1View::~Page1View() = default;

void Page1View::buildLayers()
{
    auto backing = Layer::create();
    setRootLayer(backing);
    m_page5->setAnimationDelegate(this);
    const auto now = [&backing] { return backing->convertTimeFromRoot(); };

    // Every picture is drawn before the first frame; a missing one stops the build here.
    for (const QString& name : WelcomeArtwork::firstPageNames())
        m_resources.artwork.image(name);

    const QColor sceneGrey = rgba(0.974011, 0.974011, 0.974011, 1);
    const QColor clear = rgba(0, 0, 0, 0);
    const QColor introText = rgba(0.008206, 0.415099, 0.379292, 1);
    const QColor buttonBody = rgba(0.215686, 0.705882, 0.662745, 1);
    const QColor white = Qt::white;
    const QFont introFont = m_resources.fonts.named(QStringLiteral("Helvetica"), 24);
    const QFont buttonFont = m_resources.fonts.named(QStringLiteral("Helvetica-Bold"), 18);

    auto page = WelcomeBuilder::layer(QStringLiteral("Page 1"), QSizeF(4282, 2026), QPointF(0, 0));
    auto scene = WelcomeBuilder::layer(QStringLiteral("Scene 2"), pageSize, QPointF(0, 0));
    scene->setMasksToBounds(true);
    scene->setBackgroundColor(sceneGrey);

    auto icons = WelcomeBuilder::layer(QStringLiteral("Icons"), QSizeF(783.816, 360.056), QPointF(16.27, 26.346));
    icons->setContentsScale(1);
    icons->setHidden(true);
    icons->setShadowOffset(QPointF(0, 1));
    icons->setFillMode(Fill::forwards);
    auto iconsFadeOut = WelcomeBuilder::animation(QStringLiteral("opacity"), 1, 0, 3, Fill::forwards);
    scene->addSublayer(icons);

    auto intro = WelcomeBuilder::text(QStringLiteral("Pelorins makes mana"), QSizeF(630, 100), QPointF(86, 261));
    auto fadeIn = WelcomeBuilder::animation(QStringLiteral("opacity"), 0, 1, now() + 2, Fill::both);
    WelcomeBuilder::markSceneEnd(*fadeIn, QLatin1String(WelcomeSceneMachine::fadeInName), this);
    intro->addAnimation(*fadeIn, QStringLiteral("fadeInAnimation"));
    auto fadeOut = WelcomeBuilder::animation(QStringLiteral("opacity"), 1, 0, 3, Fill::forwards);
    WelcomeBuilder::markSceneEnd(*fadeOut, QLatin1String(WelcomeSceneMachine::fadeOutName), this);
    intro->setString(introSentence);
    intro->setFontSize(24);
    intro->setForegroundColor(introText);
    intro->setFont(introFont);
    intro->setAlignment(TextLayer::Alignment::center);
    scene->addSublayer(intro);

    auto button = WelcomeBuilder::layer(QStringLiteral("Bottom Button"), QSizeF(185, 46), QPointF(308, 538));
    button->addAnimation(*WelcomeBuilder::animation(QStringLiteral("opacity"), 0, 1, now() + 2.404023, Fill::both),
        QStringLiteral("opacityAnimation18"));
    auto body = WelcomeBuilder::shape(QStringLiteral("Rectangle 2"), QSizeF(185, 46), QPointF(0, 0),
        WelcomePaths::roundedRectangle(QSizeF(185, 46), 8));
    body->setFillColor(buttonBody);
    body->setStrokeColor(clear);
    body->setLineWidth(0);
    button->addSublayer(body);
    auto next = WelcomeBuilder::text(QStringLiteral("Next"), QSizeF(100, 22), QPointF(43, 10));
    next->setContentsGravity(Layer::Gravity::left);
    next->setString(QStringLiteral("Next"));
    next->setFontSize(18);
    next->setForegroundColor(white);
    next->setFont(buttonFont);
    next->setAlignment(TextLayer::Alignment::center);
    m_bottomButtonTextLayer = next;
    button->addSublayer(next);
    scene->addSublayer(button);
    page->addSublayer(scene);

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
        break;
    case WelcomeSceneMachine::Step::finish:
        finishWelcome();
        break;
    }
    refreshPager();
}

void Page1View::finishWelcome()
{
    m_appDelegate.showMainWindow(this);
    if (QWidget* welcomeWindow = window())
        welcomeWindow->close();
}

void Page1View::animationDidStop(const Animation& animation, bool)
{
    const QVariant name = animation.value(QStringLiteral("animationName"));
    const QString text = name.typeId() == QMetaType::QString ? name.toString() : QString();
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
