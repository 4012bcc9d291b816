#pragma once

#include "PelorinsKit/notes/NoteTextStorage.h"

#include <QPointer>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextDocument>
#include <QTextFormat>
#include <functional>
#include <optional>

class FileIconProvider;

// Notes text held in the editor's QTextDocument. Each line of the text is one block, its line
// feed the block's end. The line-level attributes (note style name, checklist state, paragraph
// style) live on the block format and hold for the whole line, terminator included; the
// character attributes live on the character formats, the line feed's on the format of the
// block separator. Attachments are U+FFFC object characters drawn by TextAttachmentObject.
//
// A block takes its line attributes from the first character it holds: replacing characters
// gives a block whose first character is new the line attributes of that character, and leaves
// every other block's alone. Line-level attributes set over part of a line apply to the line.
//
// Every edit goes through one QTextCursor edit block, so the document records it as one step.
//
// The whole text is kept as read, and after each change of the document only the lines it
// touched are read again: asking for the text costs nothing however long it is. Inside an edit
// block that has not ended yet it is the text before that block.
class TextDocumentTextStorage : public NoteTextStorage
{
public:
    static constexpr int characterAttributesProperty = QTextFormat::UserProperty + 1;
    static constexpr int lineAttributesProperty = QTextFormat::UserProperty + 2;

    // Note style name, checklist state and paragraph style.
    static const QStringList& lineAttributeNames();
    // The line-level attributes of a set, or the character attributes that are not.
    static QVariantMap split(const QVariantMap& attributes, bool lineLevel);

    // Registers the drawing of attachments on the document's layout, unless an earlier storage
    // did; `fileIcons` (which may be null, and must outlive the document) gives link cards to
    // files their icons.
    explicit TextDocumentTextStorage(QTextDocument* document, const FileIconProvider* fileIcons = nullptr);
    ~TextDocumentTextStorage() override;
    TextDocumentTextStorage(const TextDocumentTextStorage&) = delete;
    TextDocumentTextStorage& operator=(const TextDocumentTextStorage&) = delete;

    QTextDocument* document() const { return m_document; }

    // Told after each change of the document is followed: the lines read again, as they are now,
    // and the text those lines held before. Attributes added by addCharacterAttributes change no
    // character and are not told.
    using LinesChanged = std::function<void(TextRange lines, const QString& before)>;
    void setLinesChangedHandler(LinesChanged handler) { m_linesChanged = std::move(handler); }

    const AttributedString& attributedString() const;
    void setAttributedString(const AttributedString& text) { replaceCharacters(TextRange {0, length()}, text); }

    // The formats that carry attributes, with what the layout needs to show them.
    static QTextCharFormat charFormat(const QVariantMap& characterAttributes);
    static QTextBlockFormat blockFormat(const QVariantMap& lineAttributes);
    // The attributes a character of this format in a block of that format carries.
    static QVariantMap attributes(const QTextCharFormat& charFormat, const QTextBlockFormat& blockFormat);

    QString string() const override;
    int length() const override;
    AttributedString attributedSubstring(TextRange range) const override;
    QVariant attribute(const QString& key, int index) const override;
    void addAttributes(const QVariantMap& attributes, TextRange range) override;
    void removeAttribute(const QString& key, TextRange range) override;
    void replaceCharacters(TextRange range, const AttributedString& text) override;
    QList<TextRange> attachmentRanges() const override;

    // Adds character attributes to many ranges, each inside one line, as one edit: the document
    // is laid out once for all of them. Characters that hold their attributes already are left
    // as they are.
    void addCharacterAttributes(const QList<std::pair<TextRange, QVariantMap>>& edits);

private:
    TextRange clipped(TextRange range) const;
    // The text of the range as the document holds it now.
    AttributedString read(TextRange range) const;
    // Reads again the lines a change of the document touched.
    void follow(int from, int removed, int added);
    void editLines(TextRange range, const std::function<void(QVariantMap&)>& edit);
    void editCharacters(TextRange range, const std::function<void(QVariantMap&)>& edit);

    QPointer<QTextDocument> m_document;
    mutable AttributedString m_text;
    // The text as the edit under way leaves it, when that is known without reading it.
    std::optional<AttributedString> m_followed;
    QMetaObject::Connection m_following;
    LinesChanged m_linesChanged;
};
