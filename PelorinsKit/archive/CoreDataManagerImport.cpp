// CoreDataManager::importFrom: reading an archive of boards and folders into the sidebar tree.

#include "PelorinsKit/store/CoreDataManager.h"

#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/archive/JSONReader.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/Root.h"
#include "PelorinsKit/store/SharedMethods.h"
#include "Platform/core/ConsoleLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStringDecoder>

namespace {

const QString archiveFileName = QStringLiteral("archive.Pelorins");
const QString couldNotImport = QStringLiteral("could not import introductory tutorial");
const QString topLevelFolderClass = QStringLiteral("Folder");
const QString topLevelBoardClass = QStringLiteral("Kanban");

// Far above any real archive (the whole reference dataset exports to a fraction of it), low
// enough that a hostile file cannot exhaust memory while it is parsed.
constexpr qint64 maximumArchiveBytes = qint64(512) * 1024 * 1024;

// The archive as UTF-8: text files written elsewhere may come in UTF-16 or UTF-32 with a BOM.
std::optional<QByteArray> readArchive(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    if (file.size() > maximumArchiveBytes) {
        *error = QStringLiteral("the archive is larger than %1 bytes").arg(maximumArchiveBytes);
        return std::nullopt;
    }
    QByteArray data = file.read(maximumArchiveBytes + 1);
    if (data.size() > maximumArchiveBytes) {
        *error = QStringLiteral("the archive is larger than %1 bytes").arg(maximumArchiveBytes);
        return std::nullopt;
    }
    const std::optional<QStringConverter::Encoding> encoding = QStringConverter::encodingForData(data);
    if (encoding && *encoding != QStringConverter::Utf8) {
        QStringDecoder decode(*encoding);
        const QString text = decode(data);
        if (decode.hasError()) {
            *error = QStringLiteral("the archive is not readable text");
            return std::nullopt;
        }
        data = text.toUtf8();
    }
    return data;
}

// Only folders and boards stand at the top of an archive: anything else would be read into the
// store and then left in no folder, column or day group. Entries of another shape are the
// reader's to refuse.
QString misplacedTopLevelNode(const QJsonArray& nodes)
{
    for (const QJsonValue& entry : nodes) {
        const QJsonObject node = entry.toObject();
        if (node.size() != 1)
            continue;
        const QString className = node.constBegin().key();
        if (className != topLevelFolderClass && className != topLevelBoardClass)
            return QStringLiteral("a \"%1\" node at the top, where only folders and boards belong").arg(className);
    }
    return {};
}

} // namespace

JSONReader* CoreDataManager::jsonReader()
{
    if (!m_context)
        return nullptr;
    if (!m_jsonReader)
        m_jsonReader = std::make_shared<JSONReader>(m_context.get());
    return m_jsonReader.get();
}

void CoreDataManager::importFrom(const QUrl& url)
{
    // A package is read before its pictures are copied, so that a refused archive brings in
    // nothing at all.
    bool isPackage = false;
    QString path = url.toLocalFile();
    if (!url.isLocalFile() || !QFileInfo::exists(path))
        ConsoleLog::write(QStringLiteral("error determin if url is a directory"));
    else if (QFileInfo(path).isDir()) {
        isPackage = true;
        path = QDir(path).filePath(archiveFileName);
    }

    Root* root = getRootObject(true);
    if (!root) {
        saveContext();
        return;
    }

    QString error;
    const std::optional<QByteArray> data = readArchive(path, &error);
    if (!data) {
        ConsoleLog::write(couldNotImport);
        ConsoleLog::write(QStringLiteral("Reading %1 failed: %2").arg(path, error));
        saveContext();
        return;
    }
    if (data->isEmpty()) {
        saveContext();
        return;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(*data, &parseError);
    if (document.isNull() || !document.isArray()) {
        ConsoleLog::write(couldNotImport);
        ConsoleLog::write(
            QStringLiteral("%1 is no array of JSON nodes: %2")
                .arg(path, document.isNull() ? parseError.errorString() : QStringLiteral("not an array")));
        saveContext();
        return;
    }

    if (const QString misplaced = misplacedTopLevelNode(document.array()); !misplaced.isEmpty()) {
        ConsoleLog::write(couldNotImport);
        ConsoleLog::write(QStringLiteral("Refused %1: %2").arg(path, misplaced));
        saveContext();
        return;
    }
    JSONReader* reader = jsonReader();
    reader->setImportedObjects({});
    const QList<ManagedObject*> objects = reader->makeObjectsFromArrayOf(document.array(), &error);
    if (!error.isEmpty()) {
        ConsoleLog::write(couldNotImport);
        saveContext();
        return;
    }

    if (isPackage)
        SharedMethods(*this).copyImageAttachmentsToAttachmentsFolder(url.toLocalFile());

    for (ManagedObject* object : objects) {
        if (dynamic_cast<Folder*>(object) || dynamic_cast<Kanban*>(object))
            static_cast<DisplayItem*>(object)->setParent(root);
    }
    saveContext();
}
