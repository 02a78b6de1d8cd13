#pragma once
// Just enough platform for the DDC layers: monitors that answer VCP reads from a feature table (or a
// script of raw replies) and record every transfer, and a window server and registry holding a few facts.

#include "base/MainLoop.h"
#include "platform/AVService.h"
#include "platform/Registry.h"
#include "platform/WindowServer.h"

#include <algorithm>
#include <deque>
#include <map>
#include <stdexcept>

namespace brivio::testing {

using Bytes = std::vector<std::uint8_t>;

struct Transfer {
    long long atMs;
    bool read;
    std::uint32_t chip, address;
    Bytes bytes;
};

// What the fake entry points report for a read the monitor refused as busy.
inline constexpr int refusedRead = 121;

struct FakeMonitor : AVServiceChannel {
    explicit FakeMonitor(MainLoop& loop) : loop(loop) {}
    MainLoop& loop;
    std::map<std::uint8_t, std::pair<std::uint16_t, std::uint16_t>> features; // code -> (current, max)
    std::deque<Bytes> script;
    int readResult = 0, setResult = 0;
    int refuseReads = 0;   // reads refused (as busy) before the monitor reads again
    Duration replyDelay{}; // a request read sooner than this is not ready: the null message
    std::vector<Transfer> transfers;
    std::uint8_t requested = 0;
    TimePoint requestedAt{};

    long long nowMs() const { return toMillis(loop.now() - TimePoint{}); }
    std::size_t count(bool read) const {
        return std::count_if(transfers.begin(), transfers.end(), [&](auto& t) { return t.read == read; });
    }
    std::vector<Bytes> setRequests() const {
        std::vector<Bytes> out;
        for (auto& t : transfers)
            if (t.bytes.size() == 6)
                out.push_back({t.bytes[2], t.bytes[3], t.bytes[4]});
        return out;
    }
    int write(std::uint32_t chip, std::uint32_t address, const std::uint8_t* b, std::uint32_t n) {
        transfers.push_back({nowMs(), false, chip, address, {b, b + n}});
        if (n == 6 && setResult)
            return setResult;
        if (n == 4) {
            requested = b[2];
            requestedAt = loop.now();
        }
        if (n == 6 && features.count(b[2]))
            features[b[2]].first = std::uint16_t(b[3] << 8 | b[4]);
        return 0;
    }
    int read(std::uint32_t chip, std::uint32_t offset, std::uint8_t* buffer, std::uint32_t n) {
        transfers.push_back({nowMs(), true, chip, offset, {}});
        if (readResult)
            return readResult;
        if (refuseReads > 0) {
            --refuseReads;
            return refusedRead;
        }
        Bytes reply(n, 0);
        if (loop.now() - requestedAt < replyDelay) {
            reply = {0x6E, 0x80, 0xBE}; // the null message: not ready yet
            reply.resize(n, 0);
        } else if (!script.empty()) {
            reply = script.front();
            script.pop_front();
        } else if (auto it = features.find(requested); it != features.end()) {
            auto [cur, max] = it->second;
            reply = {0x6E,
                     0x88,
                     0x02,
                     0x00,
                     requested,
                     0,
                     Bytes::value_type(max >> 8),
                     Bytes::value_type(max),
                     Bytes::value_type(cur >> 8),
                     Bytes::value_type(cur),
                     0};
        }
        std::copy_n(reply.begin(), n, buffer);
        return 0;
    }
};

// Entry points reaching the monitors, which are found by the registry ID of their service.
inline AVServiceSymbols fakeSymbols(std::map<RegistryID, std::shared_ptr<FakeMonitor>>& monitors) {
    return {[&monitors](const RegistryService& s) -> AVServiceHandle {
                auto it = monitors.find(s.registryID);
                return it == monitors.end() ? nullptr : it->second;
            },
            [](const AVServiceHandle& h, std::uint32_t c, std::uint32_t a, const std::uint8_t* b,
               std::uint32_t n) { return static_cast<FakeMonitor&>(*h).write(c, a, b, n); },
            [](const AVServiceHandle& h, std::uint32_t c, std::uint32_t o, std::uint8_t* b, std::uint32_t n) {
                return static_cast<FakeMonitor&>(*h).read(c, o, b, n);
            },
            [](int result) { return result == refusedRead; }};
}

struct FakeDisplay {
    DisplayNumber number;
    std::uint32_t vendor, product, serial, unit;
    bool builtIn;
};

struct FakeWindowServer : WindowServer {
    std::vector<FakeDisplay> displays;
    bool listFails = false;

    const FakeDisplay& find(DisplayNumber n) const {
        for (auto& d : displays)
            if (d.number == n)
                return d;
        throw std::out_of_range("no display");
    }
    std::optional<std::vector<DisplayNumber>> onlineDisplays() override {
        if (listFails)
            return std::nullopt;
        std::vector<DisplayNumber> out;
        for (auto& d : displays)
            out.push_back(d.number);
        return out;
    }
    std::optional<std::vector<DisplayNumber>> activeDisplays() override { return onlineDisplays(); }
    std::uint32_t vendorNumber(DisplayNumber d) override { return find(d).vendor; }
    std::uint32_t modelNumber(DisplayNumber d) override { return find(d).product; }
    std::uint32_t serialNumber(DisplayNumber d) override { return find(d).serial; }
    std::uint32_t unitNumber(DisplayNumber d) override { return find(d).unit; }
    bool isBuiltin(DisplayNumber d) override { return find(d).builtIn; }
    Rect bounds(DisplayNumber) override { return {}; }
    double rotation(DisplayNumber) override { return 0; }
    int registerReconfigurationCallback(ReconfigurationCallback) override { return 0; }
    void unregisterReconfigurationCallback(int) override {}
    void restoreColorSyncSettings() override {}
    int getTransferTables(DisplayNumber, GammaTables&) override { return -1; }
    int setTransferTables(DisplayNumber, const GammaTables&) override { return -1; }
    std::optional<std::vector<PlatformMode>> allDisplayModes(DisplayNumber) override { return {}; }
    std::optional<PlatformMode> currentDisplayMode(DisplayNumber) override { return {}; }
    std::unique_ptr<DisplayConfiguration> beginConfiguration(int& result) override {
        return result = -1, nullptr;
    }
};

struct FakeRegistry : Registry {
    // Absent properties cannot be read.
    std::vector<std::pair<RegistryService, std::optional<PropertyDictionary>>> services;
    std::map<std::string, int> failingClasses;
    int matchCalls = 0;

    // Publishes vendor and product when non-zero, and the AV key when asked.
    void add(const std::string& cls, RegistryID id, std::uint32_t vendor, std::uint32_t product,
             bool av = true) {
        PropertyDictionary p;
        if (vendor)
            p["DisplayVendorID"] = {std::int64_t(vendor)};
        if (product)
            p["DisplayProductID"] = {std::int64_t(product)};
        if (av)
            p["IOAVServiceUserInterfaceSupported"] = {true};
        services.push_back({{id, cls}, p});
    }
    ServiceListing matchingServices(std::string_view cls) override {
        ++matchCalls;
        if (auto it = failingClasses.find(std::string(cls)); it != failingClasses.end())
            return {it->second, {}};
        ServiceListing out;
        for (auto& [s, p] : services)
            if (s.className == cls)
                out.services.push_back(s);
        return out;
    }
    std::optional<PropertyDictionary> properties(const RegistryService& service) override {
        for (auto& [s, p] : services)
            if (s.registryID == service.registryID)
                return p;
        return std::nullopt;
    }
    std::optional<PropertyValue> property(const RegistryService& service, std::string_view key) override {
        auto all = properties(service);
        auto it = all ? all->find(std::string(key)) : PropertyDictionary::iterator{};
        return all && it != all->end() ? std::optional(it->second) : std::nullopt;
    }
    std::optional<PropertyValue> searchPropertyWithParents(const RegistryService&,
                                                           std::string_view) override {
        return {};
    }
    int setIntegerParameter(const RegistryService&, std::string_view, std::int32_t) override { return -1; }
};

} // namespace brivio::testing
