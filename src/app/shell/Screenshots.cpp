#include "app/shell/Screenshots.h"

#include "app/panel/AppRouter.h"
#include "app/panel/GlobalPresetCardView.h"
#include "app/panel/ScheduleCardView.h"
#include "app/shell/PanelWindow.h"
#include "core/DisplayController.h"
#include "settings/BrivioPreferences.h"

#include <QDir>
#include <QEventLoop>
#include <QPixmap>
#include <QTimer>

namespace brivio {

namespace {

bool save(QWidget* widget, const QString& directory, const char* name) {
    if (!widget)
        return false;
    return widget->grab().save(QDir(directory).filePath(QString::fromLatin1(name)), "PNG");
}

// Lets queued redraws and the cards' fade-ins finish (they run a few hundred milliseconds).
void settle() {
    QEventLoop wait;
    QTimer::singleShot(600, &wait, &QEventLoop::quit);
    wait.exec();
}

// The page at the size it asks for, once it has settled.
QWidget* settledPage(PanelWindow& panel) {
    settle();
    QWidget* page = panel.currentPage();
    page->adjustSize();
    page->resize(page->sizeHint().expandedTo(page->minimumSize()));
    settle();
    return page;
}

} // namespace

bool savePageScreenshots(PanelWindow& panel, AppRouter& router, DisplayController& controller,
                         BrivioPreferences& preferences, const QString& directory) {
    bool settings = router.showingSettings();
    bool welcome = router.showingWelcome();
    // Hidden widgets postpone their layouts: a card that opens would keep its closed height.
    bool shown = panel.isVisible();
    panel.show();
    auto shoot = [&](bool showSettings, bool showWelcome, const char* name) {
        router.setShowingWelcome(showWelcome);
        router.setShowingSettings(showSettings);
        return save(settledPage(panel), directory, name);
    };
    bool ok = shoot(false, false, "main.png");
    QWidget* main = panel.currentPage();
    ok = save(main->findChild<GlobalPresetCardView*>(), directory, "presets.png") && ok;
    ok = save(main->findChild<ScheduleCardView*>(), directory, "schedule.png") && ok;

    // The card with the most to show: a monitor that speaks DDC/CI, else any external one.
    const ManagedDisplay* external = nullptr;
    for (const auto& d : controller.displays())
        if (!d.isBuiltIn && (!external || (d.capabilities.supportsHardwareBrightness &&
                                           !external->capabilities.supportsHardwareBrightness)))
            external = &d;
    if (external) {
        std::string key = external->identity.stableKey();
        auto expanded = preferences.displayExpandedByKey();
        preferences.setDisplayExpanded(key, true);
        ok = shoot(false, false, "display-card.png") && ok;
        auto it = expanded.find(key);
        preferences.setDisplayExpanded(key, it != expanded.end() && it->second);
    }

    ok = shoot(true, false, "settings.png") && ok;
    ok = shoot(false, true, "welcome.png") && ok;
    router.setShowingSettings(settings);
    router.setShowingWelcome(welcome);
    if (!shown)
        panel.hide();
    return ok;
}

} // namespace brivio
