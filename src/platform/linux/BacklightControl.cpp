#include "platform/linux/BacklightControl.h"

#include "base/Log.h"
#include "platform/linux/SysfsFiles.h"
#include "platform/linux/SystemBus.h"

#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <set>
#include <string>
#include <unistd.h>

#ifdef BRIVIO_HAVE_SDBUS
#include <sdbus-c++/sdbus-c++.h>
#endif

namespace brivio {

namespace {
constexpr int resultFailed = 1;
} // namespace

SessionBrightness logindSessionBrightness(SystemBus& bus) {
    auto reported = std::make_shared<std::set<std::string>>();
    return [&bus, reported](const std::string& device, std::uint32_t raw) {
        auto connection = bus.connection();
        if (!connection)
            return false;
#ifdef BRIVIO_HAVE_SDBUS
        try {
            auto proxy = sdbus::createProxy(*connection, "org.freedesktop.login1",
                                            "/org/freedesktop/login1/session/auto");
            proxy->callMethod("SetBrightness")
                .onInterface("org.freedesktop.login1.Session")
                .withArguments(std::string("backlight"), device, raw)
                .withTimeout(std::chrono::milliseconds(500));
            return true;
        } catch (const sdbus::Error& e) {
            if (reported->insert(e.getName()).second)
                logError(LogCategory::driver, "Backlight: the login session did not set {} ({}: {})", device,
                         e.getName(), e.getMessage());
            return false;
        }
#else
        (void)device;
        (void)raw;
        (void)reported;
        return false;
#endif
    };
}

BacklightControl::BacklightControl(LinuxDisplays& displays, BacklightScanner scanner,
                                   SessionBrightness session, FileWriter writeFile)
    : displays_(displays), scanner_(std::move(scanner)), session_(std::move(session)),
      writeFile_(std::move(writeFile)) {}

bool BacklightControl::writeSysfsNumber(const std::filesystem::path& file, std::uint64_t raw) {
    const int fd = sysfs::openForWriting(file);
    if (fd < 0)
        return false;
    const std::string text = std::to_string(raw) + "\n";
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    return ::close(fd) == 0 && ok;
}

std::uint64_t BacklightControl::rawLevel(double level, std::uint64_t maxBrightness) {
    if (maxBrightness == 0)
        return 0;
    const double clamped = std::isfinite(level) ? std::clamp(level, 0.0, 1.0) : 0.0;
    auto raw = static_cast<std::uint64_t>(std::llround(clamped * double(maxBrightness)));
    return std::clamp<std::uint64_t>(raw, 1, maxBrightness);
}

std::optional<Backlight> BacklightControl::backlightFor(DisplayNumber display) {
    const LinuxDisplay* d = displays_.find(display);
    if (!d || !d->connector.builtIn)
        return std::nullopt;
    return chooseBacklight(scanner_.scan(), displays_.connectors());
}

std::optional<double> BacklightControl::level(DisplayNumber display) {
    auto backlight = backlightFor(display);
    if (!backlight)
        return std::nullopt;
    return scanner_.readLevel(*backlight);
}

bool BacklightControl::setLevel(DisplayNumber display, double level) {
    auto backlight = backlightFor(display);
    if (!backlight || backlight->maxBrightness == 0)
        return false;
    const std::uint64_t raw = rawLevel(level, backlight->maxBrightness);
    if (writeFile_(backlight->path / "brightness", raw))
        return true;
    return session_ && raw <= UINT32_MAX && session_(backlight->name, static_cast<std::uint32_t>(raw));
}

DisplayServicesSymbols BacklightControl::symbols() {
    DisplayServicesSymbols s;
    s.getBrightness = [this](std::uint32_t display, float& brightness) {
        auto l = level(display);
        if (!l)
            return resultFailed;
        brightness = static_cast<float>(*l);
        return 0;
    };
    s.setBrightness = [this](std::uint32_t display, float brightness) {
        return setLevel(display, brightness) ? 0 : resultFailed;
    };
    return s;
}

} // namespace brivio
