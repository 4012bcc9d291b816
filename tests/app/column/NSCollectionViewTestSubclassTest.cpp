#include "Pelorins/column/NSCollectionViewTestSubclass.h"
#include "Platform/widgets/DragPictureWindow.h"
#include "Platform/widgets/SectionedListViewDragDelegate.h"
#include "support/NumberedRows.h"

#include <QApplication>
#include <QCursor>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollArea>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

// A real drag session with the display's own pointer: run under xvfb-run with
// QT_QPA_PLATFORM=xcb (the ctest case DragLook.OnVirtualDisplay).

namespace {

class RowDrags : public SectionedListViewDragDelegate
{
public:
    QMimeData* mimeDataForItems(SectionedListView*, const QList<IndexPath>&) override
    {
        auto* data = new QMimeData;
        data->setText(QStringLiteral("row"));
        return data;
    }
    Qt::DropAction validateDrop(SectionedListView*, const QMimeData*, IndexPath&, DropOperation&) override
    {
        return Qt::IgnoreAction;
    }
    bool acceptDrop(SectionedListView*, const QMimeData*, const IndexPath&, DropOperation, SectionedListView*) override
    {
        return false;
    }
};

} // namespace

// Over the scroll view around the list the item is carried at the icon size it was given,
// beyond it at 200 by 200, whatever its shape.
TEST(NSCollectionViewTestSubclass, TheDraggedPictureTakesTheIconSizeInsideAndTwoHundredSquareOutside)
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        GTEST_SKIP() << "a drag needs a display: run under xvfb-run with QT_QPA_PLATFORM=xcb";
    QWidget window;
    window.setGeometry(40, 40, 800, 400);
    auto* board = new QScrollArea(&window);
    board->setGeometry(0, 0, 420, 400);
    auto* container = new QWidget;
    container->resize(400, 380);
    board->setWidget(container);
    auto* list = new NSCollectionViewTestSubclass(container);
    list->setGeometry(0, 0, 300, 380);
    NumberedRows rows;
    RowDrags drag;
    list->setDataSource(&rows);
    list->setDragDelegate(&drag);
    list->setDragIsInside(true);
    list->setDragIconSize(QSizeF(48, 32));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QList<QSize> sizes;
    const auto look = [&] {
        sizes.append(list->dragPicture() ? list->dragPicture()->picture().deviceIndependentSize().toSize() : QSize());
    };
    const auto send = [&](QEvent::Type type, const QPoint& inList, Qt::MouseButtons buttons) {
        const QPoint point = list->viewport()->mapTo(&window, inList);
        QMouseEvent event(type, point, window.mapToGlobal(point), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(window.windowHandle(), &event);
    };
    const QPoint from(100, 30);
    const QPoint beyond = window.mapToGlobal(QPoint(600, 200));
    const QPoint inside = window.mapToGlobal(QPoint(350, 200));
    QCursor::setPos(list->viewport()->mapToGlobal(from));
    QTest::qWait(50);
    send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    QTimer::singleShot(200, [&] { QCursor::setPos(beyond); });
    QTimer::singleShot(500, look);
    QTimer::singleShot(550, [&] { QCursor::setPos(inside); });
    QTimer::singleShot(850, look);
    QTimer::singleShot(900, [&] { send(QEvent::MouseButtonRelease, list->viewport()->mapFromGlobal(inside), Qt::NoButton); });
    send(QEvent::MouseMove, from + QPoint(0, 30), Qt::LeftButton);
    QTest::qWait(100);

    EXPECT_EQ(sizes, (QList<QSize> {QSize(200, 200), QSize(48, 32)}));
    EXPECT_TRUE(list->dragIsInside());
}
