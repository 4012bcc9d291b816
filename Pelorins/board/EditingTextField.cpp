#include "Pelorins/board/EditingTextField.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QPointer>

EditingTextField::EditingTextField(int tag, QWidget* parent)
    : QLineEdit(parent)
    , m_tag(tag)
{
    connect(this, &QLineEdit::textEdited, this, [this] { m_editing = true; });
}

void EditingTextField::endEditing()
{
    if (m_editing)
        report();
}

void EditingTextField::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    m_editing = true;
}

void EditingTextField::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // The field's own context menu takes the focus for a moment without ending the editing.
    if (event->reason() != Qt::PopupFocusReason)
        endEditing();
}

void EditingTextField::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        report();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void EditingTextField::report()
{
    // What the report sets off (an alert, a rebuilt list) can take the focus away again.
    if (m_reporting)
        return;
    m_reporting = true;
    m_editing = false;
    const QPointer<EditingTextField> self(this);
    emit tagNameChanged(this);
    if (self)
        m_reporting = false;
}
