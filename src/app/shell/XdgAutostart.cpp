#include "app/shell/XdgAutostart.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

namespace brivio {

namespace {

// The program as one Exec= argument: quoted when it holds a reserved character, with the quoting
// rules' own escapes, then the value escapes of the file format (a backslash is written twice).
std::string execArgument(const std::string& program) {
    const std::string reserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string out;
    for (char c : program) {
        if (c == '%')
            out += "%%";
        else
            out += c;
    }
    if (out.find_first_of(reserved) == std::string::npos)
        return out;
    std::string quoted = "\"";
    for (char c : out) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string escaped;
    for (char c : quoted) {
        if (c == '\\')
            escaped += "\\\\";
        else
            escaped += c;
    }
    return escaped;
}

// Whether an autostart entry exists and is not switched off. A desktop may switch an entry off by
// marking it hidden instead of deleting it.
bool autostartEntryEnabled(const std::filesystem::path& path) {
    std::ifstream in(path);
    if (!in)
        return false;
    std::stringstream text;
    text << in.rdbuf();
    std::string s = text.str();
    return s.find("\nHidden=true") == std::string::npos &&
           s.find("\nX-GNOME-Autostart-enabled=false") == std::string::npos;
}

} // namespace

XdgAutostart::XdgAutostart(std::filesystem::path configHome, std::string command)
    : path_(configHome / "autostart" / "dev.brivio.Brivio.desktop"),
      legacyPath_(configHome / "autostart" / "brivio.desktop"), command_(std::move(command)) {}

std::filesystem::path XdgAutostart::defaultConfigHome() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home ? home : "/tmp") / ".config";
}

bool XdgAutostart::isEnabled() const {
    // The entry of the current name decides once it exists, even when it is switched off.
    std::error_code ec;
    if (std::filesystem::exists(path_, ec))
        return autostartEntryEnabled(path_);
    return autostartEntryEnabled(legacyPath_);
}

bool XdgAutostart::setEnabled(bool enabled) {
    std::error_code ec;
    if (!enabled) {
        std::filesystem::remove(path_, ec);
        if (ec)
            return false;
        std::filesystem::remove(legacyPath_, ec);
        return !ec;
    }
    std::filesystem::create_directories(path_.parent_path(), ec);
    if (ec)
        return false;
    auto temp = path_;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        out << "[Desktop Entry]\nType=Application\nName=Brivio\nComment=Display brightness for every "
               "monitor\n"
            // The login starts the app hidden; a launch from the menu shows its panel.
            << "Exec=" << execArgument(command_) << " --autostart"
            << "\nIcon=dev.brivio.Brivio\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
        if (!out.flush())
            return false;
    }
    std::filesystem::rename(temp, path_, ec);
    if (ec)
        return false;
    // The old name would start a second copy at login.
    std::filesystem::remove(legacyPath_, ec);
    return true;
}

} // namespace brivio
