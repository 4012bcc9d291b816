#include "Platform/widgets/SectionedListView.h"
#include "Platform/widgets/SectionedListViewDataSource.h"
#include "Platform/widgets/SectionedListViewDragDelegate.h"
#include "support/NumberedRows.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

// A real drag session: QDrag does nothing under the offscreen platform, so this runs on a
// display (xvfb-run with QT_QPA_PLATFORM=xcb).

namespace {

const QString kRowType = "application/x-pelorins-test-row";

class DragRecorder : public SectionedListViewDragDelegate
{
public:
    explicit DragRecorder(quint64 firstId)
        : m_firstId(firstId)
    {
    }

    QStringList log;

    QMimeData* mimeDataForItems(SectionedListView*, const QList<IndexPath>& paths) override
    {
        auto* data = new QMimeData;
        data->setData(kRowType, QByteArray::number(m_firstId + quint64(paths.first().item)));
        return data;
    }
    void dragWillBegin(SectionedListView*, const QSet<IndexPath>& paths, const IndexPath& pressedPath) override
    {
        log << QString("begin %1 rows from %2").arg(paths.size()).arg(pressedPath.item);
    }
    void dragEnded(SectionedListView*, Qt::DropAction action) override
    {
        log << (action == Qt::MoveAction ? "ended moved" : "ended not moved");
    }
    Qt::DropAction validateDrop(
        SectionedListView*, const QMimeData* data, IndexPath&, DropOperation& operation) override
    {
        operation = DropOperation::Before;
        return data->hasFormat(kRowType) ? Qt::MoveAction : Qt::IgnoreAction;
    }
    bool acceptDrop(SectionedListView* view, const QMimeData* data, const IndexPath& path, DropOperation,
        SectionedListView* source) override
    {
        log << QString("dropped row %1 before %2 from %3 into %4")
                   .arg(QString::fromLatin1(data->data(kRowType)))
                   .arg(path.item)
                   .arg(source ? source->objectName() : "elsewhere")
                   .arg(view->objectName());
        return true;
    }

private:
    quint64 m_firstId;
};

void sendMouse(QWidget& window, QEvent::Type type, const QPoint& point, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, point, window.mapToGlobal(point), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(window.windowHandle(), &event);
}

void waitUntil(const std::function<bool()>& done, int timeoutMs = 3000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

} // namespace

TEST(SectionedListViewDrag, RowDraggedFromOneListIsDroppedIntoTheOther)
{
    if (QGuiApplication::platformName() == "offscreen")
        GTEST_SKIP() << "a drag needs a display: run under xvfb-run with QT_QPA_PLATFORM=xcb";

    QWidget window;
    window.setGeometry(40, 40, 640, 440);
    NumberedRows sourceRows(1), targetRows(100);
    DragRecorder sourceDrag(1), targetDrag(100);
    SectionedListView source(&window), target(&window);
    source.setObjectName("source");
    target.setObjectName("target");
    source.setGeometry(0, 0, 300, 440);
    target.setGeometry(340, 0, 300, 440);
    source.setDataSource(&sourceRows);
    target.setDataSource(&targetRows);
    source.setDragDelegate(&sourceDrag);
    target.setDragDelegate(&targetDrag);
    window.show();
    waitUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); });
    ASSERT_TRUE(window.windowHandle()->isExposed());

    const QPoint pressed = source.viewport()->mapTo(&window, QPoint(100, 60)); // row 1
    // Row 3 of the target is at 120..160: its upper half proposes a drop before it.
    const QPoint overTarget = target.viewport()->mapTo(&window, QPoint(100, 130));
    sendMouse(window, QEvent::MouseButtonPress, pressed, Qt::LeftButton);

    // The drag runs its own event loop: the pointer moves and is released from inside it.
    QTimer::singleShot(150, [&] { sendMouse(window, QEvent::MouseMove, overTarget - QPoint(20, 0), Qt::LeftButton); });
    QTimer::singleShot(300, [&] { sendMouse(window, QEvent::MouseMove, overTarget, Qt::LeftButton); });
    QTimer::singleShot(450, [&] { sendMouse(window, QEvent::MouseButtonRelease, overTarget, Qt::NoButton); });
    sendMouse(window, QEvent::MouseMove, pressed + QPoint(0, 30), Qt::LeftButton);
    waitUntil([&] { return sourceDrag.log.size() >= 2; });

    EXPECT_EQ(sourceDrag.log, QStringList({"begin 1 rows from 1", "ended moved"}));
    EXPECT_EQ(targetDrag.log, QStringList({"dropped row 2 before 3 from source into target"}));
}
