#include "Pelorins/card/DateDisplayButton.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/card/PrintableCheckButton.h"
#include "Pelorins/common/AppConstants.h"
#include "Pelorins/common/ColourHelpers.h"
#include "Pelorins/print/PrintableHeaderView.h"
#include "Pelorins/print/PrintableItemCellView.h"
#include "Pelorins/print/PrintedNotes.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/TextMeasures.h"
#include "support/PrintFixture.h"
#include "support/QStringPrinting.h"

#include <QImage>
#include <QPainter>

namespace {

class PrintablePage : public PrintFixture
{
protected:
    QImage render(const PrintPreviewView& preview, int pageNumber)
    {
        QImage image(preview.paperSize().toSize(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        preview.renderPage(painter, *preview.page(pageNumber), false);
        return image;
    }

    // Pixels darker than light grey inside `area`.
    static int inkIn(const QImage& image, const QRect& area)
    {
        int ink = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (qGray(image.pixel(x, y)) < 160)
                    ++ink;
        return ink;
    }

    static AttributedString item(const QString& text, bool done)
    {
        QVariantMap attributes = checkListAttributes();
        attributes.insert(AttributeKey::isChecklistChecked, done);
        return AttributedString(text, attributes);
    }
};

} // namespace

TEST_F(PrintablePage, OnlyTheTopPageOfAStripHasTheHeaderBand)
{
    makeBoard({"Ideas", "Doing"});
    for (int c = 0; c < 3; ++c)
        addCardOfHeight(0, 500, 0.75);
    const auto preview = makePreview(0.75);
    ASSERT_EQ(pagesPerStrip(*preview), QList<int> {3});
    const PrintablePageBox& top = *preview->page(1);
    const PrintablePageBox& second = *preview->page(2);
    EXPECT_TRUE(top.showsHeaderBand());
    EXPECT_FALSE(second.showsHeaderBand());
    EXPECT_EQ(top.contentRect, QRectF(0, 30, 612, 792 - 20 - 30));
    EXPECT_EQ(second.contentRect, QRectF(0, 0, 612, 792 - 20));
    EXPECT_EQ(top.headerColumns, (QList<KanbanColumn*> {stage(0), stage(1)}));
    EXPECT_TRUE(second.headerColumns.isEmpty());

    // The titles are drawn in the band of the top page only; the second page's top holds a card.
    const QImage first = render(*preview, 1);
    EXPECT_GT(inkIn(first, QRect(10, 1, 120, 15)), 0);
    EXPECT_GT(inkIn(first, QRect(235, 1, 120, 15)), 0) << "the second stage's title at 225";
}

TEST_F(PrintablePage, HeadersCountTheCardsOfTheirStage)
{
    makeBoard({"None", "One", "Twelve"});
    addCard(1, 20);
    for (int c = 0; c < 12; ++c)
        addCard(2, 20);
    PrintableHeaderView header;
    const QList<std::pair<int, QString>> expected {{0, "empty"}, {1, "1 card"}, {2, "12 cards"}};
    for (const auto& [index, subtitle] : expected) {
        header.setColumn(stage(index));
        EXPECT_EQ(header.title(), stage(index)->title());
        EXPECT_EQ(header.subtitle(), subtitle);
    }
    header.setColumn(nullptr);
    EXPECT_EQ(header.subtitle(), QStringLiteral("12 cards")) << "no stage changes nothing";
}

TEST_F(PrintablePage, TheLabelIsCentredInTheFooter)
{
    makeBoard({"A"});
    addCard(0, 20);
    const auto preview = makePreview(0.75);
    const QImage page = render(*preview, 1);
    EXPECT_EQ(preview->page(1)->label, QStringLiteral("Page 1"));
    EXPECT_GT(inkIn(page, QRect(276, 772, 60, 20)), 0);
    EXPECT_EQ(inkIn(page, QRect(0, 772, 250, 20)), 0);
    EXPECT_EQ(inkIn(page, QRect(362, 772, 250, 20)), 0);
}

TEST_F(PrintablePage, HeadersFollowAScaleChange)
{
    makeBoard({"A", "B", "C"});
    addCard(0, 20);
    const auto preview = makePreview(0.75);
    EXPECT_EQ(preview->page(1)->headerColumns, (QList<KanbanColumn*> {stage(0), stage(1)}));
    preview->setItemScale(0.5);
    preview->layoutPages();
    EXPECT_EQ(preview->page(1)->headerColumns, (QList<KanbanColumn*> {stage(0), stage(1), stage(2)}));
    EXPECT_EQ(preview->page(1)->headerRect, QRectF(0, 0, 612, 20));
    const QImage page = render(*preview, 1);
    EXPECT_GT(inkIn(page, QRect(304, 1, 60, 8)), 0) << "the third title at 2 x 150";
}

TEST_F(PrintablePage, ACardPrintsItsBadgeOnlyWithADueDate)
{
    makeBoard({"A"});
    ListItem* plain = builder.addCard(stage(0));
    ListItem* due = builder.addCard(stage(0));
    due->setDueDate(QDateTime::currentDateTimeUtc().addDays(3));
    PrintableItemCellView cell;
    for (ListItem* card : {plain, due}) {
        cell.setObjectValue(card, std::nullopt);
        cell.configure();
        EXPECT_EQ(!cell.showDateButton()->isHidden(), card == due);
        EXPECT_EQ(cell.size(), QSize(284, 58));
    }
}

// On paper as on the board: grey, red once overdue, light grey once done; never the green of a
// badge without a colour, and with text that stands out from its fill.
TEST_F(PrintablePage, BadgesPrintInTheBoardsColoursWithTextThatStandsOut)
{
    makeBoard({"A"});
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const struct
    {
        const char* name;
        QDateTime due;
        bool done;
        QColor fill;
    } cases[] = {
        {"later", now.addDays(30), false, badgeGreyColour()},
        {"overdue", now.addDays(-1), false, badgeRedColour()},
        {"done", now.addDays(30), true, QColor(170, 170, 170)},
    };
    for (const auto& c : cases) {
        ListItem* card = builder.addCard(stage(0));
        card->setDueDate(c.due);
        card->setDone(c.done);
        PrintableItemCellView cell;
        cell.setObjectValue(card, std::nullopt);
        cell.configure();
        const DateDisplayButton& badge = *cell.showDateButton();
        EXPECT_EQ(badge.fillColour(), c.fill) << c.name;
        EXPECT_EQ(badge.textColour(), PrintableItemCellView::badgeTextColour(c.fill)) << c.name;
    }
    // White on the darker fills, black on the lighter.
    const struct
    {
        QColor fill;
        QColor text;
    } texts[] = {{badgeGreyColour(), Qt::white}, {badgeRedColour(), Qt::white}, {badgeOrangeColour(), Qt::black},
        {QColor(170, 170, 170), Qt::black}};
    for (const auto& t : texts) {
        const QColor text = PrintableItemCellView::badgeTextColour(t.fill);
        EXPECT_EQ(text, t.text) << t.fill.name().toStdString();
        EXPECT_GE(contrastRatio(text, t.fill), 3) << t.fill.name().toStdString();
    }
}

TEST_F(PrintablePage, ChecklistBoxesSitByTheirWrappedLinesAndPrintTheirStates)
{
    makeBoard({"A"});
    ListItem* card = builder.addCard(stage(0));
    // A long first line wraps in the never-shown editor of a printed card: the boxes must sit by
    // their own lines all the same.
    AttributedString notes(QStringLiteral("A first line long enough to wrap over two or three lines of a "
                                          "printed card, which is 284 points wide\n"),
        normalAttributes());
    notes.append(item(QStringLiteral("done\n"), true));
    notes.append(item(QStringLiteral("open"), false));
    card->setAttributedNotes(notes);
    PrintableItemCellView cell;
    const double height = fullHeightToFit(notes, 284);
    cell.setObjectValue(card, height);
    cell.configure();
    ASSERT_NE(cell.notes(), nullptr);
    const QList<PrintedNotes::CheckBox> boxes = cell.notes()->checkBoxes();
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_TRUE(boxes.at(0).checked);
    EXPECT_FALSE(boxes.at(1).checked);
    EXPECT_GT(boxes.at(0).frame.y(), 30) << "below the wrapped first line";
    EXPECT_GT(boxes.at(1).frame.y(), boxes.at(0).frame.y() + 10);
    EXPECT_LT(boxes.at(1).frame.bottom(), height);

    // Drawn on paper: a light grey box with a white tick, or an empty box outlined in black.
    for (bool done : {true, false}) {
        PrintableCheckButton box;
        box.resize(16, 16);
        box.setChecked(done);
        QImage image(64, 64, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.scale(4, 4);
        box.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
        painter.end();
        EXPECT_LT(qGray(image.pixel(2, 32)), 80) << "black outline";
        EXPECT_EQ(image.pixelColor(32, 20), done ? QColor(Qt::lightGray) : QColor(Qt::white)) << "fill";
        EXPECT_EQ(image.pixelColor(4 * 5, 4 * 12), QColor(Qt::white)) << "tick";
    }
}

TEST_F(PrintablePage, ALinkCardIsMeasuredAndPrintedAsTheEditorShowsIt)
{
    makeBoard({"A"});
    // Stored notes keep a link card as its dictionary on an attachment character.
    const QString text = QStringLiteral("Links\nPaste a web address:\n");
    ListItem* plain = builder.addCard(stage(0));
    plain->setAttributedNotes(AttributedString(text.chopped(1), normalAttributes()));
    ListItem* linked = builder.addCard(stage(0));
    AttributedString notes(text + QChar(AttributedString::attachmentCharacter), normalAttributes());
    notes.addAttribute(AttributeKey::attachmentLinkData,
        QVariantMap {{QStringLiteral("URL"), QUrl(QStringLiteral("https://www.debian.org/"))},
            {QStringLiteral("title"), QStringLiteral("Debian")},
            {QStringLiteral("body"), QStringLiteral("www.debian.org")}},
        TextRange {int(text.size()), 1});
    linked->setAttributedNotes(notes);

    PrintPreviewView preview(*info);
    preview.setKanban(board);
    const double plainHeight = preview.notesHeightOf(plain).value_or(0);
    const double linkedHeight = preview.notesHeightOf(linked).value_or(0);
    EXPECT_GT(linkedHeight, plainHeight + 30) << "the link card takes its room";

    PrintableItemCellView cell;
    cell.setObjectValue(linked, linkedHeight);
    cell.configure();
    const QRect linkArea(0, int(plainHeight) + 2, cell.width(), int(linkedHeight - plainHeight) - 4);
    // On screen as the editor draws it, and on paper.
    for (bool onPaper : {false, true}) {
        QImage image(cell.size(), QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        if (onPaper)
            cell.print(painter, 0, cell.height());
        else
            cell.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
        painter.end();
        EXPECT_GT(inkIn(image, linkArea), 50) << "the link card's title and address are drawn" << onPaper;
    }
}
