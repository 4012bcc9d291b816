#pragma once

#include "PelorinsKit/notes/NotesTextViewFormatHelperDelegate.h"
#include "PelorinsKit/notes/TextDocumentTextStorage.h"
#include "Platform/widgets/ActionResponder.h"

#include <QPointer>
#include <QRegion>
#include <QSet>
#include <QTextEdit>
#include <QUrl>
#include <functional>
#include <limits>
#include <memory>
#include <utility>

struct CalendarEvent;
class ChecklistButton;
class QCompleter;
class QStringListModel;
class FilePanelPresenter;
class ListItemCellView;
class QAbstractButton;
class NotesDocumentLayout;
class NotesTextViewDelegate;
class NotesTextViewFormatHelper;
class TextAttachmentObject;

// The rich-text editor of a card's notes, embedded by the card cell (or standing alone, without
// a host cell). It styles whole lines through the notes formatter, keeps its own
// typing attributes, sends cut, copy and paste of cards to the column, and never scrolls:
// its host sizes it to its text. Its document keeps no undo of its own; the host records every
// change on the window's undo manager.
class NotesTextView : public QTextEdit, public NotesTextViewFormatHelperDelegate, public ActionResponder
{
    Q_OBJECT

public:
    // Routed action names and the menu identifiers that validate them.
    static const QString formatAsTitleAction;
    static const QString formatAsHeaderAction;
    static const QString formatAsBodyAction;
    static const QString cutAction;
    static const QString copyAction;
    static const QString pasteAction;
    static const QString makeChecklistAction;
    static const QString addAttachmentAction;
    static const QString formatAsTitleIdentifier;
    static const QString formatAsHeaderIdentifier;
    static const QString formatAsBodyIdentifier;
    static const QString cutIdentifier;
    static const QString copyIdentifier;
    static const QString pasteIdentifier;
    static const QString makeChecklistIdentifier;
    // Undo names of the editor's own steps.
    static const QString toggleChecklistActionName;
    static const QString addAttachmentActionName;
    static const QString pasteTextActionName;
    // Pasteboard types of copied columns and cards, which a paste hands to the column.
    static const QString columnDataType;
    static const QString cardDataType;
    // Our own rich text: the dictionary form of the notes, as JSON.
    static const QString attributedStringType;
    // The vertical inset of the text; with the padding of 10 on each side of every line, an
    // editor holding some notes is exactly heightToFit() of them high.
    static constexpr int verticalInset = 5;
    static constexpr int lineFragmentPadding = 10;
    // No notes editor is lower than one line of notes as the column measures it.
    static constexpr int minimumHeight = 30;

    explicit NotesTextView(QWidget* parent = nullptr);
    ~NotesTextView() override;

    // Once, before the editor is shown.
    void setup();
    // What setup() gives the editor's document: its font, insets and no undo of its own. Notes
    // laid out away from an editor (printed ones) take the same.
    static void setUpDocument(QTextDocument& document);

    ListItemCellView* parentListItemCellView() const { return m_parentCell; }
    // In a card, lines below what the card shows are not laid out.
    void setParentListItemCellView(ListItemCellView* cell);
    NotesTextViewDelegate* notesDelegate() const { return m_notesDelegate; }
    void setNotesDelegate(NotesTextViewDelegate* delegate) { m_notesDelegate = delegate; }
    NotesTextViewFormatHelper* notesTextViewFormatHelper() const { return m_formatHelper.get(); }
    TextDocumentTextStorage& storage() { return m_storage; }

    // True while the user edits the notes.
    bool isFirstResponder() const { return m_isFirstResponder; }
    void setIsFirstResponder(bool editing) { m_isFirstResponder = editing; }
    // Starts editing as a click at `point` (zoomed viewport coordinates) does once it is
    // editing: the caret goes there, or the link there is selected or opened.
    void beginEditingAt(const QPoint& point);
    // Puts the whole notes in, selects the card and shows the cell's editing buttons while
    // editing; hides them otherwise.
    void updateEditingState();
    // The height the laid-out text takes, with its insets, at full size.
    int intrinsicHeight() const;
    // The column's zoom: the text keeps its full-size layout, line breaks included, and is drawn
    // and hit at this scale.
    qreal scale() const { return m_scale; }
    void setScale(qreal scale);
    QSize sizeHint() const override;

    void formatSelectionAsTitle();
    void formatSelectionAsHeader();
    void formatSelectionAsBody();

    // Search highlights are drawn over the text, never stored in it.
    void setSearchHighlights(const QList<TextRange>& ranges);
    QList<TextRange> searchHighlights() const { return m_searchHighlights; }
    // The opaque colour the notes are drawn on. Hashtags are then drawn in their colour made
    // readable on it, at 3:1 at least; the colour the text holds stays the tag's.
    void setTextBackground(const std::optional<QColor>& background);
    // The colour a hashtag at `position` is drawn in.
    QColor drawnTagColour(int position) const;
    // Where the hashtags are drawn, in the editor's own coordinates.
    QRegion hashtagRegion() const;
    // Link attachments inside the selection are drawn highlighted.
    void updateAttachmentSelection();
    void highlightAttachmentCells(TextRange range);
    std::optional<TextRange> selectedCellRange() const { return m_selectedCellRange; }

    // Opens links the user clicks; the desktop's browser unless a test replaces it.
    void setUrlOpener(std::function<void(const QUrl&)> opener) { m_urlOpener = std::move(opener); }
    void openUrl(const QUrl& url) const;
    // The position of the link card drawn under `point` (full-size viewport coordinates).
    std::optional<int> linkAttachmentAt(const QPoint& point) const;
    // Gives typed web addresses the link attribute: in the whole text, or in these lines.
    void detectLinks();
    void detectLinks(TextRange lines);

    // Changes made by the program, never by the user: no change is reported while one runs.
    void runProgrammaticChange(const std::function<void()>& change);
    bool inProgrammaticChange() const { return m_programmaticDepth > 0; }

    // Checklists. A checklist line carries isChecklistChecked; each has a box at its left, a
    // ChecklistButton in a card and a PrintableCheckButton without one.
    void makeChecklist();
    // With the caret on the empty last line, gives that line a line break of its own.
    void ensureTrailingNewline();
    QList<QAbstractButton*> checkButtons() const { return m_checkButtons; }
    // The checklist lines of a document of notes, each with its line break, and their states,
    // from the top; those starting before `end` only.
    static QList<std::pair<TextRange, bool>> checklistLines(
        const QTextDocument& document, int end = std::numeric_limits<int>::max());
    // Where the box of the checklist line at `linePosition` goes, in a laid-out document at that
    // zoom.
    static QRect checkBoxFrame(const QTextDocument& document, int linePosition, qreal scale);
    void removeCheckButtons();
    // Ticks or reopens the line of the box, as one "Toggle Checklist" step.
    void checkUncheckLine(ChecklistButton* button);

    // Attachments. The file panel is the desktop's unless a test replaces it.
    void setFilePanelPresenter(FilePanelPresenter* presenter) { m_filePanels = presenter; }
    void addAttachment();
    // A copy of the picture in a new picture folder, inserted on a line of its own; false, with
    // nothing made, when the picture cannot be read or copied.
    bool insertImageAttachment(const QString& path);
    void insertLinkAttachment(
        const QString& title, const QString& body, const QUrl& url, const QVariantMap& calendarData);
    // A link card for the event: its title ("Event" without one), its relative start date, and
    // its calendar; nothing when no link can name the event.
    void insertCalendarEventLink(const CalendarEvent& event);
    void removeStylesFromAttachmentLines();
    // The calendar data of every link that is no calendar event.
    static QVariantMap emptyCalendarData();

    // Hash tags. The card's tags follow the hash tags of the text: a name the board lacks
    // becomes a board tag, and tags no card writes any more leave the board.
    void updateCardTags();
    // The same after a change of these lines only, whole lines of the text as it is now.
    void updateCardTags(TextRange lines);
    // The caret ends a "#" and the word characters after it.
    bool isTypingHashTag() const;
    // The text between the last "#" before the caret and the caret; none without a "#".
    std::optional<QString> partialHashTag() const;
    // Offers the host cell's completions of the hash tag being typed in a list under the caret;
    // hides the list when there are none.
    void complete();
    void hideCompletions();
    QCompleter* completer() const { return m_completer; }
    // Puts `word` in place of `range`, the partial word; a range that would replace the hash sign
    // at the very start of the text inserts after it.
    void insertCompletion(const QString& word, TextRange range, bool isFinal);

    // Developer actions of the Debug menu: each prints the state of the text to the console.
    static const QStringList debugActions;
    void showCurrentTypingAttributes();
    void getAllAttributesInSelection();
    void replaceLinksWithAttachment();
    void testCustomAttachment();
    void testImageAttachment();
    void testWriteOutImage();
    void testFindAllChecklists();
    void testFindAllAttachments();
    void printTagsInCurrentCard();
    void testIdentifyTags();

    // The attributes of the text at the caret, as typing there would use them.
    QVariantMap attributesAtCaret() const;

    // NotesTextViewFormatHelperDelegate
    NoteTextStorage* textStorage() const override;
    QString string() const override;
    // The editor's changes are recorded by its host, around each step, so the formatter records
    // none of its own.
    UndoManager* undoManager() const override { return nullptr; }
    QList<TextRange> selectedRanges() const override;
    void setSelectedRanges(const QList<TextRange>& ranges) override;
    QVariantMap typingAttributes() const override { return m_typingAttributes; }
    void setTypingAttributes(const QVariantMap& attributes) override;
    void styleTags() override;
    // The hash tags of these lines only.
    void styleTags(TextRange lines);
    // The styles of the hash tags of these lines of a document of notes, with the colours of the
    // board's tags by name.
    static QList<std::pair<TextRange, QVariantMap>> hashtagStyles(
        const QTextDocument& document, TextRange lines, const QHash<QString, int>& tagColours);
    // The lines the user changed since the last call, whole, in the text as it is now; none
    // when the user changed nothing.
    std::optional<TextRange> takeChangedLines();
    // Whether any character changed since the last call, by the user or the program; a change of
    // attributes only is none.
    bool takeTextChanged() { return std::exchange(m_textChanged, false); }
    void updateCellHeight() override;
    void layoutCheckButtons() override;

    // ActionResponder
    bool respondsTo(const QString& action) const override;
    void perform(const QString& action, QObject* sender) override;
    bool validate(const QString& action, QAction* item) const override;

signals:
    // The user changed the text: typing, input methods, cutting, pasting or dropping.
    void textChangedByUser();
    // The caret or selection moved; `oldPosition` is where the caret stood before, `byTyping`
    // whether an edit moved it.
    void selectionMoved(int oldPosition, bool byTyping);
    // The editor lost the keyboard focus after editing.
    void editingEnded();

protected:
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    bool leavesPressToColumn(const QMouseEvent* event) const;
    void format(const QVariantMap& attributes);
    void insertNewline(QKeyEvent* event);
    // Runs the base handling of a typed key or input-method event with the typing attributes.
    void typeWithTypingAttributes(const std::function<void()>& type, bool newline = false);
    void applyTypingLineAttributesToEmptyBlock();
    void applyExtraSelections();
    void routeToColumn(const QString& action, QObject* sender);
    void reportUserChange();
    void followChange(int from, int removed, int added);
    TextAttachmentObject* attachmentObject() const;
    // The checklist lines, each with its line break, and their states, from the top; those
    // starting before `end` only.
    QList<std::pair<TextRange, bool>> checklistLines(int end = std::numeric_limits<int>::max()) const;
    // How far down the notes show: as far as a card measures them, or all of them in print.
    qreal shownHeight() const;
    // The length of the lines that start within the shown height.
    int shownLength() const;
    void hideLinesBelowShown(int from, int added);
    // Shows as many of the first lines as reach past the shown height.
    void showEnoughLines() const;
    TextRange lineRange(int position) const;
    void insertAttachment(const AttributedString& attachment);
    // Runs a change of the notes as one step named `name` (in a card) or as a program change.
    void runStep(const QString& name, const std::function<void()>& change);
    bool insertMail(const QList<std::pair<QString, QByteArray>>& messages);
    void insertFileOrLink(const QUrl& url);
    void pasteAttributedString(const AttributedString& pasted);
    // A pointer event at the zoom mapped to the full-size text.
    QMouseEvent unzoomed(const QMouseEvent* event) const;
    void paintZoomed(QPaintEvent* event);
    // The lines painted within `area` (viewport coordinates) keep their shaped glyphs; in a card,
    // the lines changed that it shows keep them as they are laid out.
    void keepShapesOfChangedLines(int from, int added);
    void keepShapesOfLinesIn(const QRect& area) const;

    QPointer<ListItemCellView> m_parentCell;
    NotesTextViewDelegate* m_notesDelegate = nullptr;
    NotesDocumentLayout* m_layout;
    TextDocumentTextStorage m_storage;
    std::unique_ptr<NotesTextViewFormatHelper> m_formatHelper;
    bool m_isFirstResponder = false;
    QList<QAbstractButton*> m_checkButtons;
    FilePanelPresenter* m_filePanels = nullptr;
    QList<TextRange> m_searchHighlights;
    std::optional<QColor> m_textBackground;
    std::optional<TextRange> m_selectedCellRange;
    QVariantMap m_typingAttributes;
    std::function<void(const QUrl&)> m_urlOpener;
    mutable int m_programmaticDepth = 0;
    std::optional<TextRange> m_changed;
    // The hashtag names of the lines changed since the card's tags were last brought in line, as
    // those lines were before: the only names a change can have taken away.
    QSet<QString> m_namesChangedAway;
    bool m_textChanged = false;
    bool m_cardTagsFollowText = false;
    // Lines from this one on are hidden from the layout: far below what a card shows.
    mutable int m_shownBlocks = 256;
    int m_blockCount = 1;
    int m_lastCaret = 0;
    // While a typed key is handled: changes are reported once it is done, and the caret moves
    // by typing.
    bool m_typing = false;
    bool m_changedWhileTyping = false;
    bool m_userChangePending = false;
    QPoint m_pressPosition;
    qreal m_scale = 1.0;
    QCompleter* m_completer = nullptr;
    QStringListModel* m_completions = nullptr;
    TextRange m_completionRange;
};
