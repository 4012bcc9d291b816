#include "Pelorins/column/ListItemHeaderCellView.h"

#include "Pelorins/column/ListItemHeaderCellDelegate.h"
#include "Pelorins/shell/AppConstants.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/notes/NoteTextConventions.h"

#include <QAbstractButton>
#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSequentialAnimationGroup>
#include <QVariantAnimation>

namespace {

// Full-size geometry of a header.
constexpr qreal titleLeft = 12;
constexpr qreal labelRight = 12;
constexpr qreal bookmarkWidth = 14;
constexpr qreal bookmarkHeight = 24;
constexpr qreal bookmarkRight = 10;
constexpr qreal bookmarkShownTop = -1;
constexpr qreal bookmarkTuckedTop = -23;
constexpr int titlePixelSize = 13;
constexpr int labelPixelSize = 11;
constexpr double pulseScale = 1.5;
constexpr int pulseMilliseconds = 250;

const QLatin1String bookmarkRedIcon("BookmarkRedIcon");
const QLatin1String bookmarkIcon("BookmarkIcon");

// The stage's bookmark flag, drawn in code: a ribbon with a notch, red when set, an outline when
// not. It grows from its top edge while it pulses.
class BookmarkButton : public QAbstractButton
{
public:
    explicit BookmarkButton(QWidget* parent)
        : QAbstractButton(parent)
    {
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
    }

    QString imageName() const { return m_imageName; }
    void setImageName(const QString& name)
    {
        m_imageName = name;
        update();
    }
    void setPulse(qreal pulse)
    {
        m_pulse = pulse;
        update();
    }
    void setScale(qreal scale)
    {
        m_scale = scale;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(m_scale, m_scale);
        const qreal w = bookmarkWidth;
        const qreal h = bookmarkHeight;
        painter.translate(w / 2, 0);
        painter.scale(m_pulse, m_pulse);
        painter.translate(-w / 2, 0);
        QPainterPath ribbon;
        ribbon.moveTo(1, 0);
        ribbon.lineTo(w - 1, 0);
        ribbon.lineTo(w - 1, h - 1);
        ribbon.lineTo(w / 2, h - 6);
        ribbon.lineTo(1, h - 1);
        ribbon.closeSubpath();
        if (m_imageName == bookmarkRedIcon) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(badgeRedColour());
        } else {
            painter.setPen(QPen(palette().color(QPalette::PlaceholderText), 1));
            painter.setBrush(Qt::NoBrush);
        }
        painter.drawPath(ribbon);
    }

private:
    QString m_imageName = bookmarkIcon;
    qreal m_pulse = 1.0;
    qreal m_scale = 1.0;
};

BookmarkButton* asBookmark(QAbstractButton* button)
{
    return static_cast<BookmarkButton*>(button);
}

} // namespace

ListItemHeaderCellView::ListItemHeaderCellView(QWidget* parent)
    : QWidget(parent)
    , m_bookmarkButton(new BookmarkButton(this))
{
    m_title.setFont(systemFontOfSize(titlePixelSize, QFont::DemiBold));
    m_bookmarkButton->hide();
    applyPaletteColours();
}

void ListItemHeaderCellView::setObjectValue(const QVariant& value)
{
    m_objectValue = value;
    if (value.typeId() != QMetaType::QString)
        return;
    m_title.setText(value.toString());
    update();
}

void ListItemHeaderCellView::setTitleColour(const QColor& colour)
{
    if (colour == m_title.textColour())
        return;
    m_title.setTextColour(colour);
    update();
}

void ListItemHeaderCellView::setRightLabel(const QString& text)
{
    if (text == m_rightLabel)
        return;
    m_rightLabel = text;
    update();
}

void ListItemHeaderCellView::applyHeaderLayout()
{
    const bool showsBackdrop = m_delegate && !m_delegate->isSelected();
    switch (m_headerLayout) {
    case HeaderLayouts::column:
        m_dividerShown = true;
        if (showsBackdrop)
            m_backdropShown = true;
        break;
    case HeaderLayouts::firstColumn:
        m_dividerShown = false;
        if (showsBackdrop)
            m_backdropShown = true;
        break;
    case HeaderLayouts::doneItem:
        m_dividerShown = false;
        m_backdropShown = false;
        break;
    }
    update();
}

void ListItemHeaderCellView::updateSelectionAppearance()
{
    if (m_delegate && m_delegate->isSelected()) {
        m_title.setTextColour(palette().color(QPalette::HighlightedText));
        m_rightLabelColour = palette().color(QPalette::HighlightedText);
        m_bottomBorderColour = palette().color(QPalette::Highlight).darker(120);
        m_backdropShown = false;
    } else {
        applyPaletteColours();
        applyHeaderLayout();
    }
    update();
}

QString ListItemHeaderCellView::bookmarkImageName() const
{
    return asBookmark(m_bookmarkButton)->imageName();
}

void ListItemHeaderCellView::updateBookmarkButton()
{
    if (!m_column) {
        m_bookmarkButton->hide();
        return;
    }
    m_bookmarkButton->show();
    const bool bookmarked = m_column->bookmarked();
    asBookmark(m_bookmarkButton)->setImageName(bookmarked ? bookmarkRedIcon : bookmarkIcon);
    m_bookmarkTopMargin = bookmarked ? bookmarkShownTop : bookmarkTuckedTop;
    placeBookmarkButton();
}

void ListItemHeaderCellView::animateBookmarkButton()
{
    if (!m_bookmarkPulse) {
        m_bookmarkPulse = new QVariantAnimation(this);
        // Grows for one stretch of time, then shrinks back for another.
        m_bookmarkPulse->setDuration(2 * pulseMilliseconds);
        m_bookmarkPulse->setKeyValueAt(0.0, 1.0);
        m_bookmarkPulse->setKeyValueAt(0.5, pulseScale);
        m_bookmarkPulse->setKeyValueAt(1.0, 1.0);
        QObject::connect(m_bookmarkPulse, &QVariantAnimation::valueChanged, m_bookmarkButton,
            [button = m_bookmarkButton](const QVariant& value) { asBookmark(button)->setPulse(value.toReal()); });
    }
    m_bookmarkPulse->stop();
    // The flag grows downwards from its top edge, into room it does not have at rest.
    m_bookmarkButton->raise();
    m_bookmarkPulse->start();
}

void ListItemHeaderCellView::setScale(qreal scale)
{
    if (scale == m_scale || !(scale > 0))
        return;
    m_scale = scale;
    asBookmark(m_bookmarkButton)->setScale(scale);
    placeBookmarkButton();
    update();
}

void ListItemHeaderCellView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.scale(m_scale, m_scale);
    const QRectF bounds(0, 0, width() / m_scale, height() / m_scale);

    if (m_headerLayout != HeaderLayouts::doneItem) {
        if (m_backdropShown) {
            QColor backdrop = palette().color(QPalette::Window);
            backdrop.setAlphaF(0.6);
            painter.fillRect(bounds, backdrop);
        }
        const bool selected = m_delegate && m_delegate->isSelected();
        painter.fillRect(bounds, selected ? palette().color(QPalette::Highlight) : QColor::fromRgbF(1, 1, 1, 0.4));
        painter.fillRect(QRectF(bounds.left(), bounds.bottom() - 1, bounds.width(), 1), m_bottomBorderColour);
    }
    if (m_dividerShown)
        painter.fillRect(QRectF(0, 0, 1, bounds.height()), palette().color(QPalette::Mid));

    QFont labelFont = systemFontOfSize(labelPixelSize, QFont::Normal);
    const QFontMetricsF labelMetrics(labelFont);
    const qreal labelEnd
        = bounds.right() - labelRight - (!m_bookmarkButton->isHidden() ? bookmarkWidth + bookmarkRight : 0);
    const qreal labelWidth = labelMetrics.horizontalAdvance(m_rightLabel);
    painter.setFont(labelFont);
    painter.setPen(m_rightLabelColour);
    painter.drawText(QRectF(labelEnd - labelWidth, 0, labelWidth, bounds.height()), Qt::AlignVCenter, m_rightLabel);

    m_title.setShadowColour(palette().color(QPalette::Base));
    m_title.drawInterior(painter, QRectF(titleLeft, 0, labelEnd - labelWidth - 8 - titleLeft, bounds.height()));
}

void ListItemHeaderCellView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeBookmarkButton();
}

void ListItemHeaderCellView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        updateSelectionAppearance();
}

void ListItemHeaderCellView::placeBookmarkButton()
{
    const qreal left = width() / m_scale - bookmarkRight - bookmarkWidth;
    // Room below the flag for its pulse.
    m_bookmarkButton->setGeometry(qRound(left * m_scale), qRound(m_bookmarkTopMargin * m_scale),
        qRound(bookmarkWidth * m_scale), qRound(bookmarkHeight * pulseScale * m_scale));
}

void ListItemHeaderCellView::applyPaletteColours()
{
    m_title.setTextColour(palette().color(QPalette::WindowText));
    m_rightLabelColour = palette().color(QPalette::PlaceholderText);
    m_bottomBorderColour = palette().color(QPalette::Mid);
}
