#pragma once

#include <QLatin1String>
#include <QWidget>

class ListItemAddItemButtonCell;
class NotificationCenter;
class UserDefaults;

// The last row of a stage section: it hosts the add-card cell that fills it.
class KanbanColumnAddButtonItem : public QWidget
{
    Q_OBJECT

public:
    static constexpr QLatin1String identifier {"KanbanColumnAddButtonItem"};

    KanbanColumnAddButtonItem(
        UserDefaults& defaults, NotificationCenter& notificationCenter, QWidget* parent = nullptr);

    ListItemAddItemButtonCell* view() const { return m_view; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    ListItemAddItemButtonCell* m_view = nullptr;
};
