#include "app/ProgramReference.h"

#include "base/InstallPaths.h"

#include <fmt/format.h>

namespace brivio {

namespace {

std::vector<ReferenceItem> sharedEnvironment() {
    return {
        {"BRIVIO_LOG", "The level of the log on standard error: debug, info or error."},
        {"XDG_CONFIG_HOME",
         "The settings live in $XDG_CONFIG_HOME/brivio when it is an absolute path, else in "
         "~/.config/brivio."},
        {"DBUS_SESSION_BUS_ADDRESS",
         "The session bus, on which the running agent owns dev.brivio.Brivio; brivioctl's commands go "
         "through it while it runs."},
        {"HOME", "The home folder, for the defaults above."},
        {"WAYLAND_DISPLAY",
         "The Wayland compositor whose outputs give the displays' positions, and whose protocols (or GNOME's "
         "display configuration) give dimming layers, gamma, modes and rotation where it offers them; it "
         "comes before DISPLAY."},
        {"DISPLAY", "The X server whose RandR outputs give the displays' positions, gamma tables, modes and "
                    "rotation. Without it or a Wayland compositor those come from the connectors, and modes "
                    "and rotation are not available."},
        {"TZ", "The time zone of schedules and of the solar curve, when it differs from the system's."},
    };
}

std::vector<ReferenceItem> sharedFiles() {
    return {
        {"~/.config/brivio/settings.json",
         "The settings: remembered levels, presets, schedules, the location and the options of the "
         "settings page; written whole and atomically."},
        {"/sys/class/drm, /sys/class/backlight",
         "The display connectors with their EDIDs, and the laptop panel's backlight."},
        {"/dev/i2c-N",
         "The DDC/CI channel of an external monitor. Only buses tied to a display connector are opened, "
         "and only address 0x37 is written."},
        {installed::udevRule,
         "Gives the graphics cards' I2C buses to group i2c and to the user of the active local session."},
        {installed::modulesLoadFile, "Loads the i2c-dev module, which makes /dev/i2c-N, at boot."},
        {installed::sysusersFile, "Creates group i2c."},
    };
}

std::string accessParagraph() {
    return fmt::format(
        "DDC/CI needs the i2c-dev module and access to the monitors' I2C buses; no program needs root. "
        "Brivio loads the module ({}), creates group i2c ({}) and installs a udev rule ({}) that "
        "opens the buses of graphics cards, and only those, to the group and to the user of the "
        "active local session. A remote or headless session needs membership of the group: run "
        "'sudo usermod -aG i2c $USER', then log in again.",
        installed::modulesLoadFile, installed::sysusersFile, installed::udevRule);
}

} // namespace

const ProgramReference& agentReference() {
    static const ProgramReference reference{
        "brivio",
        "brightness, contrast and volume for every display",
        {
            "brivio is the desktop agent: a tray icon whose panel controls every display. It sets the "
            "brightness, contrast and volume of external monitors over DDC/CI, the laptop panel's "
            "backlight, and dims in software (overlay windows or gamma tables) where no hardware path "
            "answers. Presets, schedules, a solar curve, brightness hot keys, brightness sync, display "
            "modes and rotation with a timed revert, input switching and power off sit on top.",
            "Only one instance runs: starting brivio again opens the first one's panel. Without a tray "
            "the panel opens as a small window. On Wayland the agent cannot grab keys: bind 'brivioctl "
            "step up' and 'brivioctl step down' in the desktop's keyboard settings instead.",
            "Qt's own options (for example -platform wayland or -style fusion) are accepted as well.",
        },
        {
            {"h", "help", "", "Show this help and exit."},
            {"v", "version", "", "Show the version and exit."},
            {"", "sim", "FILE", "Run on the simulated desk in FILE."},
            {"", "config", "DIR", "Keep settings in DIR."},
            {"", "screenshot", "DIR", "Render the panel pages to PNG files in DIR and exit."},
            {"", "sysfs", "DIR", "Read the DRM and backlight tree from DIR instead of /sys."},
            {"", "autostart", "",
             "Start hidden, as at login: without a tray the panel waits until the app is "
             "launched again."},
        },
        {
            {"DDC/CI ACCESS",
             {accessParagraph(), "brivioctl doctor says for each connector whether its bus "
                                 "opens and what to do when it does not."}},
        },
        {
            {"0", "The agent quit, or another instance took the request, or help or the version was shown."},
            {"1", "The agent could not start."},
            {"2", "An option was wrong."},
        },
        [] {
            auto environment = sharedEnvironment();
            environment.push_back(
                {"XDG_STATE_HOME", "Folder of gamma.json (in brivio/), else ~/.local/state/brivio."});
            return environment;
        }(),
        [] {
            auto files = sharedFiles();
            files.push_back({"~/.config/autostart/dev.brivio.Brivio.desktop",
                             "Launch at login, written by the settings page."});
            files.push_back({"~/.local/state/brivio/gamma.json",
                             "The gamma ramps the displays had before they were dimmed, kept until they "
                             "are back, so that a restart after a crash restores them."});
            return files;
        }(),
        {"brivioctl(1)"},
    };
    return reference;
}

const ProgramReference& commandLineReference() {
    static const ProgramReference reference{
        "brivioctl",
        "control every display of this desktop from the command line",
        {
            "brivioctl drives the same controller as the desktop agent, brivio(1): it lists the "
            "displays, gets and sets brightness, contrast and volume, applies presets, steps "
            "brightness, sets up schedules and the solar curve, changes modes, rotation and inputs, "
            "and checks this machine's DDC/CI access.",
            "DISPLAY is a stable key, a number from 'brivioctl list', or all. A level is a fraction "
            "(0.5) or a percentage (50%).",
            "Without --sim, brivioctl works on this desktop: the displays come from the DRM connectors "
            "in /sys, DDC/CI goes over the buses tied to a display, and the laptop panel is set through "
            "its backlight. Dimming in software needs the running agent. With --sim FILE it runs on a "
            "simulated desk in virtual time; the desk's state is kept in the settings folder between "
            "runs.",
        },
        {},
        {
            {"DDC/CI ACCESS",
             {accessParagraph(), "brivioctl doctor says for each connector whether its bus opens and what "
                                 "to do when it does not."}},
            {"EXAMPLES",
             {"brivioctl list", "brivioctl set all brightness 40%", "brivioctl get 2 contrast",
              "brivioctl input 2 hdmi2", "brivioctl step up",
              fmt::format("brivioctl --sim {}/examples/desk.json list", installed::docDir)}},
        },
        {
            {"0", "The command did what was asked."},
            {"1", "It failed: a display did not answer, a file could not be written, or the change needs the "
                  "running agent."},
            {"2", "A mistake in what was typed: nothing was sent to a display and no setting was written."},
        },
        sharedEnvironment(),
        [] {
            auto files = sharedFiles();
            files.insert(files.begin() + 1,
                         {"~/.config/brivio/sim-SCENARIO.json",
                          "The simulated monitors' values, modes and rotation, kept between runs of "
                          "--sim (with the gamma tables in sim-SCENARIO-gamma.json)."});
            return files;
        }(),
        {"brivio(1)"},
    };
    return reference;
}

std::string helpFooter(const ProgramReference& reference) {
    std::string footer = "Exit status:";
    for (const auto& item : reference.exitStatus)
        footer += fmt::format("\n  {}  {}", item.term, item.text);
    footer +=
        fmt::format("\n\nSee 'man {}' for the files, the environment and DDC/CI access.", reference.name);
    return footer;
}

} // namespace brivio
