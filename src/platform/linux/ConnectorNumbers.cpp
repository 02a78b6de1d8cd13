#include "platform/linux/ConnectorNumbers.h"

#include <set>

namespace brivio {

ConnectorNumbers::Monitor ConnectorNumbers::monitorOf(const DrmConnector& connector) {
    if (!connector.edid)
        return {};
    return {connector.edid->vendorId, connector.edid->productId, connector.edid->serial,
            connector.edid->serialString};
}

void ConnectorNumbers::update(const std::vector<DrmConnector>& connectors) {
    std::set<std::string, std::less<>> present;
    for (const auto& connector : connectors) {
        if (!connector.connected)
            continue;
        present.insert(connector.name);
        Monitor monitor = monitorOf(connector);
        auto it = entries_.find(connector.name);
        if (it != entries_.end() && it->second.monitor == monitor)
            continue;
        entries_[connector.name] = Entry{next_++, monitor};
    }
    std::erase_if(entries_, [&](const auto& entry) { return !present.contains(entry.first); });
}

std::optional<std::uint32_t> ConnectorNumbers::numberOf(std::string_view connectorName) const {
    auto it = entries_.find(connectorName);
    if (it == entries_.end())
        return std::nullopt;
    return it->second.number;
}

std::optional<std::string> ConnectorNumbers::connectorOf(std::uint32_t number) const {
    for (const auto& [name, entry] : entries_)
        if (entry.number == number)
            return name;
    return std::nullopt;
}

} // namespace brivio
