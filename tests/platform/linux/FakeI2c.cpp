#include "platform/linux/FakeI2c.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <set>

namespace brivio::testing {

I2cSyscalls FakeI2c::syscalls() {
    I2cSyscalls s;
    s.open = [this](const std::string& path, int flags) {
        const auto slash = path.rfind("/i2c-");
        const int bus = slash == std::string::npos ? -1 : std::stoi(path.substr(slash + 5));
        const bool rw = (flags & O_ACCMODE) != O_RDONLY;
        events.push_back({rw ? "open-rw" : "open-ro", bus, 0, {}});
        auto it = buses.find(bus);
        if (it == buses.end() || it->second.openError) {
            errno = it == buses.end() ? ENOENT : it->second.openError;
            return -1;
        }
        ++openCount;
        fds_[nextFd_] = Open{bus};
        return nextFd_++;
    };
    s.ioctl = [this](int fd, unsigned long request, unsigned long argument) {
        auto it = fds_.find(fd);
        if (it == fds_.end() || request != 0x0703) {
            errno = EINVAL;
            return -1;
        }
        it->second.chip = static_cast<std::uint32_t>(argument);
        return 0;
    };
    s.write = [this](int fd, const void* buffer, std::size_t length) -> ssize_t {
        auto& o = fds_.at(fd);
        auto bytes = static_cast<const std::uint8_t*>(buffer);
        events.push_back({"write", o.bus, o.chip, {bytes, bytes + length}});
        auto& bus = buses.at(o.bus);
        if (o.chip == 0x37 && length >= 5 && bytes[1] == 0x82) {
            bus.requested = bytes[3];
            bus.requestedAt = now();
        } else if (o.chip == 0x37 && length >= 7 && bytes[1] == 0x84 && bus.features.count(bytes[3])) {
            bus.features[bytes[3]].first = static_cast<std::uint16_t>(bytes[4] << 8 | bytes[5]);
        }
        return static_cast<ssize_t>(length);
    };
    s.read = [this](int fd, void* buffer, std::size_t length) -> ssize_t {
        auto& o = fds_.at(fd);
        events.push_back({"read", o.bus, o.chip, {static_cast<std::uint8_t>(length)}});
        auto& bus = buses.at(o.bus);
        std::vector<std::uint8_t> data;
        if (o.chip == 0x50) {
            for (std::size_t i = 0; !bus.edid.empty() && i < length; ++i)
                data.push_back(bus.edid[i % bus.edid.size()]);
        } else if (o.chip == 0x37 && bus.refuseReads > 0) {
            --bus.refuseReads;
            errno = EREMOTEIO;
            return -1;
        } else if (o.chip == 0x37 && !bus.replies.empty()) {
            data = bus.replies.front();
            bus.replies.pop_front();
        } else if (o.chip == 0x37 && !bus.features.empty()) {
            data = {0x6E, 0x80, 0xBE}; // the null message: nothing ready
            auto it = bus.features.find(static_cast<std::uint8_t>(bus.requested));
            if (bus.requested >= 0 && now() - bus.requestedAt >= bus.replyDelay) {
                auto [current, max] =
                    it == bus.features.end() ? std::pair<std::uint16_t, std::uint16_t>{} : it->second;
                data = {0x6E,
                        0x88,
                        0x02,
                        std::uint8_t(it == bus.features.end() ? 1 : 0),
                        std::uint8_t(bus.requested),
                        0,
                        std::uint8_t(max >> 8),
                        std::uint8_t(max),
                        std::uint8_t(current >> 8),
                        std::uint8_t(current),
                        0};
                bus.requested = -1;
            }
            data.resize(std::max<std::size_t>(data.size(), length), 0);
        }
        if (data.empty()) {
            errno = ENXIO;
            return -1;
        }
        std::memcpy(buffer, data.data(), std::min(length, data.size()));
        return static_cast<ssize_t>(std::min(length, data.size()));
    };
    s.close = [this](int fd) {
        ++closeCount;
        fds_.erase(fd);
        return 0;
    };
    return s;
}

void PrintTo(const I2cEvent& e, std::ostream* out) {
    *out << e.what << " bus " << e.bus << " chip " << e.chip << ":";
    for (auto b : e.bytes)
        *out << ' ' << std::hex << int(b) << std::dec;
}

std::vector<std::string> FakeI2c::ddcEvents(int bus) const {
    std::vector<std::string> out;
    for (const auto& e : events)
        if (e.bus == bus && e.chip == 0x37 && (e.what == "write" || e.what == "read"))
            out.push_back(e.what);
    return out;
}

std::vector<int> FakeI2c::busesWritten() const {
    std::set<int> out;
    for (const auto& e : events)
        if (e.what == "open-rw" || e.what == "write")
            out.insert(e.bus);
    return {out.begin(), out.end()};
}

} // namespace brivio::testing
