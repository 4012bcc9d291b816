#pragma once

#include "Platform/core/UndoManager.h"

#include <QAction>
#include <QObject>
#include <QPointer>

// Keeps the Edit menu's Undo and Redo items in step with an undo manager: their titles name
// the step they would take ("Undo Mark Done", or "Undo" for an unnamed one), they are enabled
// only while there is something to undo or redo, and triggering them undoes or redoes.
// The manager is the one of the window in front and changes with it; with none, both items
// read "Undo" and "Redo" and are disabled.
class UndoActionBinding : public QObject
{
    Q_OBJECT
public:
    UndoActionBinding(QAction* undoItem, QAction* redoItem, QObject* parent = nullptr);

    void setUndoManager(UndoManager* undoManager);
    UndoManager* undoManager() const { return m_undoManager; }

private:
    void update();

    QPointer<QAction> m_undoItem;
    QPointer<QAction> m_redoItem;
    QPointer<UndoManager> m_undoManager;
    QMetaObject::Connection m_changed;
};
