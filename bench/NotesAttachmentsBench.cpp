// Checklists and pictures in a card of the reference board's first stage column, offscreen at
// 1440 x 900: ticking a checklist line from its box's handler until the line is ticked, written
// into the card, the undo step registered and the box painted again (no animation), and a
// 4,000 x 3,000 JPEG attached and shown (copied, its record made, inserted, laid out and painted
// once), with a check that a second paint decodes nothing.
//
// Usage: NotesAttachmentsBench [store]; the reference dataset is written there first when the
// file does not exist (into a temporary folder when no store is named). Pictures are copied into
// a temporary data folder.
#include "BenchTiming.h"
#include "CardCellBench.h"
#include "LoadedStore.h"
#include "Pelorins/card/ChecklistButton.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/column/ColumnCollectionView.h"
#include "Pelorins/column/KanbanColumnContainerView.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/TextAttachmentObject.h"
#include "Platform/core/UndoManager.h"
#include "ReferenceDataset.h"
#include "support/FakeColumnBoard.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int toggles = 200;
constexpr int insertions = 9;
constexpr double toggleGoal = 5.0;
constexpr double insertionGoal = 150.0;

AttributedString checklist()
{
    AttributedString notes(QStringLiteral("Before the release\n"), titleAttributes());
    for (const char* line : {"Write the notes\n", "Tag the build\n", "Tell the team"}) {
        QVariantMap attributes = checkListAttributes();
        attributes.insert(AttributeKey::isChecklistChecked, false);
        notes.append(AttributedString(QString::fromLatin1(line), attributes));
    }
    return notes;
}

QString writePhoto(const QTemporaryDir& folder)
{
    QImage photo(4000, 3000, QImage::Format_RGB32);
    QPainter painter(&photo);
    QLinearGradient sky(0, 0, 4000, 3000);
    sky.setColorAt(0, QColor(0x30, 0x70, 0xc0));
    sky.setColorAt(1, QColor(0xf0, 0xc0, 0x60));
    painter.fillRect(photo.rect(), sky);
    painter.end();
    const QString path = folder.filePath(QStringLiteral("photo.jpg"));
    if (!photo.save(path, "JPEG", 85))
        qFatal("cannot write the photo");
    return path;
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir folder;
    const QString path = ReferenceDataset::storeFromArguments(argc, argv, folder);
    const QString photo = writePhoto(folder);

    LoadedStore store = load(path);
    Kanban* kanban = ReferenceDataset::largeBoard(*store.context);
    KanbanColumn* stage = kanban->column().first();
    UndoManager undo;
    FakeColumnBoard board(kanban);
    board.setUndoManager(&undo);
    board.scrollView()->show();
    ListItem* card = stage->item().at(1);
    card->setAttributedNotes(checklist());
    card->setNotesExpanded(true);
    MacKanbanColumnController& column = board.addColumn(0);
    column.containerView()->setGeometry(0, 0, 300, 900);
    QApplication::processEvents();
    std::printf("NotesAttachmentsBench: first stage column, %lld cards, offscreen at 1440 x 900\n",
        qlonglong(stage->item().size()));

    QImage frame(300, 900, QImage::Format_ARGB32_Premultiplied);
    ListItemCellView* cell = column.cellShowing(card);
    if (!cell)
        qFatal("the checklist card is not shown");
    QList<double> toggling;
    for (int i = 0; i < toggles; ++i) {
        cell = column.cellShowing(card);
        auto* box = qobject_cast<ChecklistButton*>(cell->noteTextView()->checkButtons().value(1));
        if (!box)
            qFatal("the second line has no box");
        undo.removeAllActions();
        const QByteArray before = card->attributedNotesData();
        QElapsedTimer timer;
        timer.start();
        cell->noteTextView()->checkUncheckLine(box);
        QApplication::processEvents();
        paint(*column.cellShowing(card), frame);
        toggling.append(milliseconds(timer));
        if (undo.undoActionName() != NotesTextView::toggleChecklistActionName || card->attributedNotesData() == before)
            qFatal("the toggle was not written or not registered");
    }
    const double toggle = median(toggling);
    std::printf("  ticking a checklist line with its undo step, until painted: median %.2f ms over %d (goal <= %.0f "
                "ms, %.2fx of it)\n",
        toggle, toggles, toggleGoal, toggle / toggleGoal);

    QList<double> inserting;
    QList<double> insertingProcessor;
    int secondPaintDecodes = 0;
    for (int i = 0; i < insertions; ++i) {
        // The same card each time, its picture replaced, so that it stays in view.
        ListItem* target = stage->item().at(2);
        target->setAttributedNotes(AttributedString(QStringLiteral("Photo\n"), normalAttributes()));
        target->setNotesExpanded(true);
        QApplication::processEvents();
        ListItemCellView* shown = column.cellShowing(target);
        if (!shown)
            qFatal("the picture card is not shown");
        focus(shown);
        QApplication::processEvents();
        NotesTextView* editor = shown->noteTextView();
        QTextCursor end = editor->textCursor();
        end.movePosition(QTextCursor::End);
        editor->setTextCursor(end);
        BenchClock clock;
        if (!editor->insertImageAttachment(photo))
            qFatal("the photo was not attached");
        QApplication::processEvents();
        paint(*column.cellShowing(target), frame);
        inserting.append(clock.wall());
        insertingProcessor.append(clock.processor());
        auto* pictures = dynamic_cast<TextAttachmentObject*>(
            editor->document()->documentLayout()->handlerForObject(TextAttachmentObject::objectType));
        const int decoded = pictures ? pictures->decodedPictures() : 0;
        paint(*column.cellShowing(target), frame);
        secondPaintDecodes += (pictures ? pictures->decodedPictures() : 0) - decoded;
        shown->setFocus(Qt::OtherFocusReason);
        QApplication::processEvents();
    }
    const double insertion = median(inserting);
    std::printf("  a 4000 x 3000 JPEG attached and shown: median %.1f ms over %d (goal <= %.0f ms, %.2fx of it), "
                "processor time %.1f ms; pictures decoded by second paints: %d\n",
        insertion, insertions, insertionGoal, insertion / insertionGoal, median(insertingProcessor),
        secondPaintDecodes);
    return secondPaintDecodes == 0 ? 0 : 1;
}
