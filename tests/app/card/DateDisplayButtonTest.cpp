#include "Pelorins/card/DateDisplayButton.h"
#include "Pelorins/card/DueDateTextField.h"
#include "Pelorins/common/ColourHelpers.h"

#include <QMouseEvent>
#include <gtest/gtest.h>

namespace {

const QDateTime now(QDate(2026, 12, 10), QTime(9, 0), Qt::UTC);

} // namespace

TEST(DateDisplayButton, ShowsTheIconWithoutADateAndABadgeWithOne)
{
    DateDisplayButton badge;
    badge.updateDateDisplay(now);
    EXPECT_TRUE(badge.showsIcon());
    EXPECT_EQ(badge.sizeHint(), QSize(DateDisplayButton::iconSize, DateDisplayButton::iconSize));

    badge.setDateValue(now.addDays(1));
    EXPECT_TRUE(badge.showsIcon()) << "a date alone changes nothing on screen";
    badge.updateDateDisplay(now);
    EXPECT_FALSE(badge.showsIcon());
    EXPECT_TRUE(badge.text().startsWith(QStringLiteral("Tomorrow"))) << badge.text().toStdString();
    EXPECT_EQ(badge.sizeHint().height(), DateDisplayButton::badgeHeight);

    badge.setScale(2.0);
    EXPECT_EQ(badge.sizeHint().height(), 2 * DateDisplayButton::badgeHeight);
}

TEST(DateDisplayButton, FillsGreenWithoutAColourAndDarkerWhilePressed)
{
    DateDisplayButton badge;
    badge.setDateValue(now);
    badge.updateDateDisplay(now);
    EXPECT_EQ(badge.fillColour(), QColor(Qt::green));

    const QColor orange(255, 149, 0);
    badge.setBackgroundColour(orange);
    EXPECT_EQ(badge.fillColour(), orange);
    badge.setDown(true);
    EXPECT_EQ(badge.fillColour(), darker(orange));
    badge.resize(badge.sizeHint());
    QImage image(badge.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    badge.render(&image);
    EXPECT_EQ(QColor(image.pixel(2, badge.height() / 2)).rgb(), darker(orange).rgb());
}

TEST(DateDisplayButton, TheDoneTimeFieldIsEmptyWithoutADate)
{
    DueDateTextField field;
    field.setText(QStringLiteral("stale"));
    field.updateDisplay();
    EXPECT_EQ(field.text(), QString());
    field.setDateValue(QDateTime(QDate(2026, 12, 10), QTime(14, 30, 45)));
    field.updateDisplay();
    EXPECT_TRUE(field.text().contains(QStringLiteral("30"))) << field.text().toStdString();
    EXPECT_FALSE(field.text().contains(QStringLiteral("45"))) << "no seconds";
}
