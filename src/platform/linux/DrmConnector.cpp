#include "platform/linux/DrmConnector.h"

#include "platform/linux/SysfsFiles.h"

#include <algorithm>
#include <charconv>
#include <tuple>

namespace brivio {

namespace {

// An EDID has at most 256 blocks; anything longer is not one.
constexpr std::size_t maxEdidBytes = 256 * edidBlockSize;

std::optional<int> parseNumber(std::string_view text) {
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// "i2c-5" gives 5.
std::optional<int> i2cBusOf(const std::string& adapterName) {
    constexpr std::string_view prefix = "i2c-";
    if (!adapterName.starts_with(prefix))
        return std::nullopt;
    return parseNumber(std::string_view(adapterName).substr(prefix.size()));
}

// The DDC adapter: the `ddc` link where the driver gives one, else the adapter the driver made inside
// the connector's folder (a DisplayPort AUX channel). The lowest number when there are several.
std::optional<int> findI2cBus(const std::filesystem::path& connector, bool& linked) {
    linked = false;
    if (auto target = sysfs::linkTarget(connector / "ddc")) {
        auto bus = i2cBusOf(target->filename().string());
        linked = bus.has_value();
        return bus;
    }
    std::optional<int> lowest;
    std::error_code ec;
    for (const auto& child : std::filesystem::directory_iterator(connector, ec)) {
        if (!child.is_directory(ec))
            continue;
        if (auto bus = i2cBusOf(child.path().filename().string()))
            if (!lowest || *bus < *lowest)
                lowest = bus;
    }
    return lowest;
}

} // namespace

std::optional<ConnectorName> parseConnectorName(std::string_view name) {
    constexpr std::string_view prefix = "card";
    if (!name.starts_with(prefix))
        return std::nullopt;
    auto firstDash = name.find('-');
    auto lastDash = name.rfind('-');
    if (firstDash == std::string_view::npos || lastDash == firstDash)
        return std::nullopt;
    auto card = parseNumber(name.substr(prefix.size(), firstDash - prefix.size()));
    auto index = parseNumber(name.substr(lastDash + 1));
    auto type = name.substr(firstDash + 1, lastDash - firstDash - 1);
    if (!card || !index || type.empty())
        return std::nullopt;
    return ConnectorName{*card, std::string(type), *index};
}

bool isBuiltInConnectorType(std::string_view type) {
    return type == "eDP" || type == "LVDS" || type == "DSI";
}

DrmConnectorScanner::DrmConnectorScanner(std::filesystem::path sysfsRoot) : root_(std::move(sysfsRoot)) {}

std::vector<DrmConnector> DrmConnectorScanner::scan() const {
    std::vector<DrmConnector> connectors;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(root_ / "class" / "drm", ec)) {
        std::string name = entry.path().filename().string();
        auto parsed = parseConnectorName(name);
        if (!parsed)
            continue;
        DrmConnector c;
        c.name = name;
        c.card = parsed->card;
        c.type = parsed->type;
        c.index = parsed->index;
        c.builtIn = isBuiltInConnectorType(c.type);
        std::error_code pathError;
        c.path = std::filesystem::canonical(entry.path(), pathError);
        if (pathError)
            continue; // a dangling class link: the connector went while we looked
        c.connected = sysfs::readLine(c.path / "status") == "connected";
        c.enabled = sysfs::readLine(c.path / "enabled") == "enabled";
        c.edidBytes = sysfs::readBytes(c.path / "edid", maxEdidBytes);
        if (!c.edidBytes.empty())
            c.edid = parseEdid(c.edidBytes);
        c.i2cBus = findI2cBus(c.path, c.ddcLinked);
        connectors.push_back(std::move(c));
    }
    std::sort(connectors.begin(), connectors.end(), [](const DrmConnector& a, const DrmConnector& b) {
        // The built-in panel first, as the desktop's main display usually is.
        return std::tuple(!a.builtIn, a.card, std::string_view(a.type), a.index) <
               std::tuple(!b.builtIn, b.card, std::string_view(b.type), b.index);
    });
    return connectors;
}

} // namespace brivio
