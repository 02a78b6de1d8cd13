#pragma once
// The coarse position sunrise and sunset need: fixes from the location service on request, the last one
// kept in the defaults store so that solar features work at the next launch before a new fix arrives.

#include "base/Signal.h"
#include "platform/LocationService.h"
#include "settings/BrivioPreferences.h"

#include <optional>
#include <vector>

namespace brivio {

class LocationManager {
public:
    // Reads the stored position and, when already authorised, asks for a fresh fix.
    LocationManager(LocationService& service, BrivioPreferences& preferences);
    LocationManager(const LocationManager&) = delete;
    LocationManager& operator=(const LocationManager&) = delete;

    const std::optional<GeoCoordinate>& coordinate() const { return coordinate_; }
    int authorizationStatus() const { return authorizationStatus_; }
    // False when denied or restricted; true when authorised; otherwise true only with a known position.
    bool canUseLocation() const;

    // The "allow location access" action: a fix when authorised, the permission prompt and a fix when
    // not yet decided, the platform's privacy settings otherwise.
    void requestAccess();
    // A position the user typed in, kept exactly as a fix would be. False (and nothing changes) for
    // coordinates outside the globe.
    bool setManualPosition(double latitude, double longitude);

    // After `coordinate` or `authorizationStatus` changed.
    Signal<>& changed() { return changed_; }

    static bool isValidCoordinate(double latitude, double longitude);

private:
    void handleAuthorizationChanged();
    void handleLocationsUpdated(const std::vector<GeoCoordinate>& locations);
    void store(const GeoCoordinate& position);
    // The stored position, when one is there; (0, 0) and damaged values count as none.
    std::optional<GeoCoordinate> storedPosition() const;

    std::optional<GeoCoordinate> coordinate_;
    int authorizationStatus_ = LocationAuthorization::notDetermined;
    LocationService& service_;
    BrivioPreferences& preferences_;
    Signal<> changed_;
    Signal<>::Subscription authorizationSubscription_;
    Signal<const std::vector<GeoCoordinate>&>::Subscription locationsSubscription_;
    Signal<const BrivioPreferences::ExternalChange&>::Subscription storedElsewhere_;
};

} // namespace brivio
