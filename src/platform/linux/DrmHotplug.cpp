#include "platform/linux/DrmHotplug.h"

#include "base/FdWatcher.h"
#include "base/Log.h"

#include <cerrno>
#include <cstring>
#include <sys/epoll.h>

#ifdef BRIVIO_HAVE_UDEV
#include <libudev.h>
#endif

namespace brivio {

bool isConnectorChange(const DrmUevent& event) {
    // Render nodes come and go with the driver and never carry a monitor.
    if (event.sysname.starts_with("renderD"))
        return false;
    if (event.action == "add" || event.action == "remove")
        return true;
    // Other "change" events (leases, properties) leave the connectors as they were.
    return event.action == "change" && event.hotplug;
}

#ifdef BRIVIO_HAVE_UDEV
namespace {

class UdevMonitor final : public UeventSource {
public:
    UdevMonitor(udev* context, udev_monitor* monitor) : context_(context), monitor_(monitor) {}
    ~UdevMonitor() override {
        udev_monitor_unref(monitor_);
        udev_unref(context_);
    }
    int fd() const override { return udev_monitor_get_fd(monitor_); }
    std::optional<DrmUevent> receive() override {
        udev_device* device = udev_monitor_receive_device(monitor_);
        if (!device)
            return std::nullopt;
        auto text = [](const char* s) { return std::string(s ? s : ""); };
        DrmUevent event{text(udev_device_get_action(device)), text(udev_device_get_sysname(device)),
                        text(udev_device_get_property_value(device, "HOTPLUG")) == "1"};
        udev_device_unref(device);
        return event;
    }

private:
    udev* context_;
    udev_monitor* monitor_;
};

} // namespace

std::unique_ptr<UeventSource> openDrmUeventMonitor() {
    udev* context = udev_new();
    udev_monitor* monitor = context ? udev_monitor_new_from_netlink(context, "udev") : nullptr;
    if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, "drm", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
        logInfo(LogCategory::detection,
                "Hot-plug: no udev monitor ({}) — monitors plugged in later are found "
                "at the next display change",
                std::strerror(errno));
        if (monitor)
            udev_monitor_unref(monitor);
        if (context)
            udev_unref(context);
        return nullptr;
    }
    return std::make_unique<UdevMonitor>(context, monitor);
}
#else
std::unique_ptr<UeventSource> openDrmUeventMonitor() {
    logInfo(LogCategory::detection, "Hot-plug: this build has no udev support — monitors plugged in later "
                                    "are found at the next display change");
    return nullptr;
}
#endif

DrmHotplug::DrmHotplug(FdWatcher& watcher, std::unique_ptr<UeventSource> source, std::function<void()> rescan)
    : watcher_(watcher), source_(std::move(source)), rescan_(std::move(rescan)) {
    if (source_)
        watching_ = watcher_.watchFd(source_->fd(), EPOLLIN, [this](std::uint32_t) { readable(); });
}

DrmHotplug::~DrmHotplug() {
    if (watching_)
        watcher_.unwatchFd(source_->fd());
}

void DrmHotplug::readable() {
    // One scan for a burst: a dock brings several connectors at once.
    bool changed = false;
    while (auto event = source_->receive()) {
        logDebug(LogCategory::detection, "Hot-plug: {} {}{}", event->action, event->sysname,
                 event->hotplug ? " (hotplug)" : "");
        changed = changed || isConnectorChange(*event);
    }
    if (changed)
        rescan_();
}

} // namespace brivio
