#include "schedule/LocationManager.h"
#include "settings/MemoryKeyValueStore.h"

#include <cmath>
#include <gtest/gtest.h>

namespace brivio {
namespace {

namespace auth = LocationAuthorization;

struct FakeLocationService : LocationService {
    int status = auth::notDetermined;
    int prompts = 0, fixRequests = 0, privacyOpened = 0;
    int authorizationStatus() override { return status; }
    void requestWhenInUseAuthorization() override { ++prompts; }
    void requestLocation() override { ++fixRequests; }
    void openPrivacySettings() override { ++privacyOpened; }
    void deliver(std::vector<GeoCoordinate> fixes) { locationsUpdated_.emit(fixes); }
    void changeTo(int s) {
        status = s;
        authorizationChanged_.emit();
    }
};

struct Fixture {
    FakeLocationService service;
    MemoryKeyValueStore store;
    BrivioPreferences preferences{store};
    Fixture(int status, double lat, double lon) {
        service.status = status;
        store.set("bv.location.lat", lat);
        store.set("bv.location.lon", lon);
    }
};

TEST(LocationManager, AskingGrantingAndStoringFixes) {
    Fixture f(auth::notDetermined, 0, 0);
    LocationManager location(f.service, f.preferences);
    EXPECT_FALSE(location.coordinate());
    EXPECT_FALSE(location.canUseLocation());
    location.requestAccess();
    EXPECT_EQ(f.service.prompts, 1);
    f.service.changeTo(auth::authorizedAlways);
    EXPECT_EQ(f.service.fixRequests, 2); // after the prompt, and once granted
    f.service.deliver({});
    f.service.deliver({{10, 20}, {52.5, 13.4}});
    // A fix outside the globe would feed every later sunrise: the previous position stays.
    f.service.deliver({{std::nan(""), 3}});
    f.service.deliver({{91, 3}});
    EXPECT_EQ(location.coordinate(), (GeoCoordinate{52.5, 13.4}));
    EXPECT_EQ(f.store.getAs<double>("bv.location.lon"), 13.4);

    f.service.changeTo(auth::denied);
    EXPECT_FALSE(location.canUseLocation());
    location.requestAccess();
    EXPECT_EQ(f.service.privacyOpened, 1);
    EXPECT_EQ(f.service.fixRequests, 2);

    EXPECT_FALSE(location.setManualPosition(0, 180.5));
    EXPECT_TRUE(location.setManualPosition(-33.9, 151.2));
    EXPECT_EQ(LocationManager(f.service, f.preferences).coordinate(), (GeoCoordinate{-33.9, 151.2}));
}

TEST(LocationManager, StoredPositionAtLaunch) {
    struct Case {
        int status;
        double lat, lon;
        bool hasCoordinate, canUse;
        int fixRequests;
    } cases[] = {
        {auth::notDetermined, 48.1, 11.6, true, true, 0},
        {auth::notDetermined, 0, 0, false, false, 0}, // (0, 0) reads as nothing stored
        {auth::denied, 48.1, 11.6, true, false, 0},
        {auth::authorizedWhenInUse, 0, 0, false, true, 1}, // as good as "always"
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.status << " " << c.lat << " " << c.lon);
        Fixture f(c.status, c.lat, c.lon);
        LocationManager location(f.service, f.preferences);
        EXPECT_EQ(location.coordinate().has_value(), c.hasCoordinate);
        EXPECT_EQ(location.canUseLocation(), c.canUse);
        EXPECT_EQ(f.service.fixRequests, c.fixRequests);
    }
}

} // namespace
} // namespace brivio
