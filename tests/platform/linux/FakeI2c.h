#pragma once
// I2C buses behind a replaced system-call table: each bus answers EDID reads at 0x50 and DDC/CI reads
// at 0x37 from given bytes or from a monitor's feature table, and every open, address selection and
// transfer is recorded.

#include "base/Time.h"
#include "platform/linux/I2cSyscalls.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace brivio::testing {

struct FakeBus {
    int openError = 0;                             // errno for every open; 0 opens
    std::vector<std::uint8_t> edid;                // what reads at 0x50 return (empty: a NAK)
    std::deque<std::vector<std::uint8_t>> replies; // DDC/CI reads at 0x37, one each
    // Once the replies are used up, a monitor: Get VCP answered from these features (code to current
    // and maximum), `replyDelay` after the request (the null message before); Set VCP changes them. The
    // first `refuseReads` reads are refused. Without features every read is a NAK.
    std::map<std::uint8_t, std::pair<std::uint16_t, std::uint16_t>> features;
    Duration replyDelay{};
    int refuseReads = 0;
    int requested = -1;
    TimePoint requestedAt{};
};

struct I2cEvent {
    std::string what; // "open-ro", "open-rw", "write", "read"
    int bus = -1;
    std::uint32_t chip = 0;
    std::vector<std::uint8_t> bytes; // written bytes, or the read's length as one element
    bool operator==(const I2cEvent&) const = default;
};

void PrintTo(const I2cEvent& event, std::ostream* out);

class FakeI2c {
public:
    std::map<int, FakeBus> buses; // bus number to bus; a missing bus is no device
    std::vector<I2cEvent> events;
    std::function<TimePoint()> now = [] { return TimePoint{}; }; // for the monitors' reply delays
    int openCount = 0;
    int closeCount = 0;

    I2cSyscalls syscalls();
    // Buses opened for writing or written to.
    std::vector<int> busesWritten() const;
    // DDC/CI events of one bus ("write" or "read"), in order.
    std::vector<std::string> ddcEvents(int bus) const;

private:
    struct Open {
        int bus;
        std::uint32_t chip = 0;
    };
    std::map<int, Open> fds_;
    int nextFd_ = 10;
};

} // namespace brivio::testing
