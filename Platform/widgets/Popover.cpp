#include "Platform/widgets/Popover.h"

#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr int contentMargin = 8;

QPoint placement(const QRect& anchor, const QSize& size, const QRect& screen)
{
    int x = anchor.center().x() - size.width() / 2;
    x = std::max(screen.left(), std::min(x, screen.right() + 1 - size.width()));
    int y = anchor.bottom() + 1;
    const bool fitsBelow = y + size.height() <= screen.bottom() + 1;
    const bool fitsAbove = anchor.top() - size.height() >= screen.top();
    if (!fitsBelow && fitsAbove)
        y = anchor.top() - size.height();
    else if (!fitsBelow)
        // Room on neither side: over the anchor rather than off the screen.
        y = std::max(screen.top(), screen.bottom() + 1 - size.height());
    return {x, y};
}

} // namespace

Popover::Popover(QWidget* parent)
    : QFrame(parent, Qt::Popup)
{
    setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(contentMargin, contentMargin, contentMargin, contentMargin);
}

void Popover::setContentWidget(QWidget* content)
{
    if (content == m_content)
        return;
    delete m_content;
    m_content = content;
    if (content)
        layout()->addWidget(content);
}

void Popover::showRelativeTo(const QRect& rect, QWidget* anchor)
{
    const QRect anchorOnScreen(anchor->mapToGlobal(rect.topLeft()), rect.size());
    QScreen* screen = anchor->screen();
    const QRect area = screen ? screen->availableGeometry() : anchorOnScreen;
    adjustSize();
    setGeometry(QRect(placement(anchorOnScreen, size(), area), size()));
    show();
    // The popover takes the keyboard: it starts on the first control inside, unless the content
    // chose one, so that a popover opened from the keyboard can be used from it.
    if (QWidget* chosen = focusWidget(); !chosen || chosen == this) {
        for (QWidget* control = nextInFocusChain(); control && control != this; control = control->nextInFocusChain()) {
            if (isAncestorOf(control) && (control->focusPolicy() & Qt::TabFocus) && control->isVisibleTo(this)
                && control->isEnabled()) {
                control->setFocus(Qt::PopupFocusReason);
                break;
            }
        }
    }
}

void Popover::showRelativeTo(QWidget* anchor)
{
    showRelativeTo(anchor->rect(), anchor);
}
