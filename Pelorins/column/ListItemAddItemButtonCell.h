#pragma once

#include <QColor>
#include <QPointer>
#include <QWidget>
#include <optional>

class AddButton;
class MacKanbanColumnController;
class NotificationCenter;
class UserDefaults;

// The foot of a stage section: a rounded cell with a plus that appends a new card to the
// section. Until the user has added a card once ("tutorialShownStep1"), the cell is outlined
// in the accent colour, and its first click ends that step of the tutorial.
//
// Drawn at the column's scale: laid out as at full size and painted smaller.
class ListItemAddItemButtonCell : public QWidget
{
    Q_OBJECT

public:
    static constexpr int tutorialBorderWidth = 2;

    ListItemAddItemButtonCell(
        UserDefaults& defaults, NotificationCenter& notificationCenter, QWidget* parent = nullptr);

    bool shouldPulsate() const { return m_shouldPulsate; }
    MacKanbanColumnController* kanbanColumnController() const;
    void setKanbanColumnController(MacKanbanColumnController* controller);
    std::optional<int> section() const { return m_section; }
    void setSection(std::optional<int> section) { m_section = section; }
    QColor borderBlue() const { return m_borderBlue; }
    AddButton* button() const { return m_button; }
    void setScale(qreal scale);

    // The button's action: adds a card at the end of the section, then ends the tutorial step.
    void addNewItem();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeButton();
    void endTutorialHint();

    UserDefaults& m_defaults;
    NotificationCenter& m_notificationCenter;
    bool m_shouldPulsate = false;
    QPointer<MacKanbanColumnController> m_kanbanColumnController;
    std::optional<int> m_section;
    QColor m_borderBlue;
    AddButton* m_button = nullptr;
    qreal m_scale = 1.0;
};
