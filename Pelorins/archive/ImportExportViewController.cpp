#include "Pelorins/archive/ImportExportViewController.h"

#include "Pelorins/archive/ExportItemCell.h"
#include "Pelorins/archive/ImportExportOutlineModel.h"
#include "PelorinsKit/archive/JSONReader.h"
#include "PelorinsKit/archive/JSONWriter.h"
#include "PelorinsKit/archive/NodePlan.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "PelorinsKit/model/Root.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "PelorinsKit/store/SharedMethods.h"
#include "PelorinsKit/store/StoreLoading.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/widgets/FilePanelPresenter.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QTreeView>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace {

const QString archiveFileName = QStringLiteral("archive.Pelorins");
const QString packageType = QStringLiteral("Pelorins");
const QString folderClass = QStringLiteral("Folder");
const QString selectAllTitle = QStringLiteral("Select All");
const QString selectNoneTitle = QStringLiteral("Select None");

} // namespace

ImportExportViewController::ImportExportViewController(
    Services services, const std::optional<QString>& urlOfDocumentToImport, QWidget* parent)
    : QDialog(parent)
    , m_services(std::move(services))
    , m_urlOfDocumentToImport(urlOfDocumentToImport)
{
    buildView();
    connect(&m_reading, &QFutureWatcher<ReadDocument>::finished, this, &ImportExportViewController::documentRead);
    if (m_urlOfDocumentToImport) {
        setWindowTitle(QStringLiteral("Import"));
        m_descriptionTextField->setText(QStringLiteral("Import all items?"));
        m_mainButton->setText(QStringLiteral("Import"));
        m_selectAllButton->hide();
    }
    readDocumentToImport();
    itemSelected();
    if (!m_urlOfDocumentToImport)
        m_outlineView->expandAll();
}

// A read still running when the sheet closes finishes on its own: it holds the model it needs,
// and waiting for it would hold the window.
ImportExportViewController::~ImportExportViewController() = default;

void ImportExportViewController::buildView()
{
    setWindowTitle(QStringLiteral("Export"));
    resize(460, 420);
    auto* layout = new QVBoxLayout(this);
    m_descriptionTextField = new QLabel(QStringLiteral("Choose the folders and boards to export:"), this);
    layout->addWidget(m_descriptionTextField);

    m_model = new ImportExportOutlineModel(this);
    m_outlineView = new QTreeView(this);
    m_outlineView->setHeaderHidden(true);
    m_outlineView->setModel(m_model);
    m_outlineView->setItemDelegate(new ExportItemCell(this, m_outlineView));
    m_outlineView->setIconSize(QSize(16, 16));
    connect(m_outlineView, &QTreeView::expanded, this, &ImportExportViewController::itemSelected);
    connect(m_outlineView, &QTreeView::collapsed, this, &ImportExportViewController::itemSelected);
    layout->addWidget(m_outlineView, 1);

    m_messageLine = new QLabel(this);
    m_messageLine->setWordWrap(true);
    m_messageLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_messageLine->hide();
    layout->addWidget(m_messageLine);
    m_busyIndicator = new QProgressBar(this);
    m_busyIndicator->setRange(0, 0);
    m_busyIndicator->setTextVisible(false);
    m_busyIndicator->hide();
    layout->addWidget(m_busyIndicator);

    auto* buttons = new QHBoxLayout;
    m_selectAllButton = new QPushButton(selectAllTitle, this);
    connect(m_selectAllButton, &QPushButton::clicked, this, &ImportExportViewController::selectAllButtonTapped);
    buttons->addWidget(m_selectAllButton);
    buttons->addStretch();
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(m_cancelButton);
    m_mainButton = new QPushButton(QStringLiteral("Export…"), this);
    m_mainButton->setDefault(true);
    connect(m_mainButton, &QPushButton::clicked, this, &ImportExportViewController::mainButtonTapped);
    buttons->addWidget(m_mainButton);
    layout->addLayout(buttons);
}

void ImportExportViewController::readDocumentToImport()
{
    if (!m_urlOfDocumentToImport) {
        QString error;
        Root* root = m_services.coreDataManager.getRootObject(false, &error);
        if (!error.isEmpty())
            ConsoleLog::write(QStringLiteral("FETAL ERROR: Cannot find root object ") + error);
        m_items = root ? root->children() : QList<DisplayItem*>();
        m_model->setItems(m_items);
        return;
    }
    QString path = *m_urlOfDocumentToImport;
    const QFileInfo document(path);
    if (!document.exists()) {
        ConsoleLog::write(QStringLiteral("error determin if url is a directory"));
    } else if (document.isDir()) {
        m_importURLIsDirectory = true;
        path = QDir(path).filePath(archiveFileName);
    }
    ManagedObjectContext* context = m_services.coreDataManager.context();
    if (!context) {
        showFailure(QStringLiteral("No store is open to import into."));
        m_mainButton->setEnabled(false);
        return;
    }
    const std::shared_ptr<const ManagedObjectModel> model = context->sharedModel();
    const bool isDirectory = m_importURLIsDirectory;
    setBusy(QStringLiteral("Reading the archive…"));
    m_mainButton->setEnabled(false);
    m_reading.setFuture(QtConcurrent::run([path, isDirectory, model] {
        ReadDocument read;
        read.isDirectory = isDirectory;
        read.model = model;
        QString error;
        bool unreadable = false;
        std::optional<NodePlan> archive = JSONReader::checkedArchiveFile(path, *model, &error, &unreadable);
        if (archive)
            read.archive = std::make_shared<const NodePlan>(std::move(*archive));
        else if (!unreadable)
            read.error = QStringLiteral("This archive cannot be imported: %1.").arg(error);
        else if (isDirectory && !QFileInfo::exists(path))
            read.error = QStringLiteral("The package holds no \"%1\".").arg(archiveFileName);
        else
            read.error = QStringLiteral("The archive cannot be read: %1.").arg(error);
        return read;
    }));
}

void ImportExportViewController::documentRead()
{
    m_busyIndicator->hide();
    m_messageLine->hide();
    const ReadDocument read = m_reading.result();
    if (!read.archive) {
        ConsoleLog::write(read.error);
        showFailure(read.error);
        return;
    }
    m_archive = read.archive;
    m_archiveModel = read.model;
    m_model->setFoldersToImport(*m_archive);
    if (m_archive->entries().empty()) {
        showFailure(QStringLiteral("The archive holds no folders or boards."));
        return;
    }
    m_mainButton->setEnabled(true);
    itemSelected();
}

void ImportExportViewController::collectFoldersToImport(ManagedObject* made)
{
    if (auto* item = dynamic_cast<DisplayItem*>(made);
        item && (dynamic_cast<Folder*>(item) || dynamic_cast<Kanban*>(item)))
        item->setExport(true);
    else if (auto* card = dynamic_cast<ListItem*>(made))
        card->setEventsArray(std::nullopt);
}

void ImportExportViewController::setExportOfDescendants(Folder* folder)
{
    for (DisplayItem* child : folder->children()) {
        child->setExport(folder->isExport());
        if (auto* childFolder = dynamic_cast<Folder*>(child))
            setExportOfDescendants(childFolder);
    }
}

void ImportExportViewController::exportItemChecked(DisplayItem* item)
{
    if (dynamic_cast<Folder*>(item) || dynamic_cast<Kanban*>(item))
        exportMarkChanged(item);
    saveMarks();
    itemSelected();
}

void ImportExportViewController::exportMarkChanged(DisplayItem* item)
{
    if (auto* folder = dynamic_cast<Folder*>(item)) {
        setExportOfDescendants(folder);
        m_model->refreshCheckState(folder, true);
    }
    // Only the direct parent is counted again; the root has no row but keeps its mark.
    if (auto* parent = dynamic_cast<Folder*>(item->parent())) {
        parent->childrenHasMixedStates();
        m_model->refreshCheckState(parent, false);
    }
}

void ImportExportViewController::saveMarks()
{
    QString error = QStringLiteral("the store is not loaded");
    ManagedObjectContext* context = m_services.coreDataManager.context();
    if (!context || !context->save(&error))
        ConsoleLog::write(QStringLiteral("error saving context ") + error);
}

QList<QModelIndex> ImportExportViewController::shownRows() const
{
    QList<QModelIndex> rows;
    std::function<void(const QModelIndex&)> visit = [&](const QModelIndex& parent) {
        for (int row = 0; row < m_model->rowCount(parent); ++row) {
            const QModelIndex index = m_model->index(row, 0, parent);
            rows.append(index);
            if (m_outlineView->isExpanded(index))
                visit(index);
        }
    };
    visit(QModelIndex());
    return rows;
}

void ImportExportViewController::itemSelected()
{
    const QList<QModelIndex> rows = shownRows();
    const bool allOn = !rows.isEmpty() && std::all_of(rows.cbegin(), rows.cend(), [](const QModelIndex& index) {
        return index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
    });
    m_selectAllButton->setText(allOn ? selectNoneTitle : selectAllTitle);
}

void ImportExportViewController::selectAllButtonTapped()
{
    const bool on = m_selectAllButton->text() == selectAllTitle;
    for (const QModelIndex& index : shownRows()) {
        DisplayItem* item = m_model->displayItem(index);
        if (!item)
            continue;
        m_model->setData(index, int(on ? Qt::Checked : Qt::Unchecked), Qt::CheckStateRole);
        exportMarkChanged(item);
    }
    saveMarks();
    itemSelected();
}

void ImportExportViewController::mainButtonTapped()
{
    if (!m_urlOfDocumentToImport) {
        showSavePanel();
        return;
    }
    if (m_reading.isRunning() || !m_mainButton->isEnabled())
        return;
    setBusy(QStringLiteral("Importing…"));
    QString error;
    if (!importCheckedItems(&error)) {
        m_busyIndicator->hide();
        showFailure(QStringLiteral("The import failed: %1.").arg(error));
        return;
    }
    if (m_services.saveAction && !m_services.saveAction()) {
        m_busyIndicator->hide();
        // What was made stays in the store for the next save; a second import would double it.
        m_mainButton->setEnabled(false);
        showFailure(QStringLiteral("The imported items could not be saved."));
        return;
    }
    accept();
}

void ImportExportViewController::showSavePanel()
{
    FilePanelPresenter::SavePanel panel;
    panel.allowedFileTypes = {packageType};
    panel.identifier = QStringLiteral("export");
    const std::optional<QString> path = m_services.filePanels.runSavePanel(panel, this);
    if (!path)
        return;
    setBusy(QStringLiteral("Exporting…"));
    const QString packagePath = FilePanelPresenter::withAllowedType(*path, panel.allowedFileTypes);
    // What a failed export made goes again: the package when its name was new, else the
    // pictures folder it added to the earlier one.
    const QString picturesPath
        = QDir(packagePath).filePath(QLatin1String(PictureFolders::attachmentPicturesFolderName));
    const QString made = !QFileInfo::exists(packagePath) ? packagePath
        : !QFileInfo::exists(picturesPath)               ? picturesPath
                                                         : QString();
    QString error;
    const bool exported = exportCheckedItems(packagePath, &error);
    m_busyIndicator->hide();
    if (!exported) {
        if (!made.isEmpty() && QFileInfo(made).isDir() && !QDir(made).removeRecursively())
            ConsoleLog::write(QStringLiteral("cannot remove %1 after the failed export").arg(made));
        showFailure(QStringLiteral("The export failed: %1.").arg(error));
        return;
    }
    accept();
}

bool ImportExportViewController::exportCheckedItems(const QString& packagePath, QString* error)
{
    // The archive holds every card of the boards written, with its history.
    if (StoreLoading* loading = m_services.coreDataManager.loading(); loading && !loading->loadWholeStore(true)) {
        *error = QStringLiteral("the store could not be read");
        return false;
    }
    if (!QDir().mkpath(packagePath)) {
        ConsoleLog::write(QStringLiteral("error creating package url"));
        *error = QStringLiteral("cannot make the folder %1").arg(packagePath);
        return false;
    }
    // Written beside the archive it replaces, which stays whole until the new one and its
    // pictures are complete.
    QSaveFile file(QDir(packagePath).filePath(archiveFileName));
    QStringList pictureFolders;
    if (!file.open(QIODevice::WriteOnly) || !JSONWriter::writeArchive(m_items, file, &pictureFolders)
        || !file.flush()) {
        ConsoleLog::write(QStringLiteral("JSON Writing failed"));
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!SharedMethods(m_services.coreDataManager).copyPictureFoldersToPackage(pictureFolders, packagePath, error)) {
        ConsoleLog::write(QStringLiteral("error creating image folder"));
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        ConsoleLog::write(QStringLiteral("JSON Writing failed"));
        *error = file.errorString();
        return false;
    }
    return true;
}

bool ImportExportViewController::importCheckedItems(QString* error)
{
    CoreDataManager& manager = m_services.coreDataManager;
    // What is read in gets identifiers new to the whole store.
    if (StoreLoading* loading = manager.loading(); loading && !loading->loadWholeStore()) {
        *error = QStringLiteral("the store could not be read");
        return false;
    }
    ManagedObjectContext* context = manager.context();
    JSONReader* reader = manager.jsonReader();
    if (!context || !reader) {
        *error = QStringLiteral("no store is open");
        return false;
    }
    if (!m_archive) {
        *error = QStringLiteral("no archive is read");
        return false;
    }
    if (context->sharedModel() != m_archiveModel) {
        *error = QStringLiteral("the store changed since the archive was read");
        return false;
    }
    // A store without a root gets one, so that what is imported shows in the sidebar; a root that
    // cannot be read stops the import, which would not show.
    QString rootError;
    Root* root = manager.getRootObject(false, &rootError);
    if (!rootError.isEmpty()) {
        ConsoleLog::write(QStringLiteral("error getting root object ") + rootError);
        *error = QStringLiteral("the sidebar's top cannot be read: %1").arg(rootError);
        return false;
    }
    if (!root)
        root = manager.getRootObject(true);
    reader->setImportedObjects({});
    const QList<ManagedObject*> made = reader->makeObjectsFromArchive(*m_archive, error, collectFoldersToImport);
    if (!error->isEmpty())
        return false;
    auto* folder = context->insertNewObject<Folder>(folderClass);
    const QLocale locale;
    const QDateTime now = QDateTime::currentDateTime();
    folder->setTitle(QStringLiteral("Imported - ") + locale.toString(now.date(), QLocale::ShortFormat)
        + QStringLiteral(", ") + locale.toString(now.time(), QLocale::ShortFormat));
    for (ManagedObject* object : made)
        if (dynamic_cast<Folder*>(object) || dynamic_cast<Kanban*>(object))
            static_cast<DisplayItem*>(object)->setParent(folder);
    if (root)
        folder->setParent(root);
    // The pictures come only once the objects that name them are made.
    if (m_importURLIsDirectory)
        SharedMethods(manager).copyImageAttachmentsToAttachmentsFolder(*m_urlOfDocumentToImport);
    return true;
}

void ImportExportViewController::showFailure(const QString& message)
{
    m_messageLine->setStyleSheet(QStringLiteral("color: #c0392b;"));
    m_messageLine->setText(message);
    m_messageLine->show();
}

void ImportExportViewController::setBusy(const QString& what)
{
    m_messageLine->setStyleSheet(QString());
    m_messageLine->setText(what);
    m_messageLine->show();
    m_busyIndicator->show();
    // The work that follows may hold the main thread; the indicator shows first.
    repaint();
}
