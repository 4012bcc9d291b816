#include "Pelorins/column/AddColumnButtonView.h"

#include "Pelorins/column/AddButton.h"
#include "Pelorins/column/MacKanbanColumnDelegate.h"
#include "Platform/widgets/ActionRouter.h"

#include <QPainter>
#include <cmath>

namespace {

const QLatin1String insertNewSectionAtEndAction("insertNewSectionAtEnd");

} // namespace

AddColumnButtonView::AddColumnButtonView(MacKanbanColumnDelegate* delegate, QWidget* parent)
    : QWidget(parent)
    , m_delegate(delegate)
{
    setup();
}

void AddColumnButtonView::setup()
{
    setFixedSize(buttonDimension, buttonDimension);
    const int inset = (buttonDimension - innerCircleDimention) / 2;
    m_addButton = new AddButton(this);
    m_addButton->setGeometry(inset, inset, innerCircleDimention, innerCircleDimention);
    connect(m_addButton, &AddButton::clicked, this, [this] {
        if (ActionRouter* router = m_delegate ? m_delegate->actionRouter() : nullptr)
            router->send(insertNewSectionAtEndAction, m_addButton, m_addButton);
    });
}

void AddColumnButtonView::updatePosition()
{
    if (!m_delegate)
        return;
    const double left = m_delegate->columnWidth() * double(m_delegate->kanbanColumns().size());
    m_leftMargin = std::isfinite(left) ? int(left) : 0;
    m_delegate->setNeedsDocumentLayout();
}

void AddColumnButtonView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal inset = (buttonDimension - innerCircleDimention) / 2.0;
    const QRectF circle(inset, inset, innerCircleDimention, innerCircleDimention);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(1, 1, 1, 0.75));
    painter.drawEllipse(circle);
    // The translucent material over the white disc.
    QColor material = palette().color(QPalette::Window);
    material.setAlphaF(0.5);
    painter.setBrush(material);
    painter.drawEllipse(circle);
}
