#pragma once

#include <QLineEdit>
#include <QPointer>

class ListItemHeaderCellView;

// The field in which a header's title is edited, shown over the title while an edit lasts.
// Return, Tab and a loss of focus end the edit; Escape cancels it. Only text is pasted.
class EditableHeaderTextField : public QLineEdit
{
    Q_OBJECT

public:
    explicit EditableHeaderTextField(QWidget* parent = nullptr);

    // The header whose title is being edited; none outside an edit.
    ListItemHeaderCellView* headerView() const { return m_headerView; }
    void setHeaderView(ListItemHeaderCellView* header) { m_headerView = header; }

    // The end of an edit: the header takes the text.
    void textDidEndEditing();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPointer<ListItemHeaderCellView> m_headerView;
};
