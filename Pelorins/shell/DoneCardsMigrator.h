#pragma once

class AppDelegate;

// Files the done cards of stores from before day groups into their board's groups, one group per
// day, and orders every board's groups newest day first.
class DoneCardsMigrator
{
public:
    DoneCardsMigrator() = delete;

    // Works on the delegate's store and saves through its save routine; true when every fetch
    // and save succeeded.
    static bool migrateDoneCards(AppDelegate& appDelegate);
};
