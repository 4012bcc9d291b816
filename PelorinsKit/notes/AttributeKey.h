#pragma once

#include <QString>

// The attribute names of rich text, as notes store them. The first six are the platform's
// standard attributes; the rest carry the meaning of note lines, pictures and link cards.
namespace AttributeKey {

inline const QString font = QStringLiteral("NSFont");
inline const QString foregroundColor = QStringLiteral("NSColor");
inline const QString paragraphStyle = QStringLiteral("NSParagraphStyle");
inline const QString strikethroughStyle = QStringLiteral("NSStrikethrough");
inline const QString attachment = QStringLiteral("NSAttachment");
inline const QString link = QStringLiteral("NSLink");

// Folder (a UUID) under the picture folder that holds a picture stripped for storage.
inline const QString fileFolderUUID = QStringLiteral("fileFolderUUID");
// File name of that picture inside its folder.
inline const QString filename = QStringLiteral("filename");
// The link dictionary of a link card (web link, mail message, calendar event or file).
inline const QString attachmentLinkData = QStringLiteral("attachmentLinkData");
// Raw value of the line's NoteStyleName.
inline const QString noteStyleName = QStringLiteral("NOTESTYLENAME");
// Present exactly on checklist lines: true when ticked.
inline const QString isChecklistChecked = QStringLiteral("isChecklistChecked");

} // namespace AttributeKey
