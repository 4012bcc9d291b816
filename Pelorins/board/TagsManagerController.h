#pragma once

#include <QAbstractTableModel>
#include <QLatin1String>
#include <QPointer>
#include <QTableView>
#include <functional>

class Kanban;
class NotificationCenter;
class Tag;
class TagFiltersDelegate;

// The tag table of a board: its tags sorted by name, each with a name cell and a colour cell.
// A name typed into a cell goes to the board's rename, which asks before merging; a colour chosen
// is set, saved and announced at once, without undo. The rows follow "tagValueChanged".
class TagsManagerController : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr QLatin1String nameColumn {"nameColumn"};
    static constexpr QLatin1String colourColumn {"colourColumn"};

    // `save` is the program's save routine.
    TagsManagerController(
        NotificationCenter& notificationCenter, std::function<void()> save, QObject* parent = nullptr);

    Kanban* kanban() const { return m_kanban; }
    void setKanban(Kanban* kanban);
    // The board view, whose rename the name cells use.
    TagFiltersDelegate* delegate() const { return m_delegate; }
    void setDelegate(TagFiltersDelegate* delegate) { m_delegate = delegate; }

    // Shows the table in `view`, with a name cell and a colour cell in each row.
    QTableView* tagTableView() const { return m_tagTableView; }
    void setTagTableView(QTableView* view);

    // The board's tags sorted by name, sorted anew each time.
    QList<Tag*> sortedTags() const;
    Tag* tagAt(int row) const;
    // The identifier of a column, or empty.
    static QString columnIdentifier(int column);
    // The cell of a column and row: a TagNameTableCell, a TagColourTableCell, or none.
    QWidget* viewFor(const QString& columnIdentifier, int row);

    void colourChanged(Tag* tag, int colour);
    void tagNameChanged(Tag* tag, const QString& name);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void reload();
    void installCells();

    NotificationCenter& m_notificationCenter;
    std::function<void()> m_save;
    QPointer<QTableView> m_tagTableView;
    Kanban* m_kanban = nullptr;
    TagFiltersDelegate* m_delegate = nullptr;
};
