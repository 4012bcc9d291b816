#pragma once

#include "Platform/widgets/layers/Layer.h"

#include <QFont>
#include <QList>

class QTextLayout;

// A layer that draws text from its top edge, aligned across its width and, when wrapped, broken
// into lines at word boundaries only: a word longer than the line runs past it. Text is never
// clipped to the bounds. The text is a plain string in the layer's font, size and colour, or an
// attributed string whose runs carry their own.
class TextLayer : public Layer
{
public:
    enum class Alignment { natural, left, right, center, justified };

    // Part of an attributed string: a range in UTF-16 units with its font and colour.
    struct Run
    {
        int location = 0;
        int length = 0;
        QFont font;
        QColor colour;
    };

    static std::shared_ptr<TextLayer> create(const QString& name = {});
    ~TextLayer() override;

    QString string() const { return m_string; }
    void setString(const QString& string);
    QList<Run> runs() const { return m_runs; }
    void setAttributedString(const QString& string, const QList<Run>& runs);
    QFont font() const { return m_font; }
    void setFont(const QFont& font);
    // In pixels; it sets the size of a plain string's font.
    double fontSize() const { return m_fontSize; }
    void setFontSize(double size);
    // White unless set.
    QColor foregroundColor() const { return m_foregroundColor; }
    void setForegroundColor(const QColor& colour);
    Alignment alignment() const { return m_alignment; }
    void setAlignment(Alignment alignment);
    bool isWrapped() const { return m_wrapped; }
    void setWrapped(bool wrapped);

    void drawContent(QPainter& painter) const override;
    QRectF contentExtent() const override;

protected:
    TextLayer() = default;
    QString kindName() const override;

private:
    const QTextLayout& layout() const;

    QString m_string;
    QList<Run> m_runs;
    QFont m_font;
    double m_fontSize = 36;
    QColor m_foregroundColor = Qt::white;
    Alignment m_alignment = Alignment::natural;
    bool m_wrapped = false;
    mutable std::unique_ptr<QTextLayout> m_layout;
    mutable quint64 m_layoutRevision = ~quint64(0);
};
