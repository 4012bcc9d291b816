#include "Pelorins/column/ListItemAddItemButtonCell.h"

#include "Pelorins/column/AddButton.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "Pelorins/common/AppConstants.h"
#include "PelorinsKit/model/NotificationName.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/widgets/AccessibleNames.h"

#include <QPainter>

namespace {

const QLatin1String tutorialShownStep1Key("tutorialShownStep1");

// Full-size geometry of the cell: a pill across the column with the plus in its middle.
constexpr qreal pillInsetX = 8;
constexpr qreal pillInsetY = 12;
constexpr qreal pillRadius = 18;
constexpr qreal buttonSize = 26;

} // namespace

ListItemAddItemButtonCell::ListItemAddItemButtonCell(
    UserDefaults& defaults, NotificationCenter& notificationCenter, QWidget* parent)
    : QWidget(parent)
    , m_defaults(defaults)
    , m_notificationCenter(notificationCenter)
    , m_borderBlue(accentBlueColour())
    , m_button(new AddButton(this))
{
    AccessibleNames::setToolTip(m_button, tr("Add Card"));
    connect(m_button, &AddButton::clicked, this, &ListItemAddItemButtonCell::addNewItem);
    m_shouldPulsate = !m_defaults.boolForKey(tutorialShownStep1Key);
    // Once any cell has ended the step, no cell keeps the hint.
    if (m_shouldPulsate)
        m_notificationCenter.addObserver(this, NotificationName::tutorialActionPerformed,
            [this](const NotificationCenter::Notification&) { endTutorialHint(); });
}

MacKanbanColumnController* ListItemAddItemButtonCell::kanbanColumnController() const
{
    return m_kanbanColumnController;
}

void ListItemAddItemButtonCell::setKanbanColumnController(MacKanbanColumnController* controller)
{
    m_kanbanColumnController = controller;
}

void ListItemAddItemButtonCell::setScale(qreal scale)
{
    if (scale == m_scale || !(scale > 0))
        return;
    m_scale = scale;
    m_button->setScale(scale);
    placeButton();
    update();
}

void ListItemAddItemButtonCell::addNewItem()
{
    if (m_section && m_kanbanColumnController)
        m_kanbanColumnController->addNewItem(*m_section);
    // The default is read again: another cell may have ended the step already.
    if (!m_shouldPulsate || m_defaults.boolForKey(tutorialShownStep1Key)) {
        endTutorialHint();
        return;
    }
    endTutorialHint();
    m_defaults.setValue(tutorialShownStep1Key, true);
    m_defaults.synchronize();
    m_notificationCenter.post(NotificationName::tutorialActionPerformed, nullptr, {{QStringLiteral("action"), 1}});
}

void ListItemAddItemButtonCell::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(m_scale, m_scale);
    const QRectF pill(pillInsetX, pillInsetY, width() / m_scale - 2 * pillInsetX, height() / m_scale - 2 * pillInsetY);
    QColor fill = palette().color(QPalette::Window);
    fill.setAlphaF(0.6);
    painter.setBrush(fill);
    if (m_shouldPulsate)
        painter.setPen(QPen(m_borderBlue, tutorialBorderWidth));
    else
        painter.setPen(Qt::NoPen);
    const qreal radius = std::min(pillRadius, pill.height() / 2);
    painter.drawRoundedRect(pill, radius, radius);
}

void ListItemAddItemButtonCell::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeButton();
}

void ListItemAddItemButtonCell::placeButton()
{
    const QSizeF size(width() / m_scale, height() / m_scale);
    const QPointF topLeft((size.width() - buttonSize) / 2, (size.height() - buttonSize) / 2);
    m_button->setGeometry(QRectF(topLeft * m_scale, QSizeF(buttonSize, buttonSize) * m_scale).toRect());
}

void ListItemAddItemButtonCell::endTutorialHint()
{
    m_notificationCenter.removeObserver(this, NotificationName::tutorialActionPerformed);
    if (!m_shouldPulsate)
        return;
    m_shouldPulsate = false;
    update();
}
