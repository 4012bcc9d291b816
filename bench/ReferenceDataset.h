#pragma once

// The reference dataset of the benchmarks: 50,000 cards in all. One large board of 10,000 cards
// (8 stage columns of 250 open cards, 8,000 done cards over 365 day groups) and 200 boards of 200
// cards in 20 folders; every card carries 2 tags and a history, one card in five has a due date.
// Every card has notes of about 1,000 characters (a title line, body lines, three checklist lines
// and its two tags as hash tags); one card in twenty also shows a picture, with its picture record.
// Header-only so that any benchmark or test can write it without another library.

#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/EntityModel.h"
#include "PelorinsKit/model/ImageAttachment.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "PelorinsKit/model/Root.h"
#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/store/ImageWriting.h"
#include "Platform/core/objectgraph/PersistentStoreCoordinator.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QTemporaryDir>

class ReferenceDataset
{
public:
    static constexpr int largeBoardStages = 8;
    static constexpr int largeBoardOpenCardsPerStage = 250;
    static constexpr int largeBoardDoneCards = 8000;
    static constexpr int largeBoardDays = 365;
    static constexpr int folders = 20;
    static constexpr int boardsPerFolder = 10;
    static constexpr int smallBoardStages = 4;
    static constexpr int smallBoardOpenCardsPerStage = 40;
    static constexpr int smallBoardDoneCards = 40;
    static constexpr int smallBoardDays = 10;
    static constexpr int tagsPerBoard = 10;
    static constexpr int cardsInAll = largeBoardStages * largeBoardOpenCardsPerStage + largeBoardDoneCards
        + folders * boardsPerFolder * (smallBoardStages * smallBoardOpenCardsPerStage + smallBoardDoneCards);
    static_assert(cardsInAll == 50000);
    static constexpr int cardsPerPicture = 20;
    static constexpr const char* pictureFileName = "picture.png";
    static constexpr const char* largeBoardTitle = "Reference board";

    // The picture folder named in the notes of card number `n` (in the order cards are made).
    static QString pictureFolder(int n)
    {
        return QStringLiteral("%1-0000-4000-8000-000000000000").arg(n, 8, 16, QLatin1Char('0')).toUpper();
    }

    // The board of 10,000 cards in a loaded store of the dataset; a store without it ends the run.
    static Kanban* largeBoard(ManagedObjectContext& context)
    {
        for (Kanban* board : context.fetchAs<Kanban>(FetchRequest(QStringLiteral("Kanban"))))
            if (board->title() == QLatin1String(largeBoardTitle))
                return board;
        qFatal("the reference board is missing");
    }

    // The store named on the command line, written first if it does not exist yet; without one, the
    // dataset written into `folder`. A failure ends the run.
    static QString storeFromArguments(int argc, char** argv, const QTemporaryDir& folder)
    {
        const QString path
            = argc > 1 ? QString::fromLocal8Bit(argv[1]) : folder.filePath(QStringLiteral("Reference.storedata"));
        if (!QFileInfo::exists(path)) {
            QString error;
            if (!write(path, QDate::currentDate(), &error))
                qFatal("cannot write the reference dataset: %s", qPrintable(error));
        }
        return path;
    }

    // Writes the dataset into a new store at `storePath`; the day groups count back from `today`.
    static bool write(const QString& storePath, const QDate& today, QString* error)
    {
        auto model = EntityModel::currentModel(error);
        if (!model)
            return false;
        auto coordinator = std::make_shared<PersistentStoreCoordinator>(model);
        if (!coordinator->addPersistentStore(storePath, error))
            return false;
        auto context = EntityModel::makeContext(model);
        if (!context->loadPersistentStore(coordinator, error))
            return false;

        ReferenceDataset dataset(*context, today);
        auto* root = context->insertNewObject<Root>(QStringLiteral("Root"));
        dataset.addBoard(root, QLatin1String(largeBoardTitle), largeBoardStages, largeBoardOpenCardsPerStage,
            largeBoardDoneCards, largeBoardDays);
        for (int f = 0; f < folders; ++f) {
            auto* folder = context->insertNewObject<Folder>(QStringLiteral("Folder"));
            folder->setTitle(QStringLiteral("Folder %1").arg(f + 1));
            folder->setParent(root);
            for (int b = 0; b < boardsPerFolder; ++b)
                dataset.addBoard(folder, QStringLiteral("Board %1.%2").arg(f + 1).arg(b + 1), smallBoardStages,
                    smallBoardOpenCardsPerStage, smallBoardDoneCards, smallBoardDays);
        }
        const bool saved = context->save(error);
        coordinator->removePersistentStore();
        return saved;
    }

    // Writes a small picture that names its folder into the folder of every picture record of a
    // loaded store of the dataset, under `picturesFolder`; answers how many it wrote.
    static int writePictures(ManagedObjectContext& context, const QString& picturesFolder)
    {
        int written = 0;
        for (ImageAttachment* record :
            context.fetchAs<ImageAttachment>(FetchRequest(QStringLiteral("ImageAttachment")))) {
            const std::optional<QString> folder
                = PictureFolders::pictureFolderPath(picturesFolder, record->folderUUID());
            if (!folder || !QDir().mkpath(*folder))
                continue;
            QImage image(320, 180, QImage::Format_RGB32);
            image.fill(QColor(84, 143, 204));
            QPainter painter(&image);
            painter.setPen(Qt::white);
            painter.drawText(image.rect(), Qt::AlignCenter, record->folderUUID().left(8));
            painter.end();
            writePNG(image, QDir(*folder).filePath(QLatin1String(pictureFileName)));
            ++written;
        }
        return written;
    }

private:
    ReferenceDataset(ManagedObjectContext& context, const QDate& today)
        : m_context(context)
        , m_today(today)
    {
    }

    void addBoard(Folder* parent, const QString& title, int stages, int openCardsPerStage, int doneCards, int days)
    {
        auto* board = m_context.insertNewObject<Kanban>(QStringLiteral("Kanban"));
        board->setTitle(title);
        board->setParent(parent);
        QList<Tag*> tags;
        for (int t = 0; t < tagsPerBoard; ++t) {
            auto* tag = m_context.insertNewObject<Tag>(QStringLiteral("Tag"));
            tag->setName(QStringLiteral("tag%1").arg(t + 1));
            tag->setColour(t % 7);
            tag->setKanban(board);
            tags.append(tag);
        }
        for (int s = 0; s < stages; ++s) {
            KanbanColumn* stage = addColumn(QStringLiteral("Stage %1").arg(s + 1));
            stage->setKanban(board);
            for (int c = 0; c < openCardsPerStage; ++c)
                addCard(stage, tags, stage->uniqueIdentifier());
        }
        KanbanColumn* doneColumn = addColumn(QStringLiteral("Done"));
        board->setMainColumn(doneColumn);
        // Newest day first, cards spread evenly over the days.
        QList<DoneDate*> groups;
        for (int d = 0; d < days; ++d) {
            auto* group = m_context.insertNewObject<DoneDate>(QStringLiteral("DoneDate"));
            group->setDoneDate(QDateTime(m_today.addDays(-d), QTime(0, 0)));
            group->setKanban(board);
            groups.append(group);
        }
        for (int c = 0; c < doneCards; ++c) {
            DoneDate* group = groups.at(qsizetype(c) * days / doneCards);
            ListItem* card = addCard(doneColumn, tags, doneColumn->uniqueIdentifier());
            card->setDone(true);
            card->setDoneDate(group->doneDate().addSecs(3600));
            card->setParentDoneGroup(group);
            addHistory(card, ListItemAction::markedDone, QString());
        }
    }

    KanbanColumn* addColumn(const QString& title)
    {
        auto* column = m_context.insertNewObject<KanbanColumn>(QStringLiteral("KanbanColumn"));
        column->setTitle(title);
        return column;
    }

    ListItem* addCard(KanbanColumn* column, const QList<Tag*>& tags, const QString& columnIdentifier)
    {
        const int n = m_cards++;
        auto* card = m_context.insertNewObject<ListItem>(QStringLiteral("ListItem"));
        card->setColumn(column);
        card->setNotesExpanded(true);
        card->setDateAdded(QDateTime(m_today.addDays(-(n % 400)), QTime(9, 0)));
        if (n % 5 == 0)
            card->setDueDate(QDateTime(m_today.addDays(n % 30 - 10), QTime(17, 0)));
        card->setTags({tags.at(n % tags.size()), tags.at((n + 3) % tags.size())});
        card->setAttributedNotes(notes(n, card->tags()));
        if (n % cardsPerPicture == 0)
            ImageAttachment::create(pictureFolder(n), &m_context)->setListItems({card});
        addHistory(card, ListItemAction::created, QString());
        addHistory(card, ListItemAction::moved, columnIdentifier);
        return card;
    }

    AttributedString notes(int n, const QList<Tag*>& tags) const
    {
        AttributedString text(QStringLiteral("Card %1: prepare the quarterly review\n").arg(n), m_title);
        for (int line = 0; line < 8; ++line)
            text.append(AttributedString(QStringLiteral("Body line %1 of card %2, with enough words to wrap inside a "
                                                        "column of the board: about a hundred.\n")
                                             .arg(line)
                                             .arg(n),
                m_normal));
        for (int item = 0; item < 3; ++item) {
            QVariantMap checklist = m_checklist;
            checklist.insert(AttributeKey::isChecklistChecked, item <= n % 3);
            text.append(AttributedString(QStringLiteral("Checklist item %1\n").arg(item + 1), checklist));
        }
        text.append(AttributedString(
            QStringLiteral("Tagged #%1 and #%2").arg(tags.at(0)->name(), tags.at(1)->name()), m_normal));
        if (n % cardsPerPicture == 0) {
            QVariantMap picture = m_normal;
            picture.insert(AttributeKey::fileFolderUUID, pictureFolder(n));
            picture.insert(AttributeKey::filename, QLatin1String(pictureFileName));
            text.append(AttributedString(QStringLiteral("\n"), m_normal));
            text.append(AttributedString(QString(AttributedString::attachmentCharacter), picture));
        }
        return text;
    }

    void addHistory(ListItem* card, ListItemAction action, const QString& columnIdentifier)
    {
        ListItemHistory* entry = ListItemHistory::create(action, &m_context);
        entry->setKanbanColumnUniqueIdentifier(columnIdentifier);
        entry->setListItem(card);
    }

    ManagedObjectContext& m_context;
    QDate m_today;
    const QVariantMap m_title = titleAttributes();
    const QVariantMap m_normal = normalAttributes();
    const QVariantMap m_checklist = checkListAttributes();
    int m_cards = 0;
};
