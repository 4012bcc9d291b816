#include "Pelorins/card/CardAccessibleText.h"

#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/AttributedString.h"
#include "PelorinsKit/notes/LinkAttachmentCell.h"

#include <QStringList>
#include <algorithm>

namespace {

QString readableAttachment(const QVariant& value)
{
    if (!value.canConvert<TextAttachment>())
        return {};
    const TextAttachment attachment = value.value<TextAttachment>();
    if (attachment.fileWrapper) {
        const QString filename = attachment.fileWrapper->filename;
        return filename.isEmpty() ? local(QStringLiteral("Picture")) : filename;
    }
    const std::optional<LinkAttachmentCell::Content> shown = LinkAttachmentCell::content(attachment);
    if (!shown)
        return local(QStringLiteral("Link"));
    QStringList lines;
    for (const QString& line : {shown->firstLine, shown->secondLine})
        if (!line.isEmpty())
            lines << line;
    return lines.isEmpty() ? local(QStringLiteral("Link")) : lines.join(QStringLiteral(", "));
}

} // namespace

QString CardAccessibleText::readableNotes(const AttributedString& notes)
{
    const QString& string = notes.string();
    if (!string.contains(AttributedString::attachmentCharacter))
        return string;
    QString readable;
    readable.reserve(string.size());
    for (int at = 0; at < string.size(); ++at) {
        if (string.at(at) == AttributedString::attachmentCharacter)
            readable += readableAttachment(notes.attribute(AttributeKey::attachment, at));
        else
            readable += string.at(at);
    }
    return readable;
}

CardAccessibleText CardAccessibleText::of(const ListItem& card, const QString& dueText, bool overdue)
{
    return of(card, card.getAttributedNotes(), dueText, overdue);
}

CardAccessibleText CardAccessibleText::of(
    const ListItem& card, const std::optional<AttributedString>& notes, const QString& dueText, bool overdue)
{
    CardAccessibleText said;
    if (notes)
        said.text = readableNotes(*notes);
    // The name is the first line: only it is looked for, however long the notes.
    const auto lineEnd = std::find_if(said.text.cbegin(), said.text.cend(), [](QChar c) {
        return c == u'\n' || c == u'\r' || c == QChar(0x0085) || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator;
    });
    said.name = said.text.left(lineEnd - said.text.cbegin()).trimmed();
    if (said.name.isEmpty())
        said.name = local(QStringLiteral("Empty Card"));

    QStringList states;
    if (card.done())
        states << local(QStringLiteral("done"));
    if (card.priority().value_or(false))
        states << local(QStringLiteral("flagged"));
    if (!dueText.isEmpty())
        states << local(QStringLiteral("due %1")).arg(dueText);
    if (overdue)
        states << local(QStringLiteral("overdue"));
    said.description = states.join(QStringLiteral(", "));
    return said;
}
