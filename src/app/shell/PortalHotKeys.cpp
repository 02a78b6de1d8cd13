#include "app/shell/PortalHotKeys.h"

#include "base/Log.h"
#include "shortcuts/ShortcutKeys.h"

#include <fmt/format.h>

#ifdef BRIVIO_HAVE_SDBUS
#include <sdbus-c++/sdbus-c++.h>
#endif

namespace brivio {

namespace {

// The key names of the desktop shortcut triggers (X keysym names) for the keys a shortcut can use.
std::optional<std::string> keysymName(std::uint32_t keysym) {
    if ((keysym >= 'a' && keysym <= 'z') || (keysym >= '0' && keysym <= '9'))
        return std::string(1, static_cast<char>(keysym));
    if (keysym >= 0xffbe && keysym <= 0xffc9)
        return "F" + std::to_string(keysym - 0xffbe + 1);
    switch (keysym) {
    case 0x20:
        return "space";
    case 0xff08:
        return "BackSpace";
    case 0xff09:
        return "Tab";
    case 0xff0d:
        return "Return";
    case 0xff51:
        return "Left";
    case 0xff52:
        return "Up";
    case 0xff53:
        return "Right";
    case 0xff54:
        return "Down";
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<std::string> PortalHotKeys::trigger(std::uint32_t keyCode, std::uint32_t modifiers) {
    const ShortcutKey* key = shortcutKeyForCode(keyCode);
    auto name = key ? keysymName(key->keysym) : std::nullopt;
    if (!name)
        return std::nullopt;
    std::string out;
    for (auto [bit, word] :
         {std::pair{HotKeyModifiers::control, "CTRL"}, std::pair{HotKeyModifiers::option, "ALT"},
          std::pair{HotKeyModifiers::shift, "SHIFT"}, std::pair{HotKeyModifiers::command, "LOGO"}})
        if (modifiers & bit)
            out += std::string(word) + "+";
    return out + *name;
}

std::string PortalHotKeys::shortcutId(const HotKeyID& identity) {
    return fmt::format("brivio-{}", identity.id);
}

HotKeyService::HandlerRef PortalHotKeys::installHandler(Handler handler) {
    auto ref = next_++;
    handlers_.emplace(ref, std::move(handler));
    return ref;
}

void PortalHotKeys::removeHandler(HandlerRef handler) {
    handlers_.erase(handler);
}

std::optional<HotKeyRef> PortalHotKeys::registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                                       HotKeyID identity) {
    auto name = trigger(keyCode, modifiers);
    if (!name)
        return std::nullopt;
    auto ref = next_++;
    registrations_.emplace(ref, Registration{identity, *name});
    rebindSoon();
    return ref;
}

void PortalHotKeys::unregisterHotKey(HotKeyRef ref) {
    if (registrations_.erase(ref))
        rebindSoon();
}

void PortalHotKeys::describe(const HotKeyID& identity, const std::string& text) {
    descriptions_[shortcutId(identity)] = text;
}

void PortalHotKeys::rebindSoon() {
    // The engine unregisters and registers in one go: bind once, after it.
    if (rebindPosted_)
        return;
    rebindPosted_ = true;
    loop_.post([this, alive = std::weak_ptr<bool>(alive_)] {
        if (alive.expired())
            return;
        rebindPosted_ = false;
        rebind();
    });
}

void PortalHotKeys::activated(const std::string& session, const std::string& id) {
    if (session != session_)
        return;
    for (const auto& [ref, registration] : registrations_) {
        if (shortcutId(registration.identity) != id)
            continue;
        auto handlers = handlers_;
        for (auto& [h, handler] : handlers)
            if (handler(registration.identity))
                return;
        return;
    }
}

#ifdef BRIVIO_HAVE_SDBUS

namespace {

constexpr const char* portalService = "org.freedesktop.portal.Desktop";
constexpr const char* portalPath = "/org/freedesktop/portal/desktop";
constexpr const char* shortcutsInterface = "org.freedesktop.portal.GlobalShortcuts";
constexpr auto askTimeout = std::chrono::seconds(2);

using PortalOptions = std::map<std::string, sdbus::Variant>;
using PortalShortcut = sdbus::Struct<std::string, PortalOptions>;

std::optional<std::string> portalText(const PortalOptions& options, const char* key) {
    auto it = options.find(key);
    if (it == options.end())
        return std::nullopt;
    if (it->second.containsValueOfType<sdbus::ObjectPath>())
        return std::string(it->second.get<sdbus::ObjectPath>());
    if (it->second.containsValueOfType<std::string>())
        return it->second.get<std::string>();
    return std::nullopt;
}

} // namespace

struct PortalHotKeys::Bus {
    std::unique_ptr<sdbus::IProxy> portal;
    std::map<std::string, std::unique_ptr<sdbus::IProxy>> requests; // waiting for their response
    std::uint64_t generation = 0;                                   // of the binding under way
};

std::unique_ptr<PortalHotKeys> PortalHotKeys::open(MainLoop& loop, SystemBus& bus) {
    auto* connection = bus.connection();
    if (!connection)
        return nullptr;
    auto portal = std::make_unique<Bus>();
    try {
        portal->portal = sdbus::createProxy(*connection, portalService, portalPath);
        sdbus::Variant version;
        portal->portal->callMethod("Get")
            .onInterface("org.freedesktop.DBus.Properties")
            .withTimeout(askTimeout)
            .withArguments(std::string(shortcutsInterface), std::string("version"))
            .storeResultsTo(version);
    } catch (const sdbus::Error& e) {
        logInfo(LogCategory::AppDelegate, "Shortcuts: the desktop portal offers no global shortcuts ({})",
                e.getMessage());
        bus.drainSoon();
        return nullptr;
    }
    bus.drainSoon();
    return std::unique_ptr<PortalHotKeys>(new PortalHotKeys(loop, bus, std::move(portal)));
}

PortalHotKeys::PortalHotKeys(MainLoop& loop, SystemBus& bus, std::unique_ptr<Bus> portal)
    : loop_(loop), bus_(bus), portal_(std::move(portal)) {
    portal_->portal->uponSignal("Activated")
        .onInterface(shortcutsInterface)
        .call([this](const sdbus::ObjectPath& session, const std::string& id, std::uint64_t,
                     const PortalOptions&) { activated(session, id); });
    portal_->portal->finishRegistration();
}

PortalHotKeys::~PortalHotKeys() {
    *alive_ = false;
    if (session_.empty())
        return;
    try {
        auto session = sdbus::createProxy(*bus_.connection(), portalService, session_);
        session->callMethod("Close").onInterface("org.freedesktop.portal.Session").dontExpectReply();
    } catch (const sdbus::Error&) {
    }
}

template <typename Call, typename Done> void PortalHotKeys::request(Call call, Done done) {
    auto* connection = bus_.connection();
    std::string token = fmt::format("brivio{}", ++tokens_);
    // The request's path is known before the call, so its answer cannot come before the handler.
    std::string sender = connection->getUniqueName();
    if (!sender.empty() && sender.front() == ':')
        sender.erase(0, 1);
    for (char& c : sender)
        if (c == '.')
            c = '_';
    std::string path = fmt::format("{}/request/{}/{}", portalPath, sender, token);
    try {
        auto proxy = sdbus::createProxy(*connection, portalService, path);
        proxy->uponSignal("Response")
            .onInterface("org.freedesktop.portal.Request")
            .call([this, path, done, alive = std::weak_ptr<bool>(alive_)](std::uint32_t code,
                                                                          const PortalOptions& results) {
                if (alive.expired())
                    return;
                done(code, results);
                // Not inside its own handler: the proxy goes on the next turn of the loop.
                loop_.post([this, path, alive] {
                    if (!alive.expired())
                        portal_->requests.erase(path);
                });
            });
        proxy->finishRegistration();
        portal_->requests[path] = std::move(proxy);
        call(token);
    } catch (const sdbus::Error& e) {
        logError(LogCategory::AppDelegate, "Shortcuts: the desktop portal refused a request ({})",
                 e.getMessage());
    }
}

void PortalHotKeys::rebind() {
    std::uint64_t generation = ++portal_->generation;
    if (!session_.empty()) {
        try {
            auto session = sdbus::createProxy(*bus_.connection(), portalService, session_);
            session->callMethod("Close").onInterface("org.freedesktop.portal.Session").dontExpectReply();
        } catch (const sdbus::Error&) {
        }
        session_.clear();
        bound_.clear();
    }
    if (registrations_.empty())
        return;
    request(
        [this](const std::string& token) {
            PortalOptions options{{"handle_token", sdbus::Variant(token)},
                                  {"session_handle_token", sdbus::Variant(token + "s")}};
            portal_->portal->callMethodAsync("CreateSession")
                .onInterface(shortcutsInterface)
                .withArguments(options)
                .uponReplyInvoke([](const sdbus::Error* error, sdbus::ObjectPath) {
                    if (error)
                        logError(LogCategory::AppDelegate, "Shortcuts: no portal session ({})",
                                 error->getMessage());
                });
        },
        [this, generation](std::uint32_t code, const PortalOptions& results) {
            if (generation != portal_->generation)
                return; // a newer binding is under way
            auto session = portalText(results, "session_handle");
            if (code != 0 || !session) {
                logError(LogCategory::AppDelegate,
                         "Shortcuts: the desktop gave no shortcut session (answer {})", code);
                return;
            }
            session_ = *session;
            bindShortcuts(session_);
        });
}

void PortalHotKeys::bindShortcuts(const std::string& session) {
    std::vector<PortalShortcut> shortcuts;
    for (const auto& [ref, registration] : registrations_) {
        std::string id = shortcutId(registration.identity);
        auto description = descriptions_.count(id) ? descriptions_.at(id) : id;
        shortcuts.emplace_back(id,
                               PortalOptions{{"description", sdbus::Variant(description)},
                                             {"preferred_trigger", sdbus::Variant(registration.trigger)}});
    }
    std::uint64_t generation = portal_->generation;
    request(
        [this, session, shortcuts](const std::string& token) {
            portal_->portal->callMethodAsync("BindShortcuts")
                .onInterface(shortcutsInterface)
                .withArguments(sdbus::ObjectPath(session), shortcuts, std::string(),
                               PortalOptions{{"handle_token", sdbus::Variant(token)}})
                .uponReplyInvoke([](const sdbus::Error* error, sdbus::ObjectPath) {
                    if (error)
                        logError(LogCategory::AppDelegate, "Shortcuts: the portal refused them ({})",
                                 error->getMessage());
                });
        },
        [this, generation](std::uint32_t code, const PortalOptions& results) {
            if (generation != portal_->generation)
                return;
            if (code != 0) {
                logInfo(LogCategory::AppDelegate,
                        "Shortcuts: the desktop did not take the brightness shortcuts");
                return;
            }
            bound_.clear();
            if (auto it = results.find("shortcuts");
                it != results.end() && it->second.containsValueOfType<std::vector<PortalShortcut>>())
                for (const auto& s : it->second.get<std::vector<PortalShortcut>>())
                    bound_[std::get<0>(s)] = portalText(std::get<1>(s), "trigger_description").value_or("");
            logInfo(LogCategory::AppDelegate, "Shortcuts: {} bound through the desktop portal",
                    bound_.size());
        });
}

#else

struct PortalHotKeys::Bus {};
std::unique_ptr<PortalHotKeys> PortalHotKeys::open(MainLoop&, SystemBus&) {
    return nullptr;
}
PortalHotKeys::~PortalHotKeys() = default;
void PortalHotKeys::rebind() {}

#endif

} // namespace brivio
