#pragma once
// The simulated location service: an authorisation status, a permission prompt the user answers as the
// scenario says, and single fixes delivered on the next turn of the loop.

#include "base/MainLoop.h"
#include "base/WeakPtr.h"
#include "platform/LocationService.h"
#include "platform/sim/Scenario.h"

#include <optional>

namespace brivio {

class SimLocation final : public LocationService {
public:
    SimLocation(MainLoop& loop, const ScenarioLocation& scenario);

    int authorizationStatus() override { return status_; }
    void requestWhenInUseAuthorization() override;
    // The position when there is one and access is granted, a failure otherwise.
    void requestLocation() override;
    void openPrivacySettings() override { ++privacySettingsOpened_; }

    // The user changed the permission in the system settings; authorizationChanged follows.
    void setAuthorization(int status);
    void setPosition(std::optional<GeoCoordinate> position) { position_ = position; }
    int privacySettingsOpened() const { return privacySettingsOpened_; }
    int requests() const { return requests_; }

private:
    MainLoop& loop_;
    int status_;
    int promptAnswer_;
    std::optional<GeoCoordinate> position_;
    int privacySettingsOpened_ = 0;
    int requests_ = 0;
    WeakPtrFactory<SimLocation> weak{this};
};

} // namespace brivio
