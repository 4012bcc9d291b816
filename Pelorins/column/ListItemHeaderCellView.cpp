#include "Pelorins/column/ListItemHeaderCellView.h"

#include "Pelorins/column/EditableHeaderTextField.h"
#include "Pelorins/column/ListItemHeaderCellDelegate.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "Pelorins/column/MacKanbanColumnDelegate.h"
#include "Pelorins/common/AppConstants.h"
#include "Pelorins/common/ColourHelpers.h"
#include "PelorinsKit/board/LiveObjects.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "Platform/core/UndoManager.h"
#include "Platform/widgets/ActionRouter.h"

#include <QAbstractButton>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
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
// How much of a tucked flag hangs into the header.
constexpr qreal bookmarkTailShown = 9;
constexpr int titlePixelSize = 13;
constexpr int labelPixelSize = 11;
constexpr double pulseScale = 1.5;
constexpr int pulseMilliseconds = 250;

// How near the board's edge a dragged header scrolls the board, and by how much per move.
constexpr int autoscrollBand = 30;
constexpr int autoscrollStep = 12;

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
            // Tucked above the header, the outline's tail is what shows: it hangs low enough in
            // the button to be seen, in a colour that stands out from the header.
            painter.translate(0, -bookmarkTuckedTop + bookmarkTailShown - h);
            painter.setPen(
                QPen(readableOn(palette().color(QPalette::PlaceholderText), palette().color(QPalette::Window)), 1.2));
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

// Sets the stage's title and files the step that sets it back. The step holds the stage and the
// title, never a header: headers are reused for other sections while the step waits.
void retitle(MacKanbanColumnDelegate* board, Kanban* kanban, KanbanColumn* stage, const QString& title)
{
    const QString old = stage->title();
    if (old == title)
        return;
    stage->setTitle(title);
    for (MacKanbanColumnController* column : board->columnControllers())
        column->updateHeaderTitles();
    UndoManager* undo = board->undoManager();
    if (!undo)
        return;
    undo->registerUndo(board->undoOwner(), [board, kanban, stage, old] {
        if (KanbanColumn* live = LiveObjects::stage(kanban, stage))
            retitle(board, kanban, live, old);
    });
    undo->setActionName(ListItemHeaderCellView::changeTitleActionName);
}

} // namespace

const QString ListItemHeaderCellView::addSectionBeforeAction = QStringLiteral("addSectionBefore");
const QString ListItemHeaderCellView::addSectionAfterAction = QStringLiteral("addSectionAfter");
const QString ListItemHeaderCellView::deleteSelectedSectionsAction = QStringLiteral("deleteSelectedSections");
const QString ListItemHeaderCellView::editTitleAction = QStringLiteral("editTitle");
const QString ListItemHeaderCellView::changeTitleActionName = QStringLiteral("Change Title");

ListItemHeaderCellView::ListItemHeaderCellView(QWidget* parent)
    : QWidget(parent)
    , m_bookmarkButton(new BookmarkButton(this))
    , m_editableTextField(new EditableHeaderTextField(this))
{
    m_title.setFont(systemFontOfSize(titlePixelSize, QFont::DemiBold));
    m_bookmarkButton->hide();
    m_editableTextField->hide();
    m_editableTextField->setAccessibleName(local(QStringLiteral("Title")));
    connect(m_bookmarkButton, &QAbstractButton::clicked, this, &ListItemHeaderCellView::bookmarkButtonClicked);
    applyPaletteColours();
}

void ListItemHeaderCellView::setObjectValue(const QVariant& value)
{
    m_objectValue = value;
    if (value.typeId() != QMetaType::QString)
        return;
    m_title.setText(value.toString());
    if (!isEditingTitle())
        m_editableTextField->setText(value.toString());
    setupMenu();
    updateAccessibleName();
    update();
}

void ListItemHeaderCellView::updateAccessibleName()
{
    // As a reader sees it: the title, then the count ("To Do, 3 cards").
    const QString title = m_title.text();
    setAccessibleName(m_rightLabel.isEmpty() ? title : title + QStringLiteral(", ") + m_rightLabel);
}

void ListItemHeaderCellView::setupMenu()
{
    if (!m_menu)
        m_menu = new QMenu(this);
    m_menu->clear();
    const QList<std::pair<QString, QString>> items {
        {local(QStringLiteral("Add Section Before")), addSectionBeforeAction},
        {local(QStringLiteral("Add Section After")), addSectionAfterAction},
        {local(QStringLiteral("Delete Section")), deleteSelectedSectionsAction},
        {QString(), QString()},
        {local(QStringLiteral("Rename Section")), editTitleAction},
    };
    for (const auto& [title, action] : items) {
        if (action.isEmpty()) {
            m_menu->addSeparator();
            continue;
        }
        QAction* item = m_menu->addAction(title);
        item->setObjectName(action);
        connect(item, &QAction::triggered, this, [this, action] { sendAction(action); });
    }
}

void ListItemHeaderCellView::sendAction(const QString& action)
{
    // From this header, so that its column answers and, past it, the board; the header goes
    // along as the sender, so that the single list acts on this header's stage.
    MacKanbanColumnDelegate* board = m_delegate ? m_delegate->delegate() : nullptr;
    if (ActionRouter* router = board ? board->actionRouter() : nullptr)
        router->send(action, this, this);
}

// Editing the title

void ListItemHeaderCellView::beginEditingTitle()
{
    m_editableTextField->setText(m_title.text());
    m_editableTextField->setHeaderView(this);
    placeEditableTextField();
    m_editableTextField->show();
    m_editableTextField->raise();
    m_editableTextField->setFocus(Qt::OtherFocusReason);
    m_editableTextField->selectAll();
    update();
}

void ListItemHeaderCellView::endEditingTitle()
{
    if (!isEditingTitle())
        return;
    m_editableTextField->setHeaderView(nullptr);
    const QString title = m_editableTextField->text();
    m_editableTextField->hide();
    changeTitle(title);
    update();
}

void ListItemHeaderCellView::cancelEditingTitle()
{
    if (!isEditingTitle())
        return;
    m_editableTextField->setHeaderView(nullptr);
    m_editableTextField->setText(m_title.text());
    m_editableTextField->hide();
    update();
}

bool ListItemHeaderCellView::isEditingTitle() const
{
    return m_editableTextField->headerView() == this;
}

void ListItemHeaderCellView::changeTitle(const QString& title)
{
    if (!m_column)
        return;
    MacKanbanColumnDelegate* board = m_delegate ? m_delegate->delegate() : nullptr;
    if (!board) {
        m_column->setTitle(title);
        setObjectValue(title);
        return;
    }
    retitle(board, m_column->kanban(), m_column, title);
    setObjectValue(m_column->title());
}

void ListItemHeaderCellView::placeEditableTextField()
{
    const qreal right = width() / m_scale - labelRight - bookmarkWidth - bookmarkRight;
    QFont font = systemFontOfSize(qMax(1, qRound(titlePixelSize * m_scale)), QFont::DemiBold);
    m_editableTextField->setFont(font);
    const int fieldHeight = m_editableTextField->sizeHint().height();
    m_editableTextField->setGeometry(qRound((titleLeft - 2) * m_scale), (height() - fieldHeight) / 2,
        qMax(20, qRound((right - titleLeft) * m_scale)), fieldHeight);
}

// Clicks

void ListItemHeaderCellView::mousePressEvent(QMouseEvent* event)
{
    if (!m_delegate) {
        if (event->button() == Qt::LeftButton)
            emit pressedOnList();
        return;
    }
    if (event->button() == Qt::RightButton) {
        // The menu follows, from the context-menu event of the same click.
        m_delegate->headerMouseDown(event);
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    m_columnWasSelected = m_delegate->isSelected();
    m_dragged = false;
    // Qt delivers the second press of a double click as a double-click event.
    m_secondClick = event->type() == QEvent::MouseButtonDblClick;
    m_tracking = true;
    m_delegate->headerMouseDown(event);
}

void ListItemHeaderCellView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_delegate || !m_tracking || !(event->buttons() & Qt::LeftButton))
        return;
    m_dragged = true;
    dragColumn(event);
}

void ListItemHeaderCellView::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_delegate || !m_tracking || event->button() != Qt::LeftButton)
        return;
    m_tracking = false;
    QPointer<ListItemHeaderCellView> self(this);
    m_delegate->headerMouseUp(event);
    if (self && !m_dragged && m_columnWasSelected && !m_secondClick)
        beginEditingTitle();
}

void ListItemHeaderCellView::dragColumn(QMouseEvent* event)
{
    if (m_delegate->showAllSections())
        return;
    MacKanbanColumnDelegate* board = m_delegate->delegate();
    QWidget* document = board ? board->documentView() : nullptr;
    const std::optional<QPointF> down = m_delegate->mouseDownPoint();
    if (!document || !down)
        return;
    const QPointF location = document->mapFromGlobal(event->globalPosition());
    board->columnDragged(location.x() - down->x(), m_delegate->specifiedSection());
    // Near either edge of the board the board scrolls on.
    if (QScrollArea* scroll = board->scrollView()) {
        const int x = scroll->viewport()->mapFromGlobal(event->globalPosition()).toPoint().x();
        QScrollBar* bar = scroll->horizontalScrollBar();
        if (x < autoscrollBand)
            bar->setValue(bar->value() - autoscrollStep);
        else if (x > scroll->viewport()->width() - autoscrollBand)
            bar->setValue(bar->value() + autoscrollStep);
    }
}

void ListItemHeaderCellView::contextMenuEvent(QContextMenuEvent* event)
{
    // A day's header, also one the single list reuses from a stage, has no section to act on.
    if (!m_delegate || !m_menu || !m_column)
        return;
    if (event->reason() != QContextMenuEvent::Mouse) {
        // The Menu key: the same selection as a right click first.
        QMouseEvent press(QEvent::MouseButtonPress, event->pos(), event->globalPos(), Qt::RightButton, Qt::RightButton,
            event->modifiers());
        m_delegate->headerMouseDown(&press);
    }
    m_menu->popup(event->globalPos());
}

void ListItemHeaderCellView::wheelEvent(QWheelEvent* event)
{
    // A day's header has no delegate: it sits in its list's viewport, which scrolls.
    if (m_delegate)
        m_delegate->headerScrollWheel(event);
    else if (parentWidget())
        QCoreApplication::sendEvent(parentWidget(), event);
}

void ListItemHeaderCellView::bookmarkButtonClicked()
{
    if (m_delegate && m_column)
        m_delegate->bookmarkToggled(m_column);
    updateBookmarkButton();
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
    updateAccessibleName();
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
    m_bookmarkButton->setAccessibleName(
        bookmarked ? local(QStringLiteral("Remove Bookmark")) : local(QStringLiteral("Add Bookmark")));
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

    if (isEditingTitle())
        return;
    m_title.setShadowColour(palette().color(QPalette::Base));
    m_title.drawInterior(painter, QRectF(titleLeft, 0, labelEnd - labelWidth - 8 - titleLeft, bounds.height()));
}

void ListItemHeaderCellView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeBookmarkButton();
    placeEditableTextField();
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
