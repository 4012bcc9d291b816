// Reading the notes of the reference dataset's big board: decoding all 10,000 notes on first
// access after loading the store, then rebuilding them in editor form with their pictures read
// from the picture folder (one card in twenty shows a picture).

#include "LoadedStore.h"
#include "ReferenceDataset.h"

#include "BenchTiming.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "PelorinsKit/store/ImageWriting.h"
#include "Platform/core/DataFolders.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int runs = 5;

QList<ListItem*> bigBoardCards(ManagedObjectContext& context)
{
    for (Kanban* board : context.fetchAs<Kanban>(FetchRequest(QStringLiteral("Kanban")))) {
        if (board->title() != QLatin1String("Reference board"))
            continue;
        QList<ListItem*> cards;
        for (KanbanColumn* column : board->column())
            cards.append(column->item());
        cards.append(board->mainColumn()->item());
        return cards;
    }
    qFatal("no reference board");
}

// Writes a small picture into the folder of every picture record of the cards.
int writePictures(const QList<ListItem*>& cards)
{
    const std::optional<QString> base = PictureFolders::attachmentPicturesFolderURL();
    if (!base)
        qFatal("no picture folder");
    QImage image(320, 240, QImage::Format_RGB32);
    image.fill(QColor(40, 120, 200));
    int pictures = 0;
    for (ListItem* card : cards)
        for (ImageAttachment* record : card->imageAttachments()) {
            const QString folder = QDir(*base).filePath(record->folderUUID());
            QDir().mkpath(folder);
            writePNG(image, QDir(folder).filePath(QLatin1String(ReferenceDataset::pictureFileName)));
            ++pictures;
        }
    return pictures;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QTemporaryDir folder;
    DataFolders::setBaseFolderForTesting(folder.path());
    const QString path = folder.filePath(QStringLiteral("Reference.storedata"));
    QString error;
    if (!ReferenceDataset::write(path, QDate(2026, 12, 9), &error))
        qFatal("cannot write the reference dataset: %s", qPrintable(error));

    int pictures = 0;
    {
        LoadedStore store = load(path);
        pictures = writePictures(bigBoardCards(*store.context));
    }

    QList<double> decodes;
    QList<double> restores;
    int cards = 0;
    qsizetype characters = 0;
    qsizetype storedBytes = 0;
    int attached = 0;
    for (int run = 0; run < runs; ++run) {
        LoadedStore store = load(path);
        const QList<ListItem*> board = bigBoardCards(*store.context);
        QElapsedTimer timer;
        timer.start();
        for (ListItem* card : board)
            characters += card->attributedNotes()->length();
        decodes.append(milliseconds(timer));

        timer.restart();
        for (ListItem* card : board) {
            const AttributedString notes = *card->getAttributedNotes();
            if (run == 0)
                notes.enumerateAttribute(AttributeKey::attachment, {0, notes.length()},
                    [&attached](const QVariant& value, TextRange) { attached += value.isValid(); });
        }
        restores.append(milliseconds(timer));
        if (run == 0) {
            cards = int(board.size());
            for (ListItem* card : board)
                storedBytes += card->attributedNotesData().size();
        }
    }

    std::printf("big board: %d notes, %.0f characters and %.0f stored bytes on average, %d of %d pictures attached\n",
        cards, double(characters) / (cards * runs), double(storedBytes) / cards, attached, pictures);
    std::printf("decode all notes on first access:   %8.1f ms  (%.3f ms per note; median of %d loads)\n",
        median(decodes), median(decodes) / cards, runs);
    std::printf("rebuild them with their pictures:   %8.1f ms  (%.3f ms per note)\n", median(restores),
        median(restores) / cards);
    std::printf("decode and rebuild, all notes:      %8.1f ms\n", median(decodes) + median(restores));
    DataFolders::setBaseFolderForTesting(QString());
    return 0;
}
