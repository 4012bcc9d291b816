// Loading the reference dataset's tree (200 boards in 20 folders, and the big board) into the
// sidebar: the rows alone, then the whole sidebar with every folder open, restored and painted
// once, badges counted for the rows it shows. Target: under 50 ms.

#include "BenchTiming.h"
#include "LoadedStore.h"
#include "Pelorins/sidebar/KDLeftSidebarViewController.h"
#include "Pelorins/sidebar/SourceOutlineView.h"
#include "Pelorins/sidebar/SourceTreeModel.h"
#include "Platform/core/UserDefaults.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int runs = 7;

template <typename Step> void report(const char* name, Step step)
{
    QList<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        step();
        times.append(double(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("%-48s median %8.2f ms   fastest %8.2f ms\n", name, median(times),
        *std::min_element(times.cbegin(), times.cend()));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    LoadedStore store = loadReferenceStore(folder);
    const auto& context = store.context;
    for (Folder* folder : context->fetchAs<Folder>(FetchRequest(QStringLiteral("Folder"))))
        folder->setExpanded(true);
    UserDefaults defaults(folder.filePath(QStringLiteral("defaults.conf")));
    defaults.setValue(QString(KDLeftSidebarViewController::lastSelectedSourceItemKey), 5);

    report("rows of 221 folders and boards", [&] {
        KDLeftSidebarViewController sidebar(context.get(), defaults, [] {});
        if (sidebar.model()->rowCount() != 21)
            qFatal("unexpected top level");
    });
    report("sidebar restored, every folder open, painted", [&] {
        KDLeftSidebarViewController sidebar(context.get(), defaults, [] {});
        sidebar.resize(260, 900);
        sidebar.viewDidAppear();
        const QPixmap painted = sidebar.grab();
        if (sidebar.outlineView()->numberOfRows() != 221 || painted.isNull())
            qFatal("unexpected rows");
    });
    KDLeftSidebarViewController shown(context.get(), defaults, [] {});
    shown.resize(260, 900);
    shown.viewDidAppear();
    report("badges recounted for the rows shown", [&] {
        shown.refreshListWhileKeepingSelection();
        shown.grab();
    });
    return 0;
}
