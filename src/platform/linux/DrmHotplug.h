#pragma once
// Monitors plugged in or out: the kernel's uevents on the `drm` subsystem, read from a udev monitor
// when the fd is ready, become a new scan of the connectors (which reports what was added or removed).

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace brivio {

class FdWatcher;

// The fields of one uevent that tell a connector change from other graphics events.
struct DrmUevent {
    std::string action;   // "add", "remove", "change", ...
    std::string sysname;  // "card0", "card0-HDMI-A-1", "renderD128"
    bool hotplug = false; // HOTPLUG=1: a connector's status may have changed
};

// True when the event may have connected, disconnected, lit or darkened a monitor.
bool isConnectorChange(const DrmUevent& event);

// Where uevents come from: a udev monitor, or a fake in tests.
class UeventSource {
public:
    virtual ~UeventSource() = default;
    virtual int fd() const = 0;
    // The next pending event; absent when none is waiting.
    virtual std::optional<DrmUevent> receive() = 0;
};

// A udev monitor on the `drm` subsystem; null (and said once in the log) without udev.
std::unique_ptr<UeventSource> openDrmUeventMonitor();

class DrmHotplug {
public:
    // `rescan` runs once for every batch of events that holds a connector change.
    DrmHotplug(FdWatcher& watcher, std::unique_ptr<UeventSource> source, std::function<void()> rescan);
    ~DrmHotplug();
    DrmHotplug(const DrmHotplug&) = delete;
    DrmHotplug& operator=(const DrmHotplug&) = delete;

    bool watching() const { return watching_; }

private:
    void readable();

    FdWatcher& watcher_;
    std::unique_ptr<UeventSource> source_;
    std::function<void()> rescan_;
    bool watching_ = false;
};

} // namespace brivio
