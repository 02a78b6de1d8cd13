#pragma once
// The location service of a Linux desktop: a GeoClue2 client (desktop id "dev.brivio.Brivio", city accuracy)
// over the system bus. The desktop's location agent decides the permission; its answer becomes the
// authorisation code. Without the bus or the service, requests fail and the stored position is used.

#include "base/MainLoop.h"
#include "base/WeakPtr.h"
#include "platform/LocationService.h"

#include <memory>
#include <optional>

namespace brivio {

class SystemBus;

class GeoClueLocation final : public LocationService {
public:
    // `bus` is the system bus, attached to the loop's fd watcher by its owner; it must outlive this.
    GeoClueLocation(MainLoop& loop, SystemBus& bus);
    ~GeoClueLocation() override;

    int authorizationStatus() override { return status_; }
    // Starts the client: the agent may ask the user. Granted: authorised always; refused: denied;
    // no service: restricted.
    void requestWhenInUseAuthorization() override;
    void requestLocation() override;
    void openPrivacySettings() override;

private:
    struct Client;
    void start();
    void started(bool ok, bool refused, const std::string& why);
    void setStatus(int status);
    void locationUpdated(const std::string& path);

    MainLoop& loop_;
    SystemBus& bus_;
    int status_;
    std::unique_ptr<Client> client_;
    bool starting_ = false;
    bool running_ = false;
    bool wantFix_ = false;
    std::optional<GeoCoordinate> last_;
    WeakPtrFactory<GeoClueLocation> weak{this};
};

} // namespace brivio
