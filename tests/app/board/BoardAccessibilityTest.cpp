#include "BoardViewFixture.h"
#include "Pelorins/card/AnimatedCheckButton.h"
#include "Pelorins/card/CheckedButton.h"
#include "Pelorins/card/ChecklistButton.h"
#include "Pelorins/card/DateDisplayButton.h"
#include "Pelorins/card/DueDateTextField.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/column/ListItemHeaderCellView.h"
#include "Pelorins/shell/AccessibleFactory.h"
#include "PelorinsKit/model/DateHelpers.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/RichTextCodec.h"
#include "support/ContrastRatio.h"
#include "support/QStringPrinting.h"

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QTest>
#include <QToolButton>
#include <functional>

namespace {

QAccessibleInterface* accessible(QObject* object)
{
    return QAccessible::queryAccessibleInterface(object);
}

QString nameOf(QObject* object)
{
    return accessible(object)->text(QAccessible::Name);
}

// The interfaces under `root` that are showing, depth first.
void collectShowing(QAccessibleInterface* root, QList<QAccessibleInterface*>& found)
{
    for (int i = 0; i < root->childCount(); ++i) {
        QAccessibleInterface* child = root->child(i);
        if (!child || child->state().invisible)
            continue;
        found << child;
        collectShowing(child, found);
    }
}

// The names of the cards and headings under `root` that show, in the order a screen reader
// meets them.
QStringList readingOrder(QAccessibleInterface* root)
{
    QList<QAccessibleInterface*> showing;
    collectShowing(root, showing);
    QStringList names;
    for (QAccessibleInterface* object : std::as_const(showing))
        if (object->role() == QAccessible::ListItem || object->role() == QAccessible::Heading)
            names << object->text(QAccessible::Name);
    return names;
}

QAccessibleInterface* childNamed(QAccessibleInterface* parent, QAccessible::Role role, const QString& name)
{
    for (int i = 0; i < parent->childCount(); ++i) {
        QAccessibleInterface* child = parent->child(i);
        if (child && child->role() == role && child->text(QAccessible::Name) == name)
            return child;
    }
    return nullptr;
}

class BoardAccessibility : public BoardViewFixture
{
protected:
    void SetUp() override { AccessibleFactory::install(); }

    ListItemCellView* cellOf(ListItem* card) const
    {
        for (MacKanbanColumnController* column : board->columnControllers())
            if (ListItemCellView* cell = column->cellShowing(card))
                return cell;
        return nullptr;
    }
    // The card cells of every column, shown or put away for reuse.
    QList<ListItemCellView*> cells(bool shown) const
    {
        QList<ListItemCellView*> found;
        for (MacKanbanColumnController* column : board->columnControllers()) {
            QWidget* viewport = column->collectionView()->viewport();
            for (ListItemCellView* cell : viewport->findChildren<ListItemCellView*>())
                if (cell->isVisibleTo(viewport) == shown)
                    found << cell;
        }
        return found;
    }
    static QDateTime inDays(int days) { return QDateTime(QDate(2027, 1, 1).addDays(days), QTime(9, 0), Qt::UTC); }
};

} // namespace

TEST_F(BoardAccessibility, ABoardReadsAsNamedCardsHeadersAndButtons)
{
    Kanban* kanban = build.addBoard(QStringLiteral("Home"), {QStringLiteral("To Do"), QStringLiteral("Doing")});
    ListItem* hallway = addCard(kanban->column().at(0), QStringLiteral("Paint the hallway"));
    ListItem* plumber = addCard(kanban->column().at(0), QStringLiteral("Book the plumber\nCall before nine"));
    plumber->setPriority(true);
    plumber->setDueDate(inDays(14));
    DoneDate* today = build.addDoneGroup(kanban, QDateTime(now.toLocalTime().date().startOfDay()).toUTC());
    ListItem* paint = build.addDoneCard(kanban, today);
    paint->setAttributedNotes(AttributedString(QStringLiteral("Buy paint"), normalAttributes()));
    show(kanban);

    // Cards: named by their first line, their state described, their notes as text.
    QAccessibleInterface* card = accessible(cellOf(plumber));
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->role(), QAccessible::ListItem);
    EXPECT_EQ(card->text(QAccessible::Name), QStringLiteral("Book the plumber"));
    const QString due = DateHelpers::stringForDuedateCell(inDays(14), now);
    EXPECT_EQ(card->text(QAccessible::Description), QStringLiteral("flagged, due ") + due);
    ASSERT_NE(card->textInterface(), nullptr);
    EXPECT_EQ(card->textInterface()->text(0, -1), QStringLiteral("Book the plumber\nCall before nine"));
    EXPECT_TRUE(card->state().expandable);
    EXPECT_TRUE(card->state().collapsed);
    EXPECT_NE(childNamed(card, QAccessible::Button, QStringLiteral("Mark Done")), nullptr);
    // The flag is a check box, checked while the card is flagged.
    QAccessibleInterface* flag = childNamed(card, QAccessible::CheckBox, QStringLiteral("Flag"));
    ASSERT_NE(flag, nullptr);
    EXPECT_TRUE(flag->state().checked);
    EXPECT_NE(childNamed(card, QAccessible::Button, due), nullptr);
    EXPECT_NE(childNamed(card, QAccessible::Button, QStringLiteral("Expand")), nullptr);

    QAccessibleInterface* plain = accessible(cellOf(hallway));
    EXPECT_EQ(plain->text(QAccessible::Name), QStringLiteral("Paint the hallway"));
    EXPECT_EQ(plain->text(QAccessible::Description), QString());
    EXPECT_FALSE(plain->state().expandable);
    EXPECT_NE(childNamed(plain, QAccessible::Button, QStringLiteral("Set Due Date")), nullptr);

    QAccessibleInterface* done = accessible(cellOf(paint));
    EXPECT_EQ(done->text(QAccessible::Name), QStringLiteral("Buy paint"));
    EXPECT_EQ(done->text(QAccessible::Description), QStringLiteral("done"));
    EXPECT_EQ(done->textInterface()->text(0, -1), QStringLiteral("Buy paint"));
    EXPECT_NE(childNamed(done, QAccessible::Button, QStringLiteral("Unmark Done")), nullptr);

    // Headers: titles and counts as shown, and the stages' bookmarks.
    QAccessibleInterface* boardInterface = accessible(board.get());
    QList<QAccessibleInterface*> showing;
    collectShowing(boardInterface, showing);
    QStringList headings;
    for (QAccessibleInterface* object : std::as_const(showing))
        if (object->role() == QAccessible::Heading)
            headings << object->text(QAccessible::Name);
    EXPECT_TRUE(headings.contains(QStringLiteral("To Do, 2 cards")))
        << headings.join(QStringLiteral(" | ")).toStdString();
    EXPECT_TRUE(headings.contains(QStringLiteral("Doing, empty")))
        << headings.join(QStringLiteral(" | ")).toStdString();
    EXPECT_TRUE(headings.contains(QStringLiteral("Today, 1 card")))
        << headings.join(QStringLiteral(" | ")).toStdString();
    QAccessibleInterface* header = accessible(controller(0)->topHeaderView());
    EXPECT_NE(childNamed(header, QAccessible::Button, QStringLiteral("Add Bookmark")), nullptr);

    // Every button, card and heading that shows has a name.
    QStringList named;
    for (QAccessibleInterface* object : std::as_const(showing)) {
        const QAccessible::Role role = object->role();
        if (role != QAccessible::Button && role != QAccessible::CheckBox && role != QAccessible::ListItem
            && role != QAccessible::Heading)
            continue;
        EXPECT_FALSE(object->text(QAccessible::Name).isEmpty())
            << "unnamed " << object->object()->metaObject()->className() << " in "
            << object->parent()->object()->metaObject()->className();
        named << object->text(QAccessible::Name);
    }
    for (const char* button :
        {"View as Single Column", "Jump to Bookmarked Section", "Add Section", "Add Card", "Add Bookmark"})
        EXPECT_TRUE(named.contains(QLatin1String(button))) << button;
}

TEST_F(BoardAccessibility, ACellShowingAnotherCardNamesOnlyThatCard)
{
    Kanban* kanban = build.addBoard(QStringLiteral("Home"), {QStringLiteral("To Do")});
    ListItem* plumber = addCard(kanban->column().at(0), QStringLiteral("Book the plumber\nCall before nine"));
    plumber->setPriority(true);
    plumber->setDueDate(inDays(14));
    plumber->setNotesExpanded(std::nullopt);
    ListItem* hallway = addCard(kanban->column().at(0), QStringLiteral("Paint the hallway\nSecond coat"));
    hallway->setNotesExpanded(std::nullopt);
    ListItem* done = build.addDoneCard(kanban, build.addDoneGroup(kanban, inDays(-3)));
    done->setAttributedNotes(AttributedString(QStringLiteral("Buy paint"), normalAttributes()));
    show(kanban);
    ListItemCellView* cell = cellOf(plumber);
    ASSERT_NE(cell, nullptr);
    cell->noteButtonTapped();
    ASSERT_EQ(nameOf(cell->noteButton()), QStringLiteral("Collapse"));

    const struct
    {
        const char* what;
        ListItem* card;
        const char* name;
        const char* description;
        const char* dueButton;
        const char* chevron;
        const char* checkButton;
    } shows[] = {
        {"a card without due date after one with", hallway, "Paint the hallway", "", "Set Due Date", "Expand",
            "Mark Done"},
        {"a done card after an open one", done, "Buy paint", "done", "Set Due Date", "Expand", "Unmark Done"},
        {"the dated card again", plumber, "Book the plumber", "flagged, due ", nullptr, "Collapse", "Mark Done"},
    };
    for (const auto& step : shows) {
        SCOPED_TRACE(step.what);
        cell->setObjectValue(step.card);
        QAccessibleInterface* card = accessible(cell);
        EXPECT_EQ(card->text(QAccessible::Name), QLatin1String(step.name));
        const QString description = card->text(QAccessible::Description);
        EXPECT_TRUE(
            description.isEmpty() ? !*step.description : description.startsWith(QLatin1String(step.description)))
            << description.toStdString();
        EXPECT_EQ(card->textInterface()->text(0, -1), step.card->getAttributedNotes()->string());
        const QString due = step.dueButton
            ? QString::fromLatin1(step.dueButton)
            : DateHelpers::stringForDuedateCell(*step.card->dueDate(), now);
        EXPECT_EQ(nameOf(cell->showDateButton()), due);
        EXPECT_EQ(nameOf(cell->noteButton()), QLatin1String(step.chevron));
        EXPECT_EQ(nameOf(cell->checkButton()), QLatin1String(step.checkButton));
        // The done time belongs to done cards only.
        EXPECT_EQ(cell->doneDateField()->text().isEmpty(), !step.card->done());
    }
}

TEST_F(BoardAccessibility, ReusedCellsNameTheirCardsAfterScrollingZoomAndFilters)
{
    Kanban* kanban = build.addBoard(QStringLiteral("Home"), {QStringLiteral("To Do")});
    Tag* urgent = build.addTag(kanban, QStringLiteral("urgent"));
    QList<ListItem*> cards;
    for (int n = 0; n < 40; ++n) {
        ListItem* card = addCard(kanban->column().at(0), QStringLiteral("Card %1\nDetails").arg(n),
            n % 3 ? QList<Tag*> {} : QList<Tag*> {urgent});
        if (n % 2 == 0)
            card->setDueDate(inDays(n));
        card->setPriority(n % 5 == 0);
        cards << card;
    }
    show(kanban);

    const struct
    {
        const char* what;
        std::function<void()> change;
    } steps[] = {
        {"scrolled to the end",
            [&] {
                controller(0)->collectionView()->scrollToItem({0, 39}, SectionedListView::ScrollPosition::Bottom);
            }},
        {"zoomed out", [&] { board->setStoredMagnification(0.5); }},
        {"filtered by a tag", [&] { board->setTagFilter(QList<Tag*> {urgent}); }},
        {"searched",
            [&] {
                board->setTagFilter(std::nullopt);
                board->setSearchTerm(QStringLiteral("Card 3"));
                board->reloadColumns();
            }},
        {"zoomed in and scrolled back",
            [&] {
                board->setSearchTerm(std::nullopt);
                board->reloadColumns();
                board->setStoredMagnification(1.0);
                controller(0)->collectionView()->scrollToItem({0, 0}, SectionedListView::ScrollPosition::Top);
            }},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        settle();

        const QList<ListItemCellView*> shown = cells(true);
        ASSERT_FALSE(shown.isEmpty());
        for (ListItemCellView* cell : shown) {
            ListItem* card = cell->objectValue();
            ASSERT_NE(card, nullptr);
            QAccessibleInterface* interface = accessible(cell);
            EXPECT_EQ(interface->text(QAccessible::Name), card->firstLineOfNotes());
            EXPECT_EQ(interface->text(QAccessible::Description).contains(QLatin1String("due")), bool(card->dueDate()));
            EXPECT_EQ(interface->text(QAccessible::Description).contains(QLatin1String("flagged")),
                card->priority().value_or(false));
            EXPECT_EQ(interface->textInterface()->text(0, -1), card->getAttributedNotes()->string());
            EXPECT_EQ(nameOf(cell->showDateButton()),
                card->dueDate() ? DateHelpers::stringForDuedateCell(*card->dueDate(), now)
                                : QStringLiteral("Set Due Date"));
        }
        // A cell the list keeps for later says nothing of the card it showed.
        for (ListItemCellView* cell : cells(false)) {
            EXPECT_EQ(accessible(cell)->text(QAccessible::Name), QString());
            EXPECT_EQ(accessible(cell)->childCount(), 0);
            EXPECT_EQ(accessible(cell)->textInterface()->characterCount(), 0);
        }
    }
}

TEST_F(BoardAccessibility, LinkAndPictureCardsReadAsWhatTheyShow)
{
    Kanban* kanban = build.addBoard(QStringLiteral("Home"), {QStringLiteral("To Do")});
    TextAttachment link;
    link.fileType = AttributeKey::link;
    link.contents
        = RichTextCodec::encodeDictionary({{QStringLiteral("URL"), QUrl(QStringLiteral("https://example.org/tiles"))},
            {QStringLiteral("title"), QStringLiteral("Tile shop")}, {QStringLiteral("body"), QString()}});
    AttributedString notes = AttributedString::withAttachment(link);
    notes.append(AttributedString(QStringLiteral("\nOrder grout"), normalAttributes()));
    ListItem* linkCard = build.addCard(kanban->column().at(0));
    linkCard->setAttributedNotes(notes);
    TextAttachment picture;
    picture.fileWrapper = TextAttachment::FileWrapper {QStringLiteral("hallway.png"), QByteArray("png")};
    ListItem* pictureCard = build.addCard(kanban->column().at(0));
    pictureCard->setAttributedNotes(AttributedString::withAttachment(picture));
    ListItem* empty = build.addCard(kanban->column().at(0));
    show(kanban);

    QAccessibleInterface* card = accessible(cellOf(linkCard));
    EXPECT_EQ(card->text(QAccessible::Name), QStringLiteral("Tile shop, example.org"));
    EXPECT_EQ(card->textInterface()->text(0, -1), QStringLiteral("Tile shop, example.org\nOrder grout"));
    EXPECT_EQ(nameOf(cellOf(pictureCard)), QStringLiteral("hallway.png"));
    EXPECT_EQ(nameOf(cellOf(empty)), QStringLiteral("Empty Card"));
}

TEST_F(BoardAccessibility, ASelectedCardAndAButtonReachedByTabAreFramedOnLightAndDarkBoardsAtEveryZoom)
{
    Kanban* kanban = build.addBoard(QStringLiteral("Home"), {QStringLiteral("To Do")});
    ListItem* card = addCard(kanban->column().at(0), QStringLiteral("Paint the hallway"));
    show(kanban);
    QApplication::setActiveWindow(board.get());
    ListItemCellView* cell = nullptr;

    QPalette dark = board->palette();
    dark.setColor(QPalette::Window, QColor(36, 36, 38));
    dark.setColor(QPalette::Text, Qt::white);
    const struct
    {
        const char* what;
        std::function<void(bool)> mark;
        // Where the frame is looked for: across the card's left edge, or across the done box's.
        std::function<QRect()> band;
    } marks[] = {
        {"a selected card",
            [&](bool on) {
                cell->setSelected(on);
                cell->updateSelectionAppearance();
            },
            [&] { return QRect(0, cell->height() / 2, 12, 1); }},
        {"the done box reached by Tab",
            [&](bool on) {
                if (on) {
                    cell->checkButton()->setFocus(Qt::TabFocusReason);
                    board->setAttribute(Qt::WA_KeyboardFocusChange);
                } else {
                    cell->setFocus(Qt::OtherFocusReason);
                }
            },
            [&] {
                const QRect box = cell->checkButton()->geometry();
                return QRect(box.left() - 5, box.center().y(), 6, 1);
            }},
    };
    const QColor boards[] = {Qt::white, QColor(20, 20, 22), QColor(128, 128, 128), QColor(30, 120, 230)};
    for (const qreal zoom : {1.0, 0.5}) {
        board->setStoredMagnification(zoom);
        settle();
        cell = cellOf(card);
        ASSERT_NE(cell, nullptr);
        for (const auto& mark : marks) {
            for (const bool darkPalette : {false, true}) {
                cell->setPalette(darkPalette ? dark : board->palette());
                for (const QColor& background : boards) {
                    SCOPED_TRACE(std::string(mark.what) + (darkPalette ? ", dark, " : ", light, ")
                        + background.name().toStdString() + ", zoom " + std::to_string(zoom));
                    const auto shot = [&] {
                        QImage image(cell->size(), QImage::Format_RGB32);
                        image.fill(background);
                        cell->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
                        return image;
                    };
                    mark.mark(false);
                    const QImage plain = shot();
                    mark.mark(true);
                    const QImage framed = shot();
                    mark.mark(false);
                    // At least two pixels across stand out clearly from what was there.
                    int clear = 0;
                    const QRect band = mark.band();
                    for (int y = band.top(); y <= band.bottom(); ++y)
                        for (int x = std::max(0, band.left()); x <= band.right(); ++x)
                            clear += contrastRatio(framed.pixel(x, y), plain.pixel(x, y)) >= 3.0;
                    EXPECT_GE(clear, 2);
                }
            }
        }
    }
}

TEST_F(BoardAccessibility, AScreenReaderMeetsColumnsHeadersAndCardsInTheOrderTheyShow)
{
    Kanban* kanban = build.addBoard(QStringLiteral("Home"), {QStringLiteral("To Do"), QStringLiteral("Doing")});
    for (const char* title : {"One", "Two", "Three"})
        addCard(kanban->column().at(0), QLatin1String(title));
    addCard(kanban->column().at(1), QStringLiteral("Four"));
    const QDateTime today = QDateTime(now.toLocalTime().date().startOfDay()).toUTC();
    build.addDoneCard(kanban, build.addDoneGroup(kanban, today))
        ->setAttributedNotes(AttributedString(QStringLiteral("Five"), normalAttributes()));
    build.addDoneCard(kanban, build.addDoneGroup(kanban, today.addDays(-3)))
        ->setAttributedNotes(AttributedString(QStringLiteral("Six"), normalAttributes()));
    show(kanban);
    // Selecting a column lifts it over the others.
    QWidget* header = controller(0)->topHeaderView();
    ASSERT_NE(header, nullptr);
    QTest::mouseClick(header, Qt::LeftButton, {}, QPoint(4, header->height() / 2));
    settle();
    ASSERT_TRUE(controller(0)->isSelected());

    QString earlier;
    for (ListItemHeaderCellView* day : board->findChildren<ListItemHeaderCellView*>())
        if (day->isVisible() && day->title() != QLatin1String("Today") && day->rightLabel() == QLatin1String("1 card")
            && day != controller(0)->topHeaderView() && day != controller(1)->topHeaderView())
            earlier = day->title() + QStringLiteral(", 1 card");
    ASSERT_FALSE(earlier.isEmpty());
    EXPECT_EQ(readingOrder(accessible(board.get())),
        (QStringList {"To Do, 3 cards", "One", "Two", "Three", "Doing, 1 card", "Four", "Today, 1 card", "Five",
            earlier, "Six"}));

    // Rows reused for other cards are read where they now show.
    ListItem* zero = build.addCard(kanban->column().at(0));
    zero->setAttributedNotes(AttributedString(QStringLiteral("Zero"), normalAttributes()));
    QList<ListItem*> rows = kanban->column().at(0)->item();
    rows.move(rows.indexOf(zero), 0);
    kanban->column().at(0)->setItem(rows);
    board->reloadColumns();
    settle();
    const QStringList order = readingOrder(accessible(controller(0)->containerView()));
    EXPECT_EQ(order, (QStringList {"To Do, 4 cards", "Zero", "One", "Two", "Three"}));
}

TEST_F(BoardAccessibility, TheDoneBoxAndChecklistBoxesAnswerSpaceAndAScreenReadersPress)
{
    AnimatedCheckButton::setTimeScale(0.05);
    Kanban* kanban = build.addBoard(QStringLiteral("Home"), {QStringLiteral("To Do")});
    QVariantMap ticked = checkListAttributes();
    ticked.insert(AttributeKey::isChecklistChecked, true);
    QVariantMap open = checkListAttributes();
    open.insert(AttributeKey::isChecklistChecked, false);
    AttributedString notes(QStringLiteral("Groceries\n"), normalAttributes());
    notes.append(AttributedString(QStringLiteral("Bread\n"), ticked));
    notes.append(AttributedString(QStringLiteral("Apples"), open));
    ListItem* card = build.addCard(kanban->column().at(0));
    card->setAttributedNotes(notes);
    card->setNotesExpanded(true);
    show(kanban);
    QApplication::setActiveWindow(board.get());
    ListItemCellView* cell = cellOf(card);
    ASSERT_NE(cell, nullptr);
    const QList<QAbstractButton*> boxes = cell->noteTextView()->checkButtons();
    ASSERT_EQ(boxes.size(), 2);
    const auto lineTicked = [&](int at) {
        return card->getAttributedNotes()->attribute(AttributeKey::isChecklistChecked, at).toBool();
    };
    const int bread = int(QStringLiteral("Groceries\n").size());
    const int apples = bread + int(QStringLiteral("Bread\n").size());

    // Each box reads as a check box named by its line, ticked as it shows.
    QAccessibleInterface* breadBox = accessible(boxes.at(0));
    QAccessibleInterface* applesBox = accessible(boxes.at(1));
    EXPECT_EQ(breadBox->role(), QAccessible::CheckBox);
    EXPECT_EQ(breadBox->text(QAccessible::Name), QStringLiteral("Bread"));
    EXPECT_TRUE(breadBox->state().checked);
    EXPECT_EQ(applesBox->text(QAccessible::Name), QStringLiteral("Apples"));
    EXPECT_FALSE(applesBox->state().checked);

    // Space ticks the box the keyboard is on.
    boxes.at(1)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(boxes.at(1), Qt::Key_Space);
    EXPECT_TRUE(QTest::qWaitFor([&] { return lineTicked(apples); }, 2000));
    EXPECT_TRUE(accessible(cell->noteTextView()->checkButtons().at(1))->state().checked);
    // A screen reader's toggle clears one.
    QAccessibleActionInterface* actions = accessible(cell->noteTextView()->checkButtons().at(0))->actionInterface();
    ASSERT_NE(actions, nullptr);
    ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
    actions->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !lineTicked(bread); }, 2000));
    EXPECT_TRUE(lineTicked(apples));

    // Space on the done box marks the card done, as a click does.
    cell->checkButton()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(cell->checkButton(), Qt::Key_Space);
    EXPECT_TRUE(QTest::qWaitFor([&] { return card->done(); }, 3000));
    AnimatedCheckButton::setTimeScale(1.0);
}

TEST_F(BoardAccessibility, TabTypesATabInNotesAndCtrlTabMovesTheKeyboardOnOrBack)
{
    Kanban* kanban = build.addBoard(QStringLiteral("Home"), {QStringLiteral("To Do")});
    ListItem* first = addCard(kanban->column().at(0), QStringLiteral("Paint the hallway"));
    addCard(kanban->column().at(0), QStringLiteral("Book the plumber"));
    show(kanban);
    QApplication::setActiveWindow(board.get());
    ListItemCellView* cell = cellOf(first);
    ASSERT_NE(cell, nullptr);
    NotesTextView* notes = cell->noteTextView();
    const auto inNotes = [&] {
        QWidget* focus = QApplication::focusWidget();
        return focus && (focus == notes || notes->isAncestorOf(focus));
    };
    const auto edit = [&] {
        notes->setFocus(Qt::MouseFocusReason);
        QTextCursor end = notes->textCursor();
        end.movePosition(QTextCursor::End);
        notes->setTextCursor(end);
        ASSERT_TRUE(inNotes());
    };

    // Tab is typed, and the keyboard stays in the notes.
    edit();
    QTest::keyClick(notes, Qt::Key_Tab);
    EXPECT_TRUE(inNotes());
    EXPECT_EQ(notes->toPlainText(), QStringLiteral("Paint the hallway\t"));

    // Ctrl+Tab ends editing, with the text kept and no further tab, and moves on; Ctrl+Shift+Tab
    // goes the other way.
    struct Step
    {
        const char* keys;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    };
    QWidget* reached[2] = {};
    const Step steps[] = {{"Ctrl+Tab", Qt::Key_Tab, Qt::ControlModifier},
        {"Ctrl+Shift+Tab", Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier}};
    for (int at = 0; at < 2; ++at) {
        SCOPED_TRACE(steps[at].keys);
        edit();
        QTest::keyClick(notes, steps[at].key, steps[at].modifiers);
        EXPECT_FALSE(inNotes());
        reached[at] = QApplication::focusWidget();
        ASSERT_NE(reached[at], nullptr);
        EXPECT_TRUE(board->isAncestorOf(reached[at]));
        EXPECT_EQ(first->getAttributedNotes()->string(), QStringLiteral("Paint the hallway\t"));
    }
    EXPECT_NE(reached[0], reached[1]);
}
