#pragma once
// A window server and registry small enough to state a display's modes, its transaction outcome and
// its frame buffers in one line of a test.

#include "platform/Registry.h"
#include "platform/WindowServer.h"

#include <fmt/format.h>
#include <string>
#include <vector>

namespace brivio::testing {

// Width, height, pixel width, pixel height, rate, GUI-usable; handles are numbered in order.
inline std::vector<PlatformMode> platformModes(std::vector<PlatformMode> modes) {
    for (std::size_t i = 0; i < modes.size(); ++i)
        modes[i].handle = i + 1;
    return modes;
}
inline PlatformMode pm(std::uint32_t w, std::uint32_t h, std::uint32_t pw, std::uint32_t ph, double hz,
                       bool usable = true) {
    return {0, w, h, pw, ph, hz, usable};
}

class FakeWindowServer final : public WindowServer {
public:
    static constexpr DisplayNumber display = 7;

    std::optional<std::vector<PlatformMode>> modes;
    std::optional<PlatformMode> current;
    bool builtin = false;
    bool online = true;
    double angle = 0;
    // The step that fails ("begin", "configure", "complete"), and every call made, in order.
    std::string failAt;
    std::vector<std::string> calls;

    std::optional<std::vector<DisplayNumber>> activeDisplays() override { return onlineDisplays(); }
    std::optional<std::vector<DisplayNumber>> onlineDisplays() override {
        return online ? std::vector<DisplayNumber>{display} : std::vector<DisplayNumber>{};
    }
    std::uint32_t vendorNumber(DisplayNumber) override { return 16; }
    std::uint32_t modelNumber(DisplayNumber) override { return 48; }
    std::uint32_t serialNumber(DisplayNumber) override { return 5; }
    std::uint32_t unitNumber(DisplayNumber) override { return 2; }
    bool isBuiltin(DisplayNumber) override { return builtin; }
    Rect bounds(DisplayNumber) override { return {}; }
    double rotation(DisplayNumber) override { return angle; }
    int registerReconfigurationCallback(ReconfigurationCallback) override { return 1; }
    void unregisterReconfigurationCallback(int) override {}
    void restoreColorSyncSettings() override {}
    int getTransferTables(DisplayNumber, GammaTables&) override { return 1; }
    int setTransferTables(DisplayNumber, const GammaTables&) override { return 1; }
    std::optional<std::vector<PlatformMode>> allDisplayModes(DisplayNumber) override {
        return online ? modes : std::nullopt;
    }
    std::optional<PlatformMode> currentDisplayMode(DisplayNumber) override {
        return online ? current : std::nullopt;
    }

    std::unique_ptr<DisplayConfiguration> beginConfiguration(int& result) override {
        calls.push_back("begin");
        result = failAt == "begin" || !online ? 1 : 0;
        return result ? nullptr : std::make_unique<Configuration>(*this);
    }

private:
    struct Configuration final : DisplayConfiguration {
        explicit Configuration(FakeWindowServer& s) : server(s) {}
        FakeWindowServer& server;
        std::optional<PlatformMode> pending;
        int configureMode(DisplayNumber, const PlatformMode& mode) override {
            server.calls.push_back("configure " + std::to_string(mode.handle));
            if (server.failAt == "configure")
                return 1;
            pending = mode;
            return 0;
        }
        int completePermanently() override {
            server.calls.push_back("complete");
            if (server.failAt == "complete" || !pending)
                return 1;
            server.current = pending;
            return 0;
        }
        void cancel() override { server.calls.push_back("cancel"); }
    };
};

// Frame buffers with their match properties; setting "Rotation" answers `rotationResult`.
class FakeRegistry final : public Registry {
public:
    std::vector<PropertyDictionary> framebuffers;
    int listingResult = 0;
    int rotationResult = 0;
    std::vector<std::string> calls;

    ServiceListing matchingServices(std::string_view className) override {
        ServiceListing out{listingResult, {}};
        if (className == "IOFramebuffer" && listingResult == 0)
            for (std::size_t i = 0; i < framebuffers.size(); ++i)
                out.services.push_back({RegistryID(i + 1), "IOFramebuffer"});
        return out;
    }
    std::optional<PropertyDictionary> properties(const RegistryService& s) override {
        return s.registryID <= framebuffers.size() ? std::optional(framebuffers[s.registryID - 1])
                                                   : std::nullopt;
    }
    std::optional<PropertyValue> property(const RegistryService& s, std::string_view key) override {
        auto all = properties(s);
        auto it = all ? all->find(std::string(key)) : PropertyDictionary::iterator{};
        return all && it != all->end() ? std::optional(it->second) : std::nullopt;
    }
    std::optional<PropertyValue> searchPropertyWithParents(const RegistryService& s,
                                                           std::string_view key) override {
        return property(s, key);
    }
    int setIntegerParameter(const RegistryService& s, std::string_view parameter,
                            std::int32_t value) override {
        calls.push_back(fmt::format("{} {} {}", s.registryID, parameter, value));
        return rotationResult;
    }
};

} // namespace brivio::testing
