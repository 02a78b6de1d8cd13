#include "platform/linux/LinuxWindowServer.h"

namespace brivio {

LinuxWindowServer::LinuxWindowServer(LinuxDisplays& displays) : displays_(displays) {
    subscription_ = displays_.reconfigured().subscribe([this](DisplayNumber display, std::uint32_t flags) {
        // A callback may unregister itself (or others) while being called.
        auto callbacks = callbacks_;
        for (auto& [id, callback] : callbacks)
            if (callbacks_.count(id))
                callback(display, flags);
    });
}

std::optional<std::vector<DisplayNumber>> LinuxWindowServer::activeDisplays() {
    displays_.refresh();
    std::vector<DisplayNumber> numbers;
    for (const auto& d : displays_.displays())
        if (d.active() && numbers.size() < maxDisplays)
            numbers.push_back(d.number);
    return numbers;
}

std::optional<std::vector<DisplayNumber>> LinuxWindowServer::onlineDisplays() {
    displays_.refresh();
    std::vector<DisplayNumber> numbers;
    for (const auto& d : displays_.displays())
        if (numbers.size() < maxDisplays)
            numbers.push_back(d.number);
    return numbers;
}

const Edid* LinuxWindowServer::edidOf(DisplayNumber display) const {
    auto d = displays_.find(display);
    return d && d->connector.edid ? &*d->connector.edid : nullptr;
}

std::uint32_t LinuxWindowServer::vendorNumber(DisplayNumber display) {
    auto edid = edidOf(display);
    return edid ? edid->vendorId : 0;
}

std::uint32_t LinuxWindowServer::modelNumber(DisplayNumber display) {
    auto edid = edidOf(display);
    return edid ? edid->productId : 0;
}

std::uint32_t LinuxWindowServer::serialNumber(DisplayNumber display) {
    auto edid = edidOf(display);
    return edid ? edid->serial : 0;
}

std::uint32_t LinuxWindowServer::unitNumber(DisplayNumber display) {
    auto d = displays_.find(display);
    return d ? d->unit : 0;
}

bool LinuxWindowServer::isBuiltin(DisplayNumber display) {
    auto d = displays_.find(display);
    return d && d->connector.builtIn;
}

Rect LinuxWindowServer::bounds(DisplayNumber display) {
    double x = 0;
    for (const auto& d : displays_.displays()) {
        if (!d.active())
            continue;
        const auto& edid = d.connector.edid;
        bool known = edid && edid->preferredMode;
        double width = known ? edid->preferredMode->width : fallbackDisplayWidth;
        double height = known ? edid->preferredMode->height : fallbackDisplayHeight;
        if (d.number == display)
            return {x, 0, width, height};
        x += width;
    }
    return {};
}

double LinuxWindowServer::rotation(DisplayNumber) {
    return 0;
}

int LinuxWindowServer::registerReconfigurationCallback(ReconfigurationCallback callback) {
    int id = nextCallbackId_++;
    callbacks_.emplace(id, std::move(callback));
    return id;
}

void LinuxWindowServer::unregisterReconfigurationCallback(int id) {
    callbacks_.erase(id);
}

void LinuxWindowServer::restoreColorSyncSettings() {}

int LinuxWindowServer::getTransferTables(DisplayNumber, GammaTables&) {
    return resultNotImplemented;
}

int LinuxWindowServer::setTransferTables(DisplayNumber, const GammaTables&) {
    return resultNotImplemented;
}

std::optional<std::vector<PlatformMode>> LinuxWindowServer::allDisplayModes(DisplayNumber) {
    return std::nullopt;
}

std::optional<PlatformMode> LinuxWindowServer::currentDisplayMode(DisplayNumber) {
    return std::nullopt;
}

std::unique_ptr<DisplayConfiguration> LinuxWindowServer::beginConfiguration(int& result) {
    result = resultNotImplemented;
    return nullptr;
}

} // namespace brivio
