#include "PelorinsKit/Root.h"

Root::Root(const Init& init)
    : Folder(init)
{
}
