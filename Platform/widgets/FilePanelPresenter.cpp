#include "Platform/widgets/FilePanelPresenter.h"

#include <QFileInfo>

bool FilePanelPresenter::hasAllowedType(const QString& path, const QStringList& allowedFileTypes)
{
    if (allowedFileTypes.isEmpty())
        return true;
    // The whole last suffix: "a.tar.Pelorins" is a "Pelorins", "archive." is of no type.
    const QString suffix = QFileInfo(path).suffix();
    return !suffix.isEmpty() && allowedFileTypes.contains(suffix, Qt::CaseInsensitive);
}

QString FilePanelPresenter::withAllowedType(const QString& path, const QStringList& allowedFileTypes)
{
    if (hasAllowedType(path, allowedFileTypes))
        return path;
    const QString dot = path.endsWith(QLatin1Char('.')) ? QString() : QStringLiteral(".");
    return path + dot + allowedFileTypes.first();
}
