// The notes editor's commands: the line styles, cut, copy and paste (or the column's), their
// menu states, and its context menu.

#include "Pelorins/card/NotesTextView.h"

#include "Pelorins/card/ListItemCellDelegate.h"
#include "Pelorins/card/ListItemCellView.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/NotesTextViewFormatHelper.h"
#include "Platform/core/UndoManager.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>

namespace {

const QString titleStyle = QStringLiteral("title");
const QString headerStyle = QStringLiteral("header");
const QString bodyStyle = QStringLiteral("body");

bool pasteboardHoldsCardsOrColumns()
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data && (data->hasFormat(NotesTextView::columnDataType) || data->hasFormat(NotesTextView::cardDataType));
}

// The dash that stands for a mixed menu state.
QIcon mixedStateIcon()
{
    QPixmap dash(16, 16);
    dash.fill(Qt::transparent);
    QPainter painter(&dash);
    painter.fillRect(QRectF(4, 7, 8, 2), QApplication::palette().color(QPalette::Text));
    return QIcon(dash);
}

} // namespace

void NotesTextView::format(const QVariantMap& attributes)
{
    if (!m_formatHelper)
        return;
    const auto restyle = [&] { m_formatHelper->format(attributes); };
    if (m_parentCell)
        m_parentCell->runNamedStep(NotesTextViewFormatHelper::styleChangeActionName, restyle);
    else
        runProgrammaticChange(restyle);
}

void NotesTextView::formatSelectionAsTitle()
{
    format(titleAttributes());
}

void NotesTextView::formatSelectionAsHeader()
{
    format(headerAttributes());
}

void NotesTextView::formatSelectionAsBody()
{
    format(normalAttributes());
}

bool NotesTextView::respondsTo(const QString& action) const
{
    static const QStringList actions {formatAsTitleAction, formatAsHeaderAction, formatAsBodyAction, cutAction,
        copyAction, pasteAction, makeChecklistAction, addAttachmentAction};
    return actions.contains(action) || debugActions.contains(action);
}

void NotesTextView::perform(const QString& action, QObject* sender)
{
    static const QHash<QString, void (NotesTextView::*)()> debug {
        {debugActions.at(0), &NotesTextView::showCurrentTypingAttributes},
        {debugActions.at(1), &NotesTextView::getAllAttributesInSelection},
        {debugActions.at(2), &NotesTextView::replaceLinksWithAttachment},
        {debugActions.at(3), &NotesTextView::testCustomAttachment},
        {debugActions.at(4), &NotesTextView::testImageAttachment},
        {debugActions.at(5), &NotesTextView::testWriteOutImage},
        {debugActions.at(6), &NotesTextView::testFindAllChecklists},
        {debugActions.at(7), &NotesTextView::testFindAllAttachments},
        {debugActions.at(8), &NotesTextView::printTagsInCurrentCard},
        {debugActions.at(9), &NotesTextView::testIdentifyTags}};
    if (const auto run = debug.value(action))
        (this->*run)();
    else if (action == formatAsTitleAction)
        formatSelectionAsTitle();
    else if (action == formatAsHeaderAction)
        formatSelectionAsHeader();
    else if (action == formatAsBodyAction)
        formatSelectionAsBody();
    else if (action == makeChecklistAction)
        makeChecklist();
    else if (action == addAttachmentAction)
        addAttachment();
    else if (action == cutAction || action == copyAction) {
        // With nothing selected the command is for the column's selected cards.
        if (!textCursor().hasSelection())
            routeToColumn(action, sender);
        else {
            // Our own rich text goes with the platform's types.
            QMimeData* data = createMimeDataFromSelection();
            if (action == cutAction)
                cut();
            QApplication::clipboard()->setMimeData(data);
        }
    } else if (action == pasteAction) {
        if (pasteboardHoldsCardsOrColumns())
            routeToColumn(action, sender);
        else
            paste();
    }
}

void NotesTextView::routeToColumn(const QString& action, QObject* sender)
{
    if (!m_parentCell)
        return;
    // The column copies and moves cards with their notes as typed.
    m_parentCell->commitNotes();
    if (auto* column = dynamic_cast<ActionResponder*>(m_parentCell->delegate()); column && column->respondsTo(action))
        column->perform(action, sender);
}

bool NotesTextView::validate(const QString& action, QAction* item) const
{
    const QString identifier = item ? item->objectName() : QString();
    const QHash<QString, QString> styleOfIdentifier {{formatAsTitleIdentifier, titleStyle},
        {formatAsHeaderIdentifier, headerStyle}, {formatAsBodyIdentifier, bodyStyle}};
    if (item && styleOfIdentifier.contains(identifier) && m_formatHelper) {
        QStringList styles;
        for (const TextRange& line : m_formatHelper->getLinesInSelection()) {
            if (line.location >= m_storage.length())
                continue;
            const QVariant style = m_storage.attribute(AttributeKey::noteStyleName, line.location);
            // A value of the wrong type says nothing about the line.
            if (style.typeId() != QMetaType::QString)
                continue;
            const QString name = style.toString();
            if ((name == titleStyle || name == headerStyle || name == bodyStyle) && !styles.contains(name))
                styles.append(name);
        }
        const QString own = styleOfIdentifier.value(identifier);
        const bool holds = styles.contains(own);
        item->setCheckable(true);
        item->setChecked(holds && styles.size() == 1);
        item->setIcon(holds && styles.size() > 1 ? mixedStateIcon() : QIcon());
        item->setProperty("mixedState", holds && styles.size() > 1);
        return true;
    }
    if (action == cutAction || action == copyAction)
        return true;
    if (action == pasteAction)
        return pasteboardHoldsCardsOrColumns() || canPaste();
    return true;
}

void NotesTextView::contextMenuEvent(QContextMenuEvent* event)
{
    if (m_parentCell)
        m_parentCell->selectForMenu();
    QMenu menu(this);
    UndoManager* undo = m_parentCell ? m_parentCell->undoManager() : nullptr;
    QAction* undoItem = menu.addAction(undo ? undo->undoMenuItemTitle() : local(QStringLiteral("Undo")));
    undoItem->setEnabled(undo && undo->canUndo());
    connect(undoItem, &QAction::triggered, this, [undo] { undo->undo(); });
    QAction* redoItem = menu.addAction(undo ? undo->redoMenuItemTitle() : local(QStringLiteral("Redo")));
    redoItem->setEnabled(undo && undo->canRedo());
    connect(redoItem, &QAction::triggered, this, [undo] { undo->redo(); });
    menu.addSeparator();
    const QList<std::pair<QString, QString>> commands {{local(QStringLiteral("Cut")), cutAction},
        {local(QStringLiteral("Copy")), copyAction}, {local(QStringLiteral("Paste")), pasteAction}};
    for (const auto& [title, action] : commands) {
        QAction* item = menu.addAction(title);
        item->setEnabled(validate(action, item));
        connect(item, &QAction::triggered, this, [this, action] { perform(action, this); });
    }
    menu.addSeparator();
    const QList<std::pair<QString, QString>> styles {{local(QStringLiteral("Title")), formatAsTitleIdentifier},
        {local(QStringLiteral("Header")), formatAsHeaderIdentifier},
        {local(QStringLiteral("Body")), formatAsBodyIdentifier}};
    const QHash<QString, QString> actionOf {{formatAsTitleIdentifier, formatAsTitleAction},
        {formatAsHeaderIdentifier, formatAsHeaderAction}, {formatAsBodyIdentifier, formatAsBodyAction}};
    for (const auto& [title, identifier] : styles) {
        QAction* item = menu.addAction(title);
        item->setObjectName(identifier);
        validate(actionOf.value(identifier), item);
        const QString action = actionOf.value(identifier);
        connect(item, &QAction::triggered, this, [this, action] { perform(action, this); });
    }
    if (m_parentCell) {
        menu.addSeparator();
        m_parentCell->addCardActions(menu);
    }
    menu.exec(event->globalPos());
}
