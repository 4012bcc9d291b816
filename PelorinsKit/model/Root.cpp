#include "PelorinsKit/model/Root.h"

Root::Root(const Init& init)
    : Folder(init)
{
}
