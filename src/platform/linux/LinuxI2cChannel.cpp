#include "platform/linux/LinuxI2cChannel.h"

#include <cerrno>
#include <vector>

namespace brivio {

namespace {

// Larger requests than any DDC/CI message are refused rather than cut short.
constexpr std::uint32_t maxTransfer = 64;

int failure() {
    return errno ? errno : EIO;
}

} // namespace

LinuxI2cChannel::~LinuxI2cChannel() {
    syscalls_.close(fd_);
}

int LinuxI2cChannel::select(std::uint32_t chip) {
    if (chip != ddcChipAddress)
        return EINVAL;
    if (selected_)
        return 0;
    errno = 0;
    if (syscalls_.ioctl(fd_, i2cSlaveRequest, chip) != 0)
        return failure();
    selected_ = true;
    return 0;
}

int LinuxI2cChannel::write(std::uint32_t chip, std::uint32_t dataAddress, const std::uint8_t* bytes,
                           std::uint32_t length) {
    if (dataAddress > 0xFF || length > maxTransfer || (length > 0 && !bytes))
        return EINVAL;
    if (int r = select(chip))
        return r;
    // On the wire the data address is the first byte after the chip address.
    std::vector<std::uint8_t> message;
    message.reserve(length + 1);
    message.push_back(static_cast<std::uint8_t>(dataAddress));
    message.insert(message.end(), bytes, bytes + length);
    errno = 0;
    const ssize_t sent = syscalls_.write(fd_, message.data(), message.size());
    if (sent < 0)
        return failure();
    return static_cast<std::size_t>(sent) == message.size() ? 0 : EIO;
}

int LinuxI2cChannel::read(std::uint32_t chip, std::uint32_t offset, std::uint8_t* buffer,
                          std::uint32_t length) {
    // A DDC/CI reply is read from where the monitor puts it; an offset would need a write first.
    if (offset != 0 || length > maxTransfer || !buffer)
        return EINVAL;
    if (int r = select(chip))
        return r;
    errno = 0;
    const ssize_t got = syscalls_.read(fd_, buffer, length);
    if (got < 0)
        return failure();
    return static_cast<std::uint32_t>(got) == length ? 0 : EIO;
}

AVServiceSymbols linuxI2cTransfers() {
    AVServiceSymbols symbols;
    symbols.writeI2C = [](const AVServiceHandle& handle, std::uint32_t chip, std::uint32_t dataAddress,
                          const std::uint8_t* bytes, std::uint32_t length) {
        auto channel = dynamic_cast<LinuxI2cChannel*>(handle.get());
        return channel ? channel->write(chip, dataAddress, bytes, length) : EBADF;
    };
    symbols.readI2C = [](const AVServiceHandle& handle, std::uint32_t chip, std::uint32_t offset,
                         std::uint8_t* buffer, std::uint32_t length) {
        auto channel = dynamic_cast<LinuxI2cChannel*>(handle.get());
        return channel ? channel->read(chip, offset, buffer, length) : EBADF;
    };
    // A monitor busy with something else refuses a read for a moment (no acknowledge, or a transfer cut
    // short): worth another attempt, unlike a device that is gone or a request it cannot take.
    symbols.readRefused = [](int result) {
        return result == EREMOTEIO || result == ENXIO || result == EIO || result == EAGAIN ||
               result == ETIMEDOUT;
    };
    return symbols;
}

AVServiceSymbols linuxAVServiceSymbols(LinuxDisplays& displays, DisplayBuses& buses) {
    AVServiceSymbols symbols = linuxI2cTransfers();
    symbols.createWithService = [&displays, &buses](const RegistryService& service) -> AVServiceHandle {
        const LinuxDisplay* display = displays.findService(service.registryID);
        if (!display)
            return nullptr;
        auto tied = buses.busFor(display->connector, displays.connectors());
        if (!tied)
            return nullptr;
        const int fd = buses.openForWriting(tied->bus, display->connector.name);
        if (fd < 0)
            return nullptr;
        return std::make_shared<LinuxI2cChannel>(buses.syscalls(), fd, tied->bus);
    };
    return symbols;
}

} // namespace brivio
