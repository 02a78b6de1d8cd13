#pragma once
// A monitor's DDC/CI side at the byte level: it checks and decodes the requests written to it, keeps
// its VCP feature values, prepares Get VCP replies and hands them to the next read.

#include "base/MainLoop.h"
#include "platform/sim/Scenario.h"

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace brivio {

namespace SimResult {
constexpr int busError = static_cast<int>(0xE00002BC);
constexpr int noDevice = static_cast<int>(0xE00002C0);
} // namespace SimResult

class DDCMonitor {
public:
    static constexpr std::uint8_t chipAddress = 0x37;
    static constexpr std::uint8_t hostAddress = 0x51;
    static constexpr std::size_t replySize = 11;

    // Without a configuration the monitor never answers: reads succeed with zeros.
    DDCMonitor(const MainLoop& loop, std::optional<ScenarioDDC> config);

    int write(std::uint32_t chip, std::uint32_t dataAddress, const std::uint8_t* bytes, std::uint32_t length);
    int read(std::uint32_t chip, std::uint32_t offset, std::uint8_t* buffer, std::uint32_t length);

    bool answers() const { return config_.has_value() && answering_; }
    // A monitor that stops answering behaves as one without DDC/CI until it answers again.
    void setAnswering(bool answering) { answering_ = answering; }
    // The next `count` Set VCP requests fail at the bus and change nothing.
    void refuseSetRequests(int count) { refusedSets_ += count; }
    std::optional<std::uint16_t> value(std::uint8_t code) const;
    std::optional<VcpFeature> feature(std::uint8_t code) const;
    // The user changed a setting with the monitor's own buttons.
    void setValue(std::uint8_t code, std::uint16_t value);

    // Requests the monitor acted on, and Set VCP requests it dropped for coming too fast.
    int setRequestsApplied() const { return setsApplied_; }
    int setRequestsDropped() const { return setsDropped_; }

    static std::vector<std::uint8_t> getVcpReply(std::uint8_t code, std::optional<VcpFeature> feature);

private:
    void handle(const std::uint8_t* payload, std::size_t length);

    const MainLoop& loop_;
    std::optional<ScenarioDDC> config_;
    std::optional<std::vector<std::uint8_t>> reply_;
    TimePoint replyRequestedAt_{};
    std::optional<TimePoint> lastSetAt_;
    int readCalls_ = 0;
    bool answering_ = true;
    int refusedSets_ = 0;
    int setsApplied_ = 0;
    int setsDropped_ = 0;
};

} // namespace brivio
