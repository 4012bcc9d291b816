#include "Pelorins/print/PrintPreviewViewController.h"
#include "Pelorins/print/PrintSplitViewController.h"
#include "Pelorins/print/QtPrinterCatalog.h"
#include "Pelorins/print/TestPrintViewController.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/widgets/ScriptedAlertPresenter.h"
#include "Platform/widgets/ScriptedFilePanelPresenter.h"
#include "support/PrintFixture.h"
#include "support/QStringPrinting.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

namespace {

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>").arg(program, QString::fromLocal8Bit(process.readAllStandardError()));
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Prints boards through the print window to PDF files in a temporary folder, and reads the
// pages back with poppler's tools.
class PrintToPdf : public PrintFixture
{
protected:
    PrintServices services() { return {*info, panels, printPanels, alerts}; }

    ListItem* addNote(int stageIndex, const QString& text)
    {
        ListItem* card = builder.addCard(stage(stageIndex));
        card->setAttributedNotes(AttributedString(text, normalAttributes()));
        return card;
    }

    // Prints through the window to `name` in the folder; false when the print failed.
    bool print(PrintSplitViewController& window, const QString& name)
    {
        panels.enqueueSaveAnswer(folder.filePath(name));
        return window.print(*info);
    }

    static int pageCount(const QString& pdf)
    {
        const QRegularExpressionMatch match
            = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(run("pdfinfo", {pdf}));
        return match.hasMatch() ? match.captured(1).toInt() : -1;
    }
    static QString pageSize(const QString& pdf)
    {
        const QRegularExpressionMatch match
            = QRegularExpression(QStringLiteral("Page size:\\s+(\\S+ x \\S+) pts")).match(run("pdfinfo", {pdf}));
        return match.captured(1);
    }
    static QString pageText(const QString& pdf, int page)
    {
        return run("pdftotext", {"-layout", "-f", QString::number(page), "-l", QString::number(page), pdf, "-"});
    }

    QTemporaryDir folder;
    ScriptedFilePanelPresenter panels;
    ScriptedPrintPanelPresenter printPanels;
    ScriptedAlertPresenter alerts;
    ConsoleLog::Capture console;
};

} // namespace

TEST_F(PrintToPdf, WritesThePreviewsPagesInOrder)
{
    makeBoard({"Ideas", "Doing", "Checked"});
    QHash<ListItem*, QString> texts;
    // Two pages down each stage: 20 cards of two lines.
    for (int s = 0; s < 3; ++s) {
        for (int c = 0; c < 20; ++c) {
            const QString key = QStringLiteral("K%1x%2q").arg(s).arg(c);
            texts.insert(addNote(s, key + QStringLiteral(" with a few more words to wrap on a line")), key);
        }
    }
    std::unique_ptr<PrintSplitViewController> window(PrintSplitViewController::make(services(), board));
    const PrintPreviewView& preview = *window->previewViewController()->previewView();
    ASSERT_GT(preview.pageCount(), 1);
    ASSERT_TRUE(print(*window, "board.pdf"));
    const QString pdf = folder.filePath("board.pdf");
    EXPECT_TRUE(console.contains("print operation did run: true"));
    EXPECT_EQ(panels.savePanels().last().allowedFileTypes, QStringList {"pdf"});
    EXPECT_EQ(pageCount(pdf), preview.pageCount());
    EXPECT_EQ(pageSize(pdf), QStringLiteral("612 x 792"));
    for (int number = 1; number <= preview.pageCount(); ++number) {
        SCOPED_TRACE(number);
        const QString text = pageText(pdf, number);
        const PrintablePageBox& page = *preview.page(number);
        EXPECT_TRUE(text.contains(QStringLiteral("Page %1").arg(number)));
        for (KanbanColumn* column : page.headerColumns)
            EXPECT_TRUE(text.contains(column->title())) << column->title().toStdString();
        for (const PrintSlice& slice : preview.slicesOnPage(page))
            EXPECT_TRUE(text.contains(texts.value(slice.card))) << texts.value(slice.card).toStdString();
    }

    info->setOrientation(QPageLayout::Landscape);
    NotificationCenter::shared().post(NotificationName::PrintInfoChanged);
    ASSERT_TRUE(print(*window, "landscape.pdf"));
    EXPECT_EQ(pageSize(folder.filePath("landscape.pdf")), QStringLiteral("792 x 612"));
    EXPECT_EQ(pageCount(folder.filePath("landscape.pdf")), preview.pageCount());
}

TEST_F(PrintToPdf, ALongNoteSplitOverPagesLosesNoLine)
{
    makeBoard({"Long"});
    QStringList lines;
    for (int i = 1; i <= 60; ++i)
        lines.append(QStringLiteral("Line%1").arg(i, 2, 10, QLatin1Char('0')));
    addNote(0, lines.join(QLatin1Char('\n')));
    std::unique_ptr<PrintSplitViewController> window(PrintSplitViewController::make(services(), board));
    window->setItemScale(1.5);
    const int pages = window->previewViewController()->previewView()->pageCount();
    ASSERT_GE(pages, 2);
    ASSERT_TRUE(print(*window, "long.pdf"));
    QString all;
    for (int number = 1; number <= pages; ++number)
        all += pageText(folder.filePath("long.pdf"), number);
    for (const QString& line : lines)
        EXPECT_TRUE(all.contains(line)) << line.toStdString();
    EXPECT_TRUE(pageText(folder.filePath("long.pdf"), 1).contains("Line01"));
    EXPECT_FALSE(pageText(folder.filePath("long.pdf"), 1).contains("Line60"));
}

// A card of many pages, of body lines with room between them, header lines without and a
// paragraph wrapped over many lines: each page takes up where the one before ended and ends
// between two lines, so every line is printed once and whole, clear of the page's footer.
TEST_F(PrintToPdf, ALongCardPrintsEachLineOnceAndWhole)
{
    makeBoard({"Long"});
    AttributedString notes;
    QStringList tokens;
    for (int i = 1; i <= 400; ++i) {
        const QString token = QStringLiteral("L%1").arg(i, 4, 10, QLatin1Char('0'));
        tokens.append(token);
        notes.append(AttributedString(token + QLatin1Char('\n'), i % 7 == 0 ? headerAttributes() : normalAttributes()));
        if (i == 150) {
            QStringList words;
            for (int w = 1; w <= 300; ++w)
                words.append(QStringLiteral("W%1").arg(w, 3, 10, QLatin1Char('0')));
            tokens.append(words);
            notes.append(AttributedString(words.join(QLatin1Char(' ')) + QLatin1Char('\n'), normalAttributes()));
        }
    }
    ListItem* card = builder.addCard(stage(0));
    card->setAttributedNotes(notes);
    std::unique_ptr<PrintSplitViewController> window(PrintSplitViewController::make(services(), board));
    const PrintPreviewView& preview = *window->previewViewController()->previewView();
    ASSERT_GT(preview.pageCount(), 4);
    ASSERT_TRUE(print(*window, "long.pdf"));

    // Words with their boxes, page by page, in points from the top of the page.
    const QString boxes = run("pdftotext", {"-bbox", folder.filePath("long.pdf"), "-"});
    const QStringList pages = boxes.split(QStringLiteral("<page "), Qt::SkipEmptyParts).mid(1);
    ASSERT_EQ(pages.size(), preview.pageCount());
    const QRegularExpression word(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    const QSet<QString> wanted(tokens.cbegin(), tokens.cend());
    QHash<QString, int> printed;
    for (int number = 1; number <= pages.size(); ++number) {
        const PrintablePageBox& page = *preview.page(number);
        const QRectF content = page.contentRect.translated(page.printableRect.topLeft());
        for (const QRegularExpressionMatch& match : word.globalMatch(pages.at(number - 1))) {
            const QString text = match.captured(5);
            if (!wanted.contains(text))
                continue;
            ++printed[text];
            EXPECT_GE(match.captured(2).toDouble(), content.top()) << text.toStdString() << " on page " << number;
            EXPECT_LE(match.captured(4).toDouble(), content.bottom()) << text.toStdString() << " on page " << number;
        }
    }
    for (const QString& token : tokens)
        EXPECT_EQ(printed.value(token), 1) << token.toStdString();
}

TEST_F(PrintToPdf, TheTestPrintIsOnePage)
{
    TestPrintViewController test(services());
    panels.enqueueSaveAnswer(folder.filePath("test"));
    ASSERT_TRUE(test.printTest());
    const QString pdf = folder.filePath("test.pdf");
    EXPECT_EQ(pageCount(pdf), 1);
    EXPECT_TRUE(pageText(pdf, 1).contains("Hello this is a test print"));
    EXPECT_TRUE(console.contains("rec for page called"));
}

TEST_F(PrintToPdf, FailuresAndCancelsReportFalse)
{
    makeBoard({"A"});
    addNote(0, "one card");
    std::unique_ptr<PrintSplitViewController> window(PrintSplitViewController::make(services(), board));

    // Cancelling the save panel writes nothing and says nothing.
    EXPECT_FALSE(window->print(*info));
    EXPECT_TRUE(alerts.alerts().isEmpty());
    EXPECT_EQ(console.lines().filter("print operation").last(), QStringLiteral("print operation did run: false"));

    // A folder that does not exist.
    const QString unwritable = folder.filePath("missing/board.pdf");
    panels.enqueueSaveAnswer(unwritable);
    EXPECT_FALSE(window->print(*info));
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_TRUE(alerts.alerts().last().messageText.contains(unwritable));

    // A printer that went away since it was chosen, with markup in its name.
    info->setPrinterName("<b>Gone</b>");
    EXPECT_FALSE(window->print(*info));
    ASSERT_EQ(alerts.alerts().size(), 2);
    EXPECT_TRUE(alerts.alerts().last().messageText.contains("<b>Gone</b>"));

    // A real printer shows the print dialog first; cancelling it prints nothing.
    catalog.printers.append({"Office", {QPageSize(QPageSize::Letter)}, QPageSize(QPageSize::Letter), QMarginsF()});
    info->setPrinterName("Office");
    EXPECT_FALSE(window->print(*info));
    EXPECT_EQ(printPanels.shown, 1);
    EXPECT_EQ(alerts.alerts().size(), 2);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList());
}

TEST_F(PrintToPdf, AnEmptyBoardHasNothingToPrint)
{
    makeBoard({"A", "B"});
    std::unique_ptr<PrintSplitViewController> window(PrintSplitViewController::make(services(), board));
    panels.enqueueSaveAnswer(folder.filePath("empty.pdf"));
    EXPECT_FALSE(window->print(*info));
    EXPECT_EQ(panels.savePanels().size(), 0) << "no panel for nothing";
    EXPECT_FALSE(QFileInfo::exists(folder.filePath("empty.pdf")));
}

// Run once more by ctest with CUPS_SERVER naming a socket that does not exist.
TEST_F(PrintToPdf, WithoutAPrintServerOnlySaveAsPdfIsListed)
{
    const QString server = qEnvironmentVariable("CUPS_SERVER");
    if (server.isEmpty() || QFileInfo::exists(server))
        GTEST_SKIP() << "needs CUPS_SERVER set to a socket that does not exist";
    const QtPrinterCatalog system;
    EXPECT_EQ(system.printerNames(), QStringList {"Save as PDF"});
    const PrintInfo first(system);
    EXPECT_EQ(first.printerName(), QStringLiteral("Save as PDF"));
    EXPECT_TRUE(
        first.paperName() == QPageSize(QPageSize::A4).key() || first.paperName() == QPageSize(QPageSize::Letter).key());
    EXPECT_EQ(first.imageablePageBounds(), QRectF(QPointF(0, 0), first.paperSize()));
}
