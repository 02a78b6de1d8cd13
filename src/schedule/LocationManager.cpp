#include "schedule/LocationManager.h"

#include "settings/PreferenceKeys.h"

#include <cmath>

namespace brivio {

namespace {

// The service grants when-in-use permission on this platform; both authorised codes mean fixes may
// be requested.
bool isAuthorized(int status) {
    return status == LocationAuthorization::authorizedAlways ||
           status == LocationAuthorization::authorizedWhenInUse;
}

} // namespace

bool LocationManager::isValidCoordinate(double latitude, double longitude) {
    return std::fabs(latitude) <= 90 && std::fabs(longitude) <= 180; // NaN fails both
}

LocationManager::LocationManager(LocationService& service, BrivioPreferences& preferences)
    : service_(service), preferences_(preferences) {
    coordinate_ = storedPosition();
    // A position set by another process (the command line, say) counts from then on here too.
    storedElsewhere_ = preferences_.changedElsewhere.subscribe([this](const auto& change) {
        if (change.key != prefkeys::locationLatitude && change.key != prefkeys::locationLongitude)
            return;
        auto position = storedPosition();
        bool same = position && coordinate_ && position->latitude == coordinate_->latitude &&
                    position->longitude == coordinate_->longitude;
        if (same || (!position && !coordinate_))
            return;
        coordinate_ = position;
        changed_.emit();
    });

    authorizationSubscription_ =
        service_.authorizationChanged().subscribe([this] { handleAuthorizationChanged(); });
    locationsSubscription_ = service_.locationsUpdated().subscribe(
        [this](const std::vector<GeoCoordinate>& locations) { handleLocationsUpdated(locations); });
    // A failed fix changes nothing: the last position stays valid.

    authorizationStatus_ = service_.authorizationStatus();
    if (isAuthorized(authorizationStatus_))
        service_.requestLocation();
}

std::optional<GeoCoordinate> LocationManager::storedPosition() const {
    double lat = preferences_.storedLatitude();
    double lon = preferences_.storedLongitude();
    // (0, 0) is "nothing stored"; a damaged value is treated the same way.
    if ((lat != 0 || lon != 0) && isValidCoordinate(lat, lon))
        return GeoCoordinate{lat, lon};
    return std::nullopt;
}

bool LocationManager::canUseLocation() const {
    switch (authorizationStatus_) {
    case LocationAuthorization::restricted:
    case LocationAuthorization::denied:
        return false;
    default:
        return isAuthorized(authorizationStatus_) || coordinate_.has_value();
    }
}

void LocationManager::requestAccess() {
    int status = service_.authorizationStatus();
    if (isAuthorized(status)) {
        service_.requestLocation();
    } else if (status == LocationAuthorization::notDetermined) {
        service_.requestWhenInUseAuthorization();
        service_.requestLocation();
    } else {
        service_.openPrivacySettings();
    }
}

bool LocationManager::setManualPosition(double latitude, double longitude) {
    if (!isValidCoordinate(latitude, longitude))
        return false;
    store({latitude, longitude});
    return true;
}

void LocationManager::handleAuthorizationChanged() {
    authorizationStatus_ = service_.authorizationStatus();
    changed_.emit();
    if (isAuthorized(authorizationStatus_))
        service_.requestLocation();
}

void LocationManager::handleLocationsUpdated(const std::vector<GeoCoordinate>& locations) {
    if (locations.empty())
        return;
    const GeoCoordinate& last = locations.back();
    // A fix outside the globe would be stored and feed every later sunrise; keep the previous one.
    if (!isValidCoordinate(last.latitude, last.longitude))
        return;
    store(last);
}

void LocationManager::store(const GeoCoordinate& position) {
    coordinate_ = position;
    preferences_.setStoredLocation(position.latitude, position.longitude);
    changed_.emit();
}

} // namespace brivio
