#include "Platform/widgets/layers/TextLayer.h"

#include <QPainter>
#include <QTextLayout>

std::shared_ptr<TextLayer> TextLayer::create(const QString& name)
{
    std::shared_ptr<TextLayer> layer(new TextLayer);
    layer->setName(name);
    return layer;
}

TextLayer::~TextLayer() = default;

void TextLayer::setString(const QString& string)
{
    m_string = string;
    m_runs.clear();
    changed();
}

void TextLayer::setAttributedString(const QString& string, const QList<Run>& runs)
{
    m_string = string;
    m_runs = runs;
    changed();
}

void TextLayer::setFont(const QFont& font)
{
    m_font = font;
    changed();
}

void TextLayer::setFontSize(double size)
{
    m_fontSize = size;
    changed();
}

void TextLayer::setForegroundColor(const QColor& colour)
{
    m_foregroundColor = colour;
    changed();
}

void TextLayer::setAlignment(Alignment alignment)
{
    m_alignment = alignment;
    changed();
}

void TextLayer::setWrapped(bool wrapped)
{
    m_wrapped = wrapped;
    changed();
}

QString TextLayer::kindName() const
{
    return QStringLiteral("TextLayer");
}

const QTextLayout& TextLayer::layout() const
{
    if (m_layout && m_layoutRevision == revision())
        return *m_layout;
    QFont plainFont = m_font;
    if (m_fontSize > 0)
        plainFont.setPixelSize(qRound(m_fontSize));
    // A line feed ends a line within the one paragraph; the replacement keeps every offset.
    QString text = m_string;
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    m_layout = std::make_unique<QTextLayout>(text, m_runs.isEmpty() ? plainFont : m_font);

    QList<QTextLayout::FormatRange> formats;
    if (m_runs.isEmpty()) {
        QTextLayout::FormatRange whole;
        whole.start = 0;
        whole.length = int(text.size());
        whole.format.setFont(plainFont);
        whole.format.setForeground(m_foregroundColor);
        formats << whole;
    }
    for (const Run& run : m_runs) {
        QTextLayout::FormatRange range;
        range.start = run.location;
        range.length = run.length;
        range.format.setFont(run.font);
        range.format.setForeground(run.colour);
        formats << range;
    }
    m_layout->setFormats(formats);

    QTextOption option;
    option.setWrapMode(m_wrapped ? QTextOption::WordWrap : QTextOption::NoWrap);
    switch (m_alignment) {
    case Alignment::natural:
    case Alignment::left:
        option.setAlignment(Qt::AlignLeft);
        break;
    case Alignment::right:
        option.setAlignment(Qt::AlignRight);
        break;
    case Alignment::center:
        option.setAlignment(Qt::AlignHCenter);
        break;
    case Alignment::justified:
        option.setAlignment(Qt::AlignJustify);
        break;
    }
    m_layout->setTextOption(option);

    const double width = boundsSize().width();
    double y = 0;
    m_layout->beginLayout();
    for (QTextLine line = m_layout->createLine(); line.isValid(); line = m_layout->createLine()) {
        line.setLeadingIncluded(true);
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    m_layout->endLayout();
    m_layoutRevision = revision();
    return *m_layout;
}

void TextLayer::drawContent(QPainter& painter) const
{
    if (m_string.isEmpty())
        return;
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::Antialiasing);
    layout().draw(&painter, QPointF());
}

QRectF TextLayer::contentExtent() const
{
    if (m_string.isEmpty())
        return {};
    const QTextLayout& text = layout();
    QRectF extent;
    for (int i = 0; i < text.lineCount(); ++i)
        extent = extent.united(text.lineAt(i).naturalTextRect());
    return extent;
}
