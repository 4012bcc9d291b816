#pragma once

#include <QWidget>

class AddButton;
class MacKanbanColumnDelegate;

// The round, translucent holder of the board's add-column button, which sits in the gap after
// the last stage column. Its plus sends "insertNewSectionAtEnd" through the board's action
// routing. The board creates it, places it at its margins and calls updatePosition() whenever
// the columns, their widths or the zoom change.
class AddColumnButtonView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int buttonDimension = 40;
    static constexpr int innerCircleDimention = 26;

    explicit AddColumnButtonView(MacKanbanColumnDelegate* delegate, QWidget* parent = nullptr);

    MacKanbanColumnDelegate* delegate() const { return m_delegate; }
    AddButton* addButton() const { return m_addButton; }
    // Where the board places the view in its document view.
    int leftMargin() const { return m_leftMargin; }
    int topMargin() const { return m_topMargin; }
    // Just right of the last stage column: the column width times the number of stages.
    void updatePosition();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void setup();

    MacKanbanColumnDelegate* m_delegate = nullptr;
    AddButton* m_addButton = nullptr;
    int m_leftMargin = 0;
    int m_topMargin = 38;
};
