#include "Pelorins/board/BoardColourPalette.h"
#include "Pelorins/board/ColourCircleButton.h"
#include "Pelorins/common/AppConstants.h"
#include "Pelorins/common/PelorinsMainWindow.h"
#include "Pelorins/shell/BadgedButton.h"
#include "Pelorins/shell/TAAdaptiveSpaceItem.h"
#include "Pelorins/shell/ToolbarInfoMenu.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/NotificationName.h"
#include "Platform/core/NotificationCenter.h"
#include "support/StoreBuilder.h"
#include "support/TestStore.h"

#include <QAbstractButton>
#include <QObject>
#include <gtest/gtest.h>

namespace {

class FakeWindow : public PelorinsMainWindow
{
public:
    DisplayItem* currentDisplayItem() const override { return item; }
    QWidget* window() const override { return nullptr; }
    void setCurrentDisplayItem(DisplayItem* newItem) override { item = newItem; }
    void setColour(int tag) override
    {
        if (item)
            item->setColour(tag);
    }

    DisplayItem* item = nullptr;
};

// Counts the posts of a notification while it lives.
struct PostCounter
{
    explicit PostCounter(const QString& name)
    {
        NotificationCenter::shared().addObserver(
            &owner, name, [this](const NotificationCenter::Notification&) { ++count; });
    }
    QObject owner;
    int count = 0;
};

TEST(ColourCircleButton, TagPicksThePaletteColourAndOutsideThePaletteTheFirst)
{
    ColourCircleButton button;
    const QList<QColor>& palette = boardColourPalette();
    ASSERT_EQ(palette.size(), 6);
    for (const auto& [tag, index] : QList<std::pair<int, int>> {{0, 0}, {3, 3}, {5, 5}, {6, 0}, {9, 0}, {-1, 0}}) {
        button.setTag(tag);
        EXPECT_EQ(button.tag(), tag);
        EXPECT_EQ(button.colour(), palette.at(index)) << tag;
    }
    // The outline is the colour 0.2 darker in each channel, never below 0.
    button.setTag(5); // (49, 91, 138): red would fall below 0
    const QColor stroke = *button.strokeColour();
    EXPECT_EQ(stroke.redF(), 0.0);
    EXPECT_NEAR(stroke.greenF(), 91 / 255.0 - 0.2, 1e-3);
    EXPECT_NEAR(stroke.blueF(), 138 / 255.0 - 0.2, 1e-3);
}

struct ToolbarInfoMenuFixture : ::testing::Test
{
    TestStore store;
    StoreBuilder builder {store.context()};
    FakeWindow window;
};

TEST_F(ToolbarInfoMenuFixture, OpeningShowsTheBoardsColourAsTheOnlyRingedSwatch)
{
    Kanban* kanban = builder.addBoard("Plans");
    kanban->setColour(3);
    window.item = kanban;
    ToolbarInfoMenu menu(&window);
    menu.buildMenu();
    ASSERT_EQ(menu.colourCircleButtons().size(), 6);
    for (ColourCircleButton* button : menu.colourCircleButtons())
        EXPECT_EQ(button->isChecked(), button->tag() == 3) << button->tag();

    // Another board: the next opening rebuilds the swatches.
    window.item = nullptr;
    emit menu.aboutToShow();
    for (ColourCircleButton* button : menu.colourCircleButtons())
        EXPECT_FALSE(button->isChecked());
}

TEST_F(ToolbarInfoMenuFixture, ChoosingASwatchColoursTheBoardAndHasItRepainted)
{
    Kanban* kanban = builder.addBoard("Plans");
    window.item = kanban;
    ToolbarInfoMenu menu(&window);
    emit menu.aboutToShow();
    PostCounter posts(NotificationName::backgroundChanged);
    menu.colourCircleButtons().at(4)->click();
    EXPECT_EQ(kanban->colour(), 4);
    EXPECT_EQ(posts.count, 1);
    for (ColourCircleButton* button : menu.colourCircleButtons())
        EXPECT_EQ(button->isChecked(), button->tag() == 4);

    // With no board there is nothing to repaint.
    window.item = nullptr;
    menu.colourCircleButtons().at(2)->click();
    EXPECT_EQ(posts.count, 1);
}

TEST_F(ToolbarInfoMenuFixture, ChoosingAPictureStoresItsNameAndPostsTheChange)
{
    Kanban* kanban = builder.addBoard("Plans");
    window.item = kanban;
    ToolbarInfoMenu menu(&window);
    PostCounter posts(NotificationName::backgroundChanged);
    menu.backgroundSelected(6);
    EXPECT_EQ(kanban->bgImage(), QStringLiteral("wlbackground07"));
    EXPECT_EQ(posts.count, 1);
    EXPECT_EQ(ToolbarInfoMenu::backgroundImageName(0), QStringLiteral("wlbackground01"));
    EXPECT_EQ(ToolbarInfoMenu::backgroundImageName(11), QStringLiteral("wlbackground12"));

    // With no board the notice still goes out.
    window.item = nullptr;
    menu.backgroundSelected(0);
    EXPECT_EQ(posts.count, 2);
    EXPECT_EQ(kanban->bgImage(), QStringLiteral("wlbackground07"));
}

TEST(ToolbarInfoMenu, PictureButtonsLieFiveToARow)
{
    EXPECT_EQ(ToolbarInfoMenu::backgroundImageButtonFrame(0), QRect(0, 0, 48, 48));
    EXPECT_EQ(ToolbarInfoMenu::backgroundImageButtonFrame(4), QRect(200, 0, 48, 48));
    EXPECT_EQ(ToolbarInfoMenu::backgroundImageButtonFrame(5), QRect(0, 48, 48, 48));
    EXPECT_EQ(ToolbarInfoMenu::backgroundImageButtonFrame(11), QRect(50, 96, 48, 48));
    ToolbarInfoMenu menu(nullptr);
    emit menu.aboutToShow();
    EXPECT_EQ(menu.backgroundImageButtons().size(), 12);
}

} // namespace

namespace {

TEST(TAAdaptiveSpaceItem, WidthCentresTheNextItem)
{
    const struct
    {
        int x;
        std::optional<int> next;
        int row;
        int width;
    } cases[] = {
        {100, 200, 1000, 294}, {450, 200, 1000, 0}, // would be negative
        {0, 200, 1000, 0}, // not inside the row
        {100, std::nullopt, 1000, 0}, // nothing follows
    };
    for (const auto& c : cases)
        EXPECT_EQ(TAAdaptiveSpaceItem::adaptiveWidth(c.x, c.next, c.row), c.width) << c.x;
}

TEST(BadgedButton, BadgeSitsAtTheRightEdgeOnlyFromACountOfOne)
{
    BadgedButton button;
    button.resize(40, 24);
    EXPECT_EQ(button.badgeColour(), badgeGreyColour());
    EXPECT_TRUE(button.badgeRect().isEmpty());
    button.setCount(7);
    const QRectF badge = button.badgeRect();
    EXPECT_EQ(badge.right(), 40.0);
    EXPECT_EQ(badge.top(), 2.0);
    EXPECT_EQ(badge.height(), 10.0);
    EXPECT_GT(badge.width(), 6.0);
    button.setCount(123);
    EXPECT_GT(button.badgeRect().width(), badge.width());
    EXPECT_EQ(button.badgeRect().right(), 40.0);
    button.setCount(0);
    EXPECT_TRUE(button.badgeRect().isEmpty());
}

} // namespace
