#include "drivers/FakeMonitor.h"

namespace brivio::testing {

std::vector<Transfer> FakeMonitor::writes() const {
    std::vector<Transfer> out;
    for (auto& t : transfers)
        if (!t.read)
            out.push_back(t);
    return out;
}

std::vector<Transfer> FakeMonitor::reads() const {
    std::vector<Transfer> out;
    for (auto& t : transfers)
        if (t.read)
            out.push_back(t);
    return out;
}

int FakeMonitor::write(std::uint32_t chip, std::uint32_t address, const std::uint8_t* bytes,
                       std::uint32_t length) {
    transfers.push_back({loop_.now(), false, chip, address, {bytes, bytes + length}});
    if (length == 6 && setResult != 0)
        return setResult;
    if (length == 4 && bytes[1] == 0x01)
        requested_ = bytes[2];
    if (length == 6 && bytes[1] == 0x03 && features.count(bytes[2]))
        features[bytes[2]].current = static_cast<std::uint16_t>(bytes[3] << 8 | bytes[4]);
    return 0;
}

int FakeMonitor::read(std::uint32_t chip, std::uint32_t offset, std::uint8_t* buffer, std::uint32_t length) {
    transfers.push_back({loop_.now(), true, chip, offset, {}});
    if (readResult != 0)
        return readResult;
    std::vector<std::uint8_t> reply(length, 0);
    if (!script.empty()) {
        reply = script.front();
        script.pop_front();
    } else if (auto it = features.find(requested_); it != features.end()) {
        auto [current, max] = it->second;
        reply = {0x6E,
                 0x88,
                 0x02,
                 0x00,
                 requested_,
                 0x00,
                 static_cast<std::uint8_t>(max >> 8),
                 static_cast<std::uint8_t>(max),
                 static_cast<std::uint8_t>(current >> 8),
                 static_cast<std::uint8_t>(current),
                 0x00};
    }
    reply.resize(length, 0);
    std::copy(reply.begin(), reply.end(), buffer);
    return 0;
}

AVServiceSymbols FakeAVService::symbols() {
    AVServiceSymbols s;
    s.createWithService = [this](const RegistryService& service) -> AVServiceHandle {
        auto it = monitors.find(service.registryID);
        if (it == monitors.end())
            return nullptr;
        ++created;
        return it->second;
    };
    s.writeI2C = [](const AVServiceHandle& h, std::uint32_t chip, std::uint32_t address,
                    const std::uint8_t* b,
                    std::uint32_t n) { return static_cast<FakeMonitor&>(*h).write(chip, address, b, n); };
    s.readI2C = [](const AVServiceHandle& h, std::uint32_t chip, std::uint32_t offset, std::uint8_t* b,
                   std::uint32_t n) { return static_cast<FakeMonitor&>(*h).read(chip, offset, b, n); };
    return s;
}

} // namespace brivio::testing
