#include "platform/linux/GeoClueLocation.h"

#include "base/Log.h"
#include "platform/linux/SystemBus.h"

#ifdef BRIVIO_HAVE_SDBUS
#include <sdbus-c++/sdbus-c++.h>
#endif

namespace brivio {

namespace {

constexpr const char* service = "org.freedesktop.GeoClue2";
constexpr const char* managerInterface = "org.freedesktop.GeoClue2.Manager";
constexpr const char* clientInterface = "org.freedesktop.GeoClue2.Client";
constexpr const char* locationInterface = "org.freedesktop.GeoClue2.Location";
// GeoClue's accuracy levels: 4 is a city, enough for sunrise and sunset.
constexpr std::uint32_t cityAccuracy = 4;

} // namespace

#ifdef BRIVIO_HAVE_SDBUS
struct GeoClueLocation::Client {
    std::unique_ptr<sdbus::IProxy> manager;
    std::unique_ptr<sdbus::IProxy> client;
};
#else
struct GeoClueLocation::Client {};
#endif

GeoClueLocation::GeoClueLocation(MainLoop& loop, SystemBus& bus)
    : loop_(loop), bus_(bus),
      status_(bus.connection() ? LocationAuthorization::notDetermined : LocationAuthorization::restricted) {}

GeoClueLocation::~GeoClueLocation() {
#ifdef BRIVIO_HAVE_SDBUS
    if (client_ && client_->client && running_) {
        try {
            client_->client->callMethod("Stop").onInterface(clientInterface);
        } catch (const sdbus::Error&) {
        }
    }
#endif
}

void GeoClueLocation::setStatus(int status) {
    if (status == status_)
        return;
    status_ = status;
    loop_.post([self = weak.weak()] {
        if (self)
            self->authorizationChanged_.emit();
    });
}

void GeoClueLocation::requestWhenInUseAuthorization() {
    start();
}

void GeoClueLocation::requestLocation() {
    wantFix_ = true;
    if (running_ && last_) {
        std::vector<GeoCoordinate> fix{*last_};
        wantFix_ = false;
        loop_.post([self = weak.weak(), fix] {
            if (self)
                self->locationsUpdated_.emit(fix);
        });
        return;
    }
    if (!running_)
        start(); // answers through `started`
}

void GeoClueLocation::openPrivacySettings() {
    logInfo(LogCategory::AppDelegate, "Location: allow Brivio in the desktop's location settings, or set the "
                                      "position with 'brivioctl location set LATITUDE LONGITUDE'");
}

void GeoClueLocation::started(bool ok, bool refused, const std::string& why) {
    starting_ = false;
    running_ = ok;
    if (!ok) {
        logInfo(LogCategory::AppDelegate, "Location: {} ({})", refused ? "refused" : "no location service",
                why);
        client_.reset();
    }
    setStatus(ok        ? LocationAuthorization::authorizedAlways
              : refused ? LocationAuthorization::denied
                        : LocationAuthorization::restricted);
    if (!ok && wantFix_) {
        wantFix_ = false;
        loop_.post([self = weak.weak()] {
            if (self)
                self->locationFailed_.emit();
        });
    }
}

#ifdef BRIVIO_HAVE_SDBUS
void GeoClueLocation::start() {
    if (starting_ || running_)
        return;
    auto* connection = bus_.connection();
    if (!connection) {
        started(false, false, "no system bus");
        return;
    }
    starting_ = true;
    try {
        client_ = std::make_unique<Client>();
        client_->manager = sdbus::createProxy(*connection, service, "/org/freedesktop/GeoClue2/Manager");
        sdbus::ObjectPath path;
        client_->manager->callMethod("GetClient").onInterface(managerInterface).storeResultsTo(path);
        client_->client = sdbus::createProxy(*connection, service, path);
        client_->client->setProperty("DesktopId")
            .onInterface(clientInterface)
            .toValue(std::string("dev.brivio.Brivio"));
        client_->client->setProperty("RequestedAccuracyLevel")
            .onInterface(clientInterface)
            .toValue(cityAccuracy);
        client_->client->uponSignal("LocationUpdated")
            .onInterface(clientInterface)
            .call([this](const sdbus::ObjectPath&, const sdbus::ObjectPath& current) {
                locationUpdated(current);
            });
        client_->client->finishRegistration();
        // The agent may ask the user first: not waited for.
        client_->client->callMethodAsync("Start")
            .onInterface(clientInterface)
            .uponReplyInvoke([self = weak.weak()](const sdbus::Error* error) {
                if (!self)
                    return;
                bool refused = error && error->getName() == "org.freedesktop.DBus.Error.AccessDenied";
                self->started(!error, refused, error ? error->getMessage() : std::string());
            });
        bus_.drainSoon();
    } catch (const sdbus::Error& e) {
        bus_.drainSoon();
        started(false, e.getName() == "org.freedesktop.DBus.Error.AccessDenied", e.getMessage());
    }
}

void GeoClueLocation::locationUpdated(const std::string& path) {
    auto* connection = bus_.connection();
    if (!connection)
        return;
    try {
        auto location = sdbus::createProxy(*connection, service, path);
        double latitude = location->getProperty("Latitude").onInterface(locationInterface).get<double>();
        double longitude = location->getProperty("Longitude").onInterface(locationInterface).get<double>();
        bus_.drainSoon();
        last_ = GeoCoordinate{latitude, longitude};
    } catch (const sdbus::Error& e) {
        logDebug(LogCategory::AppDelegate, "Location: {}", e.getMessage());
        return;
    }
    if (!wantFix_)
        return;
    wantFix_ = false;
    std::vector<GeoCoordinate> fix{*last_};
    loop_.post([self = weak.weak(), fix] {
        if (self)
            self->locationsUpdated_.emit(fix);
    });
}
#else
void GeoClueLocation::start() {
    started(false, false, "this build has no D-Bus support");
}
void GeoClueLocation::locationUpdated(const std::string&) {}
#endif

} // namespace brivio
