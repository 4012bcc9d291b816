#include "Platform/core/objectgraph/ManagedObjectContext.h"

#include "Platform/core/objectgraph/PersistentStoreCoordinator.h"

ManagedObjectContext::ManagedObjectContext(std::shared_ptr<const ManagedObjectModel> model, QObject* parent)
    : QObject(parent)
    , m_model(std::move(model))
{
}

ManagedObjectContext::~ManagedObjectContext()
{
    // Undo handlers may point at our objects; they must go before the objects do.
    if (m_undoManager)
        m_undoManager->removeAllActions();
    for (const QList<ManagedObject*>& objects : std::as_const(m_objectsByEntity))
        qDeleteAll(objects);
}

void ManagedObjectContext::setUndoManager(UndoManager* undoManager)
{
    m_undoManager = undoManager;
}
