#include "app/shell/Screenshots.h"

#include "app/panel/AppRouter.h"
#include "app/panel/BrivioRootView.h"
#include "app/panel/BrivioSettingsView.h"
#include "app/panel/GlobalPresetCardView.h"
#include "app/panel/ScheduleCardView.h"
#include "app/panel/WelcomeView.h"
#include "app/shell/HintBubble.h"
#include "app/shell/PanelWindow.h"
#include "app/shell/TrayIcon.h"
#include "core/DisplayController.h"
#include "settings/BrivioPreferences.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QEventLoop>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <memory>

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

QPalette lightScheme() {
    return QApplication::style()->standardPalette();
}

QPalette darkScheme() {
    QPalette p;
    QColor window(43, 43, 47), base(31, 31, 34), text(232, 232, 235), button(58, 58, 63);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Light, QColor(75, 75, 80));
    p.setColor(QPalette::Midlight, QColor(66, 66, 71));
    p.setColor(QPalette::Mid, QColor(96, 96, 102));
    p.setColor(QPalette::Dark, QColor(24, 24, 26));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, QColor(61, 125, 216));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::PlaceholderText, QColor(232, 232, 235, 150));
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(130, 130, 135));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(130, 130, 135));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(130, 130, 135));
    return p;
}

// A panel of its own, built while `scheme` is the application's palette, so that every page is drawn
// in it from the start.
struct SchemePanel {
    SchemePanel(AppRouter& router, DisplayController& controller, BrivioPreferences& preferences)
        : panel(router, new BrivioRootView(controller, preferences, router),
                new BrivioSettingsView(controller, preferences, router, nullptr, nullptr),
                new WelcomeView(router), true) {}
    PanelWindow panel;
};

constexpr int barHeight = 28;
constexpr int sceneWidth = 640;

// The desktop the scenes are drawn on: a backdrop, and a bar at the top or the bottom in the scheme's
// window colours with a clock and the tray icon drawn in the tray's ink.
QImage desktop(const QRect& screen, bool top, const QRect& icon) {
    QImage image(screen.size(), QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    QLinearGradient sky(0, 0, 0, screen.height());
    sky.setColorAt(0, QColor(70, 96, 140));
    sky.setColorAt(1, QColor(150, 120, 150));
    p.fillRect(image.rect(), sky);
    QRect bar(0, top ? 0 : screen.height() - barHeight, screen.width(), barHeight);
    QPalette palette = QApplication::palette();
    p.fillRect(bar, palette.color(QPalette::Window));
    p.setPen(palette.color(QPalette::WindowText));
    QFont font = p.font();
    font.setPixelSize(13);
    p.setFont(font);
    p.drawText(bar.adjusted(0, 0, -16, 0), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Tue 09:41"));
    p.drawImage(icon.topLeft() - screen.topLeft(), brivioTrayImage(trayInk(), icon.width()));
    return image;
}

void paintWindow(QImage& scene, const QRect& screen, QWidget& window) {
    QPainter p(&scene);
    p.drawPixmap(window.geometry().topLeft() - screen.topLeft(), window.grab());
}

// The right end of the screen, from its bar to a little beyond `window`.
bool saveScene(const QImage& scene, const QRect& screen, const QRect& window, bool top,
               const QString& directory, const char* name) {
    constexpr int beyond = 40;
    int width = std::min(sceneWidth, screen.width());
    QRect shown = top ? QRect(screen.width() - width, 0, width, window.bottom() - screen.top() + 1 + beyond)
                      : QRect(screen.width() - width, window.top() - screen.top() - beyond, width,
                              screen.bottom() - window.top() + 1 + beyond);
    return scene.copy(shown.intersected(QRect(QPoint(0, 0), screen.size())))
        .save(QDir(directory).filePath(QString::fromLatin1(name)), "PNG");
}

// The panel opened by a click on the tray icon, and the first-run hint at the same icon.
bool shootTray(AppRouter& router, DisplayController& controller, BrivioPreferences& preferences,
               const QString& directory, bool top) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return false;
    QRect bounds = screen->geometry();
    int iconSide = 22;
    QRect icon(bounds.right() - 160,
               top ? bounds.top() + (barHeight - iconSide) / 2
                   : bounds.bottom() + 1 - barHeight + (barHeight - iconSide) / 2,
               iconSide, iconSide);
    SchemePanel scheme(router, controller, preferences);
    // The way a tray host reports it: the click's position; no bus is needed for that.
    TrayIcon tray(scheme.panel, QDBusConnection(QStringLiteral("brivio-screenshots")), false);
    tray.activateAt(icon.center());
    settle();
    QImage panelScene = desktop(bounds, top, icon);
    paintWindow(panelScene, bounds, scheme.panel);
    bool ok = saveScene(panelScene, bounds, scheme.panel.geometry(), top, directory,
                        top ? "tray-top.png" : "tray-bottom.png");
    scheme.panel.hide();

    HintBubble bubble([icon] { return std::optional<QRect>(icon); }, true);
    bubble.showBubble(Rect{double(icon.x()), double(icon.y()), double(icon.width()), double(icon.height())},
                      {});
    settle();
    QImage hintScene = desktop(bounds, top, icon);
    if (bubble.window())
        paintWindow(hintScene, bounds, *bubble.window());
    ok = bubble.window() &&
         saveScene(hintScene, bounds, bubble.window()->geometry(), top, directory,
                   top ? "hint-top.png" : "hint-bottom.png") &&
         ok;
    bubble.hideBubble();
    return ok;
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
    router.setShowingSettings(false);
    router.setShowingWelcome(false);
    if (!shown)
        panel.hide();

    // The schemes: the same page built afresh under each palette. The dark scheme's tray sits in a top
    // bar, the light one's in a bottom bar.
    QPalette original = QApplication::palette();
    for (bool dark : {false, true}) {
        QApplication::setPalette(dark ? darkScheme() : lightScheme());
        {
            SchemePanel scheme(router, controller, preferences);
            scheme.panel.popUp(QRect());
            ok = save(settledPage(scheme.panel), directory, dark ? "main-dark.png" : "main-light.png") && ok;
            scheme.panel.hide();
        }
        ok = shootTray(router, controller, preferences, directory, dark) && ok;
    }
    QApplication::setPalette(original);
    router.setShowingSettings(settings);
    router.setShowingWelcome(welcome);
    return ok;
}

} // namespace brivio
