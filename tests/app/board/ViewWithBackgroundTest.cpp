#include "BoardViewFixture.h"

#include "Pelorins/board/BackgroundArtwork.h"
#include "Pelorins/board/BoardColourPalette.h"
#include "Pelorins/board/ViewWithBackground.h"
#include "Pelorins/shell/ToolbarInfoMenu.h"
#include "PelorinsKit/model/NotificationName.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/DataFolders.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QSet>

// At global scope: the resource's initialiser is declared where this is called.
static void initArtwork()
{
    Q_INIT_RESOURCE(Backgrounds);
}

namespace {

// Two colours split across the middle: left and right halves, or top and bottom ones.
QImage halves(const QSize& size, Qt::Orientation split, const QColor& first, const QColor& second)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            const bool inFirst = split == Qt::Horizontal ? x < size.width() / 2 : y < size.height() / 2;
            image.setPixelColor(x, y, inFirst ? first : second);
        }
    return image;
}

// A view showing a board of a store of its own, with the data folders in a temporary folder.
class ViewWithBackgroundTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        initArtwork();
        DataFolders::setBaseFolderForTesting(data.path());
        pictures = *PictureFolders::picturesFolderURL();
        board = build.addBoard("Board");
    }
    void TearDown() override { DataFolders::setBaseFolderForTesting(QString()); }

    QImage shown(const QSize& size = QSize(300, 100))
    {
        view.resize(size);
        view.showBackground(*board);
        return view.grab().toImage();
    }
    QString picture(const QString& name) const { return QDir(pictures).filePath(name); }

    QTemporaryDir data;
    QString pictures;
    TestStore store;
    StoreBuilder build {store.context()};
    Kanban* board = nullptr;
    ViewWithBackground view {nullptr};
};

} // namespace

TEST_F(ViewWithBackgroundTest, TheColourFillsTheViewExactly)
{
    for (int colour : {0, 3, 5}) {
        board->setColour(colour);
        const QImage image = shown();
        EXPECT_FALSE(view.showsPicture());
        for (const QPoint& point : {QPoint(0, 0), QPoint(150, 50), QPoint(299, 99)})
            EXPECT_EQ(image.pixelColor(point), boardColourPalette().at(colour)) << colour;
    }
    // A number outside the palette, as an archive may bring, shows the first colour.
    for (int colour : {-1, 6, 300}) {
        board->setColour(colour);
        EXPECT_EQ(shown().pixelColor(150, 50), boardColourPalette().first()) << colour;
    }
}

TEST_F(ViewWithBackgroundTest, APictureCoversTheViewCentredAndCutAtTheOverflowingSides)
{
    // A square picture in a wide view is cut at the top and bottom: the view shows its middle
    // third, so the border between a top and a bottom half runs across the view's middle; in a
    // tall view the cut is at the sides.
    struct Case
    {
        QSize view;
        Qt::Orientation split;
        QPoint first;
        QPoint second;
    };
    const QList<Case> cases {
        {QSize(300, 100), Qt::Vertical, QPoint(150, 40), QPoint(150, 60)},
        {QSize(100, 300), Qt::Horizontal, QPoint(40, 150), QPoint(60, 150)},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(halves(QSize(100, 100), c.split, Qt::red, Qt::blue).save(picture("halves.png")));
        board->setBgImage("halves.png");
        const QImage image = shown(c.view);
        EXPECT_TRUE(view.showsPicture());
        EXPECT_EQ(image.pixelColor(c.first), QColor(Qt::red)) << c.view.width();
        EXPECT_EQ(image.pixelColor(c.second), QColor(Qt::blue)) << c.view.width();
        EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::red)) << c.view.width();
        EXPECT_EQ(image.pixelColor(c.view.width() - 1, c.view.height() - 1), QColor(Qt::blue)) << c.view.width();
    }
}

TEST_F(ViewWithBackgroundTest, ANewFileOfTheSameNameIsShownOnTheNextShow)
{
    ASSERT_TRUE(halves(QSize(40, 40), Qt::Vertical, Qt::red, Qt::red).save(picture("mine.png")));
    board->setBgImage("mine.png");
    EXPECT_EQ(shown().pixelColor(150, 50), QColor(Qt::red));
    ASSERT_TRUE(halves(QSize(40, 40), Qt::Vertical, Qt::green, Qt::green).save(picture("mine.png")));
    EXPECT_EQ(shown().pixelColor(150, 50), QColor(Qt::green));
}

TEST_F(ViewWithBackgroundTest, NamesThatAreNotAReadablePictureOfThePicturesFolderShowTheColour)
{
    const QString outside = data.filePath("outside.png");
    ASSERT_TRUE(halves(QSize(10, 10), Qt::Vertical, Qt::red, Qt::red).save(outside));
    ASSERT_TRUE(QFile::link(outside, picture("link.png")));
    QFile text(picture("notes.png"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();
    ASSERT_TRUE(QDir(pictures).mkdir("folder.png"));

    board->setColour(4);
    const QStringList names {"../outside.png", outside, "a/b", "link.png", "notes.png", "folder.png", "missing.png",
        "wlbackground19", "wlbackground00", ".", ".."};
    for (const QString& name : names) {
        board->setBgImage(name);
        ConsoleLog::Capture console;
        EXPECT_EQ(shown().pixelColor(150, 50), boardColourPalette().at(4)) << name.toStdString();
        EXPECT_FALSE(view.showsPicture()) << name.toStdString();
        // A name that simply names nothing is not worth a message.
        if (name == "missing.png" || name.startsWith("wlbackground")) {
            EXPECT_TRUE(console.lines().isEmpty()) << name.toStdString();
        }
    }
    EXPECT_TRUE(QFile::exists(outside));
}

TEST_F(ViewWithBackgroundTest, BuiltInPicturesAreShownByNameWithTheirMiddleInTheMiddle)
{
    board->setColour(0);
    board->setBgImage("wlbackground03");
    const QImage image = shown(QSize(320, 200));
    EXPECT_TRUE(view.showsPicture());
    const QImage picture(builtInBackground("wlbackground03")->picture);
    const QColor middle
        = picture.scaled(320, 200, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixelColor(160, 100);
    const QColor drawn = image.pixelColor(160, 100);
    EXPECT_NEAR(drawn.red(), middle.red(), 8);
    EXPECT_NEAR(drawn.green(), middle.green(), 8);
    EXPECT_NEAR(drawn.blue(), middle.blue(), 8);
}

TEST(BackgroundArtwork, EighteenDistinctPicturesWithThumbnailsMadeByTheGenerator)
{
    initArtwork();
    QSet<QByteArray> seen;
    qint64 bytes = 0;
    for (int number = 1; number <= BackgroundArtwork::pictureCount; ++number) {
        const QString name = BackgroundArtwork::pictureName(number);
        const std::optional<BuiltInBackground> background = builtInBackground(name);
        ASSERT_TRUE(background) << name.toStdString();
        EXPECT_EQ(background->thumbnail, QStringLiteral(":/images/%1thumb.png").arg(name));
        const QImage picture(background->picture);
        const QImage thumbnail(background->thumbnail);
        EXPECT_GE(picture.width(), 2560) << number;
        EXPECT_GE(picture.height(), 1600) << number;
        EXPECT_EQ(thumbnail.size(), BackgroundArtwork::thumbnailSize) << number;
        const QImage small = thumbnail.convertToFormat(QImage::Format_RGB32);
        seen.insert(QByteArray(reinterpret_cast<const char*>(small.constBits()), small.sizeInBytes()));
        bytes += QFile(background->picture).size() + QFile(background->thumbnail).size();

        // The committed thumbnail is what the generator paints with the picture's seed.
        const QImage painted = BackgroundArtwork::paint(number, BackgroundArtwork::thumbnailSize);
        int largest = 0;
        for (int y = 0; y < small.height(); ++y)
            for (int x = 0; x < small.width(); ++x) {
                const QColor a = small.pixelColor(x, y), b = painted.pixelColor(x, y);
                largest = std::max({largest, std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                    std::abs(a.blue() - b.blue())});
            }
        EXPECT_LE(largest, 2) << number;
    }
    EXPECT_EQ(seen.size(), BackgroundArtwork::pictureCount);
    EXPECT_LE(bytes, 8 * 1024 * 1024);
    for (const char* name : {"wlbackground00", "wlbackground19", "wlbackground1", "Wlbackground01", ""})
        EXPECT_FALSE(builtInBackground(name)) << name;

    // The toolbar's background menu finds every thumbnail.
    ToolbarInfoMenu menu(nullptr);
    emit menu.aboutToShow();
    ASSERT_EQ(menu.backgroundImageButtons().size(), ToolbarInfoMenu::numberOfImages);
    for (QAbstractButton* button : menu.backgroundImageButtons())
        EXPECT_TRUE(button->isEnabled());
}

namespace {

class BoardViewBackground : public BoardViewFixture
{
protected:
    BoardViewBackground() { initArtwork(); }
};

} // namespace

TEST_F(BoardViewBackground, TheBoardViewShowsItsBoardsBackgroundWhenLoadedAndWhenItChanges)
{
    Kanban* kanban = boardWithCards("Home", {0});
    kanban->setColour(2);
    show(kanban);
    EXPECT_EQ(static_cast<ViewWithBackground*>(board.get())->backgroundColour(), boardColourPalette().at(2));
    EXPECT_FALSE(board->showsPicture());

    kanban->setBgImage("wlbackground03");
    EXPECT_FALSE(board->showsPicture()) << "nothing changes before the notice";
    notices.post(NotificationName::backgroundChanged);
    EXPECT_TRUE(board->showsPicture());

    kanban->setBgImage(QString());
    kanban->setColour(5);
    notices.post(NotificationName::backgroundChanged);
    EXPECT_FALSE(board->showsPicture());
    EXPECT_EQ(board->backgroundColour(), boardColourPalette().at(5));
}
