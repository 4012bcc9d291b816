#pragma once

#include "FakeCalendarStore.h"
#include "StoreBuilder.h"

#include "Pelorins/shell/AppDelegate.h"
#include "Pelorins/shell/MainWindowAssembly.h"
#include "Pelorins/shell/MainWindowController.h"
#include "Pelorins/sidebar/KDLeftSidebarViewController.h"
#include "Pelorins/sidebar/SourceOutlineView.h"
#include "Pelorins/sidebar/SourceTreeModel.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "PelorinsKit/store/CoreDataMigrator.h"
#include "Platform/core/DataFolders.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/services/PackageManagerUpdater.h"
#include "Platform/widgets/ActionRouter.h"
#include "Platform/widgets/ScriptedAlertPresenter.h"
#include "Platform/widgets/ScriptedFilePanelPresenter.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>

// Resources are initialised outside any namespace.
inline void initMainWindowResources()
{
    Q_INIT_RESOURCE(PelorinsResources);
}

// The program assembled over a store in a temporary folder, holding two boards, "Plans" and
// "Chores", and services that record what they were asked.
class MainWindowFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        initMainWindowResources();
        DataFolders::setBaseFolderForTesting(m_folder.filePath(QStringLiteral("data")));
        manager.setup([] {}, [](const StoreError&) {});
        ASSERT_NE(manager.context(), nullptr);
        StoreBuilder builder(*manager.context());
        plans = builder.addBoard(QStringLiteral("Plans"));
        chores = builder.addBoard(QStringLiteral("Chores"));
        ASSERT_TRUE(manager.saveContext());
        assembly = std::make_unique<MainWindowAssembly>(
            MainWindowAssembly::Services {defaults, manager, calendar, updater, alerts, filePanels,
                [this](const QUrl& url) {
                    openedPages << url;
                    return true;
                },
                QStringLiteral(":/examples")});
    }
    void TearDown() override
    {
        assembly.reset();
        DataFolders::setBaseFolderForTesting(QString());
    }

    MainWindowController& openWindow()
    {
        assembly->appDelegate().showMainWindow(nullptr);
        MainWindowController* window = assembly->mainWindow();
        EXPECT_NE(window, nullptr);
        QApplication::setActiveWindow(window);
        // The actions are validated for the window once the focus has settled.
        QApplication::processEvents();
        return *window;
    }
    void selectInSidebar(DisplayItem* item)
    {
        KDLeftSidebarViewController* sidebar = assembly->sidebar();
        SourceOutlineView* outline = sidebar->outlineView();
        outline->selectRow(outline->rowForIndex(sidebar->model()->indexForItem(item)), false);
    }
    QAction* menuItem(MainWindowController& window, const QString& title)
    {
        for (QAction* menu : window.menuBar()->actions()) {
            if (QAction* item = menuItem(menu->menu(), title))
                return item;
        }
        return nullptr;
    }
    static QAction* menuItem(QMenu* menu, const QString& title)
    {
        for (QAction* item : menu->actions()) {
            if (item->text() == title)
                return item;
            if (item->menu()) {
                if (QAction* inner = menuItem(item->menu(), title))
                    return inner;
            }
        }
        return nullptr;
    }
    // Chooses a menu item as a user does: an open menu has validated its items.
    void choose(MainWindowController& window, const QString& title)
    {
        assembly->router().validateActions();
        QAction* item = menuItem(window, title);
        ASSERT_NE(item, nullptr) << title.toStdString();
        ASSERT_TRUE(item->isEnabled()) << title.toStdString();
        item->trigger();
        QApplication::processEvents();
    }

    QTemporaryDir m_folder;
    UserDefaults defaults {m_folder.filePath(QStringLiteral("prefs.conf"))};
    CoreDataManager manager {std::make_shared<CoreDataMigrator>()};
    FakeCalendarStore calendar;
    PackageManagerUpdater updater;
    ScriptedAlertPresenter alerts;
    ScriptedFilePanelPresenter filePanels;
    QList<QUrl> openedPages;
    std::unique_ptr<MainWindowAssembly> assembly;
    Kanban* plans = nullptr;
    Kanban* chores = nullptr;
};
