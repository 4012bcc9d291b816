#pragma once

#include "PelorinsKit/notes/TextAttachment.h"
#include "PelorinsKit/notes/TextRange.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <functional>

// Rich text: a string with runs of attributes keyed by the names of AttributeKey. Positions and
// ranges count UTF-16 code units. Ranges that reach outside the text are clipped to it, so no
// edit ever writes outside the text.
//
// Adjacent runs with equal attributes are merged; two equal attachments side by side therefore
// make one run over two attachment characters, each character standing for one attachment.
class AttributedString
{
public:
    static constexpr QChar attachmentCharacter = QChar(0xFFFC);

    // A line of the text: its characters, and its characters with the line terminator.
    struct Line
    {
        TextRange content;
        TextRange enclosing;

        friend bool operator==(const Line&, const Line&) = default;
    };

    using RunVisitor = std::function<void(const QVariantMap& attributes, TextRange range)>;
    using AttributeVisitor = std::function<void(const QVariant& value, TextRange range)>;

    AttributedString() = default;
    explicit AttributedString(const QString& text, const QVariantMap& attributes = {});

    // One attachment character carrying the attachment.
    static AttributedString withAttachment(const TextAttachment& attachment);

    // The lines of a text as the platform finds them: "\n", "\r", "\r\n", U+0085, U+2028 and
    // U+2029 each end a line; a terminator at the very end starts no further line.
    static QList<Line> lines(const QString& text);

    const QString& string() const { return m_text; }
    int length() const { return int(m_text.size()); }
    bool isEmpty() const { return m_text.isEmpty(); }

    // The attributes at `index` and the run that has exactly them. An index outside the text
    // has no attributes and an empty effective range.
    QVariantMap attributes(int index, TextRange* effectiveRange = nullptr) const;
    // The value of one attribute at `index` (invalid when absent) and the longest range around
    // `index` over which it has that value.
    QVariant attribute(const QString& key, int index, TextRange* effectiveRange = nullptr) const;

    // Runs of identical attributes inside `range`, in text order, clipped to it.
    void enumerateAttributes(TextRange range, const RunVisitor& visit) const;
    // The longest ranges inside `range` over which `key` keeps one value, in text order; the
    // value is invalid where the attribute is absent.
    void enumerateAttribute(const QString& key, TextRange range, const AttributeVisitor& visit) const;

    AttributedString attributedSubstring(TextRange range) const;

    void setAttributes(const QVariantMap& attributes, TextRange range);
    // The same for many ranges, in text order and apart from each other, in one pass over the
    // runs; a range that starts before the end of the one before it is left out.
    void setAttributes(const QList<std::pair<TextRange, QVariantMap>>& ranges);
    // An invalid value removes the attribute.
    void addAttribute(const QString& key, const QVariant& value, TextRange range);
    void addAttributes(const QVariantMap& attributes, TextRange range);
    void removeAttribute(const QString& key, TextRange range);
    // Removes each attribute in turn from the range.
    void remove(const QStringList& attributes, TextRange range);

    // New characters take the attributes of the first replaced character; when nothing is
    // replaced, those of the character before, else of the character after.
    void replaceCharacters(TextRange range, const QString& text);
    void replaceCharacters(TextRange range, const AttributedString& text);
    void insert(const AttributedString& text, int index);
    void append(const AttributedString& text);
    void append(QStringView text, const QVariantMap& attributes);
    void deleteCharacters(TextRange range);

    friend bool operator==(const AttributedString&, const AttributedString&) = default;

private:
    struct Run
    {
        int length = 0;
        QVariantMap attributes;

        friend bool operator==(const Run&, const Run&) = default;
    };

    // Adds a run at the end of `runs`, merged into the last one when their attributes are equal.
    static void appendRun(QList<Run>& runs, int length, const QVariantMap& attributes);
    TextRange clipped(TextRange range) const;
    // Makes a run start at `position` and answers that run's index (the run count at the end).
    qsizetype splitAt(int position);
    // Merges each run in [from, to] into the run before it when their attributes are equal.
    void mergeEqualNeighbours(qsizetype from, qsizetype to);
    void editAttributes(TextRange range, const std::function<void(QVariantMap&)>& edit);

    QString m_text;
    QList<Run> m_runs;
};

Q_DECLARE_METATYPE(AttributedString)
