#include "app/shell/Screenshots.h"

#include "app/panel/AppRouter.h"
#include "app/shell/PanelWindow.h"

#include <QDir>
#include <QPixmap>

namespace brivio {

bool savePageScreenshots(PanelWindow& panel, AppRouter& router, const QString& directory) {
    bool settings = router.showingSettings();
    bool welcome = router.showingWelcome();
    auto shoot = [&](bool showSettings, bool showWelcome, const char* name) {
        router.setShowingWelcome(showWelcome);
        router.setShowingSettings(showSettings);
        QWidget* page = panel.currentPage();
        page->adjustSize();
        page->resize(page->sizeHint().expandedTo(page->minimumSize()));
        return page->grab().save(QDir(directory).filePath(QString::fromLatin1(name)), "PNG");
    };
    bool ok = shoot(false, false, "main.png");
    ok = shoot(true, false, "settings.png") && ok;
    ok = shoot(false, true, "welcome.png") && ok;
    router.setShowingSettings(settings);
    router.setShowingWelcome(welcome);
    return ok;
}

} // namespace brivio
