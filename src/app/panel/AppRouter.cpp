#include "app/panel/AppRouter.h"

#include <utility>

namespace brivio {

void AppRouter::setShowingSettings(bool on) {
    if (std::exchange(showingSettings_, on) != on)
        Q_EMIT showingSettingsChanged(on);
}

void AppRouter::setShowingWelcome(bool on) {
    if (std::exchange(showingWelcome_, on) != on)
        Q_EMIT showingWelcomeChanged(on);
}

void AppRouter::continueFromWelcome() {
    setShowingWelcome(false);
    Q_EMIT welcomeFinished();
}

} // namespace brivio
