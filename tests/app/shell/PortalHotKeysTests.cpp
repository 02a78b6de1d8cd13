// Global shortcuts through the desktop portal, played by a stand-in on a private bus: the stored
// combinations are bound as one session's shortcuts, an activation reaches the handler, and a change
// binds them again in a new session.
#include "app/shell/PortalHotKeys.h"
#include "base/RealLoop.h"
#include "platform/linux/SystemBus.h"
#include "support/PrivateBus.h"

#include <QtTest>
#include <algorithm>
#include <atomic>
#include <mutex>

#ifdef BRIVIO_HAVE_SDBUS
#include <sdbus-c++/sdbus-c++.h>
#endif

using namespace brivio;

namespace {

#ifdef BRIVIO_HAVE_SDBUS
using Options = std::map<std::string, sdbus::Variant>;
using Shortcut = sdbus::Struct<std::string, Options>;
constexpr const char* gs = "org.freedesktop.portal.GlobalShortcuts";

// The portal's side: sessions and requests at the paths the caller's unique name and tokens give.
struct StandInPortal {
    explicit StandInPortal(const std::string& address) {
        connection = sdbus::createSessionBusConnectionWithAddress(address);
        connection->requestName("org.freedesktop.portal.Desktop");
        desktop = sdbus::createObject(*connection, "/org/freedesktop/portal/desktop");
        desktop->registerProperty("version").onInterface(gs).withGetter([] { return std::uint32_t{1}; });
        desktop->registerMethod("CreateSession")
            .onInterface(gs)
            .implementedAs([this](const Options& options) {
                auto sender = senderPath();
                auto session = "/org/freedesktop/portal/desktop/session/" + sender + "/" +
                               options.at("session_handle_token").get<std::string>();
                auto request = respond(sender, options,
                                       {{"session_handle", sdbus::Variant(sdbus::ObjectPath(session))}});
                std::lock_guard lock(mutex);
                sessions.push_back(session);
                auto object = sdbus::createObject(*connection, session);
                object->registerMethod("Close")
                    .onInterface("org.freedesktop.portal.Session")
                    .implementedAs([this] {
                        std::lock_guard lock(mutex);
                        ++closed;
                    });
                object->finishRegistration();
                sessionObjects.push_back(std::move(object));
                return request;
            });
        desktop->registerMethod("BindShortcuts")
            .onInterface(gs)
            .implementedAs([this](const sdbus::ObjectPath& session, const std::vector<Shortcut>& shortcuts,
                                  const std::string&, const Options& options) {
                std::vector<Shortcut> result;
                {
                    std::lock_guard lock(mutex);
                    bound.clear();
                    for (const auto& s : shortcuts) {
                        auto& o = std::get<1>(s);
                        bound.push_back(std::get<0>(s) + " | " + o.at("description").get<std::string>() +
                                        " | " + o.at("preferred_trigger").get<std::string>());
                        result.emplace_back(std::get<0>(s),
                                            Options{{"trigger_description", o.at("preferred_trigger")}});
                    }
                    boundSession_ = session;
                }
                return respond(senderPath(), options, {{"shortcuts", sdbus::Variant(result)}});
            });
        desktop->registerSignal("Activated")
            .onInterface(gs)
            .withParameters<sdbus::ObjectPath, std::string, std::uint64_t, Options>();
        desktop->finishRegistration();
        connection->enterEventLoopAsync();
    }
    ~StandInPortal() { connection->leaveEventLoop(); }

    std::string senderPath() {
        std::string sender = desktop->getCurrentlyProcessedMessage()->getSender();
        sender.erase(0, 1);
        std::replace(sender.begin(), sender.end(), '.', '_');
        return sender;
    }
    // Answers on the request object, as the portal does once the user (here nobody) has agreed.
    sdbus::ObjectPath respond(const std::string& sender, const Options& options, const Options& results) {
        std::string path = "/org/freedesktop/portal/desktop/request/" + sender + "/" +
                           options.at("handle_token").get<std::string>();
        auto request = sdbus::createObject(*connection, path);
        request->registerSignal("Response")
            .onInterface("org.freedesktop.portal.Request")
            .withParameters<std::uint32_t, Options>();
        request->finishRegistration();
        request->emitSignal("Response")
            .onInterface("org.freedesktop.portal.Request")
            .withArguments(std::uint32_t{0}, results);
        std::lock_guard lock(mutex);
        requests.push_back(std::move(request));
        return sdbus::ObjectPath(path);
    }
    void activate(const std::string& session, const std::string& id) {
        desktop->emitSignal("Activated")
            .onInterface(gs)
            .withArguments(sdbus::ObjectPath(session), id, std::uint64_t{1}, Options{});
    }
    std::vector<std::string> boundNow() {
        std::lock_guard lock(mutex);
        return bound;
    }

    std::unique_ptr<sdbus::IConnection> connection;
    std::unique_ptr<sdbus::IObject> desktop;
    std::vector<std::unique_ptr<sdbus::IObject>> requests, sessionObjects;
    std::mutex mutex;
    std::vector<std::string> sessions, bound;
    std::string boundSession_;
    std::atomic<int> closed = 0;
    std::string boundSession() {
        std::lock_guard lock(mutex);
        return boundSession_;
    }
};
#endif

// Runs `loop` until `done` holds or three seconds pass.
template <typename F> bool runUntil(RealLoop& loop, F done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        auto tick = loop.postAfter(std::chrono::milliseconds(10), [&] { loop.quit(); });
        loop.run();
        loop.cancel(tick);
    }
    return true;
}

} // namespace

class PortalHotKeysTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void storedCombinationsBecomePortalTriggers() {
        QCOMPARE(PortalHotKeys::trigger(126, HotKeyModifiers::shift | HotKeyModifiers::command).value_or(""),
                 std::string("SHIFT+LOGO+Up"));
        QCOMPARE(PortalHotKeys::trigger(0, HotKeyModifiers::control | HotKeyModifiers::option).value_or(""),
                 std::string("CTRL+ALT+a"));
        QCOMPARE(PortalHotKeys::trigger(122, 0).value_or(""), std::string("F1"));
        QVERIFY(!PortalHotKeys::trigger(200, HotKeyModifiers::shift));
    }

    void shortcutsAreBoundActivatedAndBoundAgainInANewSession() {
#ifdef BRIVIO_HAVE_SDBUS
        auto bus = brivio::testing::PrivateBus::start();
        if (!bus)
            QSKIP("no dbus-daemon to start a private bus");
        RealLoop loop;
        SystemBus session(bus->address(), BusKind::session);
        QVERIFY(session.connection());
        session.attach(loop);
        // Without a portal there is no service, at once.
        QVERIFY(!PortalHotKeys::open(loop, session));

        StandInPortal portal(bus->address());
        auto keys = PortalHotKeys::open(loop, session);
        QVERIFY(keys);
        std::vector<std::uint32_t> pressed;
        keys->installHandler([&](const HotKeyID& id) {
            pressed.push_back(id.id);
            return true;
        });
        const std::uint32_t signature = fourCharCode("BRIV");
        keys->describe({signature, 100}, "Increase Brightness");
        auto up =
            keys->registerHotKey(126, HotKeyModifiers::shift | HotKeyModifiers::command, {signature, 100});
        QVERIFY(up);
        QVERIFY(runUntil(loop, [&] { return keys->bound().size() == 1; }));
        QCOMPARE(portal.boundNow(),
                 std::vector<std::string>{"brivio-100 | Increase Brightness | SHIFT+LOGO+Up"});

        portal.activate(portal.boundSession(), "brivio-100");
        QVERIFY(runUntil(loop, [&] { return pressed.size() == 1; }));
        QCOMPARE(pressed.front(), 100u);

        // A change binds the new set in a new session and closes the old one, whose keys stop counting.
        std::string first = portal.boundSession();
        keys->unregisterHotKey(*up);
        keys->registerHotKey(125, HotKeyModifiers::control, {signature, 101});
        QVERIFY(runUntil(loop, [&] { return keys->bound().count("brivio-101") == 1; }));
        QVERIFY(portal.boundSession() != first);
        QVERIFY(runUntil(loop, [&] { return portal.closed == 1; }));
        portal.activate(first, "brivio-100");
        portal.activate(portal.boundSession(), "brivio-101");
        QVERIFY(runUntil(loop, [&] { return pressed.size() == 2; }));
        QCOMPARE(pressed.back(), 101u);
#else
        QSKIP("built without D-Bus");
#endif
    }
};

QTEST_GUILESS_MAIN(PortalHotKeysTests)
#include "PortalHotKeysTests.moc"
