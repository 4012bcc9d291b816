#pragma once

#include "PelorinsKit/notes/AttributedString.h"
#include "Platform/core/objectgraph/EntityMigrationPolicy.h"

// Carries card notes from model version 32 to 33. Up to version 32 notes keep their pictures and
// link cards as attachment objects; from 33 on pictures live as files in the picture folders and
// link cards as link dictionaries on their attachment character. Each card's notes get their
// pictures copied out to new picture folders and their link cards turned into link data.
//
// Notes that cannot be read are carried over as they are: the card store reads them as absent,
// and nothing of them is lost.
class StripAttachmentCellMigrationPolicyV32toV33 : public EntityMigrationPolicy
{
public:
    // The name the 32-to-33 mapping gives the policy of its card mapping.
    static const QString registeredName;

    bool createDestinationInstances(
        const MigrationRecord& source, MigrationRecord& destination, QString* error) override;

    // A copy of the notes in which each picture not yet in a picture folder is written to a new
    // one and carries its "filename" and "fileFolderUUID" (its attachment stays), and each link
    // card carries its link dictionary in place of its attachment. The text is unchanged. A
    // picture without a file, or whose file name cannot be a file's, is left as it is; folder
    // and file failures are written to the console and keep the attributes.
    static AttributedString copyImageAttachmentsToApplicationsFolder(const AttributedString& attributedString);
};
