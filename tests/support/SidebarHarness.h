#pragma once

#include "StoreBuilder.h"
#include "TestStore.h"

#include "Pelorins/sidebar/KDLeftSidebarViewController.h"
#include "Pelorins/sidebar/SourceOutlineView.h"
#include "Pelorins/sidebar/SourceTreeModel.h"
#include "PelorinsKit/model/DisplayItem.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/Root.h"
#include "Platform/core/UndoManager.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/widgets/Animator.h"
#include "Platform/widgets/ScriptedAlertPresenter.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>

// A sidebar over a test store with every service it takes: the window's history, scripted
// alerts, a recording page opener and a save counter. Animations land at once.
class SidebarHarness
{
public:
    explicit SidebarHarness(ManagedObjectContext* context = nullptr)
        : m_context(context ? context : &store.context())
        , build(*m_context)
    {
    }

    // The sidebar over what the test built, after its first appearance.
    KDLeftSidebarViewController& makeSidebar()
    {
        build.root();
        KDLeftSidebarViewController::Services services(m_context, defaults, [this] { ++saves; });
        services.undoManager = &undoManager;
        services.alertPresenter = &alerts;
        services.urlOpener = [this](const QUrl& url) {
            openedPages.append(url.toString());
            return true;
        };
        services.openSupportPage = [this] { openedPages.append(QStringLiteral("support")); };
        services.loading = loading;
        sidebar = std::make_unique<KDLeftSidebarViewController>(std::move(services));
        sidebar->animator()->setFinishesAtOnce(true);
        QObject::connect(
            sidebar.get(), &KDLeftSidebarViewController::boardShown, [this](Kanban* kanban) { shown.append(kanban); });
        sidebar->resize(260, 600);
        sidebar->viewDidAppear();
        return *sidebar;
    }

    SourceOutlineView& outline() { return *sidebar->outlineView(); }
    // Where the cards of a store opened as the program opens it come from.
    StoreLoading* loading = nullptr;
    int rowOf(const DisplayItem* item) { return outline().rowForIndex(sidebar->model()->indexForItem(item)); }
    DisplayItem* selectedItem()
    {
        return sidebar->model()->itemForIndex(outline().indexAtRow(outline().selectedRow()));
    }
    void clickRow(const DisplayItem* item) { outline().selectRow(rowOf(item), false); }

    // Ends the event loop's turn, which closes the undo group being built and disposes of closed
    // editors.
    static void endTurn()
    {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // The titles of the item's children, in order; folders with their children in brackets.
    static QString tree(const DisplayItem* item)
    {
        QStringList parts;
        for (const DisplayItem* child : item->children()) {
            QString part = child->stringValue(QStringLiteral("title"));
            if (!child->children().isEmpty() || child->entity()->name() == QLatin1String("Folder"))
                part += QStringLiteral("[") + tree(child) + QStringLiteral("]");
            parts.append(part);
        }
        return parts.join(QLatin1Char(' '));
    }

    TestStore store;

private:
    ManagedObjectContext* m_context;

public:
    StoreBuilder build;
    QTemporaryDir folder;
    UserDefaults defaults {folder.filePath(QStringLiteral("defaults.conf"))};
    UndoManager undoManager;
    ScriptedAlertPresenter alerts;
    std::unique_ptr<KDLeftSidebarViewController> sidebar;
    int saves = 0;
    QList<Kanban*> shown;
    QStringList openedPages;
};
