#pragma once
// The system's location service: an authorisation status, single fixes on request, and callbacks.

#include "base/Signal.h"

#include <vector>

namespace brivio {

namespace LocationAuthorization {
constexpr int notDetermined = 0;
constexpr int restricted = 1;
constexpr int denied = 2;
constexpr int authorizedAlways = 3;
constexpr int authorizedWhenInUse = 4;
} // namespace LocationAuthorization

struct GeoCoordinate {
    double latitude = 0;
    double longitude = 0;
    bool operator==(const GeoCoordinate&) const = default;
};

class LocationService {
public:
    virtual ~LocationService() = default;
    virtual int authorizationStatus() = 0;
    virtual void requestWhenInUseAuthorization() = 0;
    // One fix, delivered later through `locationsUpdated` or `locationFailed`.
    virtual void requestLocation() = 0;
    // What replaces the system's location privacy page (a hint to the user, a settings dialog).
    virtual void openPrivacySettings() = 0;

    Signal<>& authorizationChanged() { return authorizationChanged_; }
    Signal<const std::vector<GeoCoordinate>&>& locationsUpdated() { return locationsUpdated_; }
    Signal<>& locationFailed() { return locationFailed_; }

protected:
    Signal<> authorizationChanged_;
    Signal<const std::vector<GeoCoordinate>&> locationsUpdated_;
    Signal<> locationFailed_;
};

} // namespace brivio
