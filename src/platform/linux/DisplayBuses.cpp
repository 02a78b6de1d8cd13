#include "platform/linux/DisplayBuses.h"

#include "base/InstallPaths.h"
#include "base/Log.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <fmt/format.h>

namespace brivio {

namespace {

// Twice the largest EDID an EEPROM at 0x50 usually holds: whatever the EEPROM's read pointer was left
// at, a 256-byte read without first writing an offset wraps round and holds the base block whole.
constexpr std::size_t edidProbeLength = 256;

std::optional<int> adapterNumber(const std::string& name) {
    constexpr std::string_view prefix = "i2c-";
    if (!name.starts_with(prefix) || name.size() == prefix.size() || name.size() > prefix.size() + 6)
        return std::nullopt;
    int n = 0;
    auto [end, ec] = std::from_chars(name.data() + prefix.size(), name.data() + name.size(), n);
    if (ec != std::errc{} || end != name.data() + name.size())
        return std::nullopt;
    return n;
}

bool containsBaseBlock(const std::vector<std::uint8_t>& circular, std::span<const std::uint8_t> block) {
    const std::size_t n = circular.size();
    if (n < block.size())
        return false;
    for (std::size_t start = 0; start < n; ++start) {
        bool same = true;
        for (std::size_t i = 0; i < block.size() && same; ++i)
            same = circular[(start + i) % n] == block[i];
        if (same)
            return true;
    }
    return false;
}

} // namespace

std::string i2cAccessAdvice(int error) {
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return fmt::format("the i2c-dev module is not loaded: run 'sudo modprobe i2c-dev' ({} loads it "
                           "at boot; see 'man brivioctl')",
                           installed::modulesLoadFile);
    case EACCES:
    case EPERM:
        return fmt::format("no permission: {} opens the bus to group i2c and to the local session's "
                           "user; join the group ('sudo usermod -aG i2c $USER') and log in again (see "
                           "'man brivioctl')",
                           installed::udevRule);
    case EBUSY:
        return "the bus is busy: another program holds it; close it and try again";
    default:
        return std::string("cannot open it: ") + std::strerror(error);
    }
}

DisplayBuses::DisplayBuses(std::filesystem::path sysfsRoot, I2cSyscalls syscalls,
                           std::filesystem::path devDir)
    : root_(std::move(sysfsRoot)), syscalls_(std::move(syscalls)), devDir_(std::move(devDir)) {}

std::string DisplayBuses::devicePath(int bus) const {
    return (devDir_ / ("i2c-" + std::to_string(bus))).string();
}

std::vector<int> DisplayBuses::cardAdapters(const DrmConnector& connector) const {
    // <card device>/drm/cardN/cardN-XXX-n: the card's device is three levels up.
    std::vector<int> buses;
    if (connector.path.empty())
        return buses;
    const auto device = connector.path.parent_path().parent_path().parent_path();
    std::error_code ec;
    for (const auto& child : std::filesystem::directory_iterator(device, ec))
        if (auto n = adapterNumber(child.path().filename().string()))
            buses.push_back(*n);
    std::sort(buses.begin(), buses.end());
    return buses;
}

bool DisplayBuses::edidMatches(int bus, const std::vector<std::uint8_t>& edid) {
    const int fd = syscalls_.open(devicePath(bus), O_RDONLY);
    if (fd < 0)
        return false;
    std::vector<std::uint8_t> buffer(edidProbeLength);
    bool match = false;
    if (syscalls_.ioctl(fd, i2cSlaveRequest, edidChipAddress) == 0) {
        const ssize_t got = syscalls_.read(fd, buffer.data(), buffer.size());
        if (got >= static_cast<ssize_t>(edidBlockSize)) {
            buffer.resize(static_cast<std::size_t>(got));
            match = containsBaseBlock(buffer, std::span(edid).first(edidBlockSize));
        }
    }
    syscalls_.close(fd);
    return match;
}

std::optional<TiedBus> DisplayBuses::busFor(const DrmConnector& connector,
                                            const std::vector<DrmConnector>& all) {
    // Forget monitors that went, so that one plugged in again is checked afresh.
    std::map<std::string_view, const DrmConnector*> byName;
    for (const auto& c : all)
        byName.emplace(c.name, &c);
    for (auto it = known_.begin(); it != known_.end();) {
        auto c = byName.find(it->first);
        bool stays = c != byName.end() && c->second->connected && c->second->edidBytes == it->second.edid;
        it = stays ? std::next(it) : known_.erase(it);
    }
    if (!connector.connected)
        return std::nullopt;
    if (connector.ddcLinked && connector.i2cBus)
        return TiedBus{*connector.i2cBus, TiedBus::How::ddcLink};
    if (!connector.edid || connector.edidBytes.size() < edidBlockSize)
        return std::nullopt; // nothing to recognise the monitor by
    if (auto it = known_.find(connector.name); it != known_.end())
        return it->second.bus;

    // Buses that other connectors name as theirs, and monitors that look the same as this one.
    std::set<int> taken;
    bool lookalike = false;
    for (const auto& other : all) {
        if (other.name == connector.name)
            continue;
        if (other.i2cBus)
            taken.insert(*other.i2cBus);
        if (other.connected && other.edidBytes.size() >= edidBlockSize &&
            std::equal(other.edidBytes.begin(), other.edidBytes.begin() + edidBlockSize,
                       connector.edidBytes.begin()))
            lookalike = true;
    }

    std::optional<TiedBus> found;
    // The connector's own AUX adapter first; the card's other adapters only when no other monitor
    // could answer with the same EDID.
    if (connector.i2cBus && edidMatches(*connector.i2cBus, connector.edidBytes))
        found = TiedBus{*connector.i2cBus, TiedBus::How::edidMatch};
    if (!found && !lookalike)
        for (int bus : cardAdapters(connector))
            if (!taken.count(bus) && edidMatches(bus, connector.edidBytes)) {
                found = TiedBus{bus, TiedBus::How::edidMatch};
                break;
            }
    if (found)
        logInfo(LogCategory::driver, "I2C: {} is on {} (its EDID answers at 0x50)", connector.name,
                devicePath(found->bus));
    else
        logInfo(LogCategory::driver, "I2C: no bus of {} answers with its EDID — software dimming only",
                connector.name);
    known_[connector.name] = Known{connector.edidBytes, found};
    return found;
}

int DisplayBuses::openForWriting(int bus, const std::string& connectorName) {
    const int fd = syscalls_.open(devicePath(bus), O_RDWR);
    if (fd >= 0)
        return fd;
    const int error = errno;
    if (reported_.insert({bus, error}).second)
        logError(LogCategory::driver, "I2C: cannot open {} for {} — software dimming only; {}",
                 devicePath(bus), connectorName, i2cAccessAdvice(error));
    return -1;
}

int DisplayBuses::accessError(int bus) {
    const int fd = syscalls_.open(devicePath(bus), O_RDWR);
    if (fd < 0)
        return errno ? errno : EIO;
    syscalls_.close(fd);
    return 0;
}

} // namespace brivio
