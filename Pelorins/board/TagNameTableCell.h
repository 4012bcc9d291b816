#pragma once

#include <QWidget>

class EditingTextField;
class Tag;

// The name cell of the tag table: the tag's name in a field that reports every end of editing.
class TagNameTableCell : public QWidget
{
    Q_OBJECT
public:
    explicit TagNameTableCell(QWidget* parent = nullptr);

    Tag* objectValue() const { return m_tag; }
    // Shows the tag's name.
    void setObjectValue(Tag* tag);
    EditingTextField* textField() const { return m_textField; }

signals:
    void tagNameChanged(Tag* tag, const QString& name);

private:
    Tag* m_tag = nullptr;
    EditingTextField* m_textField;
};
