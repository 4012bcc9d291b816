#include "Platform/widgets/UndoActionBinding.h"

#include "Platform/core/UndoManager.h"

#include <QAction>
#include <QKeySequence>

UndoActionBinding::UndoActionBinding(QAction* undoItem, QAction* redoItem, QObject* parent)
    : QObject(parent)
    , m_undoItem(undoItem)
    , m_redoItem(redoItem)
{
    m_undoItem->setShortcuts(QKeySequence::Undo);
    m_redoItem->setShortcuts(QKeySequence::Redo);
    connect(m_undoItem, &QAction::triggered, this, [this] {
        if (m_undoManager && m_undoManager->canUndo())
            m_undoManager->undo();
    });
    connect(m_redoItem, &QAction::triggered, this, [this] {
        if (m_undoManager && m_undoManager->canRedo())
            m_undoManager->redo();
    });
    update();
}

void UndoActionBinding::setUndoManager(UndoManager* undoManager)
{
    disconnect(m_changed);
    m_undoManager = undoManager;
    if (undoManager) {
        m_changed = connect(undoManager, &UndoManager::changed, this, &UndoActionBinding::update);
        // A manager that goes away leaves the items as with no manager at all.
        connect(undoManager, &QObject::destroyed, this, &UndoActionBinding::update);
    }
    update();
}

void UndoActionBinding::update()
{
    const bool canUndo = m_undoManager && m_undoManager->canUndo();
    const bool canRedo = m_undoManager && m_undoManager->canRedo();
    if (m_undoItem) {
        m_undoItem->setText(m_undoManager ? m_undoManager->undoMenuItemTitle() : QStringLiteral("Undo"));
        m_undoItem->setEnabled(canUndo);
    }
    if (m_redoItem) {
        m_redoItem->setText(m_undoManager ? m_undoManager->redoMenuItemTitle() : QStringLiteral("Redo"));
        m_redoItem->setEnabled(canRedo);
    }
}
