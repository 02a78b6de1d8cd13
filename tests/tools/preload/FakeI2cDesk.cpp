// A desk of DDC/CI monitors behind /dev/i2c-N for whole brivioctl processes: loaded with LD_PRELOAD,
// it answers the opens, address selections, reads and writes of the buses named in the JSON file that
// $BRIVIO_FAKE_I2C_DESK points at, and logs every bus transaction, one line each. Everything else goes
// to the C library untouched.
//
// {"dev": "/dev", "log": "FILE", "state": "FILE",
//  "buses": {"5": {"edid": "00FFFF...", "replyDelayMs": 40, "refuseReads": 0, "answers": true,
//                  "features": {"0x10": [50, 100], "0x60": [15, 0]}}}}
//
// A monitor needs `replyDelayMs` after a request before its reply is ready; read earlier, it gives the
// null message. The first `refuseReads` DDC/CI reads are refused (EREMOTEIO). Set VCP changes the
// feature, and with "state" the values carry over to the next process.

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr unsigned long slaveRequest = 0x0703;
constexpr int maxFd = 4096;

struct Monitor {
    std::vector<std::uint8_t> edid;
    int replyDelayMs = 40;
    int refuseReads = 0;
    bool answers = true;
    std::map<int, std::pair<int, int>> features; // code → (current, max)
    int pendingCode = -1;
    std::chrono::steady_clock::time_point requestAt;
};

struct Open {
    int bus = -1;
    unsigned chip = 0;
};

struct Desk {
    std::string dev = "/dev";
    std::string state;
    FILE* log = nullptr;
    std::map<int, Monitor> buses;
    std::map<int, Open> fds;
};

std::mutex mutex;
Desk* desk = nullptr;
std::array<std::atomic<bool>, maxFd> ours{};

template <typename F> F next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

int parseCode(const std::string& text) {
    return static_cast<int>(std::strtol(text.c_str(), nullptr, 0));
}

std::vector<std::uint8_t> fromHex(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

void loadState(Desk& d) {
    std::ifstream in(d.state);
    if (!in)
        return;
    auto j = nlohmann::json::parse(in, nullptr, false);
    if (!j.is_object())
        return;
    for (auto& [bus, features] : j.items())
        for (auto& [code, value] : features.items())
            d.buses[std::stoi(bus)].features[parseCode(code)].first = value.get<int>();
}

void saveState(const Desk& d) {
    if (d.state.empty())
        return;
    nlohmann::json j = nlohmann::json::object();
    for (auto& [bus, monitor] : d.buses)
        for (auto& [code, value] : monitor.features)
            j[std::to_string(bus)][std::to_string(code)] = value.first;
    std::ofstream(d.state) << j.dump();
}

__attribute__((constructor)) void loadDesk() {
    const char* file = std::getenv("BRIVIO_FAKE_I2C_DESK");
    if (!file)
        return;
    std::ifstream in(file);
    auto j = nlohmann::json::parse(in, nullptr, false);
    if (!j.is_object())
        return;
    auto* d = new Desk;
    d->dev = j.value("dev", std::string("/dev"));
    d->state = j.value("state", std::string());
    if (j.contains("log"))
        d->log = std::fopen(j["log"].get<std::string>().c_str(), "a");
    const nlohmann::json buses = j.value("buses", nlohmann::json::object());
    for (auto& [bus, m] : buses.items()) {
        Monitor monitor;
        monitor.edid = fromHex(m.value("edid", std::string()));
        monitor.replyDelayMs = m.value("replyDelayMs", 40);
        monitor.refuseReads = m.value("refuseReads", 0);
        monitor.answers = m.value("answers", true);
        const nlohmann::json features = m.value("features", nlohmann::json::object());
        for (auto& [code, pair] : features.items())
            monitor.features[parseCode(code)] = {pair.at(0).get<int>(), pair.at(1).get<int>()};
        d->buses[std::stoi(bus)] = monitor;
    }
    loadState(*d);
    desk = d;
}

void logLine(const char* what, const Open& o, const std::uint8_t* bytes, std::size_t length) {
    if (!desk->log)
        return;
    std::fprintf(desk->log, "%d %s %d %02x", static_cast<int>(getpid()), what, o.bus, o.chip);
    for (std::size_t i = 0; i < length; ++i)
        std::fprintf(desk->log, " %02x", bytes[i]);
    std::fprintf(desk->log, "\n");
    std::fflush(desk->log);
}

// The bus number of an emulated device path, or -1.
int busOf(const char* path) {
    if (!desk || !path)
        return -1;
    std::string prefix = desk->dev + "/i2c-";
    if (std::strncmp(path, prefix.c_str(), prefix.size()) != 0)
        return -1;
    char* end = nullptr;
    long bus = std::strtol(path + prefix.size(), &end, 10);
    if (*end != '\0' || !desk->buses.count(static_cast<int>(bus)))
        return -1;
    return static_cast<int>(bus);
}

int openBus(int bus) {
    static auto realOpen = next<int (*)(const char*, int, ...)>("open");
    int fd = realOpen("/dev/null", O_RDWR | O_CLOEXEC);
    if (fd < 0 || fd >= maxFd)
        return fd;
    std::lock_guard lock(mutex);
    desk->fds[fd] = Open{bus, 0};
    ours[fd] = true;
    return fd;
}

bool isOurs(int fd) {
    return fd >= 0 && fd < maxFd && ours[fd].load();
}

std::uint8_t checksum(std::uint8_t seed, const std::uint8_t* bytes, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        seed ^= bytes[i];
    return seed;
}

ssize_t busWrite(int fd, const std::uint8_t* bytes, std::size_t length) {
    std::lock_guard lock(mutex);
    Open& o = desk->fds[fd];
    logLine("write", o, bytes, length);
    Monitor& m = desk->buses[o.bus];
    if (o.chip != 0x37)
        return static_cast<ssize_t>(length);
    // 51 82 01 code chk: Get VCP; 51 84 03 code high low chk: Set VCP.
    if (length >= 5 && bytes[1] == 0x82 && bytes[2] == 0x01) {
        m.pendingCode = bytes[3];
        m.requestAt = std::chrono::steady_clock::now();
    } else if (length >= 7 && bytes[1] == 0x84 && bytes[2] == 0x03) {
        auto it = m.features.find(bytes[3]);
        if (it != m.features.end()) {
            it->second.first = bytes[4] << 8 | bytes[5];
            saveState(*desk);
        }
    }
    return static_cast<ssize_t>(length);
}

ssize_t busRead(int fd, std::uint8_t* buffer, std::size_t length) {
    std::lock_guard lock(mutex);
    Open& o = desk->fds[fd];
    logLine("read", o, nullptr, 0);
    Monitor& m = desk->buses[o.bus];
    std::vector<std::uint8_t> data;
    if (o.chip == 0x50) {
        if (m.edid.empty()) {
            errno = ENXIO;
            return -1;
        }
        for (std::size_t i = 0; i < length; ++i)
            data.push_back(m.edid[i % m.edid.size()]);
    } else if (m.refuseReads > 0) {
        --m.refuseReads;
        errno = EREMOTEIO;
        return -1;
    } else {
        auto waited = std::chrono::steady_clock::now() - m.requestAt;
        bool ready = m.answers && m.pendingCode >= 0 && waited >= std::chrono::milliseconds(m.replyDelayMs);
        if (!ready) {
            data = {0x6E, 0x80, 0xBE}; // the null message
        } else {
            auto code = static_cast<std::uint8_t>(m.pendingCode);
            auto it = m.features.find(code);
            int current = it == m.features.end() ? 0 : it->second.first;
            int max = it == m.features.end() ? 0 : it->second.second;
            data = {0x6E,
                    0x88,
                    0x02,
                    static_cast<std::uint8_t>(it == m.features.end() ? 0x01 : 0x00),
                    code,
                    0x00,
                    static_cast<std::uint8_t>(max >> 8),
                    static_cast<std::uint8_t>(max & 0xFF),
                    static_cast<std::uint8_t>(current >> 8),
                    static_cast<std::uint8_t>(current & 0xFF)};
            data.push_back(checksum(0x50, data.data(), data.size()));
            m.pendingCode = -1;
        }
        data.resize(std::max(data.size(), length), 0);
    }
    std::memcpy(buffer, data.data(), std::min(length, data.size()));
    return static_cast<ssize_t>(std::min(length, data.size()));
}

int openBusOrNext(const char* path, int flags, mode_t mode, int (*real)(const char*, int, ...)) {
    if (int bus = busOf(path); bus >= 0)
        return openBus(bus);
    return real(path, flags, mode);
}

mode_t modeOf(int flags, va_list args) {
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

} // namespace

extern "C" {

int open(const char* path, int flags, ...) {
    static auto real = next<int (*)(const char*, int, ...)>("open");
    va_list args;
    va_start(args, flags);
    mode_t mode = modeOf(flags, args);
    va_end(args);
    return openBusOrNext(path, flags, mode, real);
}

int open64(const char* path, int flags, ...) {
    static auto real = next<int (*)(const char*, int, ...)>("open64");
    va_list args;
    va_start(args, flags);
    mode_t mode = modeOf(flags, args);
    va_end(args);
    return openBusOrNext(path, flags, mode, real);
}

int __open_2(const char* path, int flags) {
    static auto real = next<int (*)(const char*, int, ...)>("open");
    return openBusOrNext(path, flags, 0, real);
}

int __open64_2(const char* path, int flags) {
    static auto real = next<int (*)(const char*, int, ...)>("open64");
    return openBusOrNext(path, flags, 0, real);
}

int close(int fd) {
    static auto real = next<int (*)(int)>("close");
    if (isOurs(fd)) {
        std::lock_guard lock(mutex);
        ours[fd] = false;
        desk->fds.erase(fd);
    }
    return real(fd);
}

int ioctl(int fd, unsigned long request, ...) {
    static auto real = next<int (*)(int, unsigned long, ...)>("ioctl");
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);
    if (isOurs(fd) && request == slaveRequest) {
        std::lock_guard lock(mutex);
        desk->fds[fd].chip = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(argument));
        return 0;
    }
    return real(fd, request, argument);
}

ssize_t read(int fd, void* buffer, size_t length) {
    static auto real = next<ssize_t (*)(int, void*, size_t)>("read");
    if (isOurs(fd))
        return busRead(fd, static_cast<std::uint8_t*>(buffer), length);
    return real(fd, buffer, length);
}

ssize_t write(int fd, const void* buffer, size_t length) {
    static auto real = next<ssize_t (*)(int, const void*, size_t)>("write");
    if (isOurs(fd))
        return busWrite(fd, static_cast<const std::uint8_t*>(buffer), length);
    return real(fd, buffer, length);
}

} // extern "C"
