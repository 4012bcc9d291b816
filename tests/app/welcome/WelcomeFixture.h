#pragma once

#include "Pelorins/shell/AppDelegate.h"
#include "Pelorins/welcome/WelcomeWindowController.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "PelorinsKit/store/CoreDataMigrator.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/services/PackageManagerUpdater.h"
#include "Platform/widgets/ScriptedAlertPresenter.h"
#include "Platform/widgets/layers/ManualLayerClock.h"
#include "support/FakeCalendarStore.h"

#include <QEvent>
#include <QMainWindow>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// Notes in `log` when the welcome window closes.
class CloseWatcher : public QObject
{
public:
    explicit CloseWatcher(QStringList& log)
        : m_log(log)
    {
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Close)
            m_log << QStringLiteral("welcome closed");
        return false;
    }

private:
    QStringList& m_log;
};

// The application delegate over fakes, with a fake main window and the real welcome window on a
// manual clock, centred on a 1440 x 900 screen.
struct WelcomeFixture
{
    QTemporaryDir folder;
    UserDefaults defaults {folder.filePath(QStringLiteral("com.morvance.Pelorins.conf"))};
    CoreDataManager manager {std::make_shared<CoreDataMigrator>()};
    FakeCalendarStore calendar;
    PackageManagerUpdater updater;
    ScriptedAlertPresenter alerts;
    ManualLayerClock clock;
    // The clock the next welcome window runs on.
    LayerClock* welcomeClock = &clock;
    int welcomesMade = 0;
    QStringList log;
    CloseWatcher closeWatcher {log};
    std::optional<QRect> screen = QRect(0, 0, 1440, 900);
    std::unique_ptr<AppDelegate> delegate
        = std::make_unique<AppDelegate>(AppDelegate::Services {defaults, manager, calendar, updater, alerts,
            [this]() -> std::unique_ptr<QWidget> {
                log << QStringLiteral("main window made");
                auto window = std::make_unique<QMainWindow>();
                window->setObjectName(QLatin1String(AppDelegate::mainWindowIdentifier));
                return window;
            },
            [this](AppDelegate& appDelegate) -> std::unique_ptr<QWidget> {
                auto window
                    = WelcomeWindowController::make(appDelegate, defaults, *welcomeClock, [this] { return screen; });
                if (window) {
                    ++welcomesMade;
                    window->installEventFilter(&closeWatcher);
                }
                return window;
            },
            {}, {}, nullptr});

    WelcomeWindowController* welcome() const
    {
        return qobject_cast<WelcomeWindowController*>(delegate->welcomeWindowController());
    }
};
