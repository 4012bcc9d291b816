// The list view alone: time to first paint and frame times while scrolling a SectionedListView of
// 10,000 rows from top to bottom, rendered offscreen into an image. The rows' heights are computed
// in advance and the rows draw plain text, so no notes are decoded or measured: this is the floor
// under a real column, not a measure of one.

#include "Platform/widgets/SectionedListView.h"
#include "Platform/widgets/SectionedListViewDataSource.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRows = 10000;
constexpr int kScrollStep = 120; // one wheel notch

// Draws roughly what a card draws: a rounded panel, a title and a line of notes.
class CardWidget : public QWidget
{
public:
    void setText(const QString& title, const QString& notes)
    {
        m_title = title;
        m_notes = notes;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QColor(200, 200, 205));
        painter.setBrush(QColor(250, 250, 252));
        painter.drawRoundedRect(rect().adjusted(6, 3, -6, -3), 6, 6);
        painter.setPen(Qt::black);
        painter.drawText(rect().adjusted(16, 8, -16, -8), Qt::AlignLeft | Qt::AlignTop, m_title);
        painter.setPen(QColor(90, 90, 95));
        painter.drawText(rect().adjusted(16, 28, -16, -8), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, m_notes);
    }

private:
    QString m_title;
    QString m_notes;
};

class HeaderWidget : public QWidget
{
public:
    void setTitle(const QString& title) { m_title = title; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(235, 235, 240));
        painter.drawText(rect().adjusted(12, 0, -12, 0), Qt::AlignVCenter, m_title);
    }

private:
    QString m_title;
};

// Heights come from a table filled up front: the list asks for them, but nothing is measured.
class BenchRows : public SectionedListViewDataSource
{
public:
    BenchRows()
    {
        for (int i = 0; i < kRows; ++i)
            m_heights.push_back(i % 50 == 49 ? 60 : 48 + (i * 7919) % 260);
    }

    int numberOfSections() const override { return 1; }
    int numberOfItems(int) const override { return kRows; }
    QString itemKind(const IndexPath& path) const override { return path.item % 50 == 49 ? "add" : "card"; }
    QSize sizeForItem(const IndexPath& path, int) const override { return QSize(0, m_heights[path.item]); }
    quint64 itemIdentity(const IndexPath& path) const override { return quint64(path.item) + 1; }
    QWidget* createItemWidget(const QString&) override { return new CardWidget; }
    void configureItem(QWidget* widget, const IndexPath& path) override
    {
        static_cast<CardWidget*>(widget)->setText(QString("Card %1").arg(path.item + 1),
            QString("Notes of card %1, long enough to wrap over a second line of the column").arg(path.item + 1));
    }
    QWidget* createHeaderWidget() override { return new HeaderWidget; }
    void configureHeader(QWidget* widget, int) override { static_cast<HeaderWidget*>(widget)->setTitle("To do"); }

private:
    std::vector<int> m_heights;
};

double milliseconds(qint64 nanoseconds)
{
    return double(nanoseconds) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    BenchRows rows;
    SectionedListView view;
    view.setHeaderHeight(38);
    view.resize(300, 900);
    view.show();
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);

    QElapsedTimer timer;
    timer.start();
    view.setDataSource(&rows);
    view.render(&image);
    const qint64 firstPaint = timer.nsecsElapsed();

    std::vector<qint64> frames;
    QScrollBar* bar = view.verticalScrollBar();
    for (int offset = kScrollStep; offset <= bar->maximum() + kScrollStep; offset += kScrollStep) {
        timer.restart();
        bar->setValue(std::min(offset, bar->maximum()));
        view.render(&image);
        frames.push_back(timer.nsecsElapsed());
    }
    std::sort(frames.begin(), frames.end());

    std::printf("SectionedListView alone, %d rows of heights computed in advance (no notes decoded or measured), "
                "%dx%d, offscreen\n",
        kRows, view.width(), view.height());
    std::printf("  time to first paint: %.2f ms\n", milliseconds(firstPaint));
    // The 99th percentile shows the list's own slow frames apart from a busy machine's odd pause.
    std::printf("  scrolling top to bottom in %d px steps: %zu frames, median %.3f ms, 99th percentile %.3f ms, "
                "worst %.3f ms\n",
        kScrollStep, frames.size(), milliseconds(frames[frames.size() / 2]),
        milliseconds(frames[frames.size() * 99 / 100]), milliseconds(frames.back()));
    return 0;
}
