#include "schedule/LocationManager.h"

#include <cmath>
#include <gtest/gtest.h>
#include <map>

namespace brivio {
namespace {

struct FakeLocationService : LocationService {
    int status = LocationAuthorization::notDetermined;
    int prompts = 0, fixRequests = 0, privacyOpened = 0;
    int authorizationStatus() override { return status; }
    void requestWhenInUseAuthorization() override { ++prompts; }
    void requestLocation() override { ++fixRequests; }
    void openPrivacySettings() override { ++privacyOpened; }
    void grant(int s) {
        status = s;
        authorizationChanged_.emit();
    }
    void deliver(std::vector<GeoCoordinate> fixes) { locationsUpdated_.emit(fixes); }
};

struct MapStore : PositionStore {
    std::map<std::string, double> values;
    std::optional<double> readDouble(const std::string& key) const override {
        auto it = values.find(key);
        return it == values.end() ? std::nullopt : std::optional<double>(it->second);
    }
    void writeDouble(const std::string& key, double value) override { values[key] = value; }
};

TEST(LocationManager, FirstLaunchAsksThenStoresTheFix) {
    FakeLocationService service;
    MapStore store;
    LocationManager location(service, store);
    EXPECT_FALSE(location.coordinate());
    EXPECT_FALSE(location.canUseLocation());
    EXPECT_EQ(service.fixRequests, 0);

    location.requestAccess();
    EXPECT_EQ(service.prompts, 1);
    EXPECT_EQ(service.fixRequests, 1);

    service.grant(LocationAuthorization::authorizedAlways);
    EXPECT_EQ(service.fixRequests, 2);
    service.deliver({});
    service.deliver({{10, 20}, {52.5, 13.4}});
    EXPECT_EQ(location.coordinate(), (GeoCoordinate{52.5, 13.4}));
    EXPECT_EQ(store.values,
              (std::map<std::string, double>{{"bv.location.lat", 52.5}, {"bv.location.lon", 13.4}}));
    EXPECT_TRUE(location.canUseLocation());
}

TEST(LocationManager, StoredPositionAtLaunch) {
    struct Case {
        std::map<std::string, double> stored;
        int status;
        bool hasCoordinate, canUse;
        int fixRequests;
    } cases[] = {
        {{{"bv.location.lat", 48.1}, {"bv.location.lon", 11.6}},
         LocationAuthorization::notDetermined,
         true,
         true,
         0},
        {{{"bv.location.lat", 48.1}}, LocationAuthorization::authorizedAlways, true, true, 1},
        {{{"bv.location.lat", 0}, {"bv.location.lon", 0}},
         LocationAuthorization::notDetermined,
         false,
         false,
         0},
        {{{"bv.location.lat", 48.1}, {"bv.location.lon", 11.6}},
         LocationAuthorization::denied,
         true,
         false,
         0},
        {{{"bv.location.lat", 48.1}, {"bv.location.lon", 11.6}},
         LocationAuthorization::restricted,
         true,
         false,
         0},
        // Granted "when in use" is as good as always: a fix is asked for.
        {{}, LocationAuthorization::authorizedWhenInUse, false, true, 1},
        // A damaged stored value is no position.
        {{{"bv.location.lat", std::nan("")}, {"bv.location.lon", 11.6}},
         LocationAuthorization::notDetermined,
         false,
         false,
         0},
        {{{"bv.location.lat", 400}, {"bv.location.lon", 11.6}},
         LocationAuthorization::notDetermined,
         false,
         false,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        FakeLocationService service;
        service.status = c.status;
        MapStore store;
        store.values = c.stored;
        LocationManager location(service, store);
        EXPECT_EQ(location.coordinate().has_value(), c.hasCoordinate);
        EXPECT_EQ(location.canUseLocation(), c.canUse);
        EXPECT_EQ(service.fixRequests, c.fixRequests);
    }
}

TEST(LocationManager, DeniedOpensPrivacySettingsAndFailuresKeepThePosition) {
    FakeLocationService service;
    service.status = LocationAuthorization::denied;
    MapStore store;
    store.values = {{"bv.location.lat", 1}, {"bv.location.lon", 2}};
    LocationManager location(service, store);
    location.requestAccess();
    EXPECT_EQ(service.privacyOpened, 1);
    EXPECT_EQ(service.prompts + service.fixRequests, 0);

    service.deliver({{std::nan(""), 3}});
    service.deliver({{91, 3}});
    EXPECT_EQ(location.coordinate(), (GeoCoordinate{1, 2}));
    EXPECT_EQ(store.values["bv.location.lat"], 1);
}

TEST(LocationManager, ManualPositionIsStoredLikeAFix) {
    FakeLocationService service;
    MapStore store;
    LocationManager location(service, store);
    int changes = 0;
    auto sub = location.changed().subscribe([&] { ++changes; });
    EXPECT_FALSE(location.setManualPosition(-91, 0));
    EXPECT_FALSE(location.setManualPosition(0, 180.5));
    EXPECT_TRUE(location.setManualPosition(-33.9, 151.2));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(location.coordinate(), (GeoCoordinate{-33.9, 151.2}));
    EXPECT_TRUE(location.canUseLocation());

    LocationManager nextLaunch(service, store);
    EXPECT_EQ(nextLaunch.coordinate(), (GeoCoordinate{-33.9, 151.2}));
}

} // namespace
} // namespace brivio
