#pragma once

#include <functional>

class ManagedObjectContext;

// Files the done cards of stores from before day groups into their board's groups, one group per
// day, and orders every board's groups newest day first.
class DoneCardsMigrator
{
public:
    DoneCardsMigrator() = delete;

    // Works on `context` and saves through `saveAction`, the program's save routine, which answers
    // whether it saved; true when every fetch and save succeeded.
    static bool migrateDoneCards(ManagedObjectContext* context, const std::function<bool()>& saveAction);
};
