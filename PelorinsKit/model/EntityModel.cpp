#include "PelorinsKit/model/EntityModel.h"

#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/ImageAttachment.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "PelorinsKit/model/Root.h"
#include "PelorinsKit/model/Tag.h"

#include <QDir>

// The resources of a static library are linked in only when something refers to them.
static void initialiseModelResources()
{
    Q_INIT_RESOURCE(PelorinsKitResources);
}

QString EntityModel::modelDirectory()
{
    initialiseModelResources();
    return QStringLiteral(":/ReVudozu.momd");
}

std::shared_ptr<const ManagedObjectModel> EntityModel::currentModel(QString* error)
{
    return ManagedObjectModel::fromVersion(modelDirectory(), currentVersionName, error);
}

void EntityModel::registerClasses(ManagedObjectContext& context)
{
    context.registerClass<DisplayItem>(QStringLiteral("DisplayItem"));
    context.registerClass<Folder>(QStringLiteral("Folder"));
    context.registerClass<Root>(QStringLiteral("Root"));
    context.registerClass<Kanban>(QStringLiteral("Kanban"));
    context.registerClass<Tag>(QStringLiteral("Tag"));
    context.registerClass<KanbanColumn>(QStringLiteral("KanbanColumn"));
    context.registerClass<ListItem>(QStringLiteral("ListItem"));
    context.registerClass<ListItemHistory>(QStringLiteral("ListItemHistory"));
    context.registerClass<DoneDate>(QStringLiteral("DoneDate"));
    context.registerClass<ImageAttachment>(QStringLiteral("ImageAttachment"));
}

std::unique_ptr<ManagedObjectContext> EntityModel::makeContext(std::shared_ptr<const ManagedObjectModel> model)
{
    auto context = std::make_unique<ManagedObjectContext>(std::move(model));
    registerClasses(*context);
    return context;
}
