#include "Pelorins/board/TagNameTableCell.h"

#include "Pelorins/board/EditingTextField.h"
#include "PelorinsKit/model/Tag.h"

#include <QPointer>
#include <QVBoxLayout>

TagNameTableCell::TagNameTableCell(QWidget* parent)
    : QWidget(parent)
    , m_textField(new EditingTextField(0, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_textField);
    m_textField->setFrame(false);
    connect(m_textField, &EditingTextField::tagNameChanged, this, [this] {
        Tag* tag = m_tag;
        if (!tag)
            return;
        const QPointer<TagNameTableCell> self(this);
        emit tagNameChanged(tag, m_textField->text());
        // A refused or cancelled name gives way to the tag's own again.
        if (self && !tag->isDeleted())
            m_textField->setText(tag->name());
    });
}

void TagNameTableCell::setObjectValue(Tag* tag)
{
    m_tag = tag;
    if (tag)
        m_textField->setText(tag->name());
}
