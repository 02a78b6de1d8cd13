#include "LinuxCommands.h"

#include "Arguments.h"
#include "CommandSet.h"
#include "platform/linux/Backlight.h"
#include "platform/linux/DisplayBuses.h"
#include "platform/linux/DrmConnector.h"
#include "platform/linux/Edid.h"
#include "platform/linux/SysfsFiles.h"

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

std::string describeBus(const std::optional<TiedBus>& bus, DisplayBuses& buses) {
    if (!bus)
        return "no bus tied to it — software dimming only";
    std::string how = bus->how == TiedBus::How::ddcLink ? "ddc link" : "EDID at 0x50";
    int error = buses.accessError(bus->bus);
    std::string state = error ? i2cAccessAdvice(error) : "opens for DDC/CI";
    return fmt::format("{} ({}): {}", buses.devicePath(bus->bus), how, state);
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
    text << (i2cDev ? "i2c-dev module: loaded\n"
                    : "i2c-dev module: not loaded — run 'sudo modprobe i2c-dev' (docs/linux.md loads it at "
                      "boot)\n");
    DisplayBuses buses(sysfsRoot, I2cSyscalls::system(), devDir);
    auto backlight = chooseBacklight(BacklightScanner(sysfsRoot).scan(), connectors);
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
        } else {
            auto bus = buses.busFor(c, connectors);
            entry["bus"] = describeBus(bus, buses);
            entry["busOpens"] = bus && buses.accessError(bus->bus) == 0;
            text << "  bus: " << describeBus(bus, buses) << "\n";
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
    doctor->add_option("--dev", words->devDir, "Look for the bus devices in DIR instead of /dev");
}

} // namespace brivio::cli
