#pragma once
// Launch at login on a freedesktop session: an autostart entry in ~/.config/autostart, named after the
// application's id. An entry of the name older versions wrote still counts, so launch at login
// survives the rename; the next change of the setting moves it to the new name.

#include "app/panel/LoginItem.h"

#include <filesystem>
#include <string>

namespace brivio {

class XdgAutostart final : public LoginItem {
public:
    // `configHome`: $XDG_CONFIG_HOME, else ~/.config. `command`: the program the entry runs, with
    // --autostart.
    XdgAutostart(std::filesystem::path configHome, std::string command);
    static std::filesystem::path defaultConfigHome();

    bool isEnabled() const override;
    bool setEnabled(bool enabled) override;
    const std::filesystem::path& entryPath() const { return path_; }

private:
    std::filesystem::path path_;
    std::filesystem::path legacyPath_;
    std::string command_;
};

} // namespace brivio
