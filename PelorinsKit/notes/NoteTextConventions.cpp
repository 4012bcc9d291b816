#include "PelorinsKit/notes/NoteTextConventions.h"

#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteStyleName.h"
#include "PelorinsKit/notes/ParagraphStyle.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QPalette>

namespace {

QVariantMap lineAttributes(int pixelSize, QFont::Weight weight)
{
    return QVariantMap{
        {AttributeKey::font, systemFontOfSize(pixelSize, weight)},
        {AttributeKey::foregroundColor, normalTypingColour()},
    };
}

} // namespace

QFont systemFontOfSize(int pixelSize, QFont::Weight weight)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

const QColor& normalTypingColour()
{
    // Without an application there is no palette to follow yet; labels are then black.
    static const QColor colour = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
        ? QGuiApplication::palette().color(QPalette::Active, QPalette::Text)
        : QColor(Qt::black);
    return colour;
}

QVariantMap titleAttributes()
{
    ParagraphStyle paragraph;
    paragraph.paragraphSpacing = 4;
    QVariantMap attributes = lineAttributes(17, QFont::Bold);
    attributes.insert(AttributeKey::paragraphStyle, QVariant::fromValue(paragraph));
    attributes.insert(AttributeKey::noteStyleName, rawValue(NoteStyleName::title));
    return attributes;
}

QVariantMap headerAttributes()
{
    QVariantMap attributes = lineAttributes(14, QFont::Bold);
    attributes.insert(AttributeKey::noteStyleName, rawValue(NoteStyleName::header));
    return attributes;
}

QVariantMap normalAttributes()
{
    ParagraphStyle paragraph;
    paragraph.paragraphSpacingBefore = 4;
    paragraph.paragraphSpacing = 4;
    QVariantMap attributes = lineAttributes(12, QFont::Normal);
    attributes.insert(AttributeKey::paragraphStyle, QVariant::fromValue(paragraph));
    attributes.insert(AttributeKey::noteStyleName, rawValue(NoteStyleName::body));
    return attributes;
}

QVariantMap checkListAttributes()
{
    ParagraphStyle paragraph;
    paragraph.paragraphSpacingBefore = 4;
    paragraph.paragraphSpacing = 4;
    paragraph.firstLineHeadIndent = 22;
    paragraph.headIndent = 22;
    QVariantMap attributes = lineAttributes(12, QFont::Normal);
    attributes.insert(AttributeKey::paragraphStyle, QVariant::fromValue(paragraph));
    attributes.insert(AttributeKey::isChecklistChecked, false);
    return attributes;
}

const QStringList& knownAttributeNames()
{
    static const QStringList names{
        AttributeKey::font,          AttributeKey::foregroundColor,    AttributeKey::paragraphStyle,
        AttributeKey::noteStyleName, AttributeKey::isChecklistChecked,
    };
    return names;
}

const QList<QColor>& tagColourPalette()
{
    static const QList<QColor> palette{
        QColor(255, 59, 48),  // red
        QColor(255, 149, 0),  // orange
        QColor(255, 204, 0),  // yellow
        QColor(40, 205, 65),  // green
        QColor(0, 122, 255),  // blue
        QColor(175, 82, 222), // purple
        QColor(142, 142, 147) // grey
    };
    return palette;
}
