#include "app/shell/AppDelegate.h"

#include "app/panel/AppRouter.h"
#include "base/Log.h"

#include <utility>

namespace brivio {

AppDelegate::AppDelegate(MainLoop& loop, AppRouter& router, MenuBarHintWindowController& hint,
                         LaunchSteps steps)
    : loop_(loop), router_(router), hint_(hint), steps_(std::move(steps)) {}

AppDelegate::~AppDelegate() = default;

void AppDelegate::launch() {
    logInfo(LogCategory::AppDelegate, "Application launched");
    if (steps_.createUpdater)
        steps_.createUpdater();
    if (steps_.obtainController)
        steps_.obtainController();
    logDebug(LogCategory::AppDelegate, "DisplayController initialized");
    if (steps_.startShortcuts)
        steps_.startShortcuts();
    logDebug(LogCategory::AppDelegate, "ShortcutEngine started");
    auto self = weak.token();
    loop_.post([this, self] {
        if (!self.expired())
            firstRunCheck();
    });
}

void AppDelegate::firstRunCheck() {
    if (router_.showingWelcome() || (steps_.hasSeenWelcome && steps_.hasSeenWelcome()))
        return;
    router_.setShowingWelcome(true);
    auto self = weak.token();
    loop_.postAfter(hintDelay, [this, self] {
        if (!self.expired() && !terminated_)
            hint_.show();
    });
}

void AppDelegate::terminate() {
    if (std::exchange(terminated_, true))
        return;
    logInfo(LogCategory::AppDelegate, "Application terminating");
    hint_.dismiss();
    if (steps_.shutdown)
        steps_.shutdown();
}

} // namespace brivio
