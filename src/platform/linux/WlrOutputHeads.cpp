#include "platform/linux/WlrOutputHeads.h"

#include "base/Log.h"

#include <algorithm>

#ifdef BRIVIO_HAVE_WAYLAND
#include "wlr-output-management-unstable-v1-client-protocol.h"

#include <wayland-client.h>
#endif

namespace brivio {

#ifdef BRIVIO_HAVE_WAYLAND

namespace {

constexpr std::uint32_t outputManagerVersion = 2;
// Replies to an apply come with the next round trip on every compositor known; a few more are spared.
constexpr int applyRoundTrips = 5;

enum class ApplyOutcome { pending, succeeded, failed, cancelled };

WlrOutputMode* modeOf(zwlr_output_mode_v1* mode) {
    return mode ? static_cast<WlrOutputMode*>(wl_proxy_get_user_data(reinterpret_cast<wl_proxy*>(mode)))
                : nullptr;
}

} // namespace

struct WlrOutputHeads::Listeners {
    // Modes.
    static WlrOutputMode& m(void* data) { return *static_cast<WlrOutputMode*>(data); }
    static void size(void* data, zwlr_output_mode_v1*, std::int32_t w, std::int32_t h) {
        m(data).width = w;
        m(data).height = h;
    }
    static void refresh(void* data, zwlr_output_mode_v1*, std::int32_t mHz) {
        m(data).refreshRate = mHz / 1000.0;
    }
    static void preferred(void* data, zwlr_output_mode_v1*) { m(data).preferred = true; }
    static void modeFinished(void* data, zwlr_output_mode_v1* mode) {
        // Its head drops the entry at the next "done".
        zwlr_output_mode_v1_destroy(mode);
        m(data).mode = nullptr;
    }
    static constexpr zwlr_output_mode_v1_listener mode{size, refresh, preferred, modeFinished};

    // Heads.
    static WlrOutputHead& h(void* data) { return *static_cast<WlrOutputHead*>(data); }
    static void name(void* data, zwlr_output_head_v1*, const char* n) { h(data).name = n; }
    static void description(void*, zwlr_output_head_v1*, const char*) {}
    static void physicalSize(void*, zwlr_output_head_v1*, std::int32_t, std::int32_t) {}
    static void headMode(void* data, zwlr_output_head_v1*, zwlr_output_mode_v1* mode) {
        auto& head = h(data);
        auto entry = std::make_unique<WlrOutputMode>();
        entry->id = head.owner->nextModeId_++;
        entry->mode = mode;
        zwlr_output_mode_v1_add_listener(mode, &Listeners::mode, entry.get());
        head.modes.push_back(std::move(entry));
    }
    static void enabled(void* data, zwlr_output_head_v1*, std::int32_t on) {
        h(data).enabled = on != 0;
        if (!on)
            h(data).currentMode = 0;
    }
    static void currentMode(void* data, zwlr_output_head_v1*, zwlr_output_mode_v1* mode) {
        auto* entry = modeOf(mode);
        h(data).currentMode = entry ? entry->id : 0;
    }
    static void position(void* data, zwlr_output_head_v1*, std::int32_t x, std::int32_t y) {
        h(data).x = x;
        h(data).y = y;
    }
    static void transform(void* data, zwlr_output_head_v1*, std::int32_t t) { h(data).transform = t; }
    static void scale(void* data, zwlr_output_head_v1*, wl_fixed_t s) {
        h(data).scale = wl_fixed_to_double(s);
    }
    static void headFinished(void* data, zwlr_output_head_v1* proxy) {
        auto& head = h(data);
        for (auto& mode : head.modes)
            if (mode->mode)
                zwlr_output_mode_v1_destroy(mode->mode);
        zwlr_output_head_v1_destroy(proxy);
        auto& heads = head.owner->heads_;
        std::erase_if(heads, [&](auto& entry) { return entry.get() == &head; });
    }
    static void make(void*, zwlr_output_head_v1*, const char*) {}
    static void model(void*, zwlr_output_head_v1*, const char*) {}
    static void serialNumber(void*, zwlr_output_head_v1*, const char*) {}
    static constexpr zwlr_output_head_v1_listener head{
        name,      description, physicalSize, headMode, enabled, currentMode, position,
        transform, scale,       headFinished, make,     model,   serialNumber};

    // The manager.
    static WlrOutputHeads& self(void* data) { return *static_cast<WlrOutputHeads*>(data); }
    static void newHead(void* data, zwlr_output_manager_v1*, zwlr_output_head_v1* proxy) {
        auto entry = std::make_unique<WlrOutputHead>();
        entry->head = proxy;
        entry->owner = &self(data);
        zwlr_output_head_v1_add_listener(proxy, &Listeners::head, entry.get());
        self(data).heads_.push_back(std::move(entry));
    }
    static void done(void* data, zwlr_output_manager_v1*, std::uint32_t serial) {
        auto& heads = self(data);
        heads.serial_ = serial;
        // Modes the compositor finished are gone from their heads.
        for (auto& head : heads.heads_)
            std::erase_if(head->modes, [](auto& m) { return m->mode == nullptr; });
    }
    static void finished(void* data, zwlr_output_manager_v1*) { self(data).finished_ = true; }
    static constexpr zwlr_output_manager_v1_listener manager{newHead, done, finished};

    // A configuration's answer.
    static ApplyOutcome& outcome(void* data) { return *static_cast<ApplyOutcome*>(data); }
    static void succeeded(void* data, zwlr_output_configuration_v1*) {
        outcome(data) = ApplyOutcome::succeeded;
    }
    static void failed(void* data, zwlr_output_configuration_v1*) { outcome(data) = ApplyOutcome::failed; }
    static void cancelled(void* data, zwlr_output_configuration_v1*) {
        outcome(data) = ApplyOutcome::cancelled;
    }
    static constexpr zwlr_output_configuration_v1_listener configuration{succeeded, failed, cancelled};
};

std::unique_ptr<WlrOutputHeads> WlrOutputHeads::bind(WaylandConnection& connection) {
    auto global = connection.announced(zwlr_output_manager_v1_interface.name);
    if (!global)
        return nullptr;
    auto heads = std::unique_ptr<WlrOutputHeads>(new WlrOutputHeads(connection));
    heads->manager_ = static_cast<zwlr_output_manager_v1*>(
        wl_registry_bind(connection.registry(), global->name, &zwlr_output_manager_v1_interface,
                         std::min(global->version, outputManagerVersion)));
    zwlr_output_manager_v1_add_listener(heads->manager_, &Listeners::manager, heads.get());
    connection.roundtrip();
    return heads;
}

WlrOutputHeads::WlrOutputHeads(WaylandConnection& connection) : connection_(connection) {}

WlrOutputHeads::~WlrOutputHeads() {
    for (auto& head : heads_) {
        for (auto& mode : head->modes)
            if (mode->mode)
                zwlr_output_mode_v1_destroy(mode->mode);
        zwlr_output_head_v1_destroy(head->head);
    }
    if (manager_) {
        if (!finished_)
            zwlr_output_manager_v1_stop(manager_);
        zwlr_output_manager_v1_destroy(manager_);
    }
    connection_.flush();
}

const WlrOutputHead* WlrOutputHeads::head(std::string_view name) const {
    for (const auto& head : heads_)
        if (head->name == name)
            return head.get();
    return nullptr;
}

bool WlrOutputHeads::apply(const std::map<std::string, Change>& changes) {
    for (const auto& [name, change] : changes)
        if (!head(name))
            return false;
    bool cancelled = false;
    if (applyOnce(changes, cancelled))
        return true;
    // A head changed under us (plugged, or moved by another tool): try once more on the new state.
    return cancelled && connection_.roundtrip() && applyOnce(changes, cancelled);
}

bool WlrOutputHeads::applyOnce(const std::map<std::string, Change>& changes, bool& cancelled) {
    if (finished_ || !connection_.alive())
        return false;
    ApplyOutcome outcome = ApplyOutcome::pending;
    auto* configuration = zwlr_output_manager_v1_create_configuration(manager_, serial_);
    zwlr_output_configuration_v1_add_listener(configuration, &Listeners::configuration, &outcome);
    // Every head must be named: the changed ones with their change, the rest as they are.
    std::vector<zwlr_output_configuration_head_v1*> heads;
    for (const auto& head : heads_) {
        // An output the compositor shows (it has a wl_output) is on, whatever its head says: sway
        // reports outputs without a listed mode (virtual ones) as off.
        if (!head->enabled && !connection_.output(head->name)) {
            zwlr_output_configuration_v1_disable_head(configuration, head->head);
            continue;
        }
        auto* config = zwlr_output_configuration_v1_enable_head(configuration, head->head);
        heads.push_back(config);
        auto it = changes.find(head->name);
        if (it != changes.end()) {
            if (it->second.mode)
                for (const auto& mode : head->modes)
                    if (mode->id == *it->second.mode && mode->mode)
                        zwlr_output_configuration_head_v1_set_mode(config, mode->mode);
            if (it->second.transform)
                zwlr_output_configuration_head_v1_set_transform(config, *it->second.transform);
        }
    }
    zwlr_output_configuration_v1_apply(configuration);
    for (int i = 0; i < applyRoundTrips && outcome == ApplyOutcome::pending; ++i)
        if (!connection_.roundtrip())
            break;
    zwlr_output_configuration_v1_destroy(configuration);
    // The protocol has no request that ends a head's configuration: only our proxies are left to free.
    for (auto* head : heads)
        zwlr_output_configuration_head_v1_destroy(head);
    // The new state of the heads follows the answer.
    connection_.roundtrip();
    cancelled = outcome == ApplyOutcome::cancelled;
    if (outcome != ApplyOutcome::succeeded)
        logError(LogCategory::driver, "Wayland: the compositor {} the output configuration",
                 outcome == ApplyOutcome::failed      ? "refused"
                 : outcome == ApplyOutcome::cancelled ? "cancelled"
                                                      : "did not answer");
    return outcome == ApplyOutcome::succeeded;
}

#else

struct WlrOutputHeads::Listeners {};
std::unique_ptr<WlrOutputHeads> WlrOutputHeads::bind(WaylandConnection&) {
    return nullptr;
}
WlrOutputHeads::~WlrOutputHeads() = default;
const WlrOutputHead* WlrOutputHeads::head(std::string_view) const {
    return nullptr;
}
bool WlrOutputHeads::apply(const std::map<std::string, Change>&) {
    return false;
}

#endif

} // namespace brivio
