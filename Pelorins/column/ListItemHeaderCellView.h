#pragma once

#include "Pelorins/column/HeaderTextFieldCell.h"

#include <QColor>
#include <QLatin1String>
#include <QVariant>
#include <QWidget>

class EditableHeaderTextField;
class KanbanColumn;
class ListItemHeaderCellDelegate;
class QAbstractButton;
class QMenu;
class QVariantAnimation;

// The header of one section of a column: a stage's title with its card count and bookmark, or
// a done day's label with its count. The column also pins one above a stage column's list.
//
// Its menu inserts, deletes and renames sections; a click selects its column, a second click on a
// selected column edits the title in place, a drag moves the selected columns sideways.
//
// Drawn at the column's scale: laid out as at full size and painted smaller.
class ListItemHeaderCellView : public QWidget
{
    Q_OBJECT

public:
    // The three looks of a header.
    enum class HeaderLayouts {
        // A stage header other than the first in separate columns, and every single-list header.
        column,
        // The first stage's header in separate columns: no divider on its left.
        firstColumn,
        // A day header of the done column: no fill, divider or backdrop.
        doneItem,
    };

    static constexpr QLatin1String identifier {"listItemHeaderCell"};
    // The actions of the menu, which the column and the board answer.
    static const QString addSectionBeforeAction;
    static const QString addSectionAfterAction;
    static const QString deleteSelectedSectionsAction;
    static const QString editTitleAction;
    static const QString changeTitleActionName;

    explicit ListItemHeaderCellView(QWidget* parent = nullptr);

    QVariant objectValue() const { return m_objectValue; }
    // A string shows as the title and renews the menu; any other value changes nothing else.
    void setObjectValue(const QVariant& value);
    // The menu a right click or the Menu key opens: "Add Section Before", "Add Section After",
    // "Delete Section", a separator, "Rename Section". Its items are sent from this header.
    void setupMenu();
    QMenu* menu() const { return m_menu; }

    // Editing the title in place: begins with the whole title selected; Return, Tab or leaving
    // the field end it, which writes the title; Escape cancels it.
    void beginEditingTitle();
    void endEditingTitle();
    void cancelEditingTitle();
    bool isEditingTitle() const;
    EditableHeaderTextField* editableTextField() const { return m_editableTextField; }
    // Retitles the stage as one step of the history ("Change Title"); a title that changes
    // nothing is no step.
    void changeTitle(const QString& title);
    QString title() const { return m_title.text(); }
    QColor titleColour() const { return m_title.textColour(); }
    void setTitleColour(const QColor& colour);
    // The card count at the right end.
    QString rightLabel() const { return m_rightLabel; }
    void setRightLabel(const QString& text);

    // The stage whose title and bookmark the header shows; none for a done day.
    KanbanColumn* column() const { return m_column; }
    void setColumn(KanbanColumn* column) { m_column = column; }
    ListItemHeaderCellDelegate* delegate() const { return m_delegate; }
    void setDelegate(ListItemHeaderCellDelegate* delegate) { m_delegate = delegate; }
    HeaderLayouts headerLayout() const { return m_headerLayout; }
    void setHeaderLayout(HeaderLayouts layout) { m_headerLayout = layout; }

    // Shows or hides the divider and the backdrop for the layout and the selection.
    void applyHeaderLayout();
    // The selected or unselected colours, from the delegate's selection.
    void updateSelectionAppearance();
    bool isDividerShown() const { return m_dividerShown; }
    bool isBackdropShown() const { return m_backdropShown; }
    // Whether the background is filled: every layout but a done day's.
    bool isFilled() const { return m_headerLayout != HeaderLayouts::doneItem; }

    QAbstractButton* bookmarkButton() const { return m_bookmarkButton; }
    // "BookmarkRedIcon" or "BookmarkIcon": what the bookmark button shows.
    QString bookmarkImageName() const;
    // The stage's bookmark: hidden without a stage, the red flag when it is bookmarked, else a
    // grey flag mostly tucked above the header.
    void updateBookmarkButton();
    // Pulses the bookmark once, as when the board jumps to the bookmarked stage.
    void animateBookmarkButton();
    void bookmarkButtonClicked();

    void setScale(qreal scale);
    qreal scale() const { return m_scale; }

signals:
    // A click on a header that acts for no column, a day's: a click on the list around it.
    void pressedOnList();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void placeBookmarkButton();
    void updateAccessibleName();
    void placeEditableTextField();
    void applyPaletteColours();
    void dragColumn(QMouseEvent* event);
    void sendAction(const QString& action);

    QVariant m_objectValue;
    HeaderTextFieldCell m_title;
    QString m_rightLabel;
    QColor m_rightLabelColour;
    QColor m_bottomBorderColour;
    KanbanColumn* m_column = nullptr;
    ListItemHeaderCellDelegate* m_delegate = nullptr;
    HeaderLayouts m_headerLayout = HeaderLayouts::column;
    bool m_dividerShown = true;
    bool m_backdropShown = true;
    QAbstractButton* m_bookmarkButton = nullptr;
    qreal m_bookmarkTopMargin = -23;
    QVariantAnimation* m_bookmarkPulse = nullptr;
    qreal m_scale = 1.0;
    QMenu* m_menu = nullptr;
    EditableHeaderTextField* m_editableTextField = nullptr;
    // The click being tracked: whether its column was selected before it, whether it moved, and
    // whether it is the second press of a double click.
    bool m_columnWasSelected = false;
    bool m_dragged = false;
    bool m_secondClick = false;
    bool m_tracking = false;
};
