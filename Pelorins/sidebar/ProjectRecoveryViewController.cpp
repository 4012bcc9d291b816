#include "Pelorins/sidebar/ProjectRecoveryViewController.h"

#include "Pelorins/sidebar/ProjectRecoveryCell.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/Root.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"

#include <QAbstractListModel>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace {

constexpr QLatin1String kanbanEntityName("Kanban");

// The rows: one board each, which the row's cell shows.
class ProjectList : public QAbstractListModel
{
public:
    ProjectList(const QList<Kanban*>& projects, QObject* parent)
        : QAbstractListModel(parent)
        , m_projects(projects)
    {
    }

    void reload()
    {
        beginResetModel();
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_projects.size());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_projects.size())
            return {};
        if (role == ProjectRecoveryCell::objectValueRole)
            return QVariant::fromValue(m_projects.at(index.row()));
        return {};
    }

private:
    const QList<Kanban*>& m_projects;
};

QString attributeValue(const AttributeDescription& attribute, const QVariant& value)
{
    if (!value.isValid())
        return QStringLiteral("nil");
    switch (attribute.type) {
    case AttributeDescription::Type::Binary:
        return QStringLiteral("<%1 bytes>").arg(value.toByteArray().size());
    case AttributeDescription::Type::Date:
        return value.toDateTime().toString(Qt::ISODate);
    case AttributeDescription::Type::StringList:
        return QStringLiteral("(") + value.toStringList().join(QStringLiteral(", ")) + QStringLiteral(")");
    case AttributeDescription::Type::Boolean:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    default:
        return value.toString();
    }
}

} // namespace

ProjectRecoveryViewController::ProjectRecoveryViewController(ManagedObjectContext* context, QWidget* parent)
    : QWidget(parent)
    , m_managedObjectContext(context)
    , m_tableView(new QTableView(this))
    , m_detailsTextView(new QPlainTextEdit(this))
    , m_model(new ProjectList(m_projects, this))
{
    setObjectName(QStringLiteral("ProjectRecoveryViewController"));
    setWindowTitle(tr("Project Recovery"));
    resize(720, 460);

    m_tableView->setObjectName(QStringLiteral("tableView"));
    m_tableView->setModel(m_model);
    m_tableView->setItemDelegate(new ProjectRecoveryCell(m_tableView));
    m_tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tableView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tableView->setShowGrid(false);
    m_tableView->horizontalHeader()->hide();
    m_tableView->horizontalHeader()->setStretchLastSection(true);
    m_tableView->verticalHeader()->hide();
    m_detailsTextView->setObjectName(QStringLiteral("detailsTextView"));
    m_detailsTextView->setReadOnly(true);
    m_detailsTextView->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(m_tableView);
    split->addWidget(m_detailsTextView);
    split->setStretchFactor(1, 1);
    split->setSizes({240, 480});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(split);

    loadProjects();
    connect(m_tableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &ProjectRecoveryViewController::showDetails);
}

ProjectRecoveryViewController::~ProjectRecoveryViewController() = default;

void ProjectRecoveryViewController::loadProjects()
{
    m_projects.clear();
    if (m_managedObjectContext) {
        QString error;
        m_projects = m_managedObjectContext->fetchAs<Kanban>(FetchRequest(kanbanEntityName), &error);
        if (!error.isEmpty())
            ConsoleLog::write(QStringLiteral("fetch error ") + error);
    }
    static_cast<ProjectList*>(m_model)->reload();
    showDetails();
}

void ProjectRecoveryViewController::showDetails()
{
    const QModelIndexList rows = m_tableView->selectionModel()->selectedRows();
    const int row = rows.isEmpty() ? -1 : rows.first().row();
    if (row < 0 || row >= m_projects.size()) {
        m_detailsTextView->clear();
        return;
    }
    const Kanban* kanban = m_projects.at(row);
    m_detailsTextView->setPlainText(parentPath(kanban) + QStringLiteral(" \n\n ") + description(*kanban));
}

QString ProjectRecoveryViewController::parentPath(const DisplayItem* item)
{
    // Walked upward; a tree edited into a loop stops where it comes round again.
    QString path;
    QList<const DisplayItem*> visited;
    for (const DisplayItem* parent = item ? item->parent() : nullptr; parent && !visited.contains(parent);
         parent = parent->parent()) {
        visited.append(parent);
        QString name;
        if (const auto* kanban = dynamic_cast<const Kanban*>(parent))
            name = kanban->title();
        else if (dynamic_cast<const Root*>(parent))
            name = QStringLiteral("Top Level");
        else if (const auto* folder = dynamic_cast<const Folder*>(parent))
            name = folder->title();
        path += name + QStringLiteral(" > ");
    }
    return path;
}

QString ProjectRecoveryViewController::description(const ManagedObject& object)
{
    QStringList lines {object.entity()->name() + QStringLiteral(" <")
        + object.objectIDURI().toString(QUrl::FullyEncoded) + QStringLiteral(">")};
    for (const AttributeDescription& attribute : object.entity()->attributes())
        lines.append(attribute.name + QStringLiteral(" = ") + attributeValue(attribute, object.value(attribute.name)));
    return lines.join(QLatin1Char('\n'));
}
