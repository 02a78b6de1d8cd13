#pragma once
// Hardware brightness, contrast and volume of external monitors: decides once per display whether
// DDC/CI (over a matched registry service) or the system brightness service drives it, and keeps the
// channel, the feature maxima, the readings of that probe and how long each monitor takes to answer.

#include "drivers/DDCTransport.h"
#include "drivers/DisplayTopology.h"
#include "model/DisplayDriver.h"
#include "platform/AVService.h"
#include "platform/Registry.h"
#include "platform/WindowServer.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace brivio {

// What a probe asks a monitor that answers brightness.
struct DDCProbeOptions {
    // Write the brightness reading back, proving that the channel takes writes. A caller that only
    // reads (or that writes itself at once) leaves this off: nothing then reaches the monitor.
    bool writeBack = true;
    bool contrast = true;
    bool volume = true;
    bool inputSelect = true;
};

// Why a display has no DDC channel after its probe.
enum class DDCChannelProblem {
    none,      // a channel answered, or no service was there to try
    noChannel, // a service was found, but its channel could not be opened
    noAnswer,  // a channel opened, but the monitor did not answer
};

class DDCDisplayDriver final : public DisplayDriver {
public:
    DDCDisplayDriver(WindowServer& windowServer, Registry& registry, AVServiceSymbols avService,
                     DisplayServicesSymbols displayServices, TopologyClasses classes = TopologyClasses{});

    DisplayDriverKind kind() const override { return DisplayDriverKind::ddc; }
    // Answered from the capability cache once a probe of the display has completed. A probe of a
    // display whose probe is still running waits for that one's result: two probes of one monitor
    // would talk over each other on its bus.
    Task<DisplayCapabilities> probeCapabilities(ManagedDisplay display) override;
    // Brightness only. The reading a probe has just taken answers the first read after it.
    Task<double> readValue(DisplayControl control, ManagedDisplay display) override;
    // Brightness, contrast and volume; dropped silently while the display is being probed.
    Task<void> writeValue(double value, DisplayControl control, ManagedDisplay display) override;

    // Forgets everything about a display that left, releasing its channel and its claim.
    void evict(const std::string& key);
    // Forgets the topology and the claims; displays with a confirmed path keep their capabilities.
    void invalidateTopology();
    // Forgets the cached capabilities of displays with a DDC channel, so they are probed again.
    void forgetChannelCapabilities();

    void setProbeOptions(const DDCProbeOptions& options) { probeOptions_ = options; }
    const DDCProbeOptions& probeOptions() const { return probeOptions_; }
    // Why the last probe of a display found no channel that answers.
    DDCChannelProblem channelProblem(const std::string& key) const;
    // Brightness read by the last probe of a display, as a fraction.
    std::optional<double> probedBrightness(const std::string& key) const;

    // How much longer than the first waits each monitor needs to answer (1, 2 or 4), learned when a
    // longer wait works; every read of that monitor starts there. `onReplyWaitLearned` is told of each
    // change, so that it can be kept for the next start.
    const std::map<std::string, int>& replyWaitScales() const { return replyWaits_; }
    void setReplyWaitScale(const std::string& key, int scale);
    std::function<void(const std::string& key, int scale)> onReplyWaitLearned;

    // The controller marks the displays whose probe it has started and not yet finished.
    std::set<std::string>& probingKeys() { return probingKeys_; }
    const std::set<std::string>& probingKeys() const { return probingKeys_; }

    // Contrast and volume read during the last probe, as fractions.
    const std::map<std::string, double>& ddcContrastCurrentCache() const { return contrastCurrent_; }
    const std::map<std::string, double>& ddcVolumeCurrentCache() const { return volumeCurrent_; }

    // The last known input source (the low byte of feature 0x60), without asking the monitor.
    std::optional<std::uint8_t> cachedInputSource(const std::string& key) const;

    // The display's current input: the cached value when known, otherwise read from the monitor
    // (and cached). Absent without a DDC channel or an answer.
    Task<std::optional<std::uint8_t>> inputSource(ManagedDisplay display);
    // Tells the monitor to show another input; true (and cached) when the write was taken.
    bool setInputSource(std::uint8_t value, const ManagedDisplay& display);

    // Only the monitor's own button turns it back on, so powering off takes proof that the user
    // was asked: a value that must be spelled out at the call site.
    class PowerOffConfirmed {
    public:
        explicit PowerOffConfirmed() = default;
    };
    static constexpr Duration powerOffRepeat = 100ms;
    // Power mode 5 written twice, 100 ms apart (the second reaches monitors that woke on the first);
    // true when the second write was taken. Refused without a word on the bus for built-in displays
    // and displays without a DDC channel.
    Task<bool> powerOff(ManagedDisplay display, PowerOffConfirmed confirmed);

    // The confirmed DDC channel of a display (null when none) and the entry points that reach it.
    AVServiceHandle channel(const std::string& key) const;
    const AVServiceSymbols& avServiceSymbols() const { return avService_; }
    const TopologyClasses& classes() const { return classes_; }

    // Read-only views of the caches, for diagnostics.
    const std::optional<DisplayTopology>& topologyCache() const { return topology_; }
    const std::map<std::string, DisplayCapabilities>& capabilityCache() const { return capabilities_; }
    const std::map<std::string, std::uint16_t>& ddcMaxCache() const { return brightnessMax_; }
    const std::map<std::string, std::uint16_t>& ddcContrastMaxCache() const { return contrastMax_; }
    const std::map<std::string, std::uint16_t>& ddcVolumeMaxCache() const { return volumeMax_; }
    const std::set<std::string>& displayServicesSet() const { return displayServicesSet_; }
    const std::set<RegistryID>& claimedServiceIDs() const { return claimedServiceIDs_; }
    const std::map<std::string, RegistryID>& serviceIDByDisplay() const { return serviceIDByDisplay_; }

private:
    static constexpr Duration probeWaitPoll = 10ms;

    Task<DisplayCapabilities> probe(ManagedDisplay display);
    // A read at the display's learned waits. `patient`: longer ones are tried when the monitor gives
    // only null replies; for brightness, which every monitor answers (null replies to a feature it
    // lacks are no sign of slowness).
    Task<std::optional<VCPReading>> readFeature(std::string key, AVServiceHandle handle, std::uint8_t code,
                                                bool patient);
    // A confirmed DDC path through one candidate, or nothing when the candidate fails.
    Task<std::optional<DisplayCapabilities>> tryCandidate(IOServiceSnapshot candidate, std::string key,
                                                          std::string name);
    std::optional<DisplayCapabilities> tryDisplayServices(const ManagedDisplay& display);
    std::optional<RegistryService> findRetainedService(const IOServiceSnapshot& candidate);
    // Held by the live channel of another display, even after the claims were forgotten.
    bool claimedByOther(RegistryID id, const std::string& key) const;
    bool writeScaled(const std::string& key, std::uint8_t code,
                     const std::map<std::string, std::uint16_t>& maxima, double value);

    WindowServer& windowServer_;
    Registry& registry_;
    AVServiceSymbols avService_;
    DisplayServicesSymbols displayServices_;
    TopologyClasses classes_;

    std::optional<DisplayTopology> topology_;
    std::map<std::string, DisplayCapabilities> capabilities_;
    std::map<std::string, AVServiceHandle> channels_;
    std::set<std::string> probingKeys_;
    std::map<std::string, std::uint16_t> brightnessMax_;
    std::map<std::string, std::uint16_t> contrastMax_;
    std::map<std::string, std::uint16_t> volumeMax_;
    std::map<std::string, double> contrastCurrent_;
    std::map<std::string, double> volumeCurrent_;
    std::map<std::string, std::uint8_t> inputSource_;
    std::set<std::string> displayServicesSet_;
    std::set<RegistryID> claimedServiceIDs_;
    std::map<std::string, RegistryID> serviceIDByDisplay_;
    // The service behind each entry of `channels_`; lives exactly as long as that entry.
    std::map<std::string, RegistryID> channelServiceIDs_;
    DDCProbeOptions probeOptions_;
    std::map<std::string, DDCChannelProblem> channelProblems_;
    std::map<std::string, double> brightnessCurrent_;
    // Probes whose brightness reading has not yet answered a read.
    std::set<std::string> unreadProbeBrightness_;
    std::map<std::string, int> replyWaits_;
    // Shared with the running probes, which may outlive the driver's last use of them.
    std::shared_ptr<std::set<std::string>> probesRunning_ = std::make_shared<std::set<std::string>>();
};

} // namespace brivio
