#include "Pelorins/column/EditableHeaderTextField.h"

#include "Pelorins/column/ListItemHeaderCellView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QRegularExpression>

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
    // A title takes only text: copied cards or columns on the clipboard would paste nothing over
    // the selected title. Lines of pasted text become one line, a space where each break was, so
    // that a card's title and first line do not run together.
    if (event->matches(QKeySequence::Paste)) {
        static const QRegularExpression breaks(QStringLiteral("[\\r\\n\\x{2028}\\x{2029}]+"));
        QString text = QGuiApplication::clipboard()->text();
        if (!text.isEmpty())
            insert(text.replace(breaks, QStringLiteral(" ")));
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
