#pragma once

#include "PelorinsKit/notes/AttributedString.h"
#include "PelorinsKit/notes/CompactText.h"
#include "PelorinsKit/notes/RichTextCodec.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/core/objectgraph/ManagedObject.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class DoneDate;
class ImageAttachment;
class KanbanColumn;
class ListItemHistory;
class Tag;

// A card.
class ListItem : public ManagedObject
{
public:
    // A card's link is this followed by its unique identifier.
    static constexpr QLatin1String urlScheme = QLatin1String("pelorins://");

    explicit ListItem(const Init& init);

    bool done() const;
    void setDone(bool done);
    // Deleted but kept so that the deletion can be undone.
    bool toBeDeleted() const;
    void setToBeDeleted(bool toBeDeleted);
    // The notes in their stored encoding; empty when the card has none.
    QByteArray attributedNotesData() const;
    void setAttributedNotesData(const QByteArray& data);
    // The notes in stored form (see NoteAttachments.h): none when the card has none or they cannot
    // be read. Decoded on first use and kept until the stored bytes change.
    std::optional<AttributedString> attributedNotes() const;
    // Stores the notes as they are; the picture records are left alone.
    void setAttributedNotes(const std::optional<AttributedString>& attributedNotes);
    // The notes decoded for one use: the kept ones when they are, else decoded afresh and not
    // kept. Measuring every card of a board reads them so, and only the cards shown keep theirs.
    std::optional<AttributedString> attributedNotesWithoutKeeping() const;
    // Forgets the decoded notes and their plain text; the next read decodes the stored bytes
    // again. A view that no longer shows the card calls it, so that decoded notes are kept only
    // while they are shown.
    void releaseDecodedNotes() const;
    // The text of the notes without their attributes, kept until the stored bytes change: what
    // a search reads. Null without notes (or with unreadable ones), empty for empty notes.
    CompactText plainNotesText() const;
    bool hasPlainNotesText() const;
    // Keeps `text` as the plain text of the stored bytes `data`, read elsewhere (on another
    // thread); nothing happens when the notes are no longer those bytes.
    void setPlainNotesText(const QByteArray& data, const CompactText& text) const;
    // The plain text of stored notes, as plainNotesText() gives it.
    static CompactText plainNotesText(const QByteArray& data, RichTextCodec::StoredReader& reader);
    // Identifiers of the linked calendar events, in linking order.
    std::optional<QStringList> eventsArray() const;
    void setEventsArray(const std::optional<QStringList>& eventsArray);
    std::optional<QDateTime> dateAdded() const;
    void setDateAdded(const std::optional<QDateTime>& dateAdded);
    std::optional<QDateTime> dueDate() const;
    void setDueDate(const std::optional<QDateTime>& dueDate);
    std::optional<QDateTime> doneDate() const;
    void setDoneDate(const std::optional<QDateTime>& doneDate);
    // The card's flag.
    std::optional<bool> priority() const;
    void setPriority(std::optional<bool> priority);
    // Whether the card shows its whole notes rather than their first line.
    std::optional<bool> notesExpanded() const;
    void setNotesExpanded(std::optional<bool> notesExpanded);
    std::optional<double> timeWorked() const;
    void setTimeWorked(std::optional<double> timeWorked);
    QString uniqueIdentifier() const;
    void setUniqueIdentifier(const QString& uniqueIdentifier);

    // Setting the column makes the card the last of its cards.
    KanbanColumn* column() const;
    void setColumn(KanbanColumn* column);
    QList<Tag*> tags() const;
    void setTags(const QList<Tag*>& tags);
    // Oldest first.
    QList<ListItemHistory*> history() const;
    void setHistory(const QList<ListItemHistory*>& history);
    // The day group of a done card.
    DoneDate* parentDoneGroup() const;
    void setParentDoneGroup(DoneDate* parentDoneGroup);
    // The picture folders the notes refer to, in no particular order.
    QList<ImageAttachment*> imageAttachments() const;
    void setImageAttachments(const QList<ImageAttachment*>& imageAttachments);

    // Appends the entry to the card's history; an entry already there keeps its place.
    void addHistory(ListItemHistory* history);

    // The notes in editor form, with their pictures read from their folders; none without notes.
    std::optional<AttributedString> getAttributedNotes() const;
    // Stores editor-form notes in stored form, then brings the picture records in line.
    void setAttributedNotesNewNote(const AttributedString& newNote);
    // Makes `imageAttachments` the records of exactly the picture folders the stored notes name,
    // sharing the record of a folder with every other card that names it.
    void syncImageAttachments();
    // The same for a reader that has just stored notes naming `pictureFolders` (see
    // pictureFolderNames) and keeps every picture record of the context by folder name in
    // `records`, adding those it makes: no decoding, no fetch.
    void syncImageAttachments(const QStringList& pictureFolders, QHash<QString, ImageAttachment*>& records);
    // The folder names of the pictures in notes, each once, in text order; a name that cannot be
    // a picture folder is refused with a console line.
    static QStringList pictureFolderNames(const std::optional<AttributedString>& notes);
    // The same from the "fileFolderUUID" value of each run of the notes in text order (invalid
    // where a run has none), for a reader that never builds the notes.
    static QStringList pictureFolderNames(const QVariantList& runFolders);

    // The due date has passed: `now` is strictly later.
    bool isOverdue(const QDateTime& now = QDateTime::currentDateTimeUtc()) const;
    bool isDueSoon(const QDateTime& now = QDateTime::currentDateTimeUtc(),
        const UserDefaults& defaults = UserDefaults::standard()) const;
    // The names of the hash tags in the notes, each once, in order of first appearance; a lone
    // tag sign gives the empty name.
    QStringList getAllTagNames() const;
    // The notes up to their first line feed; the whole text when there is none.
    QString firstLineOfNotes() const;
    // The notes up to their first line feed, without it or with it; empty when there is none.
    AttributedString firstAttributedLine() const;
    AttributedString firstAttributedLineAndReturn() const;
    // Strikes the whole notes through when the card is done, clears every strikethrough otherwise.
    void applyRemoveStrikeThrough();
    // "pelorins://" and the unique identifier.
    QString itemURLString() const;

    virtual void setup();

    void awakeFromInsert() override;
    void awakeFromFetch() override;

private:
    // What was read from the stored notes, each with the stored bytes it came from; holding the
    // bytes keeps their buffer, so an unchanged buffer means unchanged notes. Apart from the card,
    // since most cards of a big store never need any of it.
    struct ReadNotes
    {
        // The decoded notes.
        QByteArray decodedFrom;
        std::optional<AttributedString> decoded;
        bool hasDecoded = false;
        // The tag names, kept when the decoded notes are released: a board's tag clean-up reads
        // every card's names.
        QByteArray tagNamesFrom;
        QStringList tagNames;
        bool hasTagNames = false;
        // The plain text.
        QByteArray plainTextFrom;
        CompactText plainText;
        bool hasPlainText = false;
    };
    mutable std::unique_ptr<ReadNotes> m_read;
    ReadNotes& readNotes() const;
    // Whether the decoded notes kept are those of `data`.
    bool hasDecodedNotesOf(const QByteArray& data) const;

    void syncImageAttachments(
        const QStringList& names, const std::function<ImageAttachment*(const QString&)>& recordFor);
    // The records of these folders, each fetched from the context or made.
    void syncImageAttachmentsNamed(const QStringList& pictureFolders);
};
