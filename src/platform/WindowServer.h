#pragma once
// The window server's display services: display lists and numbers, bounds and rotation, the
// reconfiguration callback, gamma transfer tables, display modes and the mode transaction.
// Result codes follow the window server's convention: 0 is success, anything else failure.

#include "platform/Geometry.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace brivio {

// Valid while a display stays connected; never a key for stored data.
using DisplayNumber = std::uint32_t;

// Change flags of the reconfiguration callback.
namespace ReconfigurationFlags {
constexpr std::uint32_t beginConfiguration = 0x1;
constexpr std::uint32_t moved = 0x2;
constexpr std::uint32_t setMain = 0x4;
constexpr std::uint32_t setMode = 0x8;
constexpr std::uint32_t add = 0x10;
constexpr std::uint32_t remove = 0x20;
constexpr std::uint32_t enabled = 0x100;
constexpr std::uint32_t disabled = 0x200;
constexpr std::uint32_t mirror = 0x400;
} // namespace ReconfigurationFlags

constexpr std::size_t gammaTableSize = 256;
using GammaChannel = std::array<float, gammaTableSize>;
struct GammaTables {
    GammaChannel red{};
    GammaChannel green{};
    GammaChannel blue{};
    bool operator==(const GammaTables&) const = default;
};

// One mode as the window server describes it; `handle` identifies it for a mode change.
struct PlatformMode {
    std::uint64_t handle = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t pixelWidth = 0;
    std::uint32_t pixelHeight = 0;
    double refreshRate = 0; // Hz; 0 when the display reports none
    bool usableForDesktopGUI = true;
    bool operator==(const PlatformMode&) const = default;
};

// A display-configuration transaction: configure, then complete (or cancel).
class DisplayConfiguration {
public:
    virtual ~DisplayConfiguration() = default;
    virtual int configureMode(DisplayNumber display, const PlatformMode& mode) = 0;
    // Completion option "permanently": the change outlives the process.
    virtual int completePermanently() = 0;
    virtual void cancel() = 0;
};

class WindowServer {
public:
    using ReconfigurationCallback = std::function<void(DisplayNumber, std::uint32_t flags)>;
    static constexpr std::size_t maxDisplays = 32;

    virtual ~WindowServer() = default;

    // Displays drawn on / connected, at most 32; absent when the query fails.
    virtual std::optional<std::vector<DisplayNumber>> activeDisplays() = 0;
    virtual std::optional<std::vector<DisplayNumber>> onlineDisplays() = 0;

    virtual std::uint32_t vendorNumber(DisplayNumber display) = 0;
    virtual std::uint32_t modelNumber(DisplayNumber display) = 0;
    virtual std::uint32_t serialNumber(DisplayNumber display) = 0; // 0 when none is reported
    virtual std::uint32_t unitNumber(DisplayNumber display) = 0;
    virtual bool isBuiltin(DisplayNumber display) = 0;
    virtual Rect bounds(DisplayNumber display) = 0;
    virtual double rotation(DisplayNumber display) = 0; // degrees

    // May be called from any thread in a real backend; callers only post work from it. Returns an id
    // for `unregisterReconfigurationCallback`.
    virtual int registerReconfigurationCallback(ReconfigurationCallback callback) = 0;
    virtual void unregisterReconfigurationCallback(int id) = 0;

    // Every gamma table returns to the system calibration.
    virtual void restoreColorSyncSettings() = 0;
    virtual int getTransferTables(DisplayNumber display, GammaTables& tables) = 0;
    virtual int setTransferTables(DisplayNumber display, const GammaTables& tables) = 0;

    // Every mode including the low-resolution duplicates of HiDPI modes; absent when none are given.
    virtual std::optional<std::vector<PlatformMode>> allDisplayModes(DisplayNumber display) = 0;
    virtual std::optional<PlatformMode> currentDisplayMode(DisplayNumber display) = 0;
    // Null when a transaction cannot be begun; `result` receives the code.
    virtual std::unique_ptr<DisplayConfiguration> beginConfiguration(int& result) = 0;

    // Why this server cannot scale the display's gamma tables, or list and change its modes and
    // rotation, in plain words; absent when it can.
    virtual std::optional<std::string> gammaUnavailable(DisplayNumber) { return std::nullopt; }
    virtual std::optional<std::string> modesUnavailable(DisplayNumber) { return std::nullopt; }
};

} // namespace brivio
