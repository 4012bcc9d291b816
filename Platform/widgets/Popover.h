#pragma once

#include <QFrame>
#include <QPointer>

// A small transient window attached to a control: it opens right under its anchor, centred on
// it, with the keyboard on its first control, and closes on a click outside it or on Escape. It
// shows one content widget.
class Popover : public QFrame
{
    Q_OBJECT
public:
    explicit Popover(QWidget* parent = nullptr);

    // Takes ownership of `content`; an earlier content widget is deleted.
    void setContentWidget(QWidget* content);
    QWidget* contentWidget() const { return m_content; }

    // `rect` is in `anchor`'s coordinates. Where the screen has no room below, the popover
    // opens above the rectangle instead; it is always kept inside the screen's width.
    void showRelativeTo(const QRect& rect, QWidget* anchor);
    void showRelativeTo(QWidget* anchor);

private:
    QPointer<QWidget> m_content;
};
