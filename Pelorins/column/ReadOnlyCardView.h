#pragma once

#include "Pelorins/card/ListItemCellViewPresentedInContext.h"

#include <QPointer>
#include <QTextLayout>
#include <QWidget>

class ListItem;
class ListItemCellDelegate;

// A card shown as plain text: the first line of its notes, or all of them when the card is
// expanded, struck through when it is done, outlined in the accent colour when selected. It
// stands in for the card editor and answers the same calls a column makes of a card view.
//
// Drawn at the column's scale: laid out as at full size and painted smaller, so that a zoomed
// column breaks its lines where the full-size one does.
class ReadOnlyCardView : public QWidget
{
    Q_OBJECT

public:
    explicit ReadOnlyCardView(QWidget* parent = nullptr);

    ListItem* objectValue() const { return m_item; }
    void setObjectValue(ListItem* item);
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    // Repaints the selected or unselected look from isSelected().
    void updateSelectionAppearance();
    void setScale(qreal scale);
    // The text shown, as it was read when the card was set.
    QString shownText() const { return m_layout.text(); }

    // The card editor answers these; this view has nothing to do for them.
    void setDelegate(ListItemCellDelegate* delegate) { Q_UNUSED(delegate) }
    void setPresentedContext(ListItemCellViewPresentedInContext context) { Q_UNUSED(context) }
    void updateDueDateColour() { }
    void mouseEntered() { }
    void mouseExited() { }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void layOutText();

    ListItem* m_item = nullptr;
    bool m_selected = false;
    qreal m_scale = 1.0;
    QTextLayout m_layout;
};
