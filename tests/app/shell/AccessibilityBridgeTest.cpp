#include "Pelorins/board/MacKanbanColumnsViewController.h"
#include "Pelorins/card/CheckedButton.h"
#include "Pelorins/card/DateDisplayButton.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/column/ColumnCollectionView.h"
#include "Pelorins/column/ListItemHeaderCellView.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "Pelorins/shell/MainSplitViewController.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/Root.h"
#include "PelorinsKit/notes/AttributedString.h"
#include "support/MainWindowFixture.h"
#include "support/QStringPrinting.h"

#include <QAccessible>
#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>
#include <gtest/gtest.h>
#include <iostream>

namespace {

// One object of the tree a screen reader reads.
struct Node
{
    QString role;
    QString name;
    QString description;
    QString text;
    QStringList states;
    QString path;
};

struct Dump
{
    int exitCode = -1;
    QString output;
    QString errors;
    QHash<QString, Node> byPath;
    QList<Node> nodes;
};

QString unquoted(const QString& text)
{
    QString plain;
    for (int at = 0; at < text.size(); ++at) {
        if (text.at(at) == QLatin1Char('\\') && at + 1 < text.size()) {
            ++at;
            plain += text.at(at) == QLatin1Char('n') ? QChar(u'\n') : text.at(at);
        } else {
            plain += text.at(at);
        }
    }
    return plain;
}

// Reads this very program through the accessibility bus, from another process: the bridge
// answers from this event loop, which must go on meanwhile.
Dump readThisProgram()
{
    Dump dump;
    QProcess reader;
    QEventLoop loop;
    QObject::connect(&reader, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&reader, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(90000, &loop, &QEventLoop::quit);
    // The reader is a tool, not the program: in a sanitizer build the bus connection Qt keeps
    // until exit must not turn its answer into a failure.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString sanitizer = environment.value(QStringLiteral("ASAN_OPTIONS"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
        sanitizer.isEmpty() ? QStringLiteral("detect_leaks=0") : sanitizer + QStringLiteral(":detect_leaks=0"));
    reader.setProcessEnvironment(environment);
    reader.start(
        QStringLiteral(ATSPI_DUMP), {QStringLiteral("--pid"), QString::number(QCoreApplication::applicationPid())});
    loop.exec();
    if (reader.state() != QProcess::NotRunning) {
        reader.kill();
        reader.waitForFinished();
        dump.errors = QStringLiteral("the reader did not finish");
        return dump;
    }
    dump.exitCode = reader.exitStatus() == QProcess::NormalExit ? reader.exitCode() : -1;
    dump.output = QString::fromUtf8(reader.readAllStandardOutput());
    dump.errors = QString::fromUtf8(reader.readAllStandardError());
    static const QRegularExpression line(QStringLiteral(
        R"re(^\s*(.+?) "((?:[^"\\]|\\.)*)"(?: desc="((?:[^"\\]|\\.)*)")?(?: text="((?:[^"\\]|\\.)*)")? \[([^\]]*)\] (\S+)$)re"));
    for (const QString& text : dump.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = line.match(text);
        if (!match.hasMatch())
            continue;
        Node node {match.captured(1), unquoted(match.captured(2)), unquoted(match.captured(3)),
            unquoted(match.captured(4)), match.captured(5).split(QLatin1Char(' '), Qt::SkipEmptyParts),
            match.captured(6)};
        dump.byPath.insert(node.path, node);
        dump.nodes << node;
    }
    return dump;
}

// The bus is started by the first reader that asks for it, and the program joins it a moment
// later: until then the reader does not find it.
Dump dumpThisProgram()
{
    Dump dump = readThisProgram();
    for (int attempt = 0; attempt < 20 && dump.exitCode == 1; ++attempt) {
        QEventLoop loop;
        QTimer::singleShot(500, &loop, &QEventLoop::quit);
        loop.exec();
        dump = readThisProgram();
    }
    return dump;
}

// What assistive technology is told meanwhile: which objects changed their names or texts.
struct ChangeLog
{
    static inline ChangeLog* current = nullptr;

    ChangeLog()
    {
        current = this;
        previous = QAccessible::installUpdateHandler([](QAccessibleEvent* event) {
            if (current)
                current->told.insert({event->type(), event->object()});
        });
    }
    ~ChangeLog()
    {
        QAccessible::installUpdateHandler(previous);
        current = nullptr;
    }

    QSet<std::pair<QAccessible::Event, QObject*>> told;
    QAccessible::UpdateHandler previous = nullptr;
};

QString pathOf(QObject* object)
{
    return QStringLiteral("/org/a11y/atspi/accessible/")
        + QString::number(QAccessible::uniqueId(QAccessible::queryAccessibleInterface(object)));
}

class AccessibilityBridge : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "reads the program through the desktop's accessibility bus, which needs a display: "
                            "run as AccessibilityBridge.OnVirtualDisplay";
        if (qgetenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON") != "1")
            GTEST_SKIP() << "needs the accessibility bridge on (QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1)";
        MainWindowFixture::SetUp();
    }

    // The examples a first launch brings, in the main window.
    QList<Kanban*> openExamples()
    {
        assembly->appDelegate().importExamples(true);
        openWindow().resize(1400, 860);
        settle();
        QList<Kanban*> found;
        std::function<void(DisplayItem*)> walk = [&](DisplayItem* item) {
            if (auto* kanban = dynamic_cast<Kanban*>(item); kanban && kanban != plans && kanban != chores)
                found << kanban;
            for (DisplayItem* child : item->children())
                walk(child);
        };
        walk(manager.getRootObject(false));
        return found;
    }
    static void settle()
    {
        QEventLoop loop;
        QTimer::singleShot(300, &loop, &QEventLoop::quit);
        loop.exec();
    }
    QHash<ListItemCellView*, ListItem*> shownCards() const
    {
        QHash<ListItemCellView*, ListItem*> shown;
        for (MacKanbanColumnController* column : board()->columnControllers())
            for (ListItemCellView* cell : column->collectionView()->viewport()->findChildren<ListItemCellView*>())
                if (cell->isVisible())
                    shown.insert(cell, cell->objectValue());
        return shown;
    }
    void showBoard(Kanban* kanban)
    {
        selectInSidebar(kanban);
        settle();
    }
    MacKanbanColumnsViewController* board() const
    {
        return dynamic_cast<MacKanbanColumnsViewController*>(assembly->splitView()->kanbanColumnsViewController());
    }

    // The dump's word on every card and header the board shows, and on everything that shows.
    void checkEverythingIsNamedTruly(const Dump& dump)
    {
        for (const Node& node : dump.nodes) {
            static const QStringList named {QStringLiteral("push button"), QStringLiteral("toggle button"),
                QStringLiteral("check box"), QStringLiteral("list item"), QStringLiteral("heading"),
                QStringLiteral("slider")};
            if (node.states.contains(QStringLiteral("showing")) && named.contains(node.role)) {
                EXPECT_FALSE(node.name.isEmpty())
                    << "an unnamed " << node.role.toStdString() << " " << node.path.toStdString();
            }
        }
        int cards = 0;
        int headers = 0;
        for (MacKanbanColumnController* column : board()->columnControllers()) {
            QWidget* viewport = column->collectionView()->viewport();
            for (ListItemCellView* cell : viewport->findChildren<ListItemCellView*>()) {
                const Node node = dump.byPath.value(pathOf(cell));
                if (!cell->isVisible()) {
                    // Put away for another card: nothing of the last one.
                    EXPECT_TRUE(node.name.isEmpty()) << node.name.toStdString();
                    continue;
                }
                ListItem* card = cell->objectValue();
                ASSERT_NE(card, nullptr);
                ++cards;
                EXPECT_EQ(node.role, QStringLiteral("list item"));
                const QString firstLine = card->firstLineOfNotes().trimmed();
                if (!firstLine.contains(AttributedString::attachmentCharacter)) {
                    EXPECT_EQ(node.name, firstLine.isEmpty() ? QStringLiteral("Empty Card") : firstLine);
                }
                EXPECT_FALSE(node.name.isEmpty());
                EXPECT_EQ(node.description.contains(QLatin1String("done")), card->done()) << node.name.toStdString();
                EXPECT_EQ(node.description.contains(QLatin1String("due")), bool(card->dueDate()))
                    << node.name.toStdString();
                EXPECT_EQ(node.text.isEmpty(), !card->getAttributedNotes() || card->getAttributedNotes()->isEmpty())
                    << node.name.toStdString();
                EXPECT_EQ(dump.byPath.value(pathOf(cell->checkButton())).name,
                    card->done() ? QStringLiteral("Unmark Done") : QStringLiteral("Mark Done"));
                const QString due = dump.byPath.value(pathOf(cell->showDateButton())).name;
                EXPECT_EQ(due == QLatin1String("Set Due Date"), !card->dueDate()) << node.name.toStdString();
            }
            QList<ListItemHeaderCellView*> columnHeaders = viewport->findChildren<ListItemHeaderCellView*>();
            if (ListItemHeaderCellView* top = column->topHeaderView())
                columnHeaders << top;
            for (ListItemHeaderCellView* header : std::as_const(columnHeaders)) {
                const Node node = dump.byPath.value(pathOf(header));
                if (!header->isVisible()) {
                    EXPECT_TRUE(node.name.isEmpty()) << node.name.toStdString();
                    continue;
                }
                ++headers;
                EXPECT_EQ(node.role, QStringLiteral("heading"));
                EXPECT_EQ(node.name, header->title() + QStringLiteral(", ") + header->rightLabel());
            }
        }
        EXPECT_GT(cards, 0);
        EXPECT_GT(headers, 0);
    }
};

} // namespace

TEST_F(AccessibilityBridge, AScreenReaderFindsEveryCardHeaderAndButtonOfTheExamplesTrulyNamed)
{
    const QList<Kanban*> examples = openExamples();
    ASSERT_GE(examples.size(), 2);
    int reused = 0;

    for (Kanban* kanban : examples) {
        SCOPED_TRACE(kanban->title().toStdString());
        // Each board shows in the cells the board before it left, and says so.
        const QHash<ListItemCellView*, ListItem*> before
            = board() ? shownCards() : QHash<ListItemCellView*, ListItem*>();
        {
            ChangeLog log;
            showBoard(kanban);
            for (auto [cell, card] : shownCards().asKeyValueRange()) {
                if (!before.contains(cell) || before.value(cell) == card)
                    continue;
                ++reused;
                EXPECT_TRUE(log.told.contains({QAccessible::NameChanged, cell}))
                    << card->firstLineOfNotes().toStdString();
                EXPECT_TRUE(log.told.contains({QAccessible::TextUpdated, cell}))
                    << card->firstLineOfNotes().toStdString();
            }
        }
        ASSERT_EQ(board()->kanban(), kanban);
        const Dump dump = dumpThisProgram();
        if (dump.exitCode == 2)
            GTEST_SKIP() << dump.errors.trimmed().toStdString();
        ASSERT_EQ(dump.exitCode, 0) << dump.errors.toStdString();
        std::cout << "--- " << kanban->title().toStdString() << "\n" << dump.output.toStdString();
        checkEverythingIsNamedTruly(dump);
        // The toolbar's buttons by their tooltips.
        for (const char* name : {"Hide Sidebar", "Change Background", "Tags", "View as Single Column"}) {
            const bool found = std::any_of(dump.nodes.begin(), dump.nodes.end(),
                [name](const Node& node) { return node.name == QLatin1String(name); });
            EXPECT_TRUE(found) << name;
        }
    }
    EXPECT_GT(reused, 0);
}
