#pragma once

#include "Platform/core/objectgraph/ManagedObject.h"

#include <QLatin1String>
#include <QList>
#include <QString>

// A node of the sidebar tree: the base of folders, boards and tags. Its place among its siblings
// is its position in the parent's `children`.
class DisplayItem : public ManagedObject
{
public:
    static constexpr QLatin1String childrenKey {"children"};
    // Derived keys of the tree, announced around every change of "children" (before it, in this
    // order) so that the sidebar sees balanced pairs for them as well.
    static constexpr QLatin1String childrenArrayKey {"childrenArray"};
    static constexpr QLatin1String isLeafKey {"isLeaf"};

    explicit DisplayItem(const Init& init);

    // Colour number; for a tag, the index into the tag palette.
    int colour() const;
    void setColour(int colour);
    // Name of the board background picture; empty when the board shows its colour.
    QString bgImage() const;
    void setBgImage(const QString& bgImage);
    // The export mark of the import/export sheet (`export` itself is a reserved word).
    bool isExport() const;
    void setExport(bool exportMark);
    QString uniqueIdentifier() const;
    void setUniqueIdentifier(const QString& uniqueIdentifier);

    virtual QList<DisplayItem*> children() const;
    void setChildren(const QList<DisplayItem*>& children);
    DisplayItem* parent() const;
    // Makes the item the last of the new parent's children.
    void setParent(DisplayItem* parent);

    virtual bool isItemExpandable() const;
    virtual void setup();

    void awakeFromInsert() override;
    void awakeFromFetch() override;
    void willChange(const KeyChange& change) override;
    void didChange(const KeyChange& change) override;
};
