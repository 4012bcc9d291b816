#include "DataFolders.h"

#include "ConsoleLog.h"

#include <QDir>
#include <QStandardPaths>

namespace {
QString& testBase()
{
    static QString base;
    return base;
}
}

QString DataFolders::baseFolder()
{
    if (!testBase().isEmpty())
        return testBase();
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString DataFolders::applicationSupportFolder()
{
    const QString path = QDir(baseFolder()).filePath(QLatin1String(folderName));
    if (!QDir().mkpath(path)) {
        ConsoleLog::write(QStringLiteral("could not create the data folder ") + path);
        return {};
    }
    return path;
}

void DataFolders::setBaseFolderForTesting(const QString& base)
{
    testBase() = base;
}
