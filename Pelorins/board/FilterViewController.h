#pragma once

#include "Platform/widgets/Animator.h"

#include <QFont>
#include <QList>
#include <QWidget>

class ColourPopupButton;
class EditingTextField;
class NotificationCenter;
class QAbstractButton;
class QCheckBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QShortcut;
class Tag;
class TagFiltersDelegate;

// The tag filter: the board's tags as check boxes titled "#name" in the tag's colour, each with a
// badge counting its cards; checking boxes filters the board to the cards carrying any checked
// tag. "Edit" cross-fades to an editor with a name field and a colour pop-up per tag, through
// which the board renames and recolours its tags. It follows "tagValueChanged" to keep its rows
// up to date, and lists the board's tags again when a merge or its undo changed them.
class FilterViewController : public QWidget
{
    Q_OBJECT
public:
    static constexpr int rowHeight = 20;
    // Rows beyond these scroll.
    static constexpr int visibleRows = 15;

    FilterViewController(
        TagFiltersDelegate* delegate, NotificationCenter& notificationCenter, QWidget* parent = nullptr);
    ~FilterViewController() override;

    TagFiltersDelegate* delegate() const { return m_delegate; }
    QList<Tag*> tags() const { return m_tags; }
    bool viewIsEditing() const { return m_viewIsEditing; }

    QList<QCheckBox*> checkButtons() const { return m_checkButtons; }
    QList<QAbstractButton*> badgeButtons() const { return m_badgeButtons; }
    QList<EditingTextField*> textFields() const { return m_textFields; }
    QList<ColourPopupButton*> popupButtons() const { return m_popupButtons; }
    QPushButton* editButton() const { return m_editButton; }
    QPushButton* clearAllButton() const { return m_clearAllButton; }
    QLabel* noTagsLabel() const { return m_noTagsLabel; }
    // Says why a name was refused; hidden otherwise.
    QLabel* messageLabel() const { return m_messageLabel; }
    QWidget* checkboxContainer() const { return m_checkboxContainer; }
    QWidget* editControlsContainer() const { return m_editControlsContainer; }
    Animator& animator() { return m_animator; }

    void setFilter();
    void clearAllFilter();
    void editButtonClicked();
    void colourChanged(int pos, int colour);
    void tagNameChanged(EditingTextField* field);

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void buildRows();
    void addRow(int row, Tag* tag);
    void refreshRow(int row);
    void tagValueChanged(Tag* tag, std::optional<int> newColour);
    bool boardTagsChanged() const;
    void crossFade(QWidget* to, QWidget* from);

    TagFiltersDelegate* m_delegate;
    QList<QCheckBox*> m_checkButtons;
    QList<QAbstractButton*> m_badgeButtons;
    QList<EditingTextField*> m_textFields;
    QList<ColourPopupButton*> m_popupButtons;
    QList<int> m_tagPositionsToUpdate;
    bool m_viewIsEditing = false;
    QPushButton* m_editButton = nullptr;
    // Return means Done, only while the editor shows.
    QShortcut* m_doneShortcut = nullptr;
    QLabel* m_noTagsLabel = nullptr;
    QScrollArea* m_scrollArea = nullptr;
    QWidget* m_rowsView = nullptr;
    QWidget* m_checkboxContainer = nullptr;
    QWidget* m_editControlsContainer = nullptr;
    QPushButton* m_clearAllButton = nullptr;
    QLabel* m_messageLabel = nullptr;
    QList<Tag*> m_tags;
    QFont m_boldFont;
    Animator m_animator;
};
