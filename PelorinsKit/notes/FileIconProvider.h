#pragma once

#include <QIcon>
#include <QString>

// The desktop's icon for a file. The program gives link cards its own; without one a link card
// to a file shows a drawn document icon.
class FileIconProvider
{
public:
    virtual ~FileIconProvider() = default;
    virtual QIcon icon(const QString& path) const = 0;
};
