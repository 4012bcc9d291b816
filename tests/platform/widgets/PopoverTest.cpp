#include "Platform/widgets/Popover.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <gtest/gtest.h>

namespace {

// A window filling the screen's available area, with a button placed where the test wants it.
struct AnchorWindow
{
    QWidget window;
    QPushButton* button = new QPushButton("Tags", &window);
    QRect screen = QApplication::primaryScreen()->availableGeometry();

    explicit AnchorWindow(QPoint buttonPosition)
    {
        window.setWindowFlag(Qt::FramelessWindowHint);
        window.setGeometry(screen);
        button->setGeometry(QRect(buttonPosition, QSize(40, 24)));
        window.show();
        QApplication::processEvents();
    }

    QRect buttonOnScreen() const { return QRect(button->mapToGlobal(QPoint(0, 0)), button->size()); }
};

Popover* makePopover(QWidget* parent, QSize contentSize)
{
    auto* popover = new Popover(parent);
    auto* content = new QLabel("content");
    content->setFixedSize(contentSize);
    popover->setContentWidget(content);
    return popover;
}

} // namespace

TEST(Popover, OpensUnderItsAnchorCentredOnIt)
{
    AnchorWindow w(QPoint(300, 40));
    Popover* popover = makePopover(&w.window, QSize(200, 100));

    popover->showRelativeTo(w.button);

    ASSERT_TRUE(popover->isVisible());
    const QRect anchor = w.buttonOnScreen();
    EXPECT_EQ(popover->geometry().top(), anchor.bottom() + 1);
    EXPECT_LE(std::abs(popover->geometry().center().x() - anchor.center().x()), 1);
    EXPECT_TRUE(popover->geometry().contains(popover->contentWidget()->geometry().translated(popover->pos())));
}

TEST(Popover, StaysOnScreenNearItsEdges)
{
    {
        // At the left edge: kept inside the screen's width, still below.
        AnchorWindow w(QPoint(0, 40));
        Popover* popover = makePopover(&w.window, QSize(200, 100));
        popover->showRelativeTo(w.button);
        EXPECT_EQ(popover->geometry().left(), w.screen.left());
        EXPECT_EQ(popover->geometry().top(), w.buttonOnScreen().bottom() + 1);
    }
    {
        // At the bottom: no room below, so it opens above.
        AnchorWindow w(QPoint(300, 0));
        w.button->move(300, w.window.height() - 30);
        Popover* popover = makePopover(&w.window, QSize(200, 100));
        popover->showRelativeTo(w.button);
        EXPECT_EQ(popover->geometry().bottom(), w.buttonOnScreen().top() - 1);
    }
    {
        // Room on neither side: over the anchor, wholly on the screen.
        AnchorWindow w(QPoint(300, 0));
        w.button->move(300, w.window.height() / 2 - 12);
        Popover* popover = makePopover(&w.window, QSize(200, w.screen.height() * 2 / 3));
        popover->showRelativeTo(w.button);
        EXPECT_TRUE(w.screen.contains(popover->geometry())) << popover->geometry().y();
    }
}

TEST(Popover, ClosesOnAClickOutsideOrEscapeButNotOnAClickInside)
{
    AnchorWindow w(QPoint(300, 40));
    Popover* popover = makePopover(&w.window, QSize(200, 100));
    popover->showRelativeTo(w.button);

    auto press = [popover](QPoint local) {
        QMouseEvent event(QEvent::MouseButtonPress, local, popover->mapToGlobal(local), Qt::LeftButton, Qt::LeftButton,
            Qt::NoModifier);
        QApplication::sendEvent(popover, &event);
    };
    press(QPoint(2, 2));
    EXPECT_TRUE(popover->isVisible());
    press(QPoint(-20, -20));
    EXPECT_FALSE(popover->isVisible());

    popover->showRelativeTo(w.button);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(popover, &escape);
    EXPECT_FALSE(popover->isVisible());
}

TEST(Popover, ReplacingTheContentDeletesTheOldOne)
{
    Popover popover;
    QPointer<QLabel> first = new QLabel("first");
    popover.setContentWidget(first);
    auto* second = new QLabel("second");
    popover.setContentWidget(second);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(popover.contentWidget(), second);
    EXPECT_EQ(second->parentWidget(), &popover);
}
