#include "Pelorins/board/MacKanbanColumnsViewController.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/column/ColumnCollectionView.h"
#include "Pelorins/column/ListItemHeaderCellView.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "Pelorins/shell/MainSplitViewController.h"
#include "PelorinsKit/model/Root.h"
#include "support/MainWindowFixture.h"
#include "support/QStringPrinting.h"

#include <QAccessible>
#include <QLineEdit>
#include <QSet>
#include <QToolBar>
#include <QToolButton>
#include <functional>

namespace {

// The roles of what a user presses, types into or moves to: each needs a name to be read by.
const QSet<QAccessible::Role> controlRoles {QAccessible::Button, QAccessible::CheckBox, QAccessible::RadioButton,
    QAccessible::ButtonMenu, QAccessible::ButtonDropDown, QAccessible::ComboBox, QAccessible::EditableText,
    QAccessible::Slider, QAccessible::SpinBox, QAccessible::ListItem, QAccessible::TreeItem, QAccessible::Tree,
    QAccessible::Heading, QAccessible::ColumnHeader, QAccessible::MenuItem, QAccessible::PageTab};

QString describe(QAccessibleInterface* object)
{
    QString text = QString::number(object->role(), 16) + QLatin1Char(' ');
    text += object->object() ? QLatin1String(object->object()->metaObject()->className()) : QStringLiteral("?");
    if (object->object() && !object->object()->objectName().isEmpty())
        text += QLatin1Char('#') + object->object()->objectName();
    return text;
}

// Every control under `root`, shown or not, that has no name. Cards and headers a list keeps
// for reuse are left out: they read as nothing until they show a card again.
void collectUnnamed(QAccessibleInterface* root, const QString& path, QStringList& unnamed)
{
    for (int i = 0; i < root->childCount(); ++i) {
        QAccessibleInterface* child = root->child(i);
        if (!child)
            continue;
        const QAccessible::Role role = child->role();
        if ((role == QAccessible::ListItem || role == QAccessible::Heading) && child->state().invisible)
            continue;
        const QString where = path.section(QStringLiteral(" > "), -2) + QStringLiteral(" > ") + describe(child);
        if (controlRoles.contains(role) && child->text(QAccessible::Name).trimmed().isEmpty())
            unnamed << where;
        collectUnnamed(child, where, unnamed);
    }
}

class MainWindowAccessibility : public MainWindowFixture
{
protected:
    MacKanbanColumnsViewController* board() const
    {
        return dynamic_cast<MacKanbanColumnsViewController*>(assembly->splitView()->kanbanColumnsViewController());
    }
    QList<Kanban*> examples()
    {
        QList<Kanban*> found;
        for (DisplayItem* item : manager.getRootObject(false)->children())
            if (auto* kanban = dynamic_cast<Kanban*>(item); kanban && kanban != plans && kanban != chores)
                found << kanban;
        return found;
    }
    template<typename Widget> Widget* firstShown() const
    {
        for (MacKanbanColumnController* column : board()->columnControllers())
            for (Widget* widget : column->collectionView()->viewport()->findChildren<Widget*>())
                if (widget->isVisible())
                    return widget;
        return nullptr;
    }
};

} // namespace

TEST_F(MainWindowAccessibility, EveryControlOfTheExamplesIsNamedInBothLayouts)
{
    assembly->appDelegate().importExamples(true);
    MainWindowController& window = openWindow();
    window.resize(1400, 860);
    const QList<Kanban*> boards = examples();
    ASSERT_GE(boards.size(), 2);

    for (Kanban* kanban : boards) {
        selectInSidebar(kanban);
        QApplication::processEvents();
        ASSERT_EQ(board()->kanban(), kanban);
        for (const char* layout : {"columns", "single list"}) {
            SCOPED_TRACE(kanban->title().toStdString() + ", " + layout);
            if (layout == std::string("single list"))
                choose(window, QStringLiteral("View as Single Column"));
            QStringList unnamed;
            collectUnnamed(QAccessible::queryAccessibleInterface(&window), QStringLiteral("window"), unnamed);
            EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(QLatin1Char('\n')).toStdString();
        }
    }
}

TEST_F(MainWindowAccessibility, TheControlsQtAddsAndTheHiddenOnesReadTheirTrueNames)
{
    assembly->appDelegate().importExamples(true);
    MainWindowController& window = openWindow();
    selectInSidebar(examples().first());
    QApplication::processEvents();
    auto* search = window.findChild<QLineEdit*>(QStringLiteral("searchItem"));
    ASSERT_NE(search, nullptr);

    struct Case
    {
        const char* what;
        std::function<QAccessibleInterface*()> find;
        QString name;
    };
    const auto of = [](QObject* object) { return object ? QAccessible::queryAccessibleInterface(object) : nullptr; };
    const Case cases[] = {
        {"the toolbar's overflow button",
            [&] { return of(window.toolbar()->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"))); },
            QStringLiteral("More Toolbar Items")},
        {"the search field's clear button",
            [&] {
                QAccessibleInterface* field = of(search);
                for (int i = 0; field && i < field->childCount(); ++i)
                    if (field->child(i)->text(QAccessible::Name) != QLatin1String("Search"))
                        return field->child(i);
                return static_cast<QAccessibleInterface*>(nullptr);
            },
            QStringLiteral("Clear")},
        {"the sidebar", [&] { return of(assembly->sidebar()->outlineView()); }, QStringLiteral("Folders and Boards")},
        // The outline's header is hidden, but a screen reader still meets its column.
        {"the sidebar's column",
            [&] {
                QAccessibleInterface* tree = of(assembly->sidebar()->outlineView());
                for (int i = 0; tree && i < tree->childCount(); ++i)
                    if (tree->child(i)->role() == QAccessible::ColumnHeader)
                        return tree->child(i);
                return static_cast<QAccessibleInterface*>(nullptr);
            },
            QStringLiteral("Folders and Boards")},
        {"a card's notes", [&] { return of(firstShown<ListItemCellView>()->noteTextView()); },
            QStringLiteral("Notes")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QAccessibleInterface* object = c.find();
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->text(QAccessible::Name), c.name);
    }

    // The clear button shows with text in the field; the overflow button once the toolbar is
    // too narrow for its items.
    search->setText(QStringLiteral("card"));
    auto* overflow = window.toolbar()->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"));
    window.resize(window.minimumSizeHint().width(), 600);
    window.toolbar()->resize(160, window.toolbar()->height());
    QApplication::processEvents();
    EXPECT_TRUE(overflow->isVisible());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(overflow)->text(QAccessible::Name), QStringLiteral("More Toolbar Items"));
}

TEST_F(MainWindowAccessibility, AHeaderShowsOnlyTheControlsItHas)
{
    assembly->appDelegate().importExamples(true);
    MainWindowController& window = openWindow();
    window.resize(1400, 860);
    selectInSidebar(examples().first());
    QApplication::processEvents();

    // A day's header in the done column has no bookmark; a stage's has, and its title field
    // joins it while the title is edited.
    QStringList days;
    ListItemHeaderCellView* stage = nullptr;
    for (MacKanbanColumnController* column : board()->columnControllers()) {
        // The done column pins no header of its own: its headers are its days'.
        if (!column->topHeaderView()) {
            for (auto* header : column->collectionView()->viewport()->findChildren<ListItemHeaderCellView*>()) {
                if (!header->isVisible())
                    continue;
                QAccessibleInterface* day = QAccessible::queryAccessibleInterface(header);
                days << day->text(QAccessible::Name);
                EXPECT_EQ(day->childCount(), 0) << day->text(QAccessible::Name).toStdString();
            }
        } else if (!stage) {
            stage = column->topHeaderView();
        }
    }
    EXPECT_FALSE(days.isEmpty());
    ASSERT_NE(stage, nullptr);
    QAccessibleInterface* heading = QAccessible::queryAccessibleInterface(stage);
    ASSERT_EQ(heading->childCount(), 1);
    EXPECT_EQ(heading->child(0)->text(QAccessible::Name), QStringLiteral("Add Bookmark"));
    stage->beginEditingTitle();
    QApplication::processEvents();
    ASSERT_EQ(heading->childCount(), 2);
    QStringList names {heading->child(0)->text(QAccessible::Name), heading->child(1)->text(QAccessible::Name)};
    names.sort();
    EXPECT_EQ(names, (QStringList {QStringLiteral("Add Bookmark"), QStringLiteral("Title")}));
    EXPECT_EQ(heading->indexOfChild(heading->child(1)), 1);
}
