#include "Pelorins/board/InfoBGPictCollectionViewItem.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

InfoBGPictCollectionViewItem::InfoBGPictCollectionViewItem(const QPixmap& thumbnail, QWidget* parent)
    : QWidget(parent)
    , m_thumbImageView(new QLabel(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(borderWidth, borderWidth, borderWidth, borderWidth);
    m_thumbImageView->setPixmap(thumbnail);
    m_thumbImageView->setScaledContents(true);
    layout->addWidget(m_thumbImageView);
    // Clicks select the list's row under the item.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void InfoBGPictCollectionViewItem::setSelected(bool selected)
{
    m_selected = selected;
    update();
}

void InfoBGPictCollectionViewItem::paintEvent(QPaintEvent*)
{
    if (!m_selected)
        return;
    QPainter painter(this);
    painter.setPen(
        QPen(palette().color(QPalette::Highlight), borderWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(
        QRectF(rect()).adjusted(borderWidth / 2.0, borderWidth / 2.0, -borderWidth / 2.0, -borderWidth / 2.0));
}
