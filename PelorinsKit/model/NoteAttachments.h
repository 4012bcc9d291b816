#pragma once

#include "PelorinsKit/notes/AttributedString.h"

// The two forms of card notes. The stored form holds no attachment objects: a picture stands as an
// attachment character carrying "fileFolderUUID" and "filename", a link card as one carrying its
// link dictionary in "attachmentLinkData". The editor form has the attachment objects back: the
// picture file read from its folder, the link card with its encoded dictionary and file type
// "NSLink".

// The stored form of `from`. A link card whose contents cannot be read keeps its attachment.
AttributedString stripImageAttachments(const AttributedString& from);

// Turns the stored form into the editor form in place, reading every picture file at once. A
// picture that cannot be read, or whose names cannot be a picture path, stays a bare attachment
// character with its attributes.
void restoreImageAttachments(AttributedString& in);
