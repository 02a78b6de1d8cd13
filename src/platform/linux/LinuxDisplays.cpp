#include "platform/linux/LinuxDisplays.h"

#include "platform/linux/DisplaySerial.h"

#include <algorithm>

namespace brivio {

LinuxDisplays::LinuxDisplays(DrmConnectorScanner scanner) : scanner_(std::move(scanner)) {
    refresh();
}

void LinuxDisplays::refreshForEnumeration() {
    if (!unusedScan_)
        refresh();
    unusedScan_ = false;
}

void LinuxDisplays::refresh() {
    unusedScan_ = true;
    auto connectors = scanner_.scan();
    for (const auto& c : connectors)
        units_.try_emplace(c.name, static_cast<std::uint32_t>(units_.size()));
    numbers_.update(connectors);
    registryIDs_.update(connectors);

    connectors_ = connectors;
    std::map<std::tuple<std::uint16_t, std::uint16_t, std::uint32_t>, int> serialCounts;
    for (const auto& c : connectors)
        if (c.connected && c.edid && c.edid->serial != 0)
            ++serialCounts[{c.edid->vendorId, c.edid->productId, c.edid->serial}];
    for (const auto& [serial, count] : serialCounts)
        if (count > 1)
            sharedSerials_.insert(serial);

    std::vector<LinuxDisplay> next;
    for (auto& c : connectors) {
        if (!c.connected)
            continue;
        LinuxDisplay d;
        d.number = *numbers_.numberOf(c.name);
        d.registryID = *registryIDs_.numberOf(c.name);
        d.unit = units_.at(c.name);
        if (c.edid)
            d.serial = displaySerial(
                *c.edid, sharedSerials_.count({c.edid->vendorId, c.edid->productId, c.edid->serial}) > 0);
        d.connector = std::move(c);
        next.push_back(std::move(d));
    }

    std::vector<std::pair<DisplayNumber, std::uint32_t>> changes;
    for (const auto& old : displays_) {
        auto it = std::find_if(next.begin(), next.end(), [&](auto& d) { return d.number == old.number; });
        if (it == next.end())
            changes.emplace_back(old.number, ReconfigurationFlags::remove |
                                                 (old.active() ? ReconfigurationFlags::disabled : 0));
        else if (it->active() != old.active())
            changes.emplace_back(old.number, it->active() ? ReconfigurationFlags::enabled
                                                          : ReconfigurationFlags::disabled);
    }
    for (const auto& d : next)
        if (!find(d.number))
            changes.emplace_back(d.number, ReconfigurationFlags::add |
                                               (d.active() ? ReconfigurationFlags::enabled : 0));
    displays_ = std::move(next);
    // After the state is in place, so listeners that query at once see it.
    for (auto [number, flags] : changes)
        reconfigured_.emit(number, flags);
}

const LinuxDisplay* LinuxDisplays::find(DisplayNumber number) const {
    for (const auto& d : displays_)
        if (d.number == number)
            return &d;
    return nullptr;
}

const LinuxDisplay* LinuxDisplays::findService(RegistryID id) const {
    for (const auto& d : displays_)
        if (d.registryID == id)
            return &d;
    return nullptr;
}

} // namespace brivio
