#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QStringView>

class QIODevice;

// Compact JSON text written exactly as QJsonDocument::toJson(Compact) writes the same values, so
// that archives written piecewise compare byte for byte with those built as one document: texts
// in UTF-8 with lower-case "\uXXXX" escapes for control characters and lone surrogates, integers
// as integers, other numbers in their shortest form. Keys are written in the order given; the
// caller gives them sorted, as a QJsonObject holds them.
//
// With a device the text goes out in blocks as it grows; without one it stays in text().
class JSONTextWriter
{
public:
    explicit JSONTextWriter(QIODevice* device = nullptr);

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    void key(QStringView name);
    void string(QStringView text);
    void integer(qint64 number);
    void number(double number);
    void boolean(bool value);
    // A complete value already in JSON text.
    void raw(QByteArrayView json);
    // Any JSON value; containers through QJsonDocument itself.
    void value(const QJsonValue& value);

    // A point to come back to while nothing is sent to the device: a node whose body turns out
    // empty is taken back whole.
    struct Mark
    {
        qsizetype size = 0;
        bool needsComma = false;
    };
    Mark mark();
    void rollback(const Mark& mark);
    void release();

    // Sends the text held to the device; false when the device refused it.
    bool flush();
    bool failed() const { return m_failed; }
    const QByteArray& text() const { return m_text; }

    static void appendEscaped(QByteArray& out, QStringView text);

private:
    void separate();
    void written();

    QIODevice* m_device = nullptr;
    QByteArray m_text;
    int m_marks = 0;
    bool m_needsComma = false;
    bool m_failed = false;
};
