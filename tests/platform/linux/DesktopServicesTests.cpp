// The session's notification server and the location service, played by small stand-ins on a
// private bus.
#include "base/RealLoop.h"
#include "platform/linux/GeoClueLocation.h"
#include "platform/linux/NotificationIndicator.h"
#include "platform/linux/SystemBus.h"
#include "support/PrivateBus.h"

#include <atomic>
#include <gtest/gtest.h>
#include <mutex>

#ifdef BRIVIO_HAVE_SDBUS
#include <sdbus-c++/sdbus-c++.h>

namespace brivio {
namespace {

using brivio::testing::PrivateBus;

// Runs `loop` until `done` holds or three seconds pass.
template <typename F> void runUntil(RealLoop& loop, F done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        auto tick = loop.postAfter(std::chrono::milliseconds(10), [&] { loop.quit(); });
        loop.run();
        loop.cancel(tick);
    }
}

TEST(NotificationIndicator, EachStepReplacesTheNotificationWithItsLevel) {
    auto bus = PrivateBus::start();
    if (!bus)
        GTEST_SKIP() << "no dbus-daemon to start a private bus";
    auto server = sdbus::createSessionBusConnectionWithAddress(bus->address());
    server->requestName("org.freedesktop.Notifications");
    auto object = sdbus::createObject(*server, "/org/freedesktop/Notifications");
    std::mutex mutex;
    std::vector<std::pair<std::uint32_t, std::int32_t>> calls; // replaced id, level
    object->registerMethod("Notify")
        .onInterface("org.freedesktop.Notifications")
        .implementedAs([&](const std::string&, std::uint32_t replaces, const std::string&, const std::string&,
                           const std::string&, const std::vector<std::string>&,
                           const std::map<std::string, sdbus::Variant>& hints, std::int32_t) {
            std::lock_guard lock(mutex);
            calls.emplace_back(replaces, hints.at("value").get<std::int32_t>());
            return std::uint32_t{77};
        });
    object->finishRegistration();
    server->enterEventLoopAsync();

    RealLoop loop;
    SystemBus session(bus->address(), BusKind::session);
    ASSERT_TRUE(session.connection());
    session.attach(loop);
    NotificationIndicator indicator(session);
    indicator.show(1, 8, 16, 1500);
    runUntil(loop, [&] { return indicator.notificationId() == 77; });
    indicator.show(1, 16, 16, 1500);
    runUntil(loop, [&] {
        std::lock_guard lock(mutex);
        return calls.size() == 2;
    });
    server->leaveEventLoop();
    EXPECT_EQ(calls, (std::vector<std::pair<std::uint32_t, std::int32_t>>{{0, 50}, {77, 100}}));
}

TEST(NotificationIndicator, WithoutASessionBusNothingIsShown) {
    SystemBus none(std::string("unix:path=/nonexistent/bus"), BusKind::session);
    NotificationIndicator indicator(none);
    indicator.show(1, 3, 16, 1500);
    EXPECT_EQ(indicator.notificationId(), 0u);
}

// A location service that grants or refuses and then reports one position.
struct FakeGeoClue {
    explicit FakeGeoClue(const std::string& address, bool refuse) {
        connection = sdbus::createSessionBusConnectionWithAddress(address);
        connection->requestName("org.freedesktop.GeoClue2");
        manager = sdbus::createObject(*connection, "/org/freedesktop/GeoClue2/Manager");
        manager->registerMethod("GetClient")
            .onInterface("org.freedesktop.GeoClue2.Manager")
            .implementedAs([] { return sdbus::ObjectPath("/org/freedesktop/GeoClue2/Client/1"); });
        manager->finishRegistration();
        client = sdbus::createObject(*connection, "/org/freedesktop/GeoClue2/Client/1");
        const char* iface = "org.freedesktop.GeoClue2.Client";
        client->registerProperty("DesktopId")
            .onInterface(iface)
            .withGetter([this] {
                std::lock_guard lock(mutex);
                return desktopId;
            })
            .withSetter([this](const std::string& v) {
                std::lock_guard lock(mutex);
                desktopId = v;
            });
        client->registerProperty("RequestedAccuracyLevel")
            .onInterface(iface)
            .withGetter([] { return std::uint32_t{0}; })
            .withSetter([](std::uint32_t) {});
        client->registerMethod("Start").onInterface(iface).implementedAs([this, refuse, iface] {
            if (refuse)
                throw sdbus::Error("org.freedesktop.DBus.Error.AccessDenied", "not allowed");
            client->emitSignal("LocationUpdated")
                .onInterface(iface)
                .withArguments(sdbus::ObjectPath("/"),
                               sdbus::ObjectPath("/org/freedesktop/GeoClue2/Location/1"));
        });
        client->registerMethod("Stop").onInterface(iface).implementedAs([] {});
        client->registerSignal("LocationUpdated")
            .onInterface(iface)
            .withParameters<sdbus::ObjectPath, sdbus::ObjectPath>();
        client->finishRegistration();
        location = sdbus::createObject(*connection, "/org/freedesktop/GeoClue2/Location/1");
        location->registerProperty("Latitude")
            .onInterface("org.freedesktop.GeoClue2.Location")
            .withGetter([] { return 52.52; });
        location->registerProperty("Longitude")
            .onInterface("org.freedesktop.GeoClue2.Location")
            .withGetter([] { return 13.405; });
        location->finishRegistration();
        connection->enterEventLoopAsync();
    }
    ~FakeGeoClue() { connection->leaveEventLoop(); }

    std::unique_ptr<sdbus::IConnection> connection;
    std::unique_ptr<sdbus::IObject> manager, client, location;
    std::mutex mutex;
    std::string desktopId;
};

TEST(GeoClueLocation, GrantedGivesAFixRefusedIsDeniedAndNoServiceIsRestricted) {
    auto bus = PrivateBus::start();
    if (!bus)
        GTEST_SKIP() << "no dbus-daemon to start a private bus";
    struct Case {
        bool service;
        bool refuse;
        int status;
        bool fix;
    };
    const Case cases[] = {
        {true, false, LocationAuthorization::authorizedAlways, true},
        {true, true, LocationAuthorization::denied, false},
        {false, false, LocationAuthorization::restricted, false},
    };
    for (const auto& c : cases) {
        std::unique_ptr<FakeGeoClue> geoclue;
        if (c.service)
            geoclue = std::make_unique<FakeGeoClue>(bus->address(), c.refuse);
        RealLoop loop;
        SystemBus system(bus->address());
        ASSERT_TRUE(system.connection());
        system.attach(loop);
        GeoClueLocation location(loop, system);
        EXPECT_EQ(location.authorizationStatus(), LocationAuthorization::notDetermined);
        std::vector<GeoCoordinate> fixes;
        int failures = 0, changes = 0;
        auto s1 = location.locationsUpdated().subscribe([&](const auto& f) { fixes = f; });
        auto s2 = location.locationFailed().subscribe([&] { ++failures; });
        auto s3 = location.authorizationChanged().subscribe([&] { ++changes; });
        location.requestWhenInUseAuthorization();
        location.requestLocation();
        runUntil(loop, [&] { return !fixes.empty() || failures > 0; });
        EXPECT_EQ(location.authorizationStatus(), c.status) << c.service << c.refuse;
        EXPECT_EQ(changes, 1);
        if (c.fix) {
            EXPECT_EQ(fixes, (std::vector<GeoCoordinate>{{52.52, 13.405}}));
            std::lock_guard lock(geoclue->mutex);
            // The location agent finds the application by its desktop entry's name.
            EXPECT_EQ(geoclue->desktopId, "dev.brivio.Brivio");
        } else {
            EXPECT_TRUE(fixes.empty());
            EXPECT_EQ(failures, 1);
        }
    }
}

} // namespace
} // namespace brivio
#endif
