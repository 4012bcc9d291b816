#include "PelorinsKit/model/EntityModel.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/Root.h"
#include "PelorinsKit/model/Tag.h"
#include "support/StoreBuilder.h"

#include <gtest/gtest.h>

namespace {

struct Notice
{
    bool after;
    KeyChange change;
    bool operator==(const Notice&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Notice& notice)
{
    out << (notice.after ? "did " : "will ") << notice.change.key.toStdString() << " kind " << int(notice.change.kind)
        << " [";
    for (int index : notice.change.indexes)
        out << index << ' ';
    return out << ']';
}

class DisplayItemTest : public ::testing::Test
{
protected:
    DisplayItemTest()
        : context(EntityModel::makeContext(EntityModel::currentModel()))
        , build(*context)
    {
    }

    // What `object` announces from now on.
    void record(ManagedObject* object)
    {
        QObject::connect(context.get(), &ManagedObjectContext::objectWillChange, context.get(),
            [this, object](ManagedObject* changed, const KeyChange& change) {
                if (changed == object)
                    notices.append({false, change});
            });
        QObject::connect(context.get(), &ManagedObjectContext::objectDidChange, context.get(),
            [this, object](ManagedObject* changed, const KeyChange& change) {
                if (changed == object)
                    notices.append({true, change});
            });
    }

    // The notices a change of "children" of this kind must produce, in order.
    static QList<Notice> childrenNotices(const KeyChange& change)
    {
        const KeyChange isLeaf = KeyChange::setting("isLeaf");
        return {{false, change.withKey("childrenArray")}, {false, isLeaf}, {false, change},
            {true, change.withKey("childrenArray")}, {true, isLeaf}, {true, change}};
    }

    std::unique_ptr<ManagedObjectContext> context;
    StoreBuilder build;
    QList<Notice> notices;
};

TEST_F(DisplayItemTest, ChildrenChanges_AnnounceChildrenArrayThenIsLeafBeforeChildren)
{
    Folder* folder = build.addFolder("Folder");
    Kanban* first = build.addBoard("First", {}, folder);
    Kanban* second = build.addBoard("Second");
    record(folder);

    second->setParent(folder);
    EXPECT_EQ(notices, childrenNotices(KeyChange::insertion("children", {1})));

    notices.clear();
    folder->setChildren(QList<DisplayItem*> {second, first});
    EXPECT_EQ(notices, childrenNotices(KeyChange::setting("children")));

    notices.clear();
    context->deleteObject(second);
    EXPECT_EQ(notices, childrenNotices(KeyChange::removal("children", {0})));
}

TEST_F(DisplayItemTest, OtherKeys_PassThroughUnchanged)
{
    Folder* folder = build.addFolder("Folder");
    record(folder);

    folder->setTitle("Renamed");

    const KeyChange title = KeyChange::setting("title");
    EXPECT_EQ(notices, (QList<Notice> {{false, title}, {true, title}}));
}

TEST_F(DisplayItemTest, ItemExpandable_OnlyForItemsWithChildrenAndNeverForBoardsOrTags)
{
    Folder* empty = build.addFolder("Empty");
    Folder* withChild = build.addFolder("With child");
    build.addFolder("Child", withChild);
    Kanban* board = build.addBoard("Board");
    Tag* tag = build.addTag(board, "home");
    board->setChildren(QList<DisplayItem*> {build.addFolder("Odd child")});
    tag->setChildren(QList<DisplayItem*> {build.addFolder("Another odd child")});

    EXPECT_FALSE(empty->isItemExpandable());
    EXPECT_TRUE(withChild->isItemExpandable());
    EXPECT_TRUE(build.root()->isItemExpandable());
    EXPECT_FALSE(board->isItemExpandable());
    EXPECT_FALSE(tag->isItemExpandable());
    EXPECT_TRUE(tag->children().isEmpty());
}

TEST_F(DisplayItemTest, ChildrenHasMixedStates_SetsTheFolderMarkFromItsChildren)
{
    struct Case
    {
        QList<bool> childMarks;
        bool folderMark;
        bool mixed;
    };
    const Case cases[] = {
        {{true, true}, true, false},
        {{true, false}, false, true},
        {{false, true, true}, false, true},
        {{false, false}, false, false},
        {{}, false, false},
    };
    for (const Case& c : cases) {
        Folder* folder = build.addFolder("Folder");
        folder->setExport(!c.folderMark);
        for (bool mark : c.childMarks)
            build.addBoard("Board", {}, folder)->setExport(mark);

        EXPECT_EQ(folder->childrenHasMixedStates(), c.mixed) << c.childMarks.size();
        EXPECT_EQ(folder->isExport(), c.folderMark) << c.childMarks.size();
    }
}

}
