#include "app/AppServices.h"

#include "modes/DisplayControlStrip.h"

namespace brivio {

AppServices::AppServices(Platform& platform, KeyValueStore& store)
    : preferences_(store), location_(platform.location, preferences_),
      controller_(std::make_unique<DisplayController>(platform, preferences_, &location_)) {
    if (platform.hotKeys)
        shortcuts_ =
            std::make_unique<BrivioShortcutEngine>(platform.loop, *platform.hotKeys, store, *controller_);
}

AppServices::~AppServices() {
    shutdown();
    // The shortcut engine points at the controller: it goes first.
    shortcuts_.reset();
    controller_.reset();
}

void AppServices::startShortcuts() {
    if (shortcuts_)
        shortcuts_->start();
}

void AppServices::shutdown() {
    if (shutDown_)
        return;
    shutDown_ = true;
    shortcuts_.reset();
    // A mode or rotation nobody confirmed goes back before the agent quits, as its countdown would.
    DisplayControlStrip::revertEveryUnconfirmed();
    controller_->shutdown();
}

} // namespace brivio
