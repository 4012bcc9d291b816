#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <optional>

// An object embedded in notes text at an attachment character (U+FFFC), carried by the
// "NSAttachment" attribute: a picture held as a file wrapper, or a link card whose contents
// are the encoded link dictionary and whose file type is "NSLink".
struct TextAttachment
{
    struct FileWrapper
    {
        QString filename;
        QByteArray contents;

        friend bool operator==(const FileWrapper&, const FileWrapper&) = default;
    };

    QString fileType;
    QByteArray contents;
    std::optional<FileWrapper> fileWrapper;

    friend bool operator==(const TextAttachment&, const TextAttachment&) = default;
};

Q_DECLARE_METATYPE(TextAttachment)
