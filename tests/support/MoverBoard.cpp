#include "MoverBoard.h"

#include "PelorinsKit/board/CardPlacement.h"
#include "PelorinsKit/model/DateHelpers.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/notes/AttributedString.h"
#include "LocalDays.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "Platform/core/DataFolders.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"

ManagedObjectContext* MoverBoard::context()
{
    // The folder is made before the store manager, so it outlives it and is removed at exit: every
    // test runs in its own process, and a folder left behind per process fills the disk.
    static QTemporaryDir dataFolder;
    static const bool ready = [] {
        DataFolders::setBaseFolderForTesting(dataFolder.path());
        CoreDataManager::shared().setup([] {}, [](const StoreError&) {});
        return true;
    }();
    Q_UNUSED(ready);
    return CoreDataManager::shared().context();
}

MoverBoard::MoverBoard(const QStringList& stageTitles)
    : defaults(folder.filePath(QStringLiteral("defaults.conf")))
    , doneMover(&view, defaults)
{
    ManagedObjectContext* store = context();
    if (!store)
        return;
    m_builder = std::make_unique<StoreBuilder>(*store);
    kanban = m_builder->addBoard(QStringLiteral("Board"), stageTitles);
    view.setKanban(kanban);
    view.setUndoManager(&undoManager);
    for (int section = 0; section <= stageTitles.size(); ++section) {
        m_columns.emplace_back();
        makeController(section);
    }
}

QDateTime MoverBoard::day(int daysAgo)
{
    return LocalDays::start(-daysAgo);
}

KanbanColumn* MoverBoard::column(int section) const
{
    return kanban->column().at(section);
}

ListItem* MoverBoard::addCard(int section, const QString& name)
{
    ListItem* card = m_builder->addCard(column(section));
    card->setAttributedNotes(AttributedString(name));
    m_names.insert(card, name);
    return card;
}

DoneDate* MoverBoard::addGroup(int daysAgo)
{
    return m_builder->addDoneGroup(kanban, day(daysAgo));
}

ListItem* MoverBoard::addDoneCard(DoneDate* group, const QString& name, const QDateTime& doneAt)
{
    ListItem* card = m_builder->addDoneCard(kanban, group);
    // Done cards of the program's own making sit in their day group only.
    card->setColumn(nullptr);
    if (doneAt.isValid())
        card->setDoneDate(doneAt);
    card->setAttributedNotes(AttributedString(name));
    card->applyRemoveStrikeThrough();
    m_names.insert(card, name);
    return card;
}

void MoverBoard::appendStage(const QString& title)
{
    auto* stageColumn = context()->insertNewObject<KanbanColumn>(QStringLiteral("KanbanColumn"));
    stageColumn->setTitle(title);
    stageColumn->setKanban(kanban);
    const int section = int(kanban->column().size()) - 1;
    done().setSpecifiedSection(section + 1);
    auto controller = std::make_unique<FakeMoverColumn>(section, &undoManager);
    view.addController(controller.get());
    m_columns.insert(m_columns.end() - 1, std::move(controller));
}

void MoverBoard::removeDoneController()
{
    // No section is ever asked for below 0.
    done().setSpecifiedSection(-1000);
}

void MoverBoard::destroyController(int section)
{
    std::unique_ptr<FakeMoverColumn>& controller = m_columns.at(section);
    view.removeController(controller.get());
    controller.reset();
}

void MoverBoard::makeController(int section)
{
    auto controller = std::make_unique<FakeMoverColumn>(section, &undoManager);
    view.addController(controller.get());
    m_columns.at(section) = std::move(controller);
}

void MoverBoard::act(const std::function<void()>& step)
{
    undoManager.beginUndoGrouping();
    step();
    undoManager.endUndoGrouping();
}

QStringList MoverBoard::names(const QList<ListItem*>& cards) const
{
    QStringList list;
    for (const ListItem* card : cards)
        list.append(name(card));
    return list;
}

QString MoverBoard::layout() const
{
    const auto cardsText = [this](const QList<ListItem*>& cards) {
        QStringList list;
        for (const ListItem* card : cards)
            list.append(name(card) + (card->toBeDeleted() ? QStringLiteral("*") : QString()));
        return list.join(QLatin1Char(' '));
    };
    QStringList parts;
    for (const KanbanColumn* stageColumn : kanban->column())
        parts.append(stageColumn->title() + QLatin1Char('[') + cardsText(stageColumn->item()) + QLatin1Char(']'));
    QStringList groups;
    for (const DoneDate* group : kanban->doneDates()) {
        const int daysAgo = DateHelpers::differenceInDaysWithDate(group->doneDate(), CardPlacement::today());
        groups.append(QStringLiteral("d%1[").arg(daysAgo) + cardsText(group->items()) + QLatin1Char(']'));
    }
    return parts.join(QLatin1Char(' ')) + QStringLiteral(" | ") + groups.join(QLatin1Char(' '));
}
