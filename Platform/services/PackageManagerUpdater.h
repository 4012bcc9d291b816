#pragma once

#include "Platform/services/Updater.h"

class UserDefaults;

// Updates come through the system's package manager; the program never looks for them itself.
// The start-up question becomes a single notice saying so, shown on the first start the delegate
// allows and never again.
class PackageManagerUpdater : public Updater
{
public:
    static constexpr const char* noticeShownKey = "packageManagerUpdateNoticeShown";

    explicit PackageManagerUpdater(UserDefaults& defaults);

    Message checkForUpdates() override;
    std::optional<Message> permissionPrompt() override;

private:
    UserDefaults& m_defaults;
};
