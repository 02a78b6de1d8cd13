#pragma once
// Global hot keys on Wayland desktops through the desktop portal's GlobalShortcuts interface: the
// registrations are bound as the shortcuts of one portal session, each with its stored combination as
// the preferred trigger (the desktop may let the user confirm or change it), and an activation reaches
// the handlers. Bound again, in a new session, whenever the registrations change.

#include "base/MainLoop.h"
#include "platform/HotKeyService.h"
#include "platform/linux/SystemBus.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace brivio {

class PortalHotKeys final : public HotKeyService {
public:
    // Null when no portal on `bus` offers global shortcuts (asked once, with a short wait).
    static std::unique_ptr<PortalHotKeys> open(MainLoop& loop, SystemBus& bus);
    ~PortalHotKeys() override;
    PortalHotKeys(const PortalHotKeys&) = delete;
    PortalHotKeys& operator=(const PortalHotKeys&) = delete;

    HandlerRef installHandler(Handler handler) override;
    void removeHandler(HandlerRef handler) override;
    // Absent for a key the portal's trigger names cannot express.
    std::optional<HotKeyRef> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                            HotKeyID identity) override;
    void unregisterHotKey(HotKeyRef ref) override;
    void describe(const HotKeyID& identity, const std::string& text) override;

    // The portal's name of a stored combination ("CTRL+SHIFT+Up"); absent for a key code not in the table.
    static std::optional<std::string> trigger(std::uint32_t keyCode, std::uint32_t modifiers);
    // The shortcuts the desktop accepted in the last binding, by id.
    const std::map<std::string, std::string>& bound() const { return bound_; }

private:
    struct Bus;
    struct Registration {
        HotKeyID identity;
        std::string trigger;
    };
    PortalHotKeys(MainLoop& loop, SystemBus& bus, std::unique_ptr<Bus> portal);
    static std::string shortcutId(const HotKeyID& identity);
    void rebindSoon();
    void rebind();
    void bindShortcuts(const std::string& session);
    void activated(const std::string& session, const std::string& id);
    // Calls `method` with a request token and hands the request's response to `done`.
    template <typename Call, typename Done> void request(Call call, Done done);

    MainLoop& loop_;
    SystemBus& bus_;
    std::unique_ptr<Bus> portal_;
    std::map<HandlerRef, Handler> handlers_;
    std::map<HotKeyRef, Registration> registrations_;
    std::map<std::string, std::string> descriptions_;
    std::map<std::string, std::string> bound_;
    std::string session_;
    std::uint64_t next_ = 1;
    std::uint64_t tokens_ = 0;
    bool rebindPosted_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace brivio
