#pragma once
// Software updates on Linux: the system's package manager updates the app, so there is nothing to
// check from inside it; the settings page shows why.

#include "app/panel/UpdateBridge.h"

namespace brivio {

class PackageUpdates final : public UpdateBridge {
public:
    bool automaticallyChecksForUpdates() const override { return false; }
    void setAutomaticallyChecksForUpdates(bool) override {}
    void checkForUpdates() override {}
    std::string note() const override { return "Brivio is updated through your system's package manager."; }
    bool canCheckForUpdates() const override { return false; }
};

} // namespace brivio
