#include "platform/sim/SimLocation.h"

namespace brivio {

SimLocation::SimLocation(MainLoop& loop, const ScenarioLocation& scenario)
    : loop_(loop), status_(scenario.status), promptAnswer_(scenario.promptAnswer),
      position_(scenario.position) {}

void SimLocation::requestWhenInUseAuthorization() {
    // The system asks only while nothing has been decided.
    if (status_ == LocationAuthorization::notDetermined)
        setAuthorization(promptAnswer_);
}

void SimLocation::setAuthorization(int status) {
    status_ = status;
    loop_.post([weak = weak.weak()] {
        if (weak)
            weak->authorizationChanged_.emit();
    });
}

void SimLocation::requestLocation() {
    ++requests_;
    loop_.post([weak = weak.weak()] {
        if (!weak)
            return;
        bool granted = weak->status_ == LocationAuthorization::authorizedAlways ||
                       weak->status_ == LocationAuthorization::authorizedWhenInUse;
        if (granted && weak->position_)
            weak->locationsUpdated_.emit(std::vector<GeoCoordinate>{*weak->position_});
        else
            weak->locationFailed_.emit();
    });
}

} // namespace brivio
