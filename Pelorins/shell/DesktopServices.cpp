#include "Pelorins/shell/DesktopServices.h"

#include "PelorinsKit/model/LocalizedString.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "Platform/core/DataFolders.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>

namespace {

std::optional<QStringList> chooseCalendarFolder()
{
    const QString folder
        = QFileDialog::getExistingDirectory(nullptr, local(QStringLiteral("Choose a Calendar Folder")));
    if (folder.isEmpty())
        return std::nullopt;
    return QStringList {folder};
}

} // namespace

DesktopServices::DesktopServices(UserDefaults& defaults)
    : m_defaults(defaults)
    , m_eventStore(defaults, chooseCalendarFolder)
    , m_filePanelPresenter(defaults)
{
    const QString folder = DataFolders::applicationSupportFolder();
    if (!folder.isEmpty())
        m_reminderCenter.setStorageFile(QDir(folder).filePath(ReminderCenter::fileName));
}

MainWindowAssembly::Services DesktopServices::forAssembly()
{
    return {m_defaults, CoreDataManager::shared(), m_eventStore, m_updater, m_alertPresenter, m_filePanelPresenter,
        [](const QUrl& url) { return QDesktopServices::openUrl(url); }, QStringLiteral(":/examples"), &m_reminderCenter,
        &m_systemEvents};
}
