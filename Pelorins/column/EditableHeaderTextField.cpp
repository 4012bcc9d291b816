#include "Pelorins/column/EditableHeaderTextField.h"

#include "Pelorins/column/ListItemHeaderCellView.h"

#include <QKeyEvent>

EditableHeaderTextField::EditableHeaderTextField(QWidget* parent)
    : QLineEdit(parent)
{
    setFrame(false);
    connect(this, &QLineEdit::editingFinished, this, &EditableHeaderTextField::textDidEndEditing);
}

void EditableHeaderTextField::textDidEndEditing()
{
    // Hiding the field loses its focus and ends the edit once more: only the first end counts.
    if (ListItemHeaderCellView* header = m_headerView)
        header->endEditingTitle();
}

void EditableHeaderTextField::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && m_headerView) {
        m_headerView->cancelEditingTitle();
        return;
    }
    if (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) {
        textDidEndEditing();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
