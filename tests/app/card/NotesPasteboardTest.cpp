#include "Pelorins/card/ChecklistButton.h"
#include "PelorinsKit/archive/AttributedStringDictionary.h"
#include "PelorinsKit/model/Tag.h"
#include "support/AttributedStringPrinting.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "Platform/core/ConsoleLog.h"
#include "support/CardCellFixture.h"

#include <QClipboard>
#include <QDropEvent>
#include <QJsonDocument>
#include <QMimeData>
#include <QTemporaryDir>

namespace {

class NotesPasteboard : public CardCellFixture
{
protected:
    ListItem* cardWith(const AttributedString& notes)
    {
        ListItem* card = addCard(stage(0));
        card->setAttributedNotes(notes);
        card->setNotesExpanded(true);
        return card;
    }

    static void putOnClipboard(const QByteArray& payload)
    {
        auto* data = new QMimeData;
        data->setData(NotesTextView::attributedStringType, payload);
        data->setText(QStringLiteral("plain"));
        QApplication::clipboard()->setMimeData(data);
    }

    static QByteArray payload(const AttributedString& text)
    {
        return QJsonDocument(AttributedStringDictionary::dictionaryRepresentation(text)).toJson();
    }

    static QString style(NotesTextView* editor, int position)
    {
        return editor->storage().attribute(AttributeKey::noteStyleName, position).toString();
    }
};

} // namespace

TEST_F(NotesPasteboard, PastedLinesTakeTheStylesAroundTheCaretAndUndoExactly)
{
    ListItem* card = cardWith(AttributedString(QStringLiteral("Title"), titleAttributes()));
    show();
    NotesTextView* editor = edit(card);
    AttributedString pasted(QStringLiteral("one\n"), normalAttributes());
    pasted.append(AttributedString(QStringLiteral("two\n"), headerAttributes()));
    pasted.append(AttributedString(QStringLiteral("three"), normalAttributes()));
    putOnClipboard(payload(pasted));
    editor->setSelectedRanges({{2, 0}});
    const AttributedString before = editor->storage().attributedString();
    editor->paste();
    EXPECT_EQ(editor->string(), QStringLiteral("Tione\ntwo\nthreetle"));
    EXPECT_EQ(style(editor, 3), QStringLiteral("title")) << "the first line goes on as the title";
    EXPECT_EQ(style(editor, 6), QStringLiteral("header")) << "a line between keeps its style";
    EXPECT_EQ(style(editor, 11), QStringLiteral("title")) << "the last line takes the style after the caret";
    const AttributedString after = editor->storage().attributedString();
    EXPECT_EQ(*card->getAttributedNotes(), after);
    EXPECT_EQ(undo.undoActionName(), NotesTextView::pasteTextActionName);
    undo.undo();
    EXPECT_EQ(editor->storage().attributedString(), before);
    EXPECT_EQ(*card->getAttributedNotes(), before);
    undo.redo();
    EXPECT_EQ(editor->storage().attributedString(), after);
}

TEST_F(NotesPasteboard, ADoneChecklistLineCopiedToAnotherCardKeepsItsTickAndBox)
{
    QVariantMap done = checkListAttributes();
    done.insert(AttributeKey::isChecklistChecked, true);
    AttributedString notes(QStringLiteral("Errands\n"), titleAttributes());
    notes.append(AttributedString(QStringLiteral("post office\n"), done));
    ListItem* from = cardWith(notes);
    ListItem* to = cardWith(AttributedString(QStringLiteral("Other\n"), normalAttributes()));
    show();
    NotesTextView* editor = edit(from);
    editor->setSelectedRanges({{8, 12}});
    QTest::keyClick(editor, Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(QApplication::clipboard()->mimeData()->hasFormat(NotesTextView::attributedStringType))
        << QApplication::clipboard()->mimeData()->formats().join(",").toStdString() << " "
        << editor->textCursor().selectedText().toStdString();
    EXPECT_TRUE(QApplication::clipboard()->mimeData()->hasText());
    endEditing(from);

    editor = edit(to);
    editor->setSelectedRanges({{6, 0}});
    QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(editor->string(), QStringLiteral("Other\npost office\n"));
    EXPECT_EQ(editor->storage().attribute(AttributeKey::isChecklistChecked, 6), QVariant(true));
    ASSERT_EQ(editor->checkButtons().size(), 1);
    EXPECT_EQ(qobject_cast<ChecklistButton*>(editor->checkButtons().first())->state(), 1);
}

TEST_F(NotesPasteboard, SelectAllAndCopyLeaveTheStoredNotesAsTheyWere)
{
    // Every kind of line a note holds, as the editor writes them.
    QVariantMap ticked = checkListAttributes();
    ticked.insert(AttributeKey::isChecklistChecked, true);
    AttributedString notes(QStringLiteral("Trip\n"), titleAttributes());
    notes.append(AttributedString(QStringLiteral("Packing\n"), headerAttributes()));
    notes.append(AttributedString(QStringLiteral("passport\n"), ticked));
    notes.append(AttributedString(QStringLiteral("tickets\n"), checkListAttributes()));
    notes.append(AttributedString(QStringLiteral("See https://example.org/trip for the plan #travel"), normalAttributes()));
    ListItem* card = cardWith(notes);
    Tag* tag = builder.addTag(kanban, QStringLiteral("travel"));
    tag->setColour(2);
    card->setTags({tag});
    show();
    // Opening and leaving the editor once writes the notes in the editor's own form.
    edit(card);
    endEditing(card);
    const QByteArray stored = card->attributedNotesData();

    NotesTextView* editor = edit(card);
    const AttributedString shown = editor->storage().attributedString();
    // As a keyboard sends them: the Control key goes down on its own before each letter.
    QTest::keyPress(editor, Qt::Key_Control);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyRelease(editor, Qt::Key_Control);
    QTest::keyPress(editor, Qt::Key_Control);
    QTest::keyClick(editor, Qt::Key_C, Qt::ControlModifier);
    QTest::keyRelease(editor, Qt::Key_Control);
    EXPECT_EQ(editor->storage().attributedString(), shown) << "the editor shows the same notes";
    EXPECT_FALSE(undo.canUndo()) << "copying is no step";
    ASSERT_TRUE(QApplication::clipboard()->mimeData()->hasFormat(NotesTextView::attributedStringType));
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_EQ(card->attributedNotesData(), stored) << "the stored notes are byte for byte the same";
}

TEST_F(NotesPasteboard, HostilePayloadsPasteClippedOrNothing)
{
    ListItem* card = cardWith(AttributedString(QStringLiteral("x"), normalAttributes()));
    show();
    NotesTextView* editor = edit(card);
    struct Case
    {
        const char* name;
        QByteArray payload;
        QString pasted; // what the notes gain
    };
    const QList<Case> cases {
        {"not an object", "[1, 2, 3]", QStringLiteral("plain")},
        {"not JSON", "{\"string\": ", QStringLiteral("plain")},
        {"runs past the text",
            R"({"string":"ab","runs":[{"range":{"location":1,"length":500},"NOTESTYLENAME":"title"}]})", "ab"},
        {"a picture outside its folder",
            R"({"string":"￼","runs":[{"range":{"location":0,"length":1},"fileFolderUUID":"../../etc","filename":"passwd"}]})",
            QString(AttributedString::attachmentCharacter)},
        {"a string of 20 MB", "{\"string\":\"" + QByteArray(20 * 1024 * 1024, 'a') + "\",\"runs\":[]}",
            QStringLiteral("plain")},
    };
    for (const Case& each : cases) {
        ConsoleLog::Capture console;
        editor->setSelectedRanges({{0, int(editor->string().size())}});
        editor->runProgrammaticChange(
            [&] { editor->storage().setAttributedString(AttributedString(QStringLiteral("x"), normalAttributes())); });
        editor->setSelectedRanges({{1, 0}});
        putOnClipboard(each.payload);
        editor->paste();
        EXPECT_EQ(editor->string(), QStringLiteral("x") + each.pasted) << each.name;
        if (each.pasted == QStringLiteral("plain")) {
            EXPECT_FALSE(console.lines().isEmpty()) << each.name << ": the refusal is on the console";
        }
    }
}

TEST_F(NotesPasteboard, DroppedMailFilesBecomeMailCardsInOrderAndABadOneIsSkipped)
{
    ListItem* card = cardWith(AttributedString(QString(), normalAttributes()));
    card->setAttributedNotes(std::nullopt);
    show();
    NotesTextView* editor = edit(card);
    QTemporaryDir folder;
    const auto mail = [&](const QString& name, const QByteArray& text) {
        QFile out(folder.filePath(name));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(text);
        return QUrl::fromLocalFile(out.fileName());
    };
    auto* data = new QMimeData;
    data->setUrls({mail("first.eml", "From: Ann <ann@x>\nSubject: First\nMessage-ID: <1@x>\n\nbody"),
        mail("broken.eml", "Subject: no sender or id\n\n"),
        mail("third.eml", "From: bob@x\nSubject: =?UTF-8?Q?Third_=E2=9C=93?=\nMessage-ID: <3@x>\n\n")});
    ConsoleLog::Capture console;
    const QPoint inside = editor->viewport()->rect().center();
    QDragEnterEvent enter(inside, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor->viewport(), &enter);
    QDropEvent drop(inside, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor->viewport(), &drop);

    QList<QVariantMap> links;
    const AttributedString notes = editor->storage().attributedString();
    for (int i = 0; i < notes.length(); ++i)
        if (notes.attribute(AttributeKey::attachmentLinkData, i).isValid())
            links.append(notes.attribute(AttributeKey::attachmentLinkData, i).toMap());
    ASSERT_EQ(links.size(), 2);
    EXPECT_EQ(links.at(0).value("title").toString(), QStringLiteral("First"));
    EXPECT_EQ(links.at(0).value("body").toString(), QStringLiteral("Ann"));
    EXPECT_EQ(links.at(0).value("URL").toUrl().scheme(), QStringLiteral("message"));
    EXPECT_EQ(links.at(1).value("title").toString(), QStringLiteral("Third ✓"));
    EXPECT_EQ(links.at(1).value("body").toString(), QStringLiteral("bob@x"));
    EXPECT_EQ(console.lines().filter(QStringLiteral("automatorPlist: ")).size(), 1);
    EXPECT_EQ(console.lines().filter(QStringLiteral("plistDictionary: ")).size(), 3);
    delete data;
}
