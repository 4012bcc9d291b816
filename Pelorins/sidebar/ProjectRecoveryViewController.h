#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

class DisplayItem;
class Kanban;
class ManagedObject;
class ManagedObjectContext;
class QAbstractListModel;
class QPlainTextEdit;
class QTableView;

// Lists every board of the store, wherever it sits in the tree and also when the tree no longer
// reaches it, so that a lost board can be found again. Read-only: selecting a row shows where the
// board lives and what it holds; nothing changes.
class ProjectRecoveryViewController : public QWidget
{
    Q_OBJECT
public:
    static constexpr const char* cellIdentifier = "ProjectRecoveryCell";

    // `context` may be null: the list is then empty.
    explicit ProjectRecoveryViewController(ManagedObjectContext* context, QWidget* parent = nullptr);
    ~ProjectRecoveryViewController() override;

    QTableView* tableView() const { return m_tableView; }
    QPlainTextEdit* detailsTextView() const { return m_detailsTextView; }
    // The boards, in the store's order.
    const QList<Kanban*>& projects() const { return m_projects; }

    // Fetches every board afresh and lists it.
    void loadProjects();
    // The selected board's path and description; empty without a selected board.
    void showDetails();

    // The folders above the item, nearest first, each followed by " > "; the root reads
    // "Top Level". Empty for an item without a parent.
    static QString parentPath(const DisplayItem* item);
    // The object's class and URI, then one "name = value" line per attribute; notes and other
    // bytes as their count.
    static QString description(const ManagedObject& object);

private:
    QPointer<ManagedObjectContext> m_managedObjectContext;
    QTableView* m_tableView;
    QPlainTextEdit* m_detailsTextView;
    QAbstractListModel* m_model;
    QList<Kanban*> m_projects;
};
