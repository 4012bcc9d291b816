// Times the stored form of card notes over a board's worth of notes: 10,000 notes of about
// 1 KB (title, body lines, three checklist lines, two hash tags, a picture on one card in 20).
#include "BenchTiming.h"
#include "PelorinsKit/model/Hashtags.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/RichTextCodec.h"
#include "PelorinsKit/notes/TextMeasures.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QUuid>
#include <cstdio>

namespace {

constexpr int noteCount = 10000;

AttributedString note(int index)
{
    AttributedString text(QStringLiteral("Card %1: prepare the quarterly review\n").arg(index), titleAttributes());
    for (int line = 0; line < 6; ++line)
        text.append(AttributedString(QStringLiteral("Body line %1 with enough words to wrap inside a card column of "
                                                    "the board, about a hundred characters.\n")
                                         .arg(line),
            normalAttributes()));
    for (int item = 0; item < 3; ++item) {
        QVariantMap checklist = checkListAttributes();
        checklist.insert(AttributeKey::isChecklistChecked, item == 0);
        text.append(AttributedString(QStringLiteral("Checklist item %1\n").arg(item), checklist));
    }
    text.append(AttributedString(QStringLiteral("Tagged #review and #team"), normalAttributes()));
    if (index % 20 == 0) {
        text.append(AttributedString(QStringLiteral("\n"), normalAttributes()));
        const QVariantMap picture {
            {AttributeKey::fileFolderUUID, QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()},
            {AttributeKey::filename, QStringLiteral("picture.png")},
        };
        text.append(AttributedString(QString(AttributedString::attachmentCharacter), picture));
    }
    styleTags(text, [](const QString&) { return std::optional<int>(2); });
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QList<AttributedString> notes;
    qsizetype characters = 0;
    for (int i = 0; i < noteCount; ++i) {
        notes.append(note(i));
        characters += notes.last().length();
    }

    QElapsedTimer timer;
    timer.start();
    QList<QByteArray> blobs;
    qsizetype bytes = 0;
    for (const AttributedString& text : notes) {
        blobs.append(RichTextCodec::encode(text));
        bytes += blobs.last().size();
    }
    const double encoding = milliseconds(timer);

    timer.restart();
    int decoded = 0;
    for (const QByteArray& blob : blobs)
        decoded += RichTextCodec::decode(blob).has_value() ? 1 : 0;
    const double decoding = milliseconds(timer);

    timer.restart();
    constexpr int measured = 1000;
    for (int i = 0; i < measured; ++i)
        heightToFit(notes.at(i), 300);
    const double measuring = milliseconds(timer);

    timer.restart();
    for (int i = 0; i < measured; ++i) {
        const AttributedString::Line first = AttributedString::lines(notes.at(i).string()).first();
        heightToFit(notes.at(i).attributedSubstring(first.content), 300);
    }
    const double measuringFirstLines = milliseconds(timer);

    std::printf("notes: %d, average %lld characters, average stored size %lld bytes\n", noteCount,
        static_cast<long long>(characters / noteCount), static_cast<long long>(bytes / noteCount));
    std::printf("encode all: %.1f ms\n", encoding);
    std::printf("decode all: %.1f ms (%d read back)\n", decoding, decoded);
    std::printf("heightToFit at 300 px: %.3f ms per note, %.3f ms per first line\n", measuring / measured,
        measuringFirstLines / measured);
    return decoded == noteCount ? 0 : 1;
}
