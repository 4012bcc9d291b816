#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QStringView>

// Compact JSON text written exactly as QJsonDocument::toJson(Compact) writes the same values, so
// that archives written piecewise compare byte for byte with those built as one document: texts
// in UTF-8 with lower-case "\uXXXX" escapes for control characters and lone surrogates, integers
// as integers, other numbers in their shortest form. Keys are written in the order given; the
// caller gives them sorted, as a QJsonObject holds them.
class JSONTextWriter
{
public:
    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    // A key already in JSON text with its colon, as keyText() makes it.
    void escapedKey(QByteArrayView keyText);
    void string(QStringView text);
    void integer(qint64 number);
    void number(double number);
    void boolean(bool value);
    // A complete value already in JSON text.
    void raw(QByteArrayView json);
    // Any JSON value; containers through QJsonDocument itself.
    void value(const QJsonValue& value);
    // A place for a value that is put in later, or left out, by whoever takes the text: true when
    // a comma is due before it. What follows is separated from it as from a written value.
    bool deferredValue();

    // A point to come back to: a node whose body turns out empty is taken back whole.
    struct Mark
    {
        qsizetype size = 0;
        bool needsComma = false;
    };
    Mark mark();
    void rollback(const Mark& mark);
    void release();
    // Whether a mark is still open, so that the text may yet be taken back.
    bool isMarked() const { return m_marks > 0; }

    const QByteArray& text() const { return m_text; }
    // Hands the text written so far to `buffer` and goes on in the room `buffer` had.
    void exchangeText(QByteArray& buffer);

    static void appendEscaped(QByteArray& out, QStringView text);
    // "\"name\":", for escapedKey().
    static QByteArray keyText(QStringView name);

private:
    void separate();

    QByteArray m_text;
    int m_marks = 0;
    bool m_needsComma = false;
};
