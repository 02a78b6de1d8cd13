#pragma once
// The AV-service I2C channel of a monitor over /dev/i2c-N: the registry service names the connector,
// the connector's tied bus is opened, and transfers go to the DDC/CI address only.

#include "platform/AVService.h"
#include "platform/linux/DisplayBuses.h"
#include "platform/linux/LinuxDisplays.h"

namespace brivio {

inline constexpr std::uint8_t ddcChipAddress = 0x37;

// An open bus device; closed when the last handle goes.
class LinuxI2cChannel final : public AVServiceChannel {
public:
    LinuxI2cChannel(const I2cSyscalls& syscalls, int fd, int bus) : syscalls_(syscalls), fd_(fd), bus_(bus) {}
    ~LinuxI2cChannel() override;
    LinuxI2cChannel(const LinuxI2cChannel&) = delete;
    LinuxI2cChannel& operator=(const LinuxI2cChannel&) = delete;

    int bus() const { return bus_; }
    // Both 0 on success, else an errno value. Only the DDC/CI address is reached: a monitor's EDID
    // EEPROM at 0x50 sits on the same bus and must never be written.
    int write(std::uint32_t chip, std::uint32_t dataAddress, const std::uint8_t* bytes, std::uint32_t length);
    int read(std::uint32_t chip, std::uint32_t offset, std::uint8_t* buffer, std::uint32_t length);

private:
    int select(std::uint32_t chip);

    I2cSyscalls syscalls_; // a copy: a channel may outlive the table it came from
    int fd_;
    int bus_;
    bool selected_ = false;
};

// The transfer entry points (write, read, which refused reads to try again) over channels made here;
// no way to create one.
AVServiceSymbols linuxI2cTransfers();

// The three AV-service entry points over the Linux I2C devices. `displays` and `buses` must outlive
// the table and every channel it creates.
AVServiceSymbols linuxAVServiceSymbols(LinuxDisplays& displays, DisplayBuses& buses);

} // namespace brivio
