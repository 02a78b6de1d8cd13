#pragma once
// The connected monitors as the Linux backend's window server and registry both see them: one scan of
// the DRM connectors with display numbers, unit numbers, serial numbers and registry IDs, and the
// changes between scans as reconfiguration events. Queries read the last scan; only hot-plug events
// and the start of an enumeration scan again, so every connector is read once per enumeration.

#include "base/Signal.h"
#include "platform/Registry.h"
#include "platform/WindowServer.h"
#include "platform/linux/ConnectorNumbers.h"
#include "platform/linux/DrmConnector.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace brivio {

struct LinuxDisplay {
    DrmConnector connector;
    DisplayNumber number = 0;
    std::uint32_t unit = 0;    // the connector's, for the life of the process
    RegistryID registryID = 0; // the connector's service while this monitor stays connected
    std::uint32_t serial = 0;  // the serial number the monitor is known by (DisplaySerial.h)
    bool active() const { return connector.enabled; }
};

class LinuxDisplays {
public:
    explicit LinuxDisplays(DrmConnectorScanner scanner = DrmConnectorScanner{});

    // Scans again and emits `reconfigured` for every display added, removed, enabled or disabled.
    void refresh();
    // At the start of an enumeration: scans again unless the last scan has not been used by one yet
    // (it was made at construction or by a hot-plug event just now).
    void refreshForEnumeration();

    // Connected monitors in scan order (the built-in panel first).
    const std::vector<LinuxDisplay>& displays() const { return displays_; }
    // Every connector of the last scan, connected or not.
    const std::vector<DrmConnector>& connectors() const { return connectors_; }
    const DrmConnectorScanner& scanner() const { return scanner_; }
    const LinuxDisplay* find(DisplayNumber number) const;
    const LinuxDisplay* findService(RegistryID id) const;

    Signal<DisplayNumber, std::uint32_t>& reconfigured() { return reconfigured_; }

private:
    DrmConnectorScanner scanner_;
    ConnectorNumbers numbers_{1};
    ConnectorNumbers registryIDs_{0x1000};
    std::map<std::string, std::uint32_t, std::less<>> units_;
    // Binary serials seen on two connected units of one model: placeholders from then on, so that
    // neither unit's serial changes when the other leaves.
    std::set<std::tuple<std::uint16_t, std::uint16_t, std::uint32_t>> sharedSerials_;
    bool unusedScan_ = false;
    std::vector<LinuxDisplay> displays_;
    std::vector<DrmConnector> connectors_;
    Signal<DisplayNumber, std::uint32_t> reconfigured_;
};

} // namespace brivio
