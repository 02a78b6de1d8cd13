#pragma once
// Software updates as the settings page sees them.

#include <string>

namespace brivio {

class UpdateBridge {
public:
    virtual ~UpdateBridge() = default;
    virtual bool automaticallyChecksForUpdates() const = 0;
    virtual void setAutomaticallyChecksForUpdates(bool on) = 0;
    virtual void checkForUpdates() = 0;
    // What the page says about updates where they are not the app's business.
    virtual std::string note() const = 0;
    virtual bool canCheckForUpdates() const = 0;
};

} // namespace brivio
