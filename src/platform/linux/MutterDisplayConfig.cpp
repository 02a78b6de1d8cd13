#include "platform/linux/MutterDisplayConfig.h"

#include "base/Log.h"

#include <algorithm>
#include <cmath>

#ifdef BRIVIO_HAVE_SDBUS
#include <sdbus-c++/sdbus-c++.h>
#endif

namespace brivio {

struct MutterDisplayConfig::Logical {
    std::int32_t x = 0, y = 0;
    double scale = 1;
    std::uint32_t transform = 0;
    bool primary = false;
    std::vector<std::string> connectors;
};

#ifdef BRIVIO_HAVE_SDBUS

namespace {

constexpr const char* mutterService = "org.gnome.Mutter.DisplayConfig";
constexpr const char* mutterPath = "/org/gnome/Mutter/DisplayConfig";
constexpr const char* mutterInterface = "org.gnome.Mutter.DisplayConfig";
constexpr auto mutterCallTimeout = std::chrono::seconds(5);
// Applied now, kept until the session ends; no confirmation dialog of the desktop's own.
constexpr std::uint32_t mutterMethodTemporary = 1;
// In this layout the desktop's coordinates are logical pixels: a monitor's extent is its mode / scale.
constexpr std::uint32_t mutterLayoutLogical = 1;

using MutterProperties = std::map<std::string, sdbus::Variant>;
using MutterMonitorSpec = sdbus::Struct<std::string, std::string, std::string, std::string>;
using MutterModeInfo = sdbus::Struct<std::string, std::int32_t, std::int32_t, double, double,
                                     std::vector<double>, MutterProperties>;
using MutterMonitorInfo = sdbus::Struct<MutterMonitorSpec, std::vector<MutterModeInfo>, MutterProperties>;
using MutterLogicalInfo = sdbus::Struct<std::int32_t, std::int32_t, double, std::uint32_t, bool,
                                        std::vector<MutterMonitorSpec>, MutterProperties>;
using MutterMonitorAssignment = sdbus::Struct<std::string, std::string, MutterProperties>;
using MutterLogicalAssignment = sdbus::Struct<std::int32_t, std::int32_t, double, std::uint32_t, bool,
                                              std::vector<MutterMonitorAssignment>>;

bool mutterFlag(const MutterProperties& properties, const char* key) {
    auto it = properties.find(key);
    if (it == properties.end())
        return false;
    try {
        return it->second.get<bool>();
    } catch (const sdbus::Error&) {
        return false;
    }
}

} // namespace

struct MutterDisplayConfig::Bus {
    std::unique_ptr<sdbus::IProxy> proxy;
    std::uint32_t layoutMode = mutterLayoutLogical;
};

std::unique_ptr<MutterDisplayConfig> MutterDisplayConfig::open(SystemBus& session) {
    auto* connection = session.connection();
    if (!connection)
        return nullptr;
    auto bus = std::make_unique<Bus>();
    try {
        bus->proxy = sdbus::createProxy(*connection, mutterService, mutterPath);
    } catch (const sdbus::Error&) {
        return nullptr;
    }
    auto config = std::unique_ptr<MutterDisplayConfig>(new MutterDisplayConfig(std::move(bus)));
    if (!config->reload())
        return nullptr;
    session.drainSoon();
    return config;
}

MutterDisplayConfig::MutterDisplayConfig(std::unique_ptr<Bus> bus) : bus_(std::move(bus)) {
    try {
        bus_->proxy->uponSignal("MonitorsChanged").onInterface(mutterInterface).call([this] {
            reload();
            changed_.emit();
        });
        bus_->proxy->finishRegistration();
    } catch (const sdbus::Error& e) {
        logInfo(LogCategory::driver, "GNOME display configuration: no change signals ({})", e.getMessage());
    }
}

MutterDisplayConfig::~MutterDisplayConfig() = default;

bool MutterDisplayConfig::reload() {
    std::uint32_t serial = 0;
    std::vector<MutterMonitorInfo> monitors;
    std::vector<MutterLogicalInfo> logical;
    MutterProperties properties;
    try {
        bus_->proxy->callMethod("GetCurrentState")
            .onInterface(mutterInterface)
            .withTimeout(mutterCallTimeout)
            .storeResultsTo(serial, monitors, logical, properties);
    } catch (const sdbus::Error& e) {
        logDebug(LogCategory::driver, "GNOME display configuration: {}", e.getMessage());
        return false;
    }
    serial_ = serial;
    if (auto it = properties.find("layout-mode"); it != properties.end())
        try {
            bus_->layoutMode = it->second.get<std::uint32_t>();
        } catch (const sdbus::Error&) {
        }
    monitors_.clear();
    for (const auto& m : monitors) {
        Monitor monitor;
        monitor.connector = std::get<0>(std::get<0>(m));
        for (const auto& info : std::get<1>(m)) {
            Mode mode;
            mode.id = std::get<0>(info);
            mode.width = std::get<1>(info);
            mode.height = std::get<2>(info);
            mode.refreshRate = std::get<3>(info);
            mode.scales = std::get<5>(info);
            mode.current = mutterFlag(std::get<6>(info), "is-current");
            monitor.modes.push_back(std::move(mode));
        }
        monitors_.push_back(std::move(monitor));
    }
    logical_.clear();
    for (const auto& l : logical) {
        Logical entry{std::get<0>(l), std::get<1>(l), std::get<2>(l), std::get<3>(l), std::get<4>(l), {}};
        for (const auto& monitorRef : std::get<5>(l))
            entry.connectors.push_back(std::get<0>(monitorRef));
        for (auto& monitor : monitors_)
            if (std::find(entry.connectors.begin(), entry.connectors.end(), monitor.connector) !=
                entry.connectors.end()) {
                monitor.active = true;
                monitor.x = entry.x;
                monitor.y = entry.y;
                monitor.scale = entry.scale;
                monitor.transform = entry.transform;
            }
        logical_.push_back(std::move(entry));
    }
    return true;
}

const MutterDisplayConfig::Monitor* MutterDisplayConfig::monitor(std::string_view connector) const {
    for (const auto& m : monitors_)
        if (m.connector == connector)
            return &m;
    return nullptr;
}

bool MutterDisplayConfig::apply(const std::string& connector, const Change& change) {
    const Monitor* changing = monitor(connector);
    if (!changing || !changing->active)
        return false;
    struct Planned {
        Logical logical;
        std::vector<std::pair<std::string, std::string>> modes; // connector, mode id
        bool changed = false;
        double oldWidth = 0, oldHeight = 0, width = 0, height = 0; // extent on the desktop
    };
    auto extent = [this](const Mode& mode, double scale, std::uint32_t transform) {
        bool sideways = transform % 2 == 1;
        double divisor = bus_->layoutMode == mutterLayoutLogical ? scale : 1.0;
        return std::pair{(sideways ? mode.height : mode.width) / divisor,
                         (sideways ? mode.width : mode.height) / divisor};
    };
    std::vector<Planned> plan;
    const Planned* target = nullptr;
    for (const auto& l : logical_) {
        Planned p{l, {}, false, 0, 0, 0, 0};
        p.changed = std::find(l.connectors.begin(), l.connectors.end(), connector) != l.connectors.end();
        if (p.changed) {
            p.logical.scale = change.scale.value_or(l.scale);
            p.logical.transform = change.transform.value_or(l.transform);
        }
        for (const auto& name : l.connectors) {
            const Monitor* m = monitor(name);
            if (!m)
                return false;
            const Mode *now = nullptr, *next = nullptr;
            for (const auto& candidate : m->modes) {
                if (candidate.current)
                    now = &candidate;
                if (name == connector && change.mode && candidate.id == *change.mode)
                    next = &candidate;
            }
            next = next ? next : now;
            if (!now || !next || (name == connector && change.mode && next->id != *change.mode))
                return false;
            p.modes.emplace_back(name, next->id);
            auto [ow, oh] = extent(*now, l.scale, l.transform);
            auto [w, h] = extent(*next, p.logical.scale, p.logical.transform);
            p.oldWidth = std::max(p.oldWidth, ow);
            p.oldHeight = std::max(p.oldHeight, oh);
            p.width = std::max(p.width, w);
            p.height = std::max(p.height, h);
        }
        plan.push_back(std::move(p));
    }
    for (const auto& p : plan)
        if (p.changed)
            target = &p;
    // Monitors must touch without overlapping: those right of (or below) the changed one move by as
    // much as it grew or shrank.
    if (target) {
        double dx = target->width - target->oldWidth, dy = target->height - target->oldHeight;
        double right = target->logical.x + target->oldWidth, bottom = target->logical.y + target->oldHeight;
        for (auto& p : plan) {
            if (&p == target)
                continue;
            if (p.logical.x >= right)
                p.logical.x += static_cast<std::int32_t>(std::lround(dx));
            if (p.logical.y >= bottom)
                p.logical.y += static_cast<std::int32_t>(std::lround(dy));
        }
    }
    std::vector<MutterLogicalAssignment> config;
    for (const auto& p : plan) {
        std::vector<MutterMonitorAssignment> monitors;
        for (const auto& [name, mode] : p.modes)
            monitors.emplace_back(name, mode, MutterProperties{});
        config.emplace_back(p.logical.x, p.logical.y, p.logical.scale, p.logical.transform, p.logical.primary,
                            std::move(monitors));
    }
    try {
        bus_->proxy->callMethod("ApplyMonitorsConfig")
            .onInterface(mutterInterface)
            .withTimeout(mutterCallTimeout)
            .withArguments(serial_, mutterMethodTemporary, config, MutterProperties{});
    } catch (const sdbus::Error& e) {
        logError(LogCategory::driver, "GNOME display configuration refused the change: {}", e.getMessage());
        reload();
        return false;
    }
    reload();
    return true;
}

#else

struct MutterDisplayConfig::Bus {};
std::unique_ptr<MutterDisplayConfig> MutterDisplayConfig::open(SystemBus&) {
    return nullptr;
}
MutterDisplayConfig::MutterDisplayConfig(std::unique_ptr<Bus> bus) : bus_(std::move(bus)) {}
MutterDisplayConfig::~MutterDisplayConfig() = default;
bool MutterDisplayConfig::reload() {
    return false;
}
const MutterDisplayConfig::Monitor* MutterDisplayConfig::monitor(std::string_view) const {
    return nullptr;
}
bool MutterDisplayConfig::apply(const std::string&, const Change&) {
    return false;
}

#endif

} // namespace brivio
