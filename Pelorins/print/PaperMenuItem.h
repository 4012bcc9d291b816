#pragma once

#include "Pelorins/print/KDPaper.h"

#include <QMetaType>

// The data of one item of the paper menu: the paper it chooses.
struct PaperMenuItem
{
    KDPaper paper;
};

Q_DECLARE_METATYPE(PaperMenuItem)
