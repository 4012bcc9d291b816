#include "Pelorins/welcome/TourArtwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

const QColor ink(58, 58, 60);
const QColor secondaryInk(112, 112, 118);
const QColor faintInk(150, 150, 156);
const QColor teal(55, 180, 169);
const QColor selection(205, 237, 233);
const QColor hairline(206, 207, 211);
const QColor titleBar(228, 229, 232);
const QColor sidebarTone(238, 240, 242);

QFont sans(double pixels, bool bold = false)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(qRound(pixels));
    font.setBold(bold);
    return font;
}

void write(QPainter& painter, const QRectF& box, const QString& text, const QFont& font, const QColor& colour,
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter)
{
    painter.save();
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(box, int(alignment), text);
    painter.restore();
}

// Fading rings around a window, as a desktop draws its shadow.
void softShadow(QPainter& painter, const QRectF& window, double radius)
{
    painter.save();
    painter.setPen(Qt::NoPen);
    for (int i = 14; i >= 1; --i) {
        painter.setBrush(QColor(0, 0, 0, 5));
        painter.drawRoundedRect(window.adjusted(-i, -i / 2.0, i, i * 1.2), radius + i, radius + i);
    }
    painter.restore();
}

// Keeps what follows inside a window's rounded corners.
void clipToWindow(QPainter& painter, const QRectF& window)
{
    QPainterPath clip;
    clip.addRoundedRect(window, 9, 9);
    painter.setClipPath(clip);
}

// A window's frame with its title and buttons; returns the area below the title bar.
QRectF windowFrame(QPainter& painter, const QRectF& window, const QString& title, double titleHeight)
{
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(window, 9, 9);
    clipToWindow(painter, window);
    painter.fillRect(QRectF(window.left(), window.top(), window.width(), titleHeight), titleBar);
    painter.fillRect(QRectF(window.left(), window.top() + titleHeight - 1, window.width(), 1), hairline);
    write(painter, QRectF(window.left(), window.top(), window.width(), titleHeight), title, sans(13, true), ink,
        Qt::AlignCenter);
    // Minimise, maximise and close, at the right.
    const double y = window.top() + titleHeight / 2;
    const double size = 14;
    painter.setPen(QPen(QColor(90, 90, 96), 1.4));
    for (int i = 0; i < 3; ++i) {
        const QPointF centre(window.right() - 22 - i * 26, y);
        painter.setBrush(QColor(210, 211, 215));
        painter.drawEllipse(centre, size / 2, size / 2);
        const double d = 3.2;
        if (i == 0) {
            painter.drawLine(centre + QPointF(-d, -d), centre + QPointF(d, d));
            painter.drawLine(centre + QPointF(-d, d), centre + QPointF(d, -d));
        } else if (i == 1) {
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(QRectF(centre.x() - d, centre.y() - d, 2 * d, 2 * d));
        } else {
            painter.drawLine(centre + QPointF(-d, 0), centre + QPointF(d, 0));
        }
    }
    painter.restore();
    return QRectF(window.left(), window.top() + titleHeight, window.width(), window.height() - titleHeight);
}

void outline(QPainter& painter, const QRectF& window)
{
    painter.save();
    painter.setPen(QPen(QColor(190, 191, 196), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(window.adjusted(0.5, 0.5, -0.5, -0.5), 9, 9);
    painter.restore();
}

// A small board glyph: three columns.
void boardGlyph(QPainter& painter, const QPointF& at, const QColor& colour)
{
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRoundedRect(QRectF(at.x(), at.y(), 4, 12), 1, 1);
    painter.drawRoundedRect(QRectF(at.x() + 5.5, at.y(), 4, 9), 1, 1);
    painter.drawRoundedRect(QRectF(at.x() + 11, at.y(), 4, 6), 1, 1);
    painter.restore();
}

void folderGlyph(QPainter& painter, const QPointF& at, const QColor& colour)
{
    painter.save();
    painter.setPen(QPen(colour, 1.3));
    painter.setBrush(Qt::NoBrush);
    QPainterPath folder;
    folder.moveTo(at + QPointF(0, 2));
    folder.lineTo(at + QPointF(5, 2));
    folder.lineTo(at + QPointF(7, 4));
    folder.lineTo(at + QPointF(16, 4));
    folder.lineTo(at + QPointF(16, 13));
    folder.lineTo(at + QPointF(0, 13));
    folder.closeSubpath();
    painter.drawPath(folder);
    painter.restore();
}

void badge(QPainter& painter, const QRectF& row, int count)
{
    const QString text = QString::number(count);
    const QRectF pill(row.right() - 34, row.center().y() - 8, 24, 16);
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(214, 216, 220));
    painter.drawRoundedRect(pill, 8, 8);
    painter.restore();
    write(painter, pill, text, sans(10, true), secondaryInk, Qt::AlignCenter);
}

void sidebarRow(
    QPainter& painter, const QRectF& row, const QString& title, bool folder, bool selected, int count, double indent)
{
    if (selected) {
        painter.save();
        painter.setPen(Qt::NoPen);
        painter.setBrush(selection);
        painter.drawRoundedRect(row.adjusted(8, 1, -8, -1), 6, 6);
        painter.restore();
    }
    const QColor glyph = selected ? teal : secondaryInk;
    const QPointF at(row.left() + 18 + indent, row.center().y() - 7);
    if (folder)
        folderGlyph(painter, at, glyph);
    else
        boardGlyph(painter, at + QPointF(0, 1), glyph);
    write(painter, QRectF(at.x() + 24, row.top(), row.width() - 80, row.height()), title, sans(13, folder), ink);
    if (count > 0)
        badge(painter, row, count);
}

void searchField(QPainter& painter, const QRectF& field)
{
    painter.save();
    painter.setPen(QPen(hairline, 1));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(field, 6, 6);
    painter.setPen(QPen(faintInk, 1.5));
    painter.setBrush(Qt::NoBrush);
    const QPointF lens(field.left() + 14, field.center().y() - 1);
    painter.drawEllipse(lens, 4.5, 4.5);
    painter.drawLine(lens + QPointF(3.3, 3.3), lens + QPointF(6.5, 6.5));
    painter.restore();
    write(painter, field.adjusted(26, 0, 0, 0), QStringLiteral("Search"), sans(12), faintInk);
}

// A rounded button with a glyph drawn by `glyph` inside it.
template <typename Glyph> void toolButton(QPainter& painter, const QRectF& button, Glyph glyph)
{
    painter.save();
    painter.setPen(QPen(hairline, 1));
    painter.setBrush(QColor(252, 252, 253));
    painter.drawRoundedRect(button, 5, 5);
    painter.setPen(QPen(secondaryInk, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    glyph(button.center());
    painter.restore();
}

void plusGlyph(QPainter& painter, const QPointF& centre, double arm)
{
    painter.drawLine(centre + QPointF(-arm, 0), centre + QPointF(arm, 0));
    painter.drawLine(centre + QPointF(0, -arm), centre + QPointF(0, arm));
}

void drawDocument(QPainter& painter, const QRectF& box, const QColor& label, const QString& kind)
{
    const double w = box.width();
    const double h = box.height();
    const QRectF page(box.left() + w * 0.19, box.top() + h * 0.06, w * 0.62, h * 0.88);
    const double fold = page.width() * 0.32;
    QPainterPath sheet;
    sheet.moveTo(page.topLeft());
    sheet.lineTo(page.right() - fold, page.top());
    sheet.lineTo(page.right(), page.top() + fold);
    sheet.lineTo(page.bottomRight());
    sheet.lineTo(page.bottomLeft());
    sheet.closeSubpath();
    painter.save();
    painter.setPen(QPen(QColor(150, 152, 158), w / 32));
    painter.setBrush(Qt::white);
    painter.drawPath(sheet);
    painter.setBrush(QColor(226, 228, 232));
    painter.drawPolygon(QPolygonF({QPointF(page.right() - fold, page.top()),
        QPointF(page.right() - fold, page.top() + fold), QPointF(page.right(), page.top() + fold)}));
    painter.setPen(QPen(QColor(196, 198, 204), w / 28));
    for (int i = 0; i < 3; ++i) {
        const double y = page.top() + page.height() * (0.36 + i * 0.12);
        painter.drawLine(QPointF(page.left() + page.width() * 0.18, y), QPointF(page.right() - page.width() * 0.18, y));
    }
    const QRectF band(box.left() + w * 0.1, page.bottom() - page.height() * 0.3, w * 0.58, page.height() * 0.22);
    painter.setPen(Qt::NoPen);
    painter.setBrush(label);
    painter.drawRoundedRect(band, w / 20, w / 20);
    painter.restore();
    write(painter, band, kind, sans(band.height() * 0.72, true), Qt::white, Qt::AlignCenter);
}

void drawLandscape(QPainter& painter, const QRectF& box)
{
    painter.save();
    painter.setClipRect(box);
    const double w = box.width();
    const double h = box.height();
    const auto at = [&](double x, double y) { return QPointF(box.left() + x * w, box.top() + y * h); };
    QLinearGradient sky(at(0, 0), at(0, 0.7));
    sky.setColorAt(0, QColor(132, 186, 226));
    sky.setColorAt(1, QColor(248, 226, 178));
    painter.fillRect(box, sky);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 244, 200));
    painter.drawEllipse(at(0.78, 0.22), w * 0.07, w * 0.07);
    QPainterPath hills;
    hills.moveTo(at(0, 0.62));
    hills.cubicTo(at(0.2, 0.42), at(0.38, 0.44), at(0.55, 0.56));
    hills.cubicTo(at(0.7, 0.46), at(0.86, 0.44), at(1, 0.54));
    hills.lineTo(at(1, 1));
    hills.lineTo(at(0, 1));
    hills.closeSubpath();
    painter.setBrush(QColor(196, 128, 70));
    painter.drawPath(hills);
    QPainterPath meadow;
    meadow.moveTo(at(0, 0.8));
    meadow.cubicTo(at(0.3, 0.7), at(0.6, 0.74), at(1, 0.72));
    meadow.lineTo(at(1, 1));
    meadow.lineTo(at(0, 1));
    meadow.closeSubpath();
    painter.setBrush(QColor(150, 112, 48));
    painter.drawPath(meadow);
    const struct
    {
        double x;
        double y;
        double r;
        QColor colour;
    } trees[] = {
        {0.14, 0.6, 0.1, QColor(214, 84, 43)},
        {0.3, 0.56, 0.12, QColor(232, 137, 46)},
        {0.46, 0.64, 0.09, QColor(183, 58, 34)},
        {0.64, 0.58, 0.11, QColor(238, 176, 60)},
        {0.84, 0.62, 0.1, QColor(204, 96, 38)},
    };
    for (const auto& tree : trees) {
        painter.setBrush(QColor(92, 62, 36));
        painter.drawRect(QRectF(at(tree.x - 0.012, tree.y), QSizeF(w * 0.024, h * 0.22)));
        painter.setBrush(tree.colour);
        painter.drawEllipse(at(tree.x, tree.y), w * tree.r, w * tree.r * 0.95);
    }
    painter.restore();
}

} // namespace

void TourArtwork::mainWindow(QPainter& painter, const QSizeF&)
{
    // The window leaves a margin at its sides and foot for its shadow.
    const QRectF window(54, 0, 1153, 760);
    softShadow(painter, window, 10);
    const QRectF content = windowFrame(painter, window, QStringLiteral("Pelorins"), 38);
    painter.save();
    clipToWindow(painter, window);

    // The sidebar of folders and boards, from the title bar down.
    const QRectF sidebar(window.left(), content.top(), 212, content.height());
    painter.fillRect(sidebar, sidebarTone);
    painter.fillRect(QRectF(sidebar.right() - 1, sidebar.top(), 1, sidebar.height()), hairline);
    toolButton(painter, QRectF(sidebar.left() + 14, sidebar.top() + 7, 30, 24), [&](QPointF c) {
        painter.drawRect(QRectF(c.x() - 7, c.y() - 5.5, 14, 11));
        painter.drawLine(QPointF(c.x() - 2.5, c.y() - 5.5), QPointF(c.x() - 2.5, c.y() + 5.5));
    });
    toolButton(
        painter, QRectF(sidebar.right() - 44, sidebar.top() + 7, 30, 24), [&](QPointF c) { plusGlyph(painter, c, 5); });
    write(painter, QRectF(sidebar.left() + 18, 84, 180, 20), QStringLiteral("FOLDERS AND BOARDS"), sans(10, true),
        faintInk);
    const struct
    {
        const char* title;
        bool folder;
        bool selected;
        int count;
        double indent;
    } rows[] = {
        {"Welcome to Pelorins", false, false, 4, 0},
        {"Home", false, false, 7, 0},
        {"Work", true, false, 0, 0},
        {"Party", false, true, 3, 16},
        {"Newsletter", false, false, 5, 16},
        {"Garden", false, false, 2, 0},
    };
    double y = 108;
    for (const auto& row : rows) {
        sidebarRow(painter, QRectF(sidebar.left(), y, sidebar.width(), 30), QString::fromUtf8(row.title), row.folder,
            row.selected, row.count, row.indent);
        y += 30;
    }

    // The toolbar over the board.
    const QRectF toolbar(sidebar.right(), content.top(), window.right() - sidebar.right(), 38);
    painter.fillRect(toolbar, QColor(245, 245, 247));
    painter.fillRect(QRectF(toolbar.left(), toolbar.bottom() - 1, toolbar.width(), 1), hairline);
    toolButton(painter, QRectF(toolbar.left() + 16, toolbar.top() + 7, 34, 24),
        [&](QPointF c) { plusGlyph(painter, c, 5.5); });
    toolButton(painter, QRectF(toolbar.left() + 58, toolbar.top() + 7, 34, 24), [&](QPointF c) {
        QPainterPath tag;
        tag.moveTo(c + QPointF(-7, -4));
        tag.lineTo(c + QPointF(3, -4));
        tag.lineTo(c + QPointF(7, 0));
        tag.lineTo(c + QPointF(3, 4));
        tag.lineTo(c + QPointF(-7, 4));
        tag.closeSubpath();
        painter.drawPath(tag);
    });
    toolButton(painter, QRectF(toolbar.left() + 100, toolbar.top() + 7, 34, 24), [&](QPointF c) {
        painter.drawEllipse(c, 6, 6);
        painter.drawLine(c, c + QPointF(0, -4));
        painter.drawLine(c, c + QPointF(3, 0));
    });
    write(painter, QRectF(toolbar.left() + 150, toolbar.top(), 300, toolbar.height()), QStringLiteral("Party"),
        sans(15, true), ink);
    searchField(painter, QRectF(toolbar.right() - 236, toolbar.top() + 7, 220, 24));

    // The board itself is empty: its stages and cards come on top of it.
    const QRectF board(toolbar.left(), toolbar.bottom(), toolbar.width(), window.bottom() - toolbar.bottom());
    painter.fillRect(board, QColor(250, 250, 251));
    const double columnTop = board.top() + 89;
    painter.fillRect(QRectF(board.left() + 1, columnTop, 300, board.bottom() - columnTop), QColor(243, 243, 245));
    painter.fillRect(QRectF(board.left() + 301, columnTop, 300, board.bottom() - columnTop), QColor(240, 240, 243));
    painter.fillRect(QRectF(board.left() + 641, board.top(), 300, board.height()), QColor(236, 246, 245));
    painter.restore();
    outline(painter, window);
}

void TourArtwork::text(QPainter& painter, const QSizeF& size, const QString& text, TextStyle style)
{
    const struct
    {
        double pixels;
        bool bold;
        QColor colour;
    } styles[] = {
        {15, true, ink},
        {15, true, ink},
        {12, false, secondaryInk},
        {12, true, ink},
        {10, false, faintInk},
    };
    const auto& chosen = styles[int(style)];
    write(painter, QRectF(QPointF(), size), text, sans(chosen.pixels, chosen.bold), chosen.colour,
        Qt::AlignLeft | Qt::AlignVCenter);
}

void TourArtwork::centredText(QPainter& painter, const QSizeF& size, const QString& text, TextStyle style)
{
    write(painter, QRectF(QPointF(), size), text, sans(style == TextStyle::columnTitle ? 15 : 12, true), ink,
        Qt::AlignCenter);
}

void TourArtwork::letterIcon(QPainter& painter, const QSizeF& size)
{
    const QColor grey(142, 142, 147);
    write(painter, QRectF(0, 0, size.width(), size.height() - 3), QStringLiteral("A"), sans(15, true), grey,
        Qt::AlignCenter);
    painter.fillRect(QRectF(size.width() * 0.25, size.height() - 3.5, size.width() * 0.5, 1.5), grey);
}

void TourArtwork::documentIcon(QPainter& painter, const QSizeF& size)
{
    drawDocument(painter, QRectF(QPointF(), size), QColor(214, 74, 64), QStringLiteral("PDF"));
}

void TourArtwork::envelopeIcon(QPainter& painter, const QSizeF& size)
{
    const QRectF body = QRectF(QPointF(), size).adjusted(1, 2, -1, -2);
    painter.save();
    painter.setPen(QPen(QColor(94, 120, 150), 1.2));
    painter.setBrush(QColor(236, 243, 251));
    painter.drawRoundedRect(body, 2.5, 2.5);
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(QPolygonF({body.topLeft() + QPointF(1, 1),
        QPointF(body.center().x(), body.top() + body.height() * 0.58), body.topRight() + QPointF(-1, 1)}));
    painter.drawLine(body.bottomLeft() + QPointF(1, -1), QPointF(body.left() + body.width() * 0.38, body.center().y()));
    painter.drawLine(
        body.bottomRight() + QPointF(-1, -1), QPointF(body.right() - body.width() * 0.38, body.center().y()));
    painter.restore();
}

void TourArtwork::landscape(QPainter& painter, const QSizeF& size)
{
    drawLandscape(painter, QRectF(QPointF(), size));
}

void TourArtwork::fileManagerWindow(QPainter& painter, const QSizeF& size)
{
    const QRectF window(QPointF(), size);
    const QRectF content = windowFrame(painter, window, QStringLiteral("Pictures"), 34);
    painter.save();
    clipToWindow(painter, window);

    const QRectF places(0, content.top(), 120, content.height());
    painter.fillRect(places, sidebarTone);
    painter.fillRect(QRectF(places.right() - 1, places.top(), 1, places.height()), hairline);
    write(painter, QRectF(14, places.top() + 12, 100, 16), QStringLiteral("PLACES"), sans(10, true), faintInk);
    const char* placeNames[] = {"Home", "Documents", "Pictures", "Downloads", "Music"};
    for (int i = 0; i < 5; ++i) {
        const QRectF row(0, places.top() + 34 + i * 26, 120, 26);
        if (i == 2) {
            painter.save();
            painter.setPen(Qt::NoPen);
            painter.setBrush(selection);
            painter.drawRoundedRect(row.adjusted(6, 1, -6, -1), 5, 5);
            painter.restore();
        }
        folderGlyph(painter, QPointF(14, row.center().y() - 7), i == 2 ? teal : secondaryInk);
        write(painter, row.adjusted(38, 0, 0, 0), QString::fromLatin1(placeNames[i]), sans(12), ink);
    }

    // The path bar, then the files of the folder.
    const QRectF bar(places.right(), content.top(), window.right() - places.right(), 36);
    painter.fillRect(bar, QColor(245, 245, 247));
    painter.fillRect(QRectF(bar.left(), bar.bottom() - 1, bar.width(), 1), hairline);
    painter.setPen(QPen(secondaryInk, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(QPolygonF({QPointF(bar.left() + 20, bar.center().y() - 5),
        QPointF(bar.left() + 15, bar.center().y()), QPointF(bar.left() + 20, bar.center().y() + 5)}));
    painter.drawPolyline(QPolygonF({QPointF(bar.left() + 34, bar.center().y() - 5),
        QPointF(bar.left() + 39, bar.center().y()), QPointF(bar.left() + 34, bar.center().y() + 5)}));
    write(painter, QRectF(bar.left() + 56, bar.top(), 300, bar.height()), QStringLiteral("Home  ›  Pictures"),
        sans(12, true), ink);
    write(painter, QRectF(bar.left() + 10, bar.bottom() + 10, 300, 20), QStringLiteral("Recent"), sans(12, true),
        secondaryInk);

    const struct
    {
        const char* name;
        int kind;
    } files[] = {
        {"Garden.jpg", 0},
        {"Autumn Colours.jpg", 0},
        {"Party layout.pdf", 1},
        {"Invitation.odt", 2},
        {"Lanterns.jpg", 0},
        {"Holiday", 3},
        {"Family", 3},
        {"Menu.pdf", 1},
        {"Guest list.ods", 2},
        {"Balloons.jpg", 0},
    };
    for (int i = 0; i < 10; ++i) {
        const double left = 129 + (i % 5) * 110;
        const double top = 120 + (i / 5) * 100;
        const QRectF icon(left + 28, top + 8, 54, 60);
        const bool chosen = i == 1;
        if (chosen) {
            painter.save();
            painter.setPen(Qt::NoPen);
            painter.setBrush(selection);
            painter.drawRoundedRect(QRectF(left + 6, top + 2, 98, 92), 7, 7);
            painter.restore();
        }
        switch (files[i].kind) {
        case 0: {
            const QRectF thumbnail(icon.left(), icon.center().y() - 18.5 + (i == 1 ? 0.5 : 0), 54, 37);
            drawLandscape(painter, thumbnail);
            painter.save();
            painter.setPen(QPen(QColor(255, 255, 255), 1.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(thumbnail);
            painter.restore();
            break;
        }
        case 1:
            drawDocument(painter, icon.adjusted(2, 2, -2, -2), QColor(214, 74, 64), QStringLiteral("PDF"));
            break;
        case 2:
            drawDocument(painter, icon.adjusted(2, 2, -2, -2), QColor(62, 132, 204), QStringLiteral("DOC"));
            break;
        default:
            painter.save();
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(122, 190, 222));
            painter.drawRoundedRect(icon.adjusted(2, 14, -2, -8), 4, 4);
            painter.setBrush(QColor(100, 170, 206));
            painter.drawRoundedRect(QRectF(icon.left() + 2, icon.top() + 10, 22, 10), 3, 3);
            painter.restore();
            break;
        }
        write(painter, QRectF(left, top + 70, 110, 18), QString::fromLatin1(files[i].name), sans(11), ink,
            Qt::AlignCenter);
    }
    const QRectF status(places.right(), window.bottom() - 24, window.width() - places.right(), 24);
    painter.fillRect(status, QColor(245, 245, 247));
    painter.fillRect(QRectF(status.left(), status.top(), status.width(), 1), hairline);
    write(painter, status.adjusted(12, 0, 0, 0), QStringLiteral("“Autumn Colours.jpg” selected (1.2 MB)"), sans(11),
        secondaryInk);
    painter.restore();
    outline(painter, window);
}

void TourArtwork::mailWindow(QPainter& painter, const QSizeF& size)
{
    const QRectF window(QPointF(), size);
    const QRectF content = windowFrame(painter, window, QStringLiteral("Inbox – Mail"), 36);
    painter.save();
    clipToWindow(painter, window);

    const QRectF toolbar(0, content.top(), window.width(), 42);
    painter.fillRect(toolbar, QColor(245, 245, 247));
    painter.fillRect(QRectF(0, toolbar.bottom() - 1, window.width(), 1), hairline);
    const char* actions[] = {"Get Mail", "Write", "Reply", "Forward"};
    for (int i = 0; i < 4; ++i) {
        const QRectF button(16 + i * 86, toolbar.top() + 8, 78, 26);
        toolButton(painter, button, [](QPointF) {});
        write(painter, button, QString::fromLatin1(actions[i]), sans(12), ink, Qt::AlignCenter);
    }
    searchField(painter, QRectF(window.width() - 246, toolbar.top() + 9, 230, 24));

    // The list of messages, with the party message chosen.
    const QRectF list(0, toolbar.bottom(), 400, window.height() - toolbar.bottom());
    painter.fillRect(QRectF(list.right(), list.top(), 1, list.height()), hairline);
    write(painter, QRectF(20, list.top() + 8, 300, 24), QStringLiteral("Inbox"), sans(17, true), ink);
    const struct
    {
        const char* from;
        const char* subject;
        const char* snippet;
        const char* when;
    } messages[] = {
        {"Tom Becker", "Newsletter photos", "Here are the pictures for the spring issue…", "09:12"},
        {"Garden club", "Planting day", "We meet on Saturday at the allotments…", "Yesterday"},
        {"Lea Wagner", "Lunch on Friday?", "The new place by the river looks nice…", "Yesterday"},
        {"Sam Ortiz", "Slides for Monday", "I have added the last two charts…", "Tuesday"},
        {"Anna Hoffmann", "Party plans", "Here is the guest list and the menu…", "Monday"},
        {"Ben Richter", "Lanterns", "I can bring the lanterns and the lights…", "Monday"},
        {"Library", "Your reservation", "The book you asked for is ready…", "Sunday"},
        {"Mia Schulz", "Recipe", "As promised, my lemon cake recipe…", "Sunday"},
    };
    for (int i = 0; i < 8; ++i) {
        const QRectF row(0, 118 + i * 74, list.width(), 74);
        if (i == 4)
            painter.fillRect(row.adjusted(0, 0, -1, 0), selection);
        painter.save();
        painter.setPen(Qt::NoPen);
        painter.setBrush(i == 4 ? teal : QColor(200, 204, 210));
        painter.drawEllipse(QPointF(38, row.top() + 26), 16, 16);
        painter.restore();
        write(painter, QRectF(38 - 16, row.top() + 10, 32, 32), QString::fromUtf8(messages[i].from).left(1),
            sans(14, true), Qt::white, Qt::AlignCenter);
        write(painter, QRectF(66, row.top() + 8, 220, 18), QString::fromUtf8(messages[i].from), sans(13, true), ink);
        write(painter, QRectF(66, row.top() + 8, 318, 18), QString::fromUtf8(messages[i].when), sans(11), faintInk,
            Qt::AlignRight | Qt::AlignVCenter);
        write(painter, QRectF(66, row.top() + 28, 318, 18), QString::fromUtf8(messages[i].subject), sans(12), ink);
        write(painter, QRectF(66, row.top() + 46, 318, 18), QString::fromUtf8(messages[i].snippet), sans(11),
            secondaryInk);
        painter.fillRect(QRectF(66, row.bottom() - 1, list.width() - 66, 1), QColor(232, 233, 236));
    }

    // The chosen message.
    const double left = list.right() + 28;
    write(painter, QRectF(left, list.top() + 18, 600, 28), QStringLiteral("Party plans"), sans(20, true), ink);
    write(painter, QRectF(left, list.top() + 54, 600, 18), QStringLiteral("Anna Hoffmann <anna@example.org>"),
        sans(12, true), ink);
    write(painter, QRectF(left, list.top() + 74, 600, 18), QStringLiteral("To: me   ·   Monday, 18:40"), sans(12),
        secondaryInk);
    painter.fillRect(QRectF(left, list.top() + 104, window.width() - left - 28, 1), hairline);
    const char* body[] = {"Hi!", "", "Here is the guest list and the menu for Saturday. We start at seven in the",
        "garden; if it rains we move into the barn. Could you bring the lanterns?", "",
        "The table plan is in the attachment.", "", "See you soon,", "Anna"};
    double y = list.top() + 124;
    for (const char* line : body) {
        write(painter, QRectF(left, y, window.width() - left - 28, 20), QString::fromUtf8(line), sans(13), ink);
        y += 22;
    }
    const QRectF attachment(left, y + 16, 230, 52);
    painter.save();
    painter.setPen(QPen(hairline, 1));
    painter.setBrush(QColor(248, 248, 250));
    painter.drawRoundedRect(attachment, 8, 8);
    painter.restore();
    drawDocument(painter, QRectF(attachment.left() + 8, attachment.top() + 8, 36, 36), QColor(214, 74, 64),
        QStringLiteral("PDF"));
    write(painter, QRectF(attachment.left() + 52, attachment.top() + 8, 170, 18), QStringLiteral("Table plan.pdf"),
        sans(12, true), ink);
    write(painter, QRectF(attachment.left() + 52, attachment.top() + 27, 170, 16),
        QStringLiteral("PDF document · 240 KB"), sans(11), secondaryInk);
    painter.restore();
    outline(painter, window);
}
