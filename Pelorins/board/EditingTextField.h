#pragma once

#include <QLineEdit>

// A name field that reports its text whenever its editing ends: on Return, on Tab, when it loses
// the focus, and when its owner ends the editing (a popover closing mid-edit). Every end of an
// editing is reported once, changed or not.
class EditingTextField : public QLineEdit
{
    Q_OBJECT
public:
    explicit EditingTextField(int tag = 0, QWidget* parent = nullptr);

    // The row the field belongs to.
    int tag() const { return m_tag; }

    // Reports the text when an editing is under way.
    void endEditing();

signals:
    void tagNameChanged(EditingTextField* field);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void report();

    int m_tag;
    bool m_editing = false;
    bool m_reporting = false;
};
