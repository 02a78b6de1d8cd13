#pragma once
// One run of the desktop app: the backend (simulated desk or this desktop) on the Qt loop, the
// settings store, the long-lived services, the panel with its tray icon, the hint, and the delegate
// that launches and terminates them in order.

#include <QString>
#include <memory>
#include <optional>
#include <string>

namespace brivio {

struct AppOptions {
    std::optional<std::string> simFile;
    std::optional<std::string> configDir;
    // Render the panel pages to PNG files in this folder, then quit.
    std::optional<std::string> screenshotDir;
    // The DRM and backlight tree to read instead of /sys.
    std::optional<std::string> sysfsRoot;
    QString instanceName;
};

class BrivioApp {
public:
    // Throws std::runtime_error when the simulated desk cannot be loaded.
    explicit BrivioApp(const AppOptions& options);
    ~BrivioApp();

    // Runs the Qt event loop until the app quits; returns the exit status.
    int run();

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

} // namespace brivio
