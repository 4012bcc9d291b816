#pragma once

#include <QWidget>
#include <optional>

class QToolBar;

// A toolbar space as wide as it takes to centre the next toolbar item in the toolbar. It
// follows every resize of the toolbar.
class TAAdaptiveSpaceItem : public QWidget
{
    Q_OBJECT
public:
    explicit TAAdaptiveSpaceItem(QToolBar* toolbar);

    // The width for a space starting at `x` in a toolbar `rowWidth` wide, before an item
    // `nextItemWidth` wide; 0 when the space does not start inside the row or nothing follows.
    static int adaptiveWidth(int x, std::optional<int> nextItemWidth, int rowWidth);

    void updateWidth();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QToolBar* m_toolbar;
};
