#pragma once
// Which I2C bus, if any, belongs to a connected monitor. Only such a bus is ever opened for writing:
// the connector's `ddc` link, or, where the driver gives none, a bus of the same graphics card whose
// EDID at 0x50 is the monitor's own. The EDID check only reads: nothing is written to a bus that is
// not yet known to be a display's.

#include "platform/linux/DrmConnector.h"
#include "platform/linux/I2cSyscalls.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace brivio {

inline constexpr unsigned long i2cSlaveRequest = 0x0703; // I2C_SLAVE of linux/i2c-dev.h
inline constexpr std::uint8_t edidChipAddress = 0x50;

struct TiedBus {
    enum class How { ddcLink, edidMatch };
    int bus = 0;
    How how = How::ddcLink;
    bool operator==(const TiedBus&) const = default;
};

class DisplayBuses {
public:
    DisplayBuses(std::filesystem::path sysfsRoot, I2cSyscalls syscalls,
                 std::filesystem::path devDir = "/dev");

    // The bus tied to `connector` (connected, with an EDID); `all` is every connector of the same scan,
    // so that buses of other connectors are never taken. Remembered while the monitor stays.
    std::optional<TiedBus> busFor(const DrmConnector& connector, const std::vector<DrmConnector>& all);

    std::string devicePath(int bus) const;
    const I2cSyscalls& syscalls() const { return syscalls_; }

    // Opens the tied bus for reading and writing; -1 after logging, once per bus and cause, what the
    // user can do about it.
    int openForWriting(int bus, const std::string& connectorName);
    // 0 when the device opens for reading and writing, else the error (the device is closed again).
    int accessError(int bus);

private:
    // The adapters the connector's graphics card made (folders i2c-N beside its drm folder).
    std::vector<int> cardAdapters(const DrmConnector& connector) const;
    bool edidMatches(int bus, const std::vector<std::uint8_t>& edid);

    std::filesystem::path root_;
    I2cSyscalls syscalls_;
    std::filesystem::path devDir_;
    struct Known {
        std::vector<std::uint8_t> edid;
        std::optional<TiedBus> bus;
    };
    std::map<std::string, Known, std::less<>> known_;
    std::set<std::pair<int, int>> reported_;
};

// What the user can do when a bus device cannot be opened (`error` is an errno value).
std::string i2cAccessAdvice(int error);

} // namespace brivio
