#pragma once

#include "Pelorins/shell/MainWindowAssembly.h"
#include "Platform/services/DBusReminderCenter.h"
#include "Platform/services/LogindSystemEventMonitor.h"
#include "Platform/services/PackageManagerUpdater.h"
#include "Platform/services/VdirCalendarStore.h"
#include "Platform/widgets/FileDialogPanelPresenter.h"
#include "Platform/widgets/MessageBoxAlertPresenter.h"

class UserDefaults;

// The real services of a desktop session: calendar folders, the package manager's updates,
// message boxes, file dialogs, the desktop's notifications and web browser, and the example
// archives built into the program, and the system's sleep, wake, clock and time-zone changes.
class DesktopServices
{
public:
    explicit DesktopServices(UserDefaults& defaults);

    MainWindowAssembly::Services forAssembly();

private:
    UserDefaults& m_defaults;
    VdirCalendarStore m_eventStore;
    PackageManagerUpdater m_updater;
    MessageBoxAlertPresenter m_alertPresenter;
    FileDialogPanelPresenter m_filePanelPresenter;
    DBusReminderCenter m_reminderCenter;
    LogindSystemEventMonitor m_systemEvents;
};
