#pragma once
// Launch and termination of the app: the start-up order with its log lines, the first-run check that
// shows the welcome page and, a moment later, the hint; and the clean-up when the app ends, however it
// ends (quit, SIGTERM/SIGINT, session logout).

#include "app/shell/MenuBarHintWindowController.h"
#include "base/MainLoop.h"
#include "base/WeakPtr.h"

#include <functional>

namespace brivio {

class AppRouter;

// What launching and terminating do to the long-lived objects, in the order they are called.
struct LaunchSteps {
    std::function<void()> createUpdater;
    std::function<void()> obtainController; // constructing the controller starts enumeration
    std::function<void()> startShortcuts;
    std::function<void()> shutdown;
    // The stored "brivio.hasSeenWelcome" (read once the controller's preferences exist).
    std::function<bool()> hasSeenWelcome;
};

class AppDelegate {
public:
    static constexpr Duration hintDelay = 400ms;

    AppDelegate(MainLoop& loop, AppRouter& router, MenuBarHintWindowController& hint, LaunchSteps steps);
    ~AppDelegate();

    void launch();
    void firstRunCheck();
    // Runs the termination steps once; later calls do nothing.
    void terminate();
    bool terminated() const { return terminated_; }

private:
    MainLoop& loop_;
    AppRouter& router_;
    MenuBarHintWindowController& hint_;
    LaunchSteps steps_;
    bool terminated_ = false;
    WeakPtrFactory<AppDelegate> weak{this};
};

} // namespace brivio
