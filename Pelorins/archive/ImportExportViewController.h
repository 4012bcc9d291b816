#pragma once

#include "Pelorins/archive/ItemCheckedDelegate.h"

#include <QDialog>
#include <QFutureWatcher>
#include <QList>
#include <functional>
#include <memory>
#include <optional>

class CoreDataManager;
class DisplayItem;
class FilePanelPresenter;
class Folder;
class ImportExportOutlineModel;
class ManagedObject;
class ManagedObjectModel;
class NodePlan;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeView;

// The archive sheet. Without a document it exports: the user ticks folders and boards (their
// export marks, saved at each click), chooses where to save, and the package is written. With a
// document (a package folder or a plain archive file) it imports: the archive is read and checked
// off the main thread, its folders and boards are previewed, and Import brings them in under a
// new folder "Imported - <date>, <time>" at the end of the tree, with the package's pictures.
//
// A failure is shown in the sheet, which then stays open; a refused archive disables Import and
// brings in nothing.
class ImportExportViewController : public QDialog, public ItemCheckedDelegate
{
    Q_OBJECT
public:
    struct Services
    {
        CoreDataManager& coreDataManager;
        FilePanelPresenter& filePanels;
        // The application's save routine; false when the store could not be saved.
        std::function<bool()> saveAction;
    };

    ImportExportViewController(
        Services services, const std::optional<QString>& urlOfDocumentToImport, QWidget* parent = nullptr);
    ~ImportExportViewController() override;

    const std::optional<QString>& urlOfDocumentToImport() const { return m_urlOfDocumentToImport; }
    bool importURLIsDirectory() const { return m_importURLIsDirectory; }
    const QList<DisplayItem*>& items() const { return m_items; }

    QLabel* descriptionTextField() const { return m_descriptionTextField; }
    QTreeView* outlineView() const { return m_outlineView; }
    QPushButton* selectAllButton() const { return m_selectAllButton; }
    QPushButton* mainButton() const { return m_mainButton; }
    // Where failures are shown.
    QLabel* messageLine() const { return m_messageLine; }
    QProgressBar* busyIndicator() const { return m_busyIndicator; }
    // Whether the archive is still being read.
    bool isReading() const { return m_reading.isRunning(); }

    void exportItemChecked(DisplayItem* item) override;
    void setExportOfDescendants(Folder* folder);

    // The select-all button's title follows the rows shown: "Select None" when every one is on.
    void itemSelected();
    void selectAllButtonTapped();
    void mainButtonTapped();

    // What the sheet changes in each object an import makes: folders and boards come in marked
    // for export, and cards without their "eventsArray" of calendar event identifiers.
    static void collectFoldersToImport(ManagedObject* made);

private:
    // The rows a changed export mark speaks for: a folder's descendants, and its parent's mixed state.
    void exportMarkChanged(DisplayItem* item);
    // What reading a document gives, off the main thread.
    struct ReadDocument
    {
        bool isDirectory = false;
        std::shared_ptr<const NodePlan> archive;
        // The model the archive was checked against, which its plan points into.
        std::shared_ptr<const ManagedObjectModel> model;
        QString error;
    };

    void buildView();
    void readDocumentToImport();
    void documentRead();
    void showSavePanel();
    bool exportCheckedItems(const QString& packagePath, QString* error);
    bool importCheckedItems(QString* error);
    void showFailure(const QString& message);
    void setBusy(const QString& what);
    void saveMarks();
    QList<QModelIndex> shownRows() const;

    Services m_services;
    std::optional<QString> m_urlOfDocumentToImport;
    bool m_importURLIsDirectory = false;
    std::shared_ptr<const NodePlan> m_archive;
    std::shared_ptr<const ManagedObjectModel> m_archiveModel;
    QList<DisplayItem*> m_items;

    ImportExportOutlineModel* m_model = nullptr;
    QLabel* m_descriptionTextField = nullptr;
    QTreeView* m_outlineView = nullptr;
    QPushButton* m_selectAllButton = nullptr;
    QPushButton* m_mainButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QLabel* m_messageLine = nullptr;
    QProgressBar* m_busyIndicator = nullptr;
    QFutureWatcher<ReadDocument> m_reading;
};
