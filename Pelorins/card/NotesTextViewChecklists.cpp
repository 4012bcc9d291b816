// The notes editor's checklists: their lines, their boxes and ticking them.

#include "Pelorins/card/NotesTextView.h"

#include "Pelorins/card/ChecklistButton.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/PrintableCheckButton.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/NotesTextViewFormatHelper.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QResizeEvent>
#include <QTextBlock>

QList<std::pair<TextRange, bool>> NotesTextView::checklistLines(int end) const
{
    return checklistLines(*document(), end);
}

QList<std::pair<TextRange, bool>> NotesTextView::checklistLines(const QTextDocument& document, int end)
{
    QList<std::pair<TextRange, bool>> lines;
    const int length = document.characterCount() - 1;
    for (QTextBlock block = document.begin(); block.isValid() && block.position() < end; block = block.next()) {
        const bool last = !block.next().isValid();
        const TextRange line {block.position(), last ? block.length() - 1 : block.length()};
        // The empty last line after a final line break is no line of the text; only an empty
        // note made a checklist has a box on it.
        if (line.length == 0 && length > 0)
            continue;
        const QVariant checked = TextDocumentTextStorage::attributes(QTextCharFormat(), block.blockFormat())
                                     .value(AttributeKey::isChecklistChecked);
        if (checked.typeId() == QMetaType::Bool)
            lines.append({line, checked.toBool()});
    }
    return lines;
}

QRect NotesTextView::checkBoxFrame(const QTextDocument& document, int linePosition, qreal scale)
{
    const QTextBlock block = document.findBlock(linePosition);
    // Lines are placed only once laid out.
    const QRectF blockRect = document.documentLayout()->blockBoundingRect(block);
    const QTextLayout* lines = block.layout();
    const qreal lineTop = blockRect.top() + (lines && lines->lineCount() > 0 ? lines->lineAt(0).y() : 0);
    return QRectF(10 * scale, (lineTop - 1) * scale, ChecklistButton::defaultWidth * scale,
        ChecklistButton::defaultWidth * scale)
        .toRect();
}

void NotesTextView::makeChecklist()
{
    if (!m_formatHelper)
        return;
    runStep(NotesTextViewFormatHelper::styleChangeActionName, [this] {
        if (m_storage.length() == 0) {
            // An empty note: its one line becomes the checklist line, without a line feed.
            setTypingAttributes(checkListAttributes());
            applyTypingLineAttributesToEmptyBlock();
            layoutCheckButtons();
            return;
        }
        if (!m_typingAttributes.contains(AttributeKey::isChecklistChecked))
            ensureTrailingNewline();
        m_formatHelper->format(checkListAttributes());
    });
}

void NotesTextView::ensureTrailingNewline()
{
    const QList<TextRange> selection = selectedRanges();
    const QString text = m_storage.string();
    for (const TextRange& range : selection) {
        if (range.location == text.size() && !text.isEmpty() && text.back() == QLatin1Char('\n')) {
            m_storage.append(AttributedString(QStringLiteral("\n")));
            setSelectedRanges(selection);
            return;
        }
    }
}

void NotesTextView::layoutCheckButtons()
{
    // A collapsed card keeps its boxes.
    if (m_parentCell && m_parentCell->objectValue() && !m_parentCell->objectValue()->notesExpanded().value_or(true))
        return;
    // An editor never shown (one without a card) has its size, but lays its lines out at its width
    // only once shown: here they are laid out at that width first.
    if (!isVisible()) {
        if (testAttribute(Qt::WA_PendingResizeEvent)) {
            setAttribute(Qt::WA_PendingResizeEvent, false);
            QResizeEvent pending(size(), QSize());
            QCoreApplication::sendEvent(this, &pending);
        }
        const int width = lineWrapMode() == QTextEdit::FixedPixelWidth ? lineWrapColumnOrWidth() : viewport()->width();
        if (document()->pageSize().width() != width)
            document()->setPageSize(QSizeF(width, -1));
    }
    int placed = 0;
    // Boxes go beside the lines shown; those below are neither laid out nor given one.
    const int shown = std::max(shownLength(), 1);
    for (const auto& [line, checked] : checklistLines(shown)) {
        const QRect frame = checkBoxFrame(*document(), line.location, m_scale);
        QAbstractButton* button = placed < m_checkButtons.size() ? m_checkButtons.at(placed) : nullptr;
        if (!button) {
            if (m_parentCell) {
                auto* box = new ChecklistButton(viewport());
                connect(box, &ChecklistButton::checkUncheckLine, this, &NotesTextView::checkUncheckLine);
                button = box;
            } else {
                button = new PrintableCheckButton(viewport());
            }
            m_checkButtons.append(button);
        }
        if (auto* box = qobject_cast<ChecklistButton*>(button)) {
            if (box->state() != int(checked))
                box->setState(int(checked));
            box->setTag(placed);
            // A screen reader reads the box as its line; the box says whether it is ticked.
            box->setAccessibleName(string().mid(line.location, line.length).trimmed());
        } else if (auto* box = qobject_cast<PrintableCheckButton*>(button)) {
            box->setChecked(checked);
            box->setTag(placed);
        }
        button->setGeometry(frame);
        button->show();
        ++placed;
    }
    while (m_checkButtons.size() > placed)
        delete m_checkButtons.takeLast();
}

void NotesTextView::checkUncheckLine(ChecklistButton* button)
{
    const QPointer<ChecklistButton> box(button);
    const int tag = button->tag();
    runStep(toggleChecklistActionName, [this, box, tag] {
        const QList<std::pair<TextRange, bool>> lines = checklistLines();
        // The text changed under the box: its line is gone.
        if (tag < 0 || tag >= lines.size() || lines.at(tag).first.length == 0)
            return;
        const auto& [line, checked] = lines.at(tag);
        m_storage.removeAttribute(AttributeKey::isChecklistChecked, line);
        m_storage.addAttributes({{AttributeKey::isChecklistChecked, !checked}}, line);
        if (box)
            box->setState(checked ? 0 : 1);
        if (selectedRanges().first().location == line.location)
            m_typingAttributes.insert(AttributeKey::isChecklistChecked, !checked);
    });
}

void NotesTextView::removeCheckButtons()
{
    qDeleteAll(m_checkButtons);
    m_checkButtons.clear();
}
