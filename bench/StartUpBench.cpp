// The program itself on the reference dataset, through its real main window (offscreen), each
// measurement in a new process:
// - cold start: exec to the Reference board's first paint, from the program's own timestamps,
//   with the minor page faults taken until then; and, apart, the instructions callgrind counts
//   to that paint, which do not depend on the machine's load;
// - the real program's resident memory 10 s after start with nothing touched;
// - the store's background load to its barrier, with the longest stall of the main thread while
//   it runs;
// - the first search keystroke after the Reference board opened, and the later ones;
// - the resident memory after opening every board with a search on each.
//
// `StartUpBench [data folder]` measures the data folder a `reference-store` run wrote (copied
// before each run, so that no run changes it for the next); without one it writes the dataset.

#include "BenchTiming.h"
#include "LoadedStore.h"
#include "ReferenceDataset.h"

#include "Pelorins/board/MacKanbanColumnsViewController.h"
#include "Pelorins/shell/DesktopServices.h"
#include "Pelorins/shell/MainWindowAssembly.h"
#include "Pelorins/shell/MainWindowController.h"
#include "Pelorins/sidebar/KDLeftSidebarViewController.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/Root.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "PelorinsKit/store/StoreLoading.h"
#include "Platform/core/DataFolders.h"
#include "Platform/core/FreedMemory.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/services/SingleInstance.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <functional>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int coldRuns = 5;
constexpr const char* execTimeVariable = "PELORINS_BENCH_EXEC_NS";

qint64 monotonicNanoseconds()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// Milliseconds since the parent process started this one.
double sinceExec()
{
    return double(monotonicNanoseconds() - qEnvironmentVariable(execTimeVariable).toLongLong()) / 1e6;
}

long minorFaults()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// A line of /proc/<pid>/status in MB ("VmRSS", "VmHWM"); -1 when it cannot be read.
double statusMegabytes(const QString& pid, const char* field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field)) + 1).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

// Calls `painted` once a paint pass of the board view has ended, after `armed` says it may.
class PaintWatch : public QObject
{
public:
    PaintWatch(MainWindowAssembly& assembly, std::function<bool()> armed, std::function<void()> painted)
        : m_assembly(assembly)
        , m_armed(std::move(armed))
        , m_painted(std::move(painted))
    {
        qApp->installEventFilter(this);
    }

    void rearm(std::function<bool()> armed, std::function<void()> painted)
    {
        m_armed = std::move(armed);
        m_painted = std::move(painted);
        m_seen = false;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint || m_seen || !m_painted)
            return false;
        MacKanbanColumnsViewController* board = m_assembly.board();
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!board || !widget || (widget != board && !board->isAncestorOf(widget)) || !m_armed())
            return false;
        // The pass paints every dirty widget of the window before the event loop goes on.
        m_seen = true;
        QTimer::singleShot(0, this, [this] {
            if (auto painted = std::exchange(m_painted, {}))
                painted();
        });
        return false;
    }

private:
    MainWindowAssembly& m_assembly;
    std::function<bool()> m_armed;
    std::function<void()> m_painted;
    bool m_seen = false;
};

// Reports the moment the window's search pause ends, that is when a typed search applies.
class SearchPauseWatch : public QObject
{
public:
    explicit SearchPauseWatch(std::function<void()> applying)
        : m_applying(std::move(applying))
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* timer = qobject_cast<QTimer*>(watched);
        if (event->type() == QEvent::Timer && timer && timer->isSingleShot()
            && timer->interval() == MainWindowController::searchPauseMilliseconds)
            m_applying();
        return false;
    }

private:
    std::function<void()> m_applying;
};

// The longest gap between ticks of a 1 ms timer beyond its interval: how long the main thread
// was kept from its events.
class StallWatch : public QObject
{
public:
    StallWatch()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const double now = milliseconds(m_clock);
            m_longest = std::max(m_longest, now - m_last - 1);
            m_last = now;
        });
        m_clock.start();
        m_timer.start();
    }
    double longest() const { return std::max(0.0, m_longest); }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_last = 0;
    double m_longest = 0;
};

bool storeFullyLoaded()
{
    const StoreLoading* loading = CoreDataManager::shared().loading();
    return loading && loading->isWholeStoreLoaded();
}

bool showsReferenceBoard(MainWindowAssembly& assembly)
{
    MacKanbanColumnsViewController* board = assembly.board();
    return board && board->kanban() && board->kanban()->title() == QLatin1String(ReferenceDataset::largeBoardTitle);
}

QList<Kanban*> boardsOf(DisplayItem* item)
{
    QList<Kanban*> boards;
    if (auto* kanban = dynamic_cast<Kanban*>(item))
        boards << kanban;
    for (DisplayItem* child : item->children())
        boards << boardsOf(child);
    return boards;
}

void print(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// The program as main() starts it, offscreen, reporting as the board paints and the store loads.
class Session
{
public:
    enum class Part { FirstPaint, Running };

    Session(Part part)
        : m_part(part)
        , m_services(UserDefaults::standard())
        , m_assembly(m_services.forAssembly())
        , m_paints(
              m_assembly, [this] { return showsReferenceBoard(m_assembly); }, [this] { firstPaint(); })
        , m_pause([this] { m_searchApplied.restart(); })
    {
        if (m_instance.start(QString()) == SingleInstance::Role::Secondary)
            qFatal("another instance of the program runs on the bench's folders");
        m_assembly.launch(m_instance, QString());
    }

private:
    void firstPaint()
    {
        print(QStringLiteral("first-paint %1 ms, %2 minor faults").arg(sinceExec(), 0, 'f', 1).arg(minorFaults()));
        if (m_part == Part::FirstPaint) {
            // The count ends here: nothing after the paint is measured.
            std::fflush(stdout);
            _exit(0);
        }
        m_stalls = std::make_unique<StallWatch>();
        m_sincePaint.start();
        waitForLoad();
    }

    void waitForLoad()
    {
        if (!storeFullyLoaded()) {
            QTimer::singleShot(5, [this] { waitForLoad(); });
            return;
        }
        print(QStringLiteral("background %1 ms after first paint, longest stall %2 ms")
                  .arg(milliseconds(m_sincePaint), 0, 'f', 1)
                  .arg(m_stalls->longest(), 0, 'f', 1));
        m_stalls.reset();
        // What the program does once loaded (measuring cards while idle) settles first.
        QTimer::singleShot(1000, [this] { search(0); });
    }

    void search(int keystroke)
    {
        static const QStringList terms {"c", "ca", "car", "card", "card ", "card 1", "card 12", "card 123"};
        if (keystroke == terms.size()) {
            print(QStringLiteral("later-keystrokes %1 ms median of %2")
                      .arg(median(m_laterKeystrokes), 0, 'f', 1)
                      .arg(m_laterKeystrokes.size()));
            QTimer::singleShot(0, [this] { openEveryBoard(); });
            return;
        }
        m_paints.rearm([this, term = terms.at(keystroke)] { return m_assembly.board()->searchTerm() == term; },
            [this, keystroke] {
                const double took = milliseconds(m_searchApplied);
                if (keystroke == 0)
                    print(QStringLiteral("first-keystroke %1 ms").arg(took, 0, 'f', 1));
                else
                    m_laterKeystrokes << took;
                QTimer::singleShot(0, [this, keystroke] { search(keystroke + 1); });
            });
        m_assembly.mainWindow()->searchField()->setText(terms.at(keystroke));
    }

    void openEveryBoard()
    {
        KDLeftSidebarViewController* sidebar = m_assembly.sidebar();
        const QList<Kanban*> boards = boardsOf(sidebar->rootObject());
        QLineEdit* field = m_assembly.mainWindow()->searchField();
        for (Kanban* board : boards) {
            sidebar->selectKanban(board);
            QCoreApplication::processEvents();
            field->setText(QStringLiteral("checklist item 3"));
            QThread::msleep(MainWindowController::searchPauseMilliseconds + 10);
            QCoreApplication::processEvents();
            field->clear();
            QCoreApplication::processEvents();
        }
        const QString self = QString::number(QCoreApplication::applicationPid());
        print(QStringLiteral("every-board %1 boards, %2 MB resident, peak %3 MB")
                  .arg(boards.size())
                  .arg(statusMegabytes(self, "VmRSS:"), 0, 'f', 0)
                  .arg(statusMegabytes(self, "VmHWM:"), 0, 'f', 0));
        std::fflush(stdout);
        _exit(0);
    }

    Part m_part;
    SingleInstance m_instance;
    DesktopServices m_services;
    MainWindowAssembly m_assembly;
    PaintWatch m_paints;
    SearchPauseWatch m_pause;
    std::unique_ptr<StallWatch> m_stalls;
    QElapsedTimer m_sincePaint;
    QElapsedTimer m_searchApplied;
    QList<double> m_laterKeystrokes;
};

// The folders a run of the program uses: a copy of the data folder, and its own preferences
// (those of a user who has seen the Reference board before) and runtime folder.
class RunFolders
{
public:
    explicit RunFolders(const QString& dataFolder)
    {
        copyTree(dataFolder, m_root.filePath(QStringLiteral("data")));
        QDir().mkpath(m_root.filePath(QStringLiteral("config")));
        QDir().mkpath(m_root.filePath(QStringLiteral("runtime")));
        QFile::setPermissions(m_root.filePath(QStringLiteral("runtime")), QFileDevice::ReadOwner
                | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        UserDefaults defaults(m_root.filePath(QStringLiteral("config/com.morvance.Pelorins.conf")));
        for (const char* flag : {"firstSetupCompleted", "addedMissingHistory", "doneCardsMigrated",
                 "convertedTagsToHashTags", "stylesUpdatedToVersion3", "viewAsMultiColumn", "windowPositionSet"})
            defaults.setValue(QLatin1String(flag), true);
        defaults.setValue(QStringLiteral("numberOfLaunches"), 5);
        defaults.setValue(QStringLiteral("lastSelectedSourceItem"), 0);
        defaults.synchronize();
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_root.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_root.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_root.filePath(QStringLiteral("runtime")));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // No session bus: the desktop's notifications and sleep signals stay out of the figures.
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));
        return environment;
    }

private:
    static void copyTree(const QString& from, const QString& to)
    {
        QDirIterator it(from, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            const QString target = QDir(to).filePath(QDir(from).relativeFilePath(file));
            QDir().mkpath(QFileInfo(target).path());
            if (!QFile::copy(file, target))
                qFatal("cannot copy %s", qPrintable(file));
        }
    }

    QTemporaryDir m_root;
};

// Runs this program in `part`, or another command, on a fresh copy of the data; the lines it
// prints that `keep` accepts come back.
QStringList runChild(const QString& dataFolder, const QStringList& command, int timeoutMilliseconds = -1)
{
    RunFolders folders(dataFolder);
    QProcess child;
    QProcessEnvironment environment = folders.environment();
    environment.insert(QLatin1String(execTimeVariable), QString::number(monotonicNanoseconds()));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(command.first(), command.mid(1));
    if (!child.waitForFinished(timeoutMilliseconds))
        qFatal("%s did not finish", qPrintable(command.join(QLatin1Char(' '))));
    const QStringList lines = QString::fromUtf8(child.readAllStandardOutput()).split(QLatin1Char('\n'));
    const QString errors = QString::fromUtf8(child.readAllStandardError());
    if (child.exitCode() != 0)
        qFatal("%s failed: %s", qPrintable(command.join(QLatin1Char(' '))), qPrintable(errors.right(2000)));
    return lines;
}

double numberAfter(const QStringList& lines, const QString& prefix, int field = 1)
{
    for (const QString& line : lines)
        if (line.startsWith(prefix))
            return line.split(QLatin1Char(' ')).value(field).toDouble();
    qFatal("no line \"%s\"", qPrintable(prefix));
}

QString lineStarting(const QStringList& lines, const QString& prefix)
{
    for (const QString& line : lines)
        if (line.startsWith(prefix))
            return line;
    qFatal("no line \"%s\"", qPrintable(prefix));
}

QString loadNow()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 0);
}

// Instructions from exec to the first paint, as callgrind counts them; none without valgrind.
std::optional<double> instructionsToFirstPaint(const QString& dataFolder, const QString& program)
{
    const QString valgrind = QStandardPaths::findExecutable(QStringLiteral("valgrind"));
    if (valgrind.isEmpty())
        return std::nullopt;
    QTemporaryDir out;
    const QString file = out.filePath(QStringLiteral("callgrind.out"));
    runChild(dataFolder,
        {valgrind, QStringLiteral("--tool=callgrind"), QStringLiteral("--callgrind-out-file=") + file, program,
            QStringLiteral("--first-paint")});
    QFile result(file);
    if (!result.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray& line : result.readAll().split('\n'))
        if (line.startsWith("summary:") || line.startsWith("totals:"))
            return line.mid(line.indexOf(':') + 1).trimmed().toDouble();
    return std::nullopt;
}

// The real program's resident memory after `seconds` with nothing touched.
double residentAfter(const QString& dataFolder, const QString& pelorins, int seconds)
{
    RunFolders folders(dataFolder);
    QProcess child;
    child.setProcessEnvironment(folders.environment());
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.setStandardOutputFile(QProcess::nullDevice());
    child.start(pelorins, {});
    if (!child.waitForStarted())
        qFatal("cannot start %s", qPrintable(pelorins));
    QThread::sleep(seconds);
    const double resident = statusMegabytes(QString::number(child.processId()), "VmRSS:");
    child.kill();
    child.waitForFinished();
    return resident;
}

int runAll(const QString& dataFolderArgument)
{
    QTemporaryDir written;
    QString dataFolder = dataFolderArgument;
    if (dataFolder.isEmpty()) {
        dataFolder = written.path();
        const QString storeFolder = QDir(dataFolder).filePath(QLatin1String(DataFolders::folderName));
        QDir().mkpath(storeFolder);
        QString error;
        const QString storePath = QDir(storeFolder).filePath(QLatin1String(CoreDataManager::storeFileName));
        if (!ReferenceDataset::write(storePath, QDate::currentDate(), &error))
            qFatal("cannot write the reference dataset: %s", qPrintable(error));
        const QStringList made = runChild(dataFolder,
            {QCoreApplication::applicationFilePath(), QStringLiteral("--write-pictures"), storePath});
        Q_UNUSED(made);
    }
    const QString program = QCoreApplication::applicationFilePath();
    const QString pelorins = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../Pelorins/pelorins"));

    QList<double> paints;
    QList<double> faults;
    QStringList loads;
    for (int run = 0; run < coldRuns; ++run) {
        loads << loadNow();
        const QStringList lines = runChild(dataFolder, {program, QStringLiteral("--first-paint")});
        paints << numberAfter(lines, QStringLiteral("first-paint"));
        faults << numberAfter(lines, QStringLiteral("first-paint"), 3);
    }
    std::printf("cold start, exec to the Reference board's first paint: median %.0f ms, fastest %.0f ms of %d "
                "(target <= 600 on a quiet machine), %.0f minor page faults; load %s\n",
        median(paints), *std::min_element(paints.cbegin(), paints.cend()), coldRuns, median(faults),
        qPrintable(loads.join(QLatin1Char(' '))));
    std::fflush(stdout);

    const QString load = loadNow();
    const double resident = residentAfter(dataFolder, pelorins, 10);
    std::printf("the program's resident memory 10 s after start, nothing touched: %.0f MB (target <= 150); load %s\n",
        resident, qPrintable(load));
    std::fflush(stdout);

    const QString sessionLoad = loadNow();
    const QStringList session = runChild(dataFolder, {program, QStringLiteral("--session")});
    std::printf("background load to the barrier: %s (target <= 1500 ms, stall <= 50 ms); load %s\n",
        qPrintable(lineStarting(session, QStringLiteral("background")).mid(11)), qPrintable(sessionLoad));
    std::printf("first search keystroke after the Reference board opened: %.1f ms (target <= 100); later ones: "
                "%.1f ms (target <= 50)\n",
        numberAfter(session, QStringLiteral("first-keystroke")), numberAfter(session, QStringLiteral("later-keystrokes")));
    std::printf("after opening every board with a search on each: %s (target <= 300 MB)\n",
        qPrintable(lineStarting(session, QStringLiteral("every-board")).mid(12)));
    std::fflush(stdout);

    if (const std::optional<double> instructions = instructionsToFirstPaint(dataFolder, program))
        std::printf("callgrind, exec to the Reference board's first paint: %.0f M instructions\n", *instructions / 1e6);
    else
        std::printf("callgrind: valgrind not found, instructions not counted\n");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const QStringList arguments = [&] {
        QStringList list;
        for (int i = 0; i < argc; ++i)
            list << QString::fromLocal8Bit(argv[i]);
        return list;
    }();
    const QString part = arguments.value(1);
    if (part == QLatin1String("--first-paint") || part == QLatin1String("--session")) {
        FreedMemory::keepForReuse();
        Q_INIT_RESOURCE(PelorinsResources);
        Q_INIT_RESOURCE(Backgrounds);
        QApplication application(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Pelorins"));
        QApplication::setOrganizationDomain(QStringLiteral("morvance.com"));
        Session session(part == QLatin1String("--first-paint") ? Session::Part::FirstPaint : Session::Part::Running);
        return application.exec();
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (part == QLatin1String("--write-pictures")) {
        auto store = load(arguments.value(2));
        ReferenceDataset::writePictures(*store.context,
            QDir(QFileInfo(arguments.value(2)).path())
                .filePath(QLatin1String(PictureFolders::attachmentPicturesFolderName)));
        return 0;
    }
    return runAll(part);
}
