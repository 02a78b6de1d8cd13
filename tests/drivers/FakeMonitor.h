#pragma once
// A DDC/CI monitor behind fake AV-service entry points: it records every transfer with its virtual time
// and answers reads from a script or, once the script is used up, from its feature table.

#include "base/MainLoop.h"
#include "platform/AVService.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <vector>

namespace brivio::testing {

struct Transfer {
    TimePoint at;
    bool read = false;
    std::uint32_t chip = 0;
    std::uint32_t address = 0;
    std::vector<std::uint8_t> bytes;
};

struct FeatureValue {
    std::uint16_t current = 0;
    std::uint16_t max = 0;
};

class FakeMonitor : public AVServiceChannel {
public:
    explicit FakeMonitor(MainLoop& loop) : loop_(loop) {}

    std::map<std::uint8_t, FeatureValue> features;
    std::deque<std::vector<std::uint8_t>> script; // raw replies, used first
    int readResult = 0;
    int setResult = 0; // returned by Set VCP writes
    std::vector<Transfer> transfers;

    std::vector<Transfer> writes() const;
    std::vector<Transfer> reads() const;

    int write(std::uint32_t chip, std::uint32_t address, const std::uint8_t* bytes, std::uint32_t length);
    int read(std::uint32_t chip, std::uint32_t offset, std::uint8_t* buffer, std::uint32_t length);

private:
    MainLoop& loop_;
    std::uint8_t requested_ = 0;
};

// Entry points that reach the FakeMonitor behind a handle; `create` maps registry IDs to monitors.
struct FakeAVService {
    std::map<std::uint64_t, std::shared_ptr<FakeMonitor>> monitors;
    int created = 0;
    AVServiceSymbols symbols();
};

} // namespace brivio::testing
