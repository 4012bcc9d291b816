#include "PelorinsKit/notes/NotesDocumentLayout.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/TextDocumentTextStorage.h"
#include "support/TestImages.h"

#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <memory>

namespace {

AttributedString picture(int width, int height)
{
    TextAttachment attachment;
    attachment.fileWrapper = TextAttachment::FileWrapper {QStringLiteral("p.png"), pngOf(width, height, Qt::red)};
    return AttributedString::withAttachment(attachment);
}

// Notes of every kind of line: styles, checklists, a line that wraps, a word too long for a line,
// tabs, an empty line, a picture wider than the notes, and a line break at the end.
AttributedString mixedNotes()
{
    AttributedString notes(QStringLiteral("A title\n"), titleAttributes());
    notes.append(AttributedString(QStringLiteral("A header\n"), headerAttributes()));
    notes.append(AttributedString(QStringLiteral("Milk\nEggs and more eggs\n"), checkListAttributes()));
    QVariantMap tag = normalAttributes();
    tag.insert(AttributeKey::font, systemFontOfSize(12, QFont::Bold));
    notes.append(AttributedString(QString(QStringLiteral("words that wrap ")).repeated(12), normalAttributes()));
    notes.append(AttributedString(QStringLiteral("#tag\n\nfirst\tsecond\tthird\n"), tag));
    notes.append(AttributedString(QStringLiteral("x").repeated(90) + QStringLiteral("\n"), normalAttributes()));
    notes.append(picture(600, 40));
    notes.append(AttributedString(QStringLiteral("\nlast line\n"), normalAttributes()));
    return notes;
}

// A document set up as the notes editor sets up its own, laid out by Qt's layout or by ours.
struct Notes
{
    explicit Notes(bool ours)
    {
        if (ours)
            document.setDocumentLayout(new NotesDocumentLayout(&document));
        storage = std::make_unique<TextDocumentTextStorage>(&document);
        document.setUndoRedoEnabled(false);
        document.setDocumentMargin(0);
        document.setDefaultFont(systemFontOfSize(12, QFont::Normal));
        QTextFrameFormat root = document.rootFrame()->frameFormat();
        root.setLeftMargin(10);
        root.setRightMargin(10);
        root.setTopMargin(5);
        root.setBottomMargin(5);
        document.rootFrame()->setFrameFormat(root);
        document.setPageSize(QSizeF(280, -1));
    }

    QTextDocument document;
    std::unique_ptr<TextDocumentTextStorage> storage;
};

// Every line of both documents in the same place, as far down as ours lays them out, and both
// documents of the same size when ours lays out all of them.
void expectLaidOutAlike(
    const QTextDocument& qt, const QTextDocument& ours, qreal laidOutHeight = std::numeric_limits<qreal>::infinity())
{
    ASSERT_EQ(qt.blockCount(), ours.blockCount());
    if (std::isinf(laidOutHeight)) {
        EXPECT_EQ(qt.documentLayout()->documentSize(), ours.documentLayout()->documentSize());
    }
    for (QTextBlock a = qt.begin(), b = ours.begin();
         a.isValid() && a.isVisible() && qt.documentLayout()->blockBoundingRect(a).top() <= laidOutHeight;
         a = a.next(), b = b.next()) {
        SCOPED_TRACE(a.blockNumber());
        EXPECT_EQ(qt.documentLayout()->blockBoundingRect(a), ours.documentLayout()->blockBoundingRect(b));
        ASSERT_EQ(a.layout()->lineCount(), b.layout()->lineCount());
        for (int i = 0; i < a.layout()->lineCount(); ++i) {
            EXPECT_EQ(a.layout()->lineAt(i).rect(), b.layout()->lineAt(i).rect());
            EXPECT_EQ(a.layout()->lineAt(i).textLength(), b.layout()->lineAt(i).textLength());
        }
    }
}

QImage drawn(QTextDocument& document, const QTextCursor& selection, int caret)
{
    QImage image(300, int(document.size().height()) + 10, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = QPalette(Qt::black, Qt::white);
    context.cursorPosition = caret;
    QTextCharFormat selected;
    selected.setBackground(Qt::blue);
    selected.setForeground(Qt::white);
    context.selections.append({selection, selected});
    document.documentLayout()->draw(&painter, context);
    return image;
}

} // namespace

TEST(NotesDocumentLayout, PutsEveryLineWhereQtsLayoutPutsItThroughEdits)
{
    Notes qt(false);
    Notes ours(true);
    const auto both = [&](const std::function<void(Notes&)>& edit) {
        edit(qt);
        edit(ours);
        expectLaidOutAlike(qt.document, ours.document);
    };
    both([](Notes& notes) { notes.storage->setAttributedString(mixedNotes()); });
    // A letter typed, a line broken in two, lines taken out, a style changed, another width.
    both([](Notes& notes) { QTextCursor(notes.document.findBlockByNumber(3)).insertText(QStringLiteral("more ")); });
    both([](Notes& notes) {
        QTextCursor cursor(notes.document.findBlockByNumber(4));
        cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 20);
        cursor.insertBlock();
    });
    both([](Notes& notes) {
        QTextCursor cursor(notes.document.findBlockByNumber(1));
        cursor.setPosition(notes.document.findBlockByNumber(3).position(), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    });
    both([](Notes& notes) { notes.storage->addAttributes(titleAttributes(), TextRange {0, 20}); });
    both([](Notes& notes) { notes.document.setPageSize(QSizeF(170, -1)); });
}

TEST(NotesDocumentLayout, FindsAndDrawsWhatQtsLayoutFindsAndDraws)
{
    Notes qt(false);
    Notes ours(true);
    for (Notes* notes : {&qt, &ours})
        notes->storage->setAttributedString(mixedNotes());
    for (int y = -5; y < qt.document.size().height() + 10; y += 7) {
        for (int x = -5; x < 300; x += 13) {
            SCOPED_TRACE(QStringLiteral("%1, %2").arg(x).arg(y).toStdString());
            for (const Qt::HitTestAccuracy accuracy : {Qt::FuzzyHit, Qt::ExactHit})
                EXPECT_EQ(qt.document.documentLayout()->hitTest(QPointF(x, y), accuracy),
                    ours.document.documentLayout()->hitTest(QPointF(x, y), accuracy));
        }
    }

    // A selection over three lines and the caret on another.
    const auto paint = [](QTextDocument& document) {
        QTextCursor selection(&document);
        selection.setPosition(12);
        selection.setPosition(40, QTextCursor::KeepAnchor);
        return drawn(document, selection, 60);
    };
    EXPECT_EQ(paint(qt.document), paint(ours.document));
}

TEST(NotesDocumentLayout, LeavesOutEveryLineFromTheFirstHiddenOne)
{
    Notes qt(false);
    Notes ours(true);
    const QString lines = QString(QStringLiteral("a line of text\n")).repeated(2000);
    for (Notes* notes : {&qt, &ours}) {
        // The lines are hidden as the editor hides them: before the layout hears of them.
        QObject::connect(&notes->document, &QTextDocument::contentsChange, &notes->document, [notes] {
            for (QTextBlock block = notes->document.findBlockByNumber(40); block.isValid(); block = block.next())
                block.setVisible(false);
        });
        notes->storage->setAttributedString(AttributedString(lines, normalAttributes()));
        QTextCursor(notes->document.findBlockByNumber(2)).insertText(QStringLiteral("typed "));
        QTextCursor end(&notes->document);
        end.movePosition(QTextCursor::End);
        end.insertText(QStringLiteral("at the end"));
    }
    expectLaidOutAlike(qt.document, ours.document);
    EXPECT_EQ(ours.document.documentLayout()->blockBoundingRect(ours.document.findBlockByNumber(40)), QRectF());
    for (QTextBlock block = ours.document.findBlockByNumber(40); block.isValid(); block = block.next())
        ASSERT_EQ(block.layout()->lineCount(), 0) << block.blockNumber();
}

TEST(NotesDocumentLayout, LeavesOutTheLinesStartingBelowItsHeightAndLaysThemOutWhenTheyComeUp)
{
    constexpr qreal height = 300;
    Notes qt(false);
    Notes ours(true);
    static_cast<NotesDocumentLayout*>(ours.document.documentLayout())->setLaidOutHeight(height);
    const auto leftOut = [&] {
        int first = 0;
        while (ours.document.findBlockByNumber(first).layout()->lineCount() > 0)
            ++first;
        for (QTextBlock block = ours.document.findBlockByNumber(first); block.isValid(); block = block.next()) {
            EXPECT_EQ(block.layout()->lineCount(), 0) << block.blockNumber();
            EXPECT_GT(ours.document.documentLayout()->blockBoundingRect(block).top(), height) << block.blockNumber();
        }
        return first;
    };
    const auto both = [&](const std::function<void(Notes&)>& edit) {
        edit(qt);
        edit(ours);
        expectLaidOutAlike(qt.document, ours.document, height);
        return leftOut();
    };
    const int first = both([](Notes& notes) {
        notes.storage->setAttributedString(
            AttributedString(QString(QStringLiteral("a line\n")).repeated(100), normalAttributes()));
    });
    EXPECT_GT(first, 10);
    EXPECT_LT(first, 30);
    // Lines pushed down below the height lose their lines; pulled back up, they are laid out anew,
    // at the width of the day.
    EXPECT_EQ(both([](Notes& notes) {
        QTextCursor(&notes.document).insertText(QString(QStringLiteral("new\n")).repeated(8));
    }),
        first);
    both([](Notes& notes) { notes.document.setPageSize(QSizeF(40, -1)); });
    both([](Notes& notes) {
        QTextCursor cursor(&notes.document);
        cursor.setPosition(notes.document.findBlockByNumber(30).position(), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    });
}
