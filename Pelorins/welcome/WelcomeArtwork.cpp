#include "Pelorins/welcome/WelcomeArtwork.h"

#include "Pelorins/welcome/MissingArtwork.h"
#include "Pelorins/welcome/TourArtwork.h"
#include "Pelorins/welcome/WelcomeIconPaths.h"

#include <QPainter>
#include <QPainterPathStroker>

namespace {

const QColor iconTeal = QColor::fromRgbF(0.619608f, 0.85098f, 0.827451f);
const QColor buttonTeal = QColor::fromRgbF(0.617688f, 0.850128f, 0.82745f);
constexpr double iconLineWidth = 4;

enum class Paint { stroke, squareStroke, fill, buttonFill };

// One of the first page's icon pictures: an outline of the hidden row, painted as that row
// paints it, centred in the picture's frame.
struct IconPicture
{
    const char* name;
    QSize size;
    QPainterPath (*outline)();
    Paint paint;
};

const IconPicture iconPictures[] = {
    {"Path-5", {115, 115}, WelcomeIconPaths::pencilBody, Paint::stroke},
    {"Line-5", {29, 29}, WelcomeIconPaths::pencilTip, Paint::squareStroke},
    {"Line-6", {90, 91}, WelcomeIconPaths::pencilEdge, Paint::squareStroke},
    {"Plus-button-1", {82, 82}, WelcomeIconPaths::plusButton, Paint::buttonFill},
    {"Path-10", {95, 54}, WelcomeIconPaths::tagBody, Paint::stroke},
    {"Oval-4", {12, 12}, WelcomeIconPaths::tagHole, Paint::fill},
    {"Rectangle-7-11", {153, 39}, WelcomeIconPaths::archiveLid, Paint::stroke},
    {"Rectangle-7-12", {135, 96}, WelcomeIconPaths::archiveBox, Paint::stroke},
    {"Rectangle-7-13", {59, 26}, WelcomeIconPaths::archiveLabel, Paint::stroke},
    {"Oval-4-1", {25, 25}, WelcomeIconPaths::themeSun, Paint::fill},
    {"Rectangle-9", {145, 113}, WelcomeIconPaths::themeFrame, Paint::stroke},
    {"Path-11", {145, 79}, WelcomeIconPaths::themeHills, Paint::stroke},
    {"Rectangle-6-1", {129, 97}, WelcomeIconPaths::sidebarFrame, Paint::stroke},
    {"Line-1", {12, 101}, WelcomeIconPaths::sidebarDivider, Paint::squareStroke},
    {"Line-2", {21, 12}, WelcomeIconPaths::sidebarRow, Paint::squareStroke},
    {"Line-3", {21, 12}, WelcomeIconPaths::sidebarRow, Paint::squareStroke},
    {"Line-4", {21, 11}, WelcomeIconPaths::sidebarRow, Paint::squareStroke},
    {"Oval-5", {92, 92}, WelcomeIconPaths::clockFace, Paint::stroke},
    {"Path-13", {29, 39}, WelcomeIconPaths::clockHands, Paint::stroke},
    {"Rectangle-6", {141, 120}, WelcomeIconPaths::calendarFrame, Paint::stroke},
    {"Line", {145, 13}, WelcomeIconPaths::calendarRule, Paint::squareStroke},
    {"Rectangle-7", {11, 11}, WelcomeIconPaths::calendarRing, Paint::fill},
    {"Rectangle-7-1", {11, 11}, WelcomeIconPaths::calendarRing, Paint::fill},
    {"Rectangle-7-2", {21, 11}, WelcomeIconPaths::calendarDay, Paint::fill},
    {"Rectangle-7-3", {21, 11}, WelcomeIconPaths::calendarDay, Paint::fill},
    {"Rectangle-7-4", {21, 11}, WelcomeIconPaths::calendarDay, Paint::fill},
    {"Rectangle-7-5", {21, 11}, WelcomeIconPaths::calendarDay, Paint::fill},
    {"Rectangle-7-6", {21, 11}, WelcomeIconPaths::calendarDay, Paint::fill},
    {"Rectangle-7-7", {21, 11}, WelcomeIconPaths::calendarDay, Paint::fill},
    {"Rectangle-7-8", {21, 11}, WelcomeIconPaths::calendarDay, Paint::fill},
    {"Rectangle-7-9", {21, 11}, WelcomeIconPaths::calendarDay, Paint::fill},
    {"Rectangle-7-10", {21, 11}, WelcomeIconPaths::calendarDay, Paint::fill},
};

// One of the tour's pictures.
struct TourPicture
{
    const char* name;
    QSize size;
    void (*draw)(QPainter&, const QSizeF&);
};

using Style = TourArtwork::TextStyle;

const TourPicture tourPictures[] = {
    {"bg-screenshot", {1263, 832}, TourArtwork::mainWindow},
    {"Title", {60, 24}, [](QPainter& p, const QSizeF& s) { TourArtwork::text(p, s, "Today", Style::columnTitle); }},
    {"Title-1", {115, 24}, [](QPainter& p, const QSizeF& s) { TourArtwork::text(p, s, "Done", Style::columnTitle); }},
    {"Title-2", {112, 24},
        [](QPainter& p, const QSizeF& s) { TourArtwork::text(p, s, "In progress", Style::columnTitle); }},
    {"Title-3", {53, 24},
        [](QPainter& p, const QSizeF& s) { TourArtwork::centredText(p, s, "To do", Style::columnTitle); }},
    {"Notes-text-5", {260, 28},
        [](QPainter& p, const QSizeF& s) {
            TourArtwork::text(
                p, s, "Collect the photos from last week\nand send a first draft to Anna.", Style::cardNotes);
        }},
    {"Main-header-1", {251, 20},
        [](QPainter& p, const QSizeF& s) { TourArtwork::text(p, s, "Write the newsletter", Style::cardHeader); }},
    {"FontIconGrey", {21, 20}, TourArtwork::letterIcon},
    {"Notes-text", {260, 14},
        [](QPainter& p, const QSizeF& s) {
            TourArtwork::text(p, s, "Bring lanterns in case it gets dark.", Style::cardNotes);
        }},
    {"Notes-text-1", {131, 14},
        [](QPainter& p, const QSizeF& s) { TourArtwork::text(p, s, "Send the invitations", Style::cardNotes); }},
    {"Notes-text-2", {135, 14},
        [](QPainter& p, const QSizeF& s) { TourArtwork::text(p, s, "Order the cake", Style::cardNotes); }},
    {"Party-Layout", {189, 14},
        [](QPainter& p, const QSizeF& s) { TourArtwork::text(p, s, "Party layout.pdf", Style::fileName); }},
    {"23MB", {169, 12},
        [](QPainter& p, const QSizeF& s) { TourArtwork::text(p, s, "PDF document · 23 MB", Style::fileDetails); }},
    {"Bitmap-2", {32, 32}, TourArtwork::documentIcon},
    {"Notes-text-3", {260, 14},
        [](QPainter& p, const QSizeF& s) {
            TourArtwork::text(p, s, "Saturday at seven, in the garden.", Style::cardNotes);
        }},
    {"Notes-text-4", {260, 14},
        [](QPainter& p, const QSizeF& s) { TourArtwork::text(p, s, "The table plan is attached:", Style::cardNotes); }},
    {"Main-header", {251, 20},
        [](QPainter& p, const QSizeF& s) { TourArtwork::text(p, s, "Plan the party", Style::cardHeader); }},
    {"Screenshot 2019-10-11 at 16.20.55", {673, 457}, TourArtwork::fileManagerWindow},
    {"Screenshot 2019-10-12 at 11.00.16", {1060, 782}, TourArtwork::mailWindow},
    {"Autumn-Colours_small", {49, 33}, TourArtwork::landscape},
    {"Mail", {32, 24}, TourArtwork::envelopeIcon},
};

template <typename Picture, std::size_t count>
const Picture* find(const Picture (&pictures)[count], const QString& name)
{
    for (const Picture& picture : pictures) {
        if (name == QLatin1String(picture.name))
            return &picture;
    }
    return nullptr;
}

QPen iconPen(Paint paint)
{
    QPen pen(iconTeal, iconLineWidth);
    pen.setCapStyle(paint == Paint::squareStroke ? Qt::SquareCap : Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

// Strokes or fills the outline, centred in the frame; where a stroke would reach past the
// frame, the outline is narrowed so that the whole line width shows.
void paintIcon(QPainter& painter, const IconPicture& picture)
{
    QPainterPath outline = picture.outline();
    outline.setFillRule(Qt::OddEvenFill);
    const bool stroked = picture.paint == Paint::stroke || picture.paint == Paint::squareStroke;
    const QRectF frame(QPointF(), QSizeF(picture.size));
    const auto extentOf = [&](const QPainterPath& path) {
        return stroked ? QPainterPathStroker(iconPen(picture.paint)).createStroke(path).boundingRect()
                       : path.boundingRect();
    };
    QRectF extent = extentOf(outline);
    const QRectF shape = outline.boundingRect();
    const double widthScale = extent.width() > frame.width() && shape.width() > 0
        ? (shape.width() - (extent.width() - frame.width())) / shape.width()
        : 1;
    const double heightScale = extent.height() > frame.height() && shape.height() > 0
        ? (shape.height() - (extent.height() - frame.height())) / shape.height()
        : 1;
    if (widthScale < 1 || heightScale < 1) {
        outline = (QTransform::fromTranslate(-shape.center().x(), -shape.center().y())
            * QTransform::fromScale(widthScale, heightScale)
            * QTransform::fromTranslate(shape.center().x(), shape.center().y()))
                      .map(outline);
        extent = extentOf(outline);
    }
    painter.translate(frame.center() - extent.center());
    if (stroked) {
        painter.setPen(iconPen(picture.paint));
        painter.setBrush(Qt::NoBrush);
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(picture.paint == Paint::buttonFill ? buttonTeal : iconTeal);
    }
    painter.drawPath(outline);
}

QImage canvas(const QSize& size)
{
    QImage image(size * WelcomeArtwork::pixelsPerPoint, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

} // namespace

QStringList WelcomeArtwork::firstPageNames()
{
    // In the order the first page asks for them.
    static const QStringList names = [] {
        const char* order[] = {"Path-5", "Line-5", "Line-6", "Plus-button-1", "Path-10", "Oval-4", "Rectangle-7-11",
            "Rectangle-7-12", "Rectangle-7-13", "Oval-4-1", "Rectangle-9", "Path-11", "Rectangle-6-1", "Line-1",
            "Line-2", "Line-3", "Line-4", "Oval-5", "Path-13", "Rectangle-6", "Line", "Rectangle-7", "Rectangle-7-1",
            "Rectangle-7-2", "Rectangle-7-3", "Rectangle-7-4", "Rectangle-7-5", "Rectangle-7-6", "Rectangle-7-7",
            "Rectangle-7-8", "Rectangle-7-9", "Rectangle-7-10"};
        QStringList list;
        for (const char* name : order)
            list << QString::fromLatin1(name);
        return list;
    }();
    return names;
}

QStringList WelcomeArtwork::names()
{
    QStringList list = firstPageNames();
    for (const TourPicture& picture : tourPictures)
        list << QString::fromLatin1(picture.name);
    return list;
}

QSize WelcomeArtwork::pointSize(const QString& name)
{
    if (const IconPicture* icon = find(iconPictures, name))
        return icon->size;
    if (const TourPicture* picture = find(tourPictures, name))
        return picture->size;
    throw MissingArtwork(name);
}

QImage WelcomeArtwork::image(const QString& name)
{
    const auto drawn = m_drawn.constFind(name);
    if (drawn != m_drawn.constEnd())
        return *drawn;
    QImage image;
    if (const IconPicture* icon = find(iconPictures, name)) {
        image = canvas(icon->size);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(pixelsPerPoint, pixelsPerPoint);
        paintIcon(painter, *icon);
    } else if (const TourPicture* picture = find(tourPictures, name)) {
        image = canvas(picture->size);
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
        painter.scale(pixelsPerPoint, pixelsPerPoint);
        picture->draw(painter, QSizeF(picture->size));
    } else {
        throw MissingArtwork(name);
    }
    m_drawn.insert(name, image);
    return image;
}
