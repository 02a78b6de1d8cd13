#include "LinuxCommands.h"

#include "Arguments.h"
#include "CommandSet.h"
#include "base/InstallPaths.h"
#include "base/RealLoop.h"
#include "drivers/DDCTransport.h"
#include "platform/linux/Backlight.h"
#include "platform/linux/DisplayBuses.h"
#include "platform/linux/DrmConnector.h"
#include "platform/linux/Edid.h"
#include "platform/linux/LinuxI2cChannel.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/SysfsFiles.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <fmt/format.h>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <unistd.h>

namespace brivio::cli {

namespace {

constexpr std::size_t maxEdidFile = 256 * edidBlockSize;

std::optional<DrmConnector> findConnector(const std::string& name, const std::filesystem::path& sysfsRoot) {
    for (auto& c : DrmConnectorScanner(sysfsRoot).scan()) {
        auto suffix = c.name.substr(c.name.find('-') + 1);
        if (c.name == name || suffix == name)
            return c;
    }
    return std::nullopt;
}

nlohmann::json orNull(const std::optional<std::string>& text) {
    return text ? nlohmann::json(*text) : nlohmann::json(nullptr);
}

// Asks the monitor on an open bus for its brightness, as a probe would, without writing anything.
std::string askMonitor(int fd, int bus, const I2cSyscalls& syscalls) {
    RealLoop loop;
    AVServiceHandle channel = std::make_shared<LinuxI2cChannel>(syscalls, fd, bus);
    std::optional<PatientRead> answer;
    auto ask = [](AVServiceHandle handle, std::optional<PatientRead>& out) -> Task<void> {
        out = co_await readVCPPatiently(linuxI2cTransfers(), std::move(handle), ddc::brightness, 1);
    };
    spawn(loop, ask(channel, answer));
    // A few seconds at most: five attempts, then the longer waits.
    loop.runUntilSettled(std::chrono::seconds(10));
    if (!answer || !answer->reading)
        return "opens, but the monitor does not answer DDC/CI — switch DDC/CI on in its menu, or connect it "
               "without an adapter or dock that drops it; software dimming only";
    std::string text =
        fmt::format("answers DDC/CI (brightness {} of {})", answer->reading->current, answer->reading->max);
    if (answer->waitScale > 1)
        text += fmt::format(", slowly: it needs {}× the usual waits", answer->waitScale);
    return text;
}

std::string describeBus(const std::optional<TiedBus>& bus, DisplayBuses& buses) {
    if (!bus)
        return "no bus tied to it — software dimming only";
    std::string how = bus->how == TiedBus::How::ddcLink ? "ddc link" : "EDID at 0x50";
    const int fd = buses.syscalls().open(buses.devicePath(bus->bus), O_RDWR);
    std::string state =
        fd < 0 ? i2cAccessAdvice(errno ? errno : EIO) : askMonitor(fd, bus->bus, buses.syscalls());
    return fmt::format("{} ({}): {}", buses.devicePath(bus->bus), how, state);
}

// Which software paths can dim the display on this desktop, and why not where none can.
std::string describeDimming(LinuxPlatform& platform, DisplayNumber display, bool builtIn) {
    auto overlay = platform.windowSystem().overlayUnavailable(display);
    auto gamma = builtIn ? std::optional<std::string>() : platform.windowServer().gammaUnavailable(display);
    if (!overlay)
        return builtIn || gamma ? "overlay" : "overlay or gamma";
    if (!builtIn && !gamma)
        return "gamma";
    return "unavailable — " + *overlay + (builtIn ? "" : "; " + *gamma);
}

std::string describeModes(LinuxPlatform& platform, DisplayNumber display) {
    auto why = platform.windowServer().modesUnavailable(display);
    return why ? "unavailable — " + *why : "available";
}

} // namespace

int printEdid(const std::string& source, const std::filesystem::path& sysfsRoot, bool json,
              std::ostream& out) {
    std::vector<std::uint8_t> bytes;
    std::error_code ec;
    if (std::filesystem::is_regular_file(source, ec)) {
        bytes = sysfs::readBytes(source, maxEdidFile);
    } else if (auto connector = findConnector(source, sysfsRoot)) {
        if (connector->edidBytes.empty())
            throw UsageError(fmt::format("{}: no monitor is connected (no EDID)", connector->name));
        bytes = connector->edidBytes;
    } else {
        throw UsageError(fmt::format("{}: no such file or connector", source));
    }
    std::string error;
    auto edid = parseEdid(bytes, &error);
    if (!edid)
        throw UsageError(fmt::format("{}: {}", source, error));
    if (json) {
        nlohmann::json j{{"pnpId", edid->pnpId},
                         {"vendorId", edid->vendorId},
                         {"productId", edid->productId},
                         {"serial", edid->serial},
                         {"name", orNull(edid->name)},
                         {"serialString", orNull(edid->serialString)},
                         {"year", edid->year},
                         {"week", edid->week},
                         {"version", edid->version},
                         {"blocks", edid->blocks},
                         {"checksumOk", edid->checksumOk}};
        out << j.dump(2) << "\n";
        return 0;
    }
    out << fmt::format("manufacturer  {} (0x{:04X})\n", edid->pnpId, edid->vendorId);
    out << fmt::format("product       0x{:04X} ({})\n", edid->productId, edid->productId);
    out << fmt::format("serial        {}\n", edid->serial);
    out << fmt::format("name          {}\n", edid->name.value_or("-"));
    out << fmt::format("serial text   {}\n", edid->serialString.value_or("-"));
    out << fmt::format("made          week {} of {}\n", edid->week, edid->year);
    out << fmt::format("version       {}\n", edid->version);
    out << fmt::format("blocks        {}\n", edid->blocks);
    if (edid->preferredMode)
        out << fmt::format("preferred     {}x{} at {:.2f} Hz{}\n", edid->preferredMode->width,
                           edid->preferredMode->height, edid->preferredMode->refreshRate,
                           edid->preferredMode->interlaced ? " interlaced" : "");
    out << (edid->checksumOk ? "checksum      ok\n" : "checksum      BAD (the fields may be wrong)\n");
    return 0;
}

int runDoctor(const std::filesystem::path& sysfsRoot, const std::filesystem::path& devDir, bool json,
              std::ostream& out) {
    auto connectors = DrmConnectorScanner(sysfsRoot).scan();
    nlohmann::json report{{"connectors", nlohmann::json::array()}};
    // Text is written as it is found; JSON at the end, as one value.
    std::ostringstream discard;
    std::ostream& text = json ? discard : out;
    auto finish = [&] {
        if (json)
            out << report.dump(2) << "\n";
        return 0;
    };
    if (connectors.empty()) {
        text << fmt::format("no display connectors under {} (no DRM driver, or not a Linux desktop)\n",
                            (sysfsRoot / "class" / "drm").string());
        return finish();
    }
    std::error_code ec;
    const bool i2cDev = std::filesystem::exists(sysfsRoot / "module" / "i2c_dev", ec) ||
                        std::filesystem::exists(sysfsRoot / "class" / "i2c-dev", ec);
    report["i2cDevLoaded"] = i2cDev;
    if (i2cDev)
        text << "i2c-dev module: loaded\n";
    else
        text << fmt::format(
            "i2c-dev module: not loaded — run 'sudo modprobe i2c-dev' ({} loads it at boot)\n",
            installed::modulesLoadFile);
    DisplayBuses buses(sysfsRoot, I2cSyscalls::system(), devDir);
    auto backlight = chooseBacklight(BacklightScanner(sysfsRoot).scan(), connectors);

    // What the desktop session offers beyond the connectors: positions, software dimming, modes.
    RealLoop loop;
    LinuxPlatformOptions options;
    options.sysfsRoot = sysfsRoot;
    options.devDir = devDir;
    options.useSystemBus = false;
    options.uevents = nullptr;
    LinuxPlatform platform(loop, nullptr, options);
    report["desktop"] = platform.wayland() ? nlohmann::json("wayland")
                        : platform.randr() ? nlohmann::json("x11")
                                           : nlohmann::json(nullptr);
    report["limits"] = platform.limits();
    text << (platform.wayland() ? "desktop: Wayland\n"
             : platform.randr() ? "desktop: X11 with RandR\n"
                                : "desktop: no Wayland compositor or X server answers\n");
    for (const auto& line : platform.limits())
        text << "  " << line << "\n";
    auto active = platform.windowServer().activeDisplays().value_or(std::vector<DisplayNumber>{});

    for (const auto& c : connectors) {
        nlohmann::json entry{{"name", c.name}, {"connected", c.connected}};
        if (!c.connected) {
            text << fmt::format("{}: nothing connected\n", c.name);
            report["connectors"].push_back(entry);
            continue;
        }
        std::string monitor = c.edid ? c.edid->name.value_or(c.edid->pnpId) : "unreadable EDID";
        entry["monitor"] = monitor;
        entry["enabled"] = c.enabled;
        entry["builtIn"] = c.builtIn;
        text << fmt::format("{}: {}{}\n", c.name, monitor, c.enabled ? "" : " (switched off)");
        std::optional<DisplayNumber> number;
        for (const auto& d : platform.displays().displays())
            if (d.connector.name == c.name &&
                std::find(active.begin(), active.end(), d.number) != active.end())
                number = d.number;
        auto session = [&] {
            entry["drawnOn"] = number.has_value();
            if (!number) {
                if (c.enabled)
                    text << "  not drawn on: the desktop shows nothing on this connector\n";
                return;
            }
            auto dimming = describeDimming(platform, *number, c.builtIn);
            entry["softwareDimming"] = dimming;
            text << "  software dimming: " << dimming << "\n";
            if (!c.builtIn) {
                auto modes = describeModes(platform, *number);
                entry["modes"] = modes;
                text << "  modes and rotation: " << modes << "\n";
            }
        };
        if (c.builtIn) {
            if (!backlight) {
                entry["backlight"] = nullptr;
                text << "  backlight: none found — software dimming only\n";
            } else {
                auto file = backlight->path / "brightness";
                bool writable = ::access(file.c_str(), W_OK) == 0;
                entry["backlight"] = {{"name", backlight->name}, {"writable", writable}};
                text << fmt::format("  backlight: {} ({})\n", backlight->name,
                                    writable ? "writable" : "set through the login session");
            }
            session();
        } else {
            auto bus = buses.busFor(c, connectors);
            // Describing the bus asks the monitor; once is enough.
            std::string described = describeBus(bus, buses);
            entry["bus"] = described;
            entry["busOpens"] = bus && buses.accessError(bus->bus) == 0;
            text << "  bus: " << described << "\n";
            session();
        }
        report["connectors"].push_back(entry);
    }
    return finish();
}

void addLinuxCommands(CLI::App& app, CommandSet& commands) {
    struct Words {
        std::string source;
        std::string devDir = "/dev";
    };
    auto words = std::make_shared<Words>();
    auto root = [](CommandContext& c) {
        return std::filesystem::path(c.options().sysfsRoot.value_or("/sys"));
    };

    auto* edid =
        commands.add(app, "edid", "Print what a monitor's EDID says", [words, root](CommandContext& c) {
            return printEdid(words->source, root(c), c.options().json, std::cout);
        });
    edid->add_option("SOURCE", words->source, "An EDID file, or a connector such as card0-HDMI-A-1")
        ->required();

    auto* doctor = commands.add(app, "doctor", "Check each connector's bus and backlight, and say what to do",
                                [words, root](CommandContext& c) {
                                    return runDoctor(root(c), words->devDir, c.options().json, std::cout);
                                });
    doctor->add_option("--dev", words->devDir, "Look for the bus devices in DIR instead of /dev")
        ->type_name("DIR");
}

} // namespace brivio::cli
