#include "Pelorins/print/OnlyIntegerNumberFormatter.h"
#include "Pelorins/print/OrientationBox.h"
#include "Pelorins/print/PrintSetupDelegate.h"
#include "Pelorins/print/PrintSetupViewController.h"
#include "Platform/core/ConsoleLog.h"
#include "support/PrintFixture.h"
#include "support/QStringPrinting.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <functional>

namespace {

class FakeSetupDelegate : public PrintSetupDelegate
{
public:
    double itemScale() const override { return scale; }
    void setItemScale(double value) override
    {
        scale = value;
        ++scaleChanges;
    }
    double magnification() const override { return zoom; }
    void setMagnification(double value) override { zoom = value; }
    bool print(PrintInfo& info) override
    {
        printedMargins.append(info.margins());
        return true;
    }
    QWidget* view() override { return nullptr; }

    double scale = 0.75;
    int scaleChanges = 0;
    double zoom = 1;
    QList<QMarginsF> printedMargins;
};

// "Office" prints Letter and A4 and cannot reach 26.5 points on each side: 559 points across.
class PrintSetup : public PrintFixture
{
protected:
    void SetUp() override
    {
        catalog.printers = {{"Office", {QPageSize(QPageSize::A4), QPageSize(QPageSize::Letter)},
                                QPageSize(QPageSize::Letter), QMarginsF(26.5, 12, 26.5, 12)},
            {"Home", {QPageSize(QPageSize::Letter), QPageSize(QPageSize::A5)}, QPageSize(QPageSize::A5),
                QMarginsF(26.5, 12, 26.5, 12)},
            {"Envelopes", {QPageSize(QPageSize::Envelope10)}, QPageSize(QPageSize::Envelope10), QMarginsF()}};
        catalog.defaultPrinter = QStringLiteral("Office");
        PrintFixture::SetUp();
        NotificationCenter::shared().addObserver(&observer, NotificationName::PrintInfoChanged,
            [this](const NotificationCenter::Notification&) { ++posts; });
        pane = std::make_unique<PrintSetupViewController>(*info);
        pane->setDelegate(&delegate);
        pane->show();
        posts = 0;
    }

    void choosePrinter(const QString& name)
    {
        const int index = pane->printerPopupButton()->findText(name);
        ASSERT_GE(index, 0) << name.toStdString();
        pane->printerPopupButton()->setCurrentIndex(index);
        pane->printerNameChanged(index);
    }
    void choosePaper(const QString& name)
    {
        const int index = pane->pagePopupButton()->findText(name);
        ASSERT_GE(index, 0) << name.toStdString();
        pane->pagePopupButton()->setCurrentIndex(index);
        pane->paperNameChanged(index);
    }

    QObject observer;
    int posts = 0;
    FakeSetupDelegate delegate;
    std::unique_ptr<PrintSetupViewController> pane;
};

} // namespace

TEST_F(PrintSetup, FitsTheFirstScaleToWholeColumnsAndLabelsTheColumnsSlider)
{
    EXPECT_EQ(info->imageablePageBounds().width(), 559);
    EXPECT_DOUBLE_EQ(delegate.scale, 186.0 / 308);
    EXPECT_EQ(pane->columnsSlider()->value(), 3);
    EXPECT_EQ(pane->columnsSlider()->minimum(), 1);
    EXPECT_EQ(pane->columnsSlider()->maximum(), 7);
    QStringList labels;
    for (QLabel* label : pane->columnSliderLabels())
        labels.append(label->text());
    EXPECT_EQ(labels, (QStringList {"1", "2", "3", "4", "5", "6", "7"}));
    EXPECT_EQ(pane->pagePopupButton()->currentText(), QPageSize(QPageSize::Letter).name());
    EXPECT_EQ(pane->itemSizeValueField()->text(), QStringLiteral("0.60"));
}

TEST_F(PrintSetup, FittedScalesNeverGiveFewerThanOneColumn)
{
    struct Case
    {
        double ratio;
        int columns;
    };
    // r = 559 / (s x 308)
    for (const Case& test :
        {Case {1.2, 2}, Case {1.49, 2}, Case {1.0, 1}, Case {0.49, 1}, Case {0.1, 1}, Case {2.5, 3}}) {
        SCOPED_TRACE(test.ratio);
        const double scale = 559 / (test.ratio * 308);
        EXPECT_DOUBLE_EQ(pane->fittedItemScale(scale), std::floor(559.0 / test.columns) / 308);
        EXPECT_EQ(pane->columnsSlider()->value(), test.columns);
    }
}

TEST_F(PrintSetup, OnlyAPaperChosenByHandRefitsTheScale)
{
    delegate.scale = 0.5;
    const int changes = delegate.scaleChanges;
    choosePrinter("Home");
    // "Home" offers Letter, the paper in use: chosen for the user, the scale stays.
    EXPECT_EQ(info->printerName(), QStringLiteral("Home"));
    EXPECT_EQ(pane->pagePopupButton()->currentText(), QPageSize(QPageSize::Letter).name());
    EXPECT_EQ(delegate.scale, 0.5);
    EXPECT_EQ(delegate.scaleChanges, changes);
    EXPECT_EQ(posts, 1);

    choosePaper(QPageSize(QPageSize::A5).name());
    EXPECT_EQ(info->paperName(), QPageSize(QPageSize::A5).key());
    // A5 less the margins: 420 - 53 points; at 0.5 that is 367 / 154 = 2.4 columns.
    EXPECT_DOUBLE_EQ(delegate.scale, std::floor(367.0 / 2) / 308);
    EXPECT_EQ(posts, 2);
}

TEST_F(PrintSetup, APrinterWithoutThePaperInUseChoosesNothing)
{
    choosePrinter("Envelopes");
    EXPECT_EQ(pane->pagePopupButton()->currentIndex(), -1);
    EXPECT_EQ(pane->pagePopupButton()->count(), 1);
    EXPECT_EQ(info->paperName(), QPageSize(QPageSize::Letter).key());
    EXPECT_EQ(posts, 0);
}

TEST_F(PrintSetup, TappingTheChosenOrientationDoesNothing)
{
    ASSERT_EQ(info->orientation(), QPageLayout::Portrait);
    EXPECT_EQ(pane->orientationBoxPortrait()->borderWidth(), 5);
    QTest::mouseClick(pane->orientationBoxPortrait(), Qt::LeftButton);
    EXPECT_EQ(posts, 0);

    QTest::mouseClick(pane->orientationBoxLandscape(), Qt::LeftButton);
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(info->orientation(), QPageLayout::Landscape);
    EXPECT_EQ(info->paperSize(), QSizeF(792, 612));
    EXPECT_EQ(pane->orientationBoxLandscape()->borderWidth(), 5);
    EXPECT_TRUE(pane->orientationBoxLandscape()->isTickShown());
    EXPECT_FALSE(pane->orientationBoxPortrait()->isTickShown());
    // Landscape: 792 less the long edges' 12 + 12 across.
    EXPECT_EQ(info->imageablePageBounds().width(), 768);
    EXPECT_EQ(pane->columnsSlider()->maximum(), 768 / 77);
}

TEST_F(PrintSetup, TheCardSliderIsFreeAndTheColumnsSliderSnaps)
{
    pane->itemSizeSlider()->setValue(77);
    EXPECT_DOUBLE_EQ(delegate.scale, 0.77);
    EXPECT_EQ(pane->columnsSlider()->value(), 3);
    EXPECT_EQ(pane->itemSizeValueField()->text(), QStringLiteral("0.77"));

    pane->columnsSlider()->setValue(4);
    EXPECT_DOUBLE_EQ(delegate.scale, 139.0 / 308);
    EXPECT_EQ(pane->itemSizeSlider()->value(), 45);
}

TEST_F(PrintSetup, ZoomSliderRunsFromAnEighthToEightTimes)
{
    for (const auto& [value, zoom] : {std::pair {0, 0.125}, std::pair {3, 1.0}, std::pair {6, 8.0}}) {
        pane->zoomSlider()->setValue(value * PrintSetupViewController::zoomSteps);
        EXPECT_DOUBLE_EQ(delegate.zoom, zoom) << value;
    }
    delegate.zoom = 2;
    pane->viewZoomChanged();
    EXPECT_EQ(pane->zoomSlider()->value(), 4 * PrintSetupViewController::zoomSteps);
}

TEST_F(PrintSetup, PrintingUsesZeroMargins)
{
    info->setMargins(QMarginsF(20, 20, 20, 20));
    pane->setPrintingPossible(true);
    pane->printButton()->click();
    EXPECT_EQ(delegate.printedMargins, QList<QMarginsF> {QMarginsF()});
    EXPECT_TRUE(info->automaticPagination());
    pane->setPrintingPossible(false);
    EXPECT_FALSE(pane->printButton()->isEnabled());
}

TEST_F(PrintSetup, IntegerFormatterAcceptsWholeNumbersOnly)
{
    OnlyIntegerNumberFormatter formatter;
    const QList<std::pair<QString, bool>> cases {{"", true}, {"12", true}, {"-3", true}, {" 7", true}, {"+4 ", true},
        {"1.5", false}, {"12a", false}, {"-", false}, {" ", false}};
    for (auto [text, accepted] : cases) {
        int position = 0;
        EXPECT_EQ(formatter.validate(text, position) == QValidator::Acceptable, accepted) << text.toStdString();
    }
}

TEST_F(PrintSetup, APrinterThatIsGoneListsNoPapers)
{
    catalog.remove("Office");
    ConsoleLog::Capture console;
    EXPECT_TRUE(pane->currentPrinterPapers().isEmpty());
    EXPECT_EQ(console.lines(), QStringList {"current printer not found"});
    // Choosing it from the stale list is ignored.
    pane->printerNameChanged(pane->printerPopupButton()->findText("Office"));
    EXPECT_EQ(pane->pagePopupButton()->currentText(), QPageSize(QPageSize::Letter).name());
}

TEST_F(PrintSetup, PapersComeSortedByNameAndWithoutEmptySizes)
{
    catalog.printers.append({"Odd",
        {QPageSize(QPageSize::Letter), QPageSize(QSizeF(0, 100), QPageSize::Point, "Zero"), QPageSize(QPageSize::A4)},
        QPageSize(QPageSize::Letter), QMarginsF()});
    pane = std::make_unique<PrintSetupViewController>(*info);
    choosePrinter("Odd");
    QStringList names;
    for (int i = 0; i < pane->pagePopupButton()->count(); ++i)
        names.append(pane->pagePopupButton()->itemText(i));
    QStringList sorted {QPageSize(QPageSize::A4).name(), QPageSize(QPageSize::Letter).name()};
    std::sort(
        sorted.begin(), sorted.end(), [](const QString& a, const QString& b) { return QString::compare(a, b) < 0; });
    EXPECT_EQ(names, sorted);
}

TEST_F(PrintSetup, AScreenReaderFindsEveryControlByItsLabel)
{
    QStringList names;
    std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* parent) {
        for (int i = 0; i < parent->childCount(); ++i) {
            QAccessibleInterface* child = parent->child(i);
            if (!child || child->state().invisible)
                continue;
            if (child->role() != QAccessible::StaticText && child->role() != QAccessible::Client
                && child->role() != QAccessible::Grouping) {
                EXPECT_FALSE(child->text(QAccessible::Name).isEmpty())
                    << "unnamed " << child->object()->metaObject()->className();
            }
            // A pop-up is read by its choice here, and labelled by its title.
            if (child->role() == QAccessible::ComboBox) {
                for (const auto& [label, relation] : child->relations(QAccessible::Label))
                    names << label->text(QAccessible::Name);
            } else if (child->role() != QAccessible::StaticText) {
                names << child->text(QAccessible::Name);
            }
            walk(child);
        }
    };
    walk(QAccessible::queryAccessibleInterface(pane.get()));
    for (const char* name : {"Printer", "Paper", "Portrait", "Landscape", "Card size", "Card scale", "Columns per page",
             "Zoom", "Done", "Print"})
        EXPECT_TRUE(names.contains(QLatin1String(name))) << name;
}

TEST_F(PrintSetup, TabReachesTheOrientationsAndSpaceChoosesOneAsAClickDoes)
{
    QApplication::setActiveWindow(pane.get());
    pane->orientationBoxLandscape()->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(pane->orientationBoxLandscape()->hasFocus());
    QTest::keyClick(pane->orientationBoxLandscape(), Qt::Key_Space);
    EXPECT_EQ(info->orientation(), QPageLayout::Landscape);
    EXPECT_EQ(posts, 1);
    pane->orientationBoxPortrait()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(pane->orientationBoxPortrait(), Qt::Key_Return);
    EXPECT_EQ(info->orientation(), QPageLayout::Portrait);
}
