#pragma once
// Launch at login as the settings page sees it.

namespace brivio {

class LoginItem {
public:
    virtual ~LoginItem() = default;
    virtual bool isEnabled() const = 0;
    // False when the platform refused.
    virtual bool setEnabled(bool enabled) = 0;
};

} // namespace brivio
