#include "app/AppServices.h"

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
    controller_->shutdown();
}

} // namespace brivio
