#pragma once

#include "PelorinsKit/model/Folder.h"

// The single top node of the sidebar tree.
class Root : public Folder
{
public:
    explicit Root(const Init& init);
};
