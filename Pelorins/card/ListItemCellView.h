#pragma once

#include "Pelorins/card/DatePickerDelegate.h"
#include "Pelorins/card/ListItemCellViewPresentedInContext.h"
#include "Pelorins/card/NotesTextViewDelegate.h"
#include "PelorinsKit/notes/AttributedString.h"
#include "Platform/widgets/ActionResponder.h"
#include "Platform/widgets/Popover.h"

#include <QAccessible>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

class CardBoard;
class CheckedButton;
class DateDisplayButton;
class DatePickerViewController;
class DeferredSave;
class DueDateTextField;
class ListItem;
class ListItemCellDelegate;
class NotesTextView;
class QMenu;
class QToolButton;
class UndoManager;

// One card shown and edited in place in a column: its done box, its notes (the first line while
// collapsed, all of them when expanded or edited), the expand chevron, the flag, the due-date
// badge and the done time, and while the notes are edited the style, checklist and attachment
// buttons. The column hands it a card (setObjectValue), and is its delegate.
//
// Typing writes the notes into the card at once and saves once it pauses for half a second, and
// at least every two seconds while it goes on; ending editing saves at once. Every change of the notes is one step on the window's undo manager, held by the
// card: typing makes one "Typing" step until the caret moves otherwise, the focus leaves, the
// cell shows another card or something else is recorded.
class ListItemCellView : public QWidget, public NotesTextViewDelegate, public DatePickerDelegate, public ActionResponder
{
    Q_OBJECT

public:
    // Full-size geometry: the fixed part of a card's height, and the notes' top and width.
    static constexpr int fixedHeight = 78;
    static constexpr int notesTop = 38;
    static constexpr int notesWidth = 284;
    // Repair and debugging actions of the Debug menu.
    static const QString relayoutNotesTextViewAction;
    static const QString testAction;
    // The undo name of a due-date change.
    static const QString changeDueDateActionName;
    // The card's actions, routed by name and offered by its context menu.
    static const QString addCardAboveAction;
    static const QString addCardBelowAction;
    static const QString deleteCardAction;
    static const QString getItemHistoryAction;
    // Link schemes handed to the desktop: those a link card draws.
    static const QStringList openableLinkSchemes;
    // The check box's hover area.
    static const QRect hoverRectangle;

    explicit ListItemCellView(QWidget* parent = nullptr);
    ~ListItemCellView() override;

    ListItem* objectValue() const override { return m_item; }
    // Shows the card: configure().
    void setObjectValue(ListItem* item);
    ListItemCellDelegate* delegate() const { return m_delegate; }
    void setDelegate(ListItemCellDelegate* delegate);
    std::optional<ListItemCellViewPresentedInContext> presentedContext() const { return m_presentedContext; }
    void setPresentedContext(ListItemCellViewPresentedInContext context) { m_presentedContext = context; }
    bool isSelected() const { return m_isSelected.value_or(false); }
    void setSelected(bool selected) { m_isSelected = selected; }
    // The column's zoom.
    void setScale(qreal scale);

    void configure();
    void updateSelectionAppearance();
    void updateDueDateColour();
    // The due-date badge's words and colour by the board's clock now, as its minutely check asks.
    void updateDueDate();
    // Hashtags drawn readable on what is behind the card, and whole on a faded done card.
    void updateTagLook();
    void updateCellHeight(bool skipLayout);
    void updateExpandButton(bool expanded);
    void noteButtonTapped();
    void checkButtonTapped();
    // Toggles the card's flag; not undoable.
    void flagButtonTapped();
    // A new card at the card's place, or after it.
    void addCardAbove();
    void addCardBelow();
    // Deletes the column's selected cards.
    void deleteCard();
    // Prints the card's history to the console.
    void getItemHistory();
    // The card's actions, in context-menu order.
    void addCardActions(QMenu& menu);
    // A menu acts on the card under the pointer: Delete removes the selected cards, so the card
    // becomes the selection first unless it is part of it.
    void selectForMenu();

    // Opens the due-date popover under the badge, preset with the card's due date or the next
    // default deadline.
    void showPicker();
    DatePickerViewController* datePicker() const;
    // Sets the card's due date as one "Change Due Date" step, whose undo shows the date in
    // whatever cell shows the card then; `poster` posts the due-soon change.
    static void changeDueDate(
        CardBoard* board, ListItem* card, const std::optional<QDateTime>& date, const void* poster);

    // DatePickerDelegate
    void datePickedWithDate(const std::optional<QDateTime>& date) override;
    std::optional<QString> listItemURLString() const override;
    CalendarStore* eventStore() const override;
    ReminderCenter* reminderCenter() const override;
    UserDefaults& userDefaults() const override;
    void requestDeferredSave() override;

    // Link cards in the notes, at `position` of the text: a click selects one, a double click
    // opens it.
    void clickedOnLink(int position);
    void doubleClickedOnLink(int position);
    // Shows the event of the user's calendars in a dialog.
    void openCalendarEvent(const QString& externalIdentifier, const QString& calendarTitle);
    // The column saw a click at `point` (in the cell) that dragged nothing: on the notes of a
    // card not being edited, editing starts there as if the notes had been clicked.
    void clicked(const QPoint& point);
    // The pointer came over the done box, or left it: the tick preview.
    void mouseEntered();
    void mouseExited();
    // Nudges the notes editor back to the top of its container; at most two passes.
    void relayoutNotesTextView();
    void test();

    NotesTextView* noteTextView() const override { return m_noteTextView; }
    CheckedButton* checkButton() const { return m_checkButton; }
    DateDisplayButton* showDateButton() const { return m_showDateButton; }
    DueDateTextField* doneDateField() const { return m_doneDateField; }
    QToolButton* noteButton() const { return m_noteButton; }
    QToolButton* flagButton() const { return m_flagButton; }
    QList<QToolButton*> editingButtons() const { return {m_styleButton, m_checklistButton, m_attachmentButton}; }
    // The card's fill as drawn now.
    QColor backdropColour() const;
    qreal notesOpacity() const { return m_notesOpacity; }
    // The notes as a screen reader reads them; the cell's name and description follow the card.
    QString accessibleNotes() const { return m_accessibleNotes; }

    bool fullTextSet() const { return m_fullTextSet; }
    void setFullTextSet(bool set) { m_fullTextSet = set; }
    bool checkForExpantion() const { return m_checkForExpantion; }
    void setCheckForExpantion(bool check) { m_checkForExpantion = check; }
    void setEditingButtonsVisible(bool visible);
    // The card's notes in editor form; none without a card or notes.
    std::optional<AttributedString> notesOfCard() const;
    // Typing attributes proposed at the caret, in the colour and font notes are typed in.
    QVariantMap shouldChangeTypingAttributes(const QVariantMap& proposed) const;

    // The window's undo manager, through the column and the board; null without them.
    UndoManager* undoManager() const;
    // Runs a change of the notes as one named step: recorded only when the notes changed, and
    // ending the typing step.
    void runNamedStep(const QString& name, const std::function<void()>& change);
    void closeTypingStep();
    // Saves the store now, and drops a save waiting.
    void saveNow();
    // Writes what was typed into the card, when it has not reached it yet.
    void commitNotes();
    bool hasUnwrittenNotes() const { return m_notesUnwritten; }
    // Notes of up to this many characters are written into the card at every change.
    static constexpr int notesWrittenAtOnce = 20000;
    // Notes shown and not edited hold this many characters at least, to the end of a line, when
    // that reaches past the card's foot; editing puts in the rest.
    static constexpr int notesShownInPart = 20000;
    static constexpr int linesShownInPart = 400;
    const DeferredSave* deferredSave() const { return m_deferredSave; }
    bool isTypingStepOpen() const { return m_typingStepOpen; }
    // Puts recorded notes back, as undo and redo do: into the editor and the card, recording
    // nothing.
    void restoreNotes(const AttributedString& notes);

    // NotesTextViewDelegate
    QList<Tag*> existingTags() const override;
    // A new tag of the card's board named `name`, coloured like the unused tag it grows from, or
    // in the first colour no tag of the board has; null without a card.
    Tag* createTag(const QString& name);
    // Completions of the hash tag being typed: the empty string, then every used tag of the
    // board that begins with it (ignoring case), each followed by a space; empty when none.
    QStringList completions() const;

    // ActionResponder
    bool respondsTo(const QString& action) const override;
    void perform(const QString& action, QObject* sender) override;
    void commitPendingEdits() override;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CardBoard* board() const;
    // The save that follows typing: saveNow, with the typing step left as it was.
    void saveTyping();
    // The board's clock, so that badges follow the board's timers.
    QDateTime now() const;
    void setupNotesView();
    void layOut();
    void updateChevronVisibility();
    void highlightSearchTerm();
    void textDidChange();
    void textDidEndEditing();
    // An empty selection at the end of the text: a card not being edited shows none.
    void dropTextSelection();
    void textViewDidChangeSelection(int oldPosition, bool byTyping);
    void writeNotesIntoCard();
    void recordTyping();
    void watchUndoManager();
    void showFlag(bool flagged);
    // Names the card for assistive technology, and tells it when the notes read otherwise.
    void updateAccessibleCard();
    void announceState(QAccessible::State changed);
    void openLinkWithBookmark(int position, QVariantMap link, const QByteArray& bookmark);

    ListItem* m_item = nullptr;
    ListItemCellDelegate* m_delegate = nullptr;
    std::optional<ListItemCellViewPresentedInContext> m_presentedContext;
    std::optional<bool> m_isSelected;
    qreal m_scale = 1.0;
    bool m_fullTextSet = false;
    bool m_checkForExpantion = true;
    qreal m_notesOpacity = 1.0;
    bool m_done = false;
    QString m_accessibleNotes;

    NotesTextView* m_noteTextView = nullptr;
    CheckedButton* m_checkButton = nullptr;
    DateDisplayButton* m_showDateButton = nullptr;
    DueDateTextField* m_doneDateField = nullptr;
    QToolButton* m_noteButton = nullptr;
    QToolButton* m_flagButton = nullptr;
    QToolButton* m_styleButton = nullptr;
    QToolButton* m_checklistButton = nullptr;
    QToolButton* m_attachmentButton = nullptr;
    int m_notesTopOffset = 0;

    // Undo of the notes.
    bool m_typingStepOpen = false;
    bool m_notesUnwritten = false;
    bool m_recordingSuspended = false;
    bool m_registering = false;
    AttributedString m_lastRecorded;
    QPointer<UndoManager> m_watchedUndoManager;
    QMetaObject::Connection m_undoChanged;
    DeferredSave* m_deferredSave = nullptr;
    QPointer<Popover> m_datePopover;
};
