#pragma once

#include "Pelorins/card/DateDisplayButton.h"
#include "Pelorins/card/DatePickerViewController.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "Platform/core/UndoManager.h"
#include "support/ColumnBoardFixture.h"
#include "support/QStringPrinting.h"

#include <QApplication>
#include <QTest>

// A board of real columns with an undo manager, and the ways a user reaches a card's editor.
class CardCellFixture : public ColumnBoardFixture
{
protected:
    void SetUp() override
    {
        ColumnBoardFixture::SetUp();
        board.setUndoManager(&undo);
        makeBoard({QStringLiteral("A"), QStringLiteral("B")});
    }

    ListItemCellView* cell(ListItem* card) { return column(0).cellShowing(card); }

    // Clicks into the notes: the editor takes the focus.
    NotesTextView* edit(ListItem* card)
    {
        ListItemCellView* shown = cell(card);
        EXPECT_NE(shown, nullptr);
        QWidget* window = shown->window();
        window->activateWindow();
        QApplication::setActiveWindow(window);
        shown->noteTextView()->setFocus(Qt::MouseFocusReason);
        return shown->noteTextView();
    }

    // The focus goes elsewhere: editing ends.
    void endEditing(ListItem* card) { cell(card)->setFocus(Qt::OtherFocusReason); }

    // Types, and lets the event loop turn, which closes the undo group of the keystrokes.
    void type(NotesTextView* editor, const QString& text)
    {
        QTest::keyClicks(editor, text);
        QCoreApplication::processEvents();
    }

    // Clicks the card's due-date badge: its popover opens, after the one open is closed.
    DatePickerViewController* openDatePopover(ListItem* card)
    {
        if (DatePickerViewController* open = cell(card)->datePicker())
            open->doneButtonTapped();
        QTest::mouseClick(cell(card)->showDateButton(), Qt::LeftButton);
        QCoreApplication::processEvents();
        return cell(card)->datePicker();
    }

    static QString notes(ListItem* card) { return card->getAttributedNotes().value_or(AttributedString()).string(); }

    UndoManager undo;
};
