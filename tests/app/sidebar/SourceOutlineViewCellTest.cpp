#include "Pelorins/sidebar/SourceOutlineViewCell.h"
#include "Pelorins/sidebar/SourceTreeModel.h"
#include "PelorinsKit/model/Kanban.h"
#include "support/StoreBuilder.h"
#include "support/TestStore.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

// A board's row as the sidebar paints it, selected or not, with a blue selection and white
// selected text.
QImage paintBoardRow(bool selected)
{
    TestStore store;
    EXPECT_TRUE(store.isOpen()) << store.error().toStdString();
    StoreBuilder builder(store.context());
    Kanban* board = builder.addBoard(QStringLiteral("Plans"));
    SourceTreeModel model;
    model.setRootObject(builder.root());
    SourceOutlineViewCell cell;

    QImage image(220, 24, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QStyleOptionViewItem option;
    option.rect = image.rect();
    option.state = QStyle::State_Enabled | (selected ? QStyle::State_Selected : QStyle::State_None);
    option.palette.setColor(QPalette::Highlight, QColor(0, 99, 225));
    option.palette.setColor(QPalette::HighlightedText, Qt::white);
    QPainter painter(&image);
    cell.paint(&painter, option, model.indexForItem(board));
    return image;
}

// Pixels of the icon's square that are dark, that is neither the selection's blue nor light.
int darkIconPixels(const QImage& row)
{
    int dark = 0;
    for (int y = 4; y < 4 + SourceOutlineViewCell::iconSize; ++y) {
        for (int x = 6; x < 6 + SourceOutlineViewCell::iconSize; ++x) {
            const QColor pixel = row.pixelColor(x, y);
            if (pixel.lightness() < 128 && pixel.blue() < 160)
                ++dark;
        }
    }
    return dark;
}

} // namespace

TEST(SourceOutlineViewCell, ABoardsIconTakesTheSelectedTextColourOnASelectedRow)
{
    EXPECT_GT(darkIconPixels(paintBoardRow(false)), 10);
    EXPECT_EQ(darkIconPixels(paintBoardRow(true)), 0);
}
