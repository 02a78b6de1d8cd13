#pragma once
// Numbers for connected monitors that stay the same while a monitor stays connected. A connector that
// comes back after being disconnected, or that shows another monitor, gets a new number, so a number
// never silently moves from one monitor to another.

#include "platform/linux/DrmConnector.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace brivio {

class ConnectorNumbers {
public:
    explicit ConnectorNumbers(std::uint32_t first = 1) : next_(first) {}

    // Forgets the connectors that are no longer connected and numbers the newly connected ones.
    void update(const std::vector<DrmConnector>& connectors);

    std::optional<std::uint32_t> numberOf(std::string_view connectorName) const;
    std::optional<std::string> connectorOf(std::uint32_t number) const;

private:
    // What tells one monitor from another on the same connector.
    struct Monitor {
        std::uint16_t vendor = 0;
        std::uint16_t product = 0;
        std::uint32_t serial = 0;
        std::optional<std::string> serialString;
        bool operator==(const Monitor&) const = default;
    };
    struct Entry {
        std::uint32_t number = 0;
        Monitor monitor;
    };
    static Monitor monitorOf(const DrmConnector& connector);

    std::map<std::string, Entry, std::less<>> entries_;
    std::uint32_t next_;
};

} // namespace brivio
