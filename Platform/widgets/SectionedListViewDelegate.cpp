#include "Platform/widgets/SectionedListViewDelegate.h"

SectionedListViewDelegate::~SectionedListViewDelegate() = default;
