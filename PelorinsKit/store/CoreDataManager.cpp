#include "PelorinsKit/store/CoreDataManager.h"

#include "PelorinsKit/store/CoreDataMigrator.h"
#include "PelorinsKit/store/StoreLoading.h"
#include "PelorinsKit/model/EntityModel.h"
#include "PelorinsKit/model/Root.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/DataFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

const QString storeLoaded = QStringLiteral("store loaded");
const QString unableToLoadStore = QStringLiteral("was unable to load store ");

bool isEmptyFolder(const QString& path)
{
    const QFileInfo info(path);
    return info.isDir() && QDir(path).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Why the store at `path` could not be opened. Another program holding it comes first: that the
// user can end.
StoreError openingError(const QString& path, const QString& problem)
{
    if (PersistentStoreCoordinator::isHeldElsewhere(path))
        return StoreError(unableToLoadStore
                + QStringLiteral("%1: another program is using it").arg(QUrl::fromLocalFile(path).toString()),
            StoreError::Reason::InUse);
    return StoreError(unableToLoadStore + problem);
}

} // namespace

CoreDataManager& CoreDataManager::shared()
{
    static CoreDataManager manager(std::make_shared<CoreDataMigrator>());
    return manager;
}

CoreDataManager::CoreDataManager(std::shared_ptr<const CoreDataMigratorProtocol> migrator)
    : m_migrator(std::move(migrator))
    , m_mainThreadReceiver(std::make_unique<QObject>())
{
    if (QCoreApplication* application = QCoreApplication::instance())
        m_mainThreadReceiver->moveToThread(application->thread());
}

CoreDataManager::~CoreDataManager()
{
    if (m_migration.joinable())
        m_migration.join();
    m_mainThreadReceiver.reset();
    m_jsonReader.reset();
    m_loading.reset();
    m_context.reset();
}

const QString& CoreDataManager::applicationDocumentsDirectory()
{
    if (m_applicationDocumentsDirectory)
        return *m_applicationDocumentsDirectory;
    // Without a data location there is no folder, rather than one relative to wherever we run.
    m_applicationDocumentsDirectory = QString();
    if (DataFolders::baseFolder().isEmpty())
        return *m_applicationDocumentsDirectory;
    const QDir base(DataFolders::baseFolder());
    const QString folder = base.filePath(QLatin1String(DataFolders::folderName));
    const QString formerFolder = base.filePath(QLatin1String(formerFolderName));
    // Something may already have made the new folder empty; the old data must still move in.
    if ((!QFileInfo::exists(folder) || isEmptyFolder(folder)) && QFileInfo::exists(formerFolder)) {
        if (QFileInfo::exists(folder))
            base.rmdir(QLatin1String(DataFolders::folderName));
        if (std::rename(QFile::encodeName(formerFolder).constData(), QFile::encodeName(folder).constData()) != 0)
            ConsoleLog::write(QStringLiteral("Renaming application support directory error ")
                + QString::fromLocal8Bit(std::strerror(errno)));
    }
    m_applicationDocumentsDirectory = folder;
    return *m_applicationDocumentsDirectory;
}

QString CoreDataManager::storePath()
{
    const QString& folder = applicationDocumentsDirectory();
    return folder.isEmpty() ? QString() : QDir(folder).filePath(QLatin1String(storeFileName));
}

void CoreDataManager::buildContainer()
{
    if (m_model)
        return;
    QString error;
    m_model = EntityModel::currentModel(&error);
    if (!m_model)
        throw StoreError(QStringLiteral("unable to load model in bundle"));
}

void CoreDataManager::setup(std::function<void()> completion, std::function<void(const StoreError&)> failure)
{
    buildContainer();
    const QString path = storePath();
    if (path.isEmpty())
        throw StoreError(QStringLiteral("persistentContainer was not set up properly"));
    if (QFileInfo::exists(path) && !PersistentStoreCoordinator::metadata(path))
        throw openingError(
            path, QStringLiteral("%1: the file is not a readable store").arg(QUrl::fromLocalFile(path).toString()));

    const CoreDataMigrationVersion target = CoreDataMigrationVersion::current();
    if (!m_migrator->requiresMigration(path, target)) {
        loadStore();
        completion();
        return;
    }

    if (m_migration.joinable())
        m_migration.join();
    QObject* receiver = m_mainThreadReceiver.get();
    m_migration = std::thread([this, receiver, migrator = m_migrator, path, target, completion = std::move(completion),
                                  failure = std::move(failure)] {
        std::optional<StoreError> error;
        try {
            migrator->migrateStore(path, target);
        } catch (const StoreError& e) {
            error = PersistentStoreCoordinator::isHeldElsewhere(path) ? openingError(path, e.message()) : e;
        }
        QMetaObject::invokeMethod(
            receiver,
            [this, error, completion, failure] {
                if (error) {
                    failure(*error);
                    return;
                }
                try {
                    loadStore();
                } catch (const StoreError& e) {
                    failure(e);
                    return;
                }
                completion();
            },
            Qt::QueuedConnection);
    });
}

void CoreDataManager::loadStore()
{
    auto coordinator = std::make_shared<PersistentStoreCoordinator>(m_model);
    std::unique_ptr<ManagedObjectContext> context = EntityModel::makeContext(m_model);
    QString error;
    if (!coordinator->addPersistentStore(storePath(), &error)
        || !context->loadPersistentStore(coordinator, StoreLoading::deferredEntities, &error))
        throw openingError(storePath(), error);
    m_jsonReader.reset();
    m_loading.reset();
    m_coordinator = std::move(coordinator);
    m_context = std::move(context);
    m_loading = std::make_unique<StoreLoading>(*m_context);
    ConsoleLog::write(storeLoaded);
}

Root* CoreDataManager::getRootObject(bool createIfNeeded, QString* fetchError)
{
    if (!m_context)
        return nullptr;
    FetchRequest request(QStringLiteral("Root"));
    request.fetchLimit = 1;
    QString error;
    const QList<Root*> roots = m_context->fetchAs<Root>(request, &error);
    if (!error.isEmpty()) {
        ConsoleLog::write(QStringLiteral("Could not fetch root ") + error);
        if (fetchError)
            *fetchError = error;
    }
    if (!roots.isEmpty())
        return roots.first();
    if (!createIfNeeded)
        return nullptr;
    Root* root = m_context->insertNewObject<Root>(QStringLiteral("Root"));
    saveContext();
    return root;
}

bool CoreDataManager::saveContext()
{
    QString error = QStringLiteral("the store is not loaded");
    if (m_context && m_context->save(&error))
        return true;
    ConsoleLog::write(QStringLiteral("Error saving context: ") + error);
    return false;
}
