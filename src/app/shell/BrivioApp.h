#pragma once
// One run of the desktop app: the backend (simulated desk or this desktop) on the Qt loop, the
// settings store, the long-lived services, the panel with its tray icon, the hint, and the delegate
// that launches and terminates them in order.

#include <memory>
#include <optional>
#include <string>

namespace brivio {

struct AppOptions {
    std::optional<std::string> simFile;
    std::optional<std::string> configDir;
    // Render the panel pages to PNG files in this folder, then quit.
    std::optional<std::string> screenshotDir;
    // Started by the login: without a tray the panel stays hidden until another launch asks for it.
    bool autostarted = false;
    // The name this instance owns on the session bus (one agent per name); tests give their own.
    std::string busName;
    // The session bus; absent: the user's own.
    std::optional<std::string> busAddress;
    // The DRM and backlight tree to read instead of /sys.
    std::optional<std::string> sysfsRoot;
};

class BrivioApp {
public:
    // Throws std::runtime_error when the simulated desk cannot be loaded.
    explicit BrivioApp(const AppOptions& options);
    ~BrivioApp();

    // Runs the Qt event loop until the app quits; returns the exit status.
    int run();
    // Opens the panel: next to the tray icon, or as a window without a tray. Another launch and the
    // bus's ShowPanel come here.
    void showPanel();

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

} // namespace brivio
