#include "app/panel/AppRouter.h"
#include "app/panel/BrivioRootView.h"
#include "app/panel/BrivioSettingsView.h"
#include "app/panel/WelcomeView.h"
#include "settings/BrivioPreferences.h"

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

BrivioRootView::BrivioRootView(DisplayController&, BrivioPreferences&, AppRouter&, QWidget* parent)
    : QLabel("Brivio", parent) {
    setMinimumSize(320, 240);
}

BrivioSettingsView::BrivioSettingsView(DisplayController&, BrivioPreferences&, AppRouter&, LoginItem*,
                                       UpdateBridge*, QWidget* parent)
    : QLabel("Settings", parent) {
    setMinimumSize(320, 240);
}

WelcomeView::WelcomeView(AppRouter&, QWidget* parent) : QLabel("Welcome", parent) {
    setMinimumSize(320, 240);
}

} // namespace brivio
