#include "app/shell/BrivioApp.h"

#include "app/AppServices.h"
#include "app/bus/AgentBusService.h"
#include "app/bus/AgentClient.h"
#include "app/panel/AppRouter.h"
#include "app/panel/BrivioRootView.h"
#include "app/panel/BrivioSettingsView.h"
#include "app/panel/WelcomeView.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/Compositor.h"
#include "app/shell/DesktopMotion.h"
#include "app/shell/HintBubble.h"
#include "app/shell/PackageUpdates.h"
#include "app/shell/PanelWindow.h"
#include "app/shell/PortalHotKeys.h"
#include "app/shell/QtBrightnessIndicator.h"
#include "app/shell/QtMainLoop.h"
#include "app/shell/QtWindowSystem.h"
#include "app/shell/Screenshots.h"
#include "app/shell/SimPreview.h"
#include "app/shell/TerminationSignals.h"
#include "app/shell/TrayIcon.h"
#include "app/shell/X11HotKeys.h"
#include "app/shell/XdgAutostart.h"
#include "base/Log.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/sim/DeviceStateFile.h"
#include "platform/sim/SimDesk.h"
#include "settings/FileKeyValueStore.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QGuiApplication>
#include <QTimer>
#include <filesystem>
#include <stdexcept>

namespace brivio {

namespace {

// The backend's platform with the app's own windows, indicator and hot keys in place.
Platform withDesktop(const Platform& base, WindowSystem& windows, BrightnessIndicator* indicator,
                     HotKeyService* hotKeys) {
    return Platform{base.loop,
                    base.windowServer,
                    base.registry,
                    windows,
                    base.clock,
                    base.location,
                    base.avService,
                    base.displayServices,
                    indicator ? indicator : base.indicator,
                    base.serviceClasses,
                    hotKeys ? hotKeys : base.hotKeys,
                    base.rotation};
}

constexpr int screenshotSettleMs = 1500;

// Once at start, in plain words: what this session leaves out, so that a missing feature has a reason.
void sayWhatThisDesktopCannotDo(LinuxPlatform& desktop, const std::string& qtPlatform, bool hotKeys) {
    for (const auto& line : desktop.limits())
        logInfo(LogCategory::AppDelegate, "This desktop: {}", line);
    if (qtPlatform == "offscreen")
        logError(LogCategory::AppDelegate,
                 "This desktop: no Qt platform plugin serves this session (on Wayland, install qt6-wayland): "
                 "the panel and tray cannot be shown; brivioctl still reaches this agent");
    if (!hotKeys)
        logInfo(LogCategory::AppDelegate,
                "This desktop: no global shortcuts for apps; bind \"brivioctl step up\" "
                "and \"brivioctl step down\" in the desktop's keyboard settings");
}

} // namespace

struct BrivioApp::Parts {
    AppOptions options;
    QtMainLoop loop;
    std::unique_ptr<SimDesk> desk;
    std::string deviceStatePath;
    std::unique_ptr<SimPreview> preview;
    std::unique_ptr<LinuxPlatform> linux;
    std::unique_ptr<QtWindowSystem> windows;
    std::unique_ptr<QtBrightnessIndicator> indicator;
    std::unique_ptr<X11HotKeys> hotKeys;
    std::unique_ptr<PortalHotKeys> portalKeys;
    std::unique_ptr<Platform> platform;
    std::unique_ptr<FileKeyValueStore> store;
    std::unique_ptr<AppServices> services;
    PackageUpdates updates;
    std::unique_ptr<XdgAutostart> autostart;
    AppRouter router;
    std::unique_ptr<PanelWindow> panel;
    std::unique_ptr<TrayIcon> tray;
    std::unique_ptr<HintBubble> bubble;
    std::unique_ptr<MenuBarHintWindowController> hint;
    std::unique_ptr<AppDelegate> delegate;
    std::unique_ptr<DesktopMotion> motion;
    std::unique_ptr<bus::BusConnection> bus;
    std::unique_ptr<bus::AgentBusService> busService;
    TerminationSignals signals;
    bool secondary = false;

    explicit Parts(const AppOptions& o) : options(o) {}

    // One agent per bus name: false when another owns it (it was asked to open its panel).
    bool claimBusName();
};

bool BrivioApp::Parts::claimBusName() {
    std::string error;
    bus = bus::BusConnection::open(options.busAddress, error);
    if (!bus) {
        logError(LogCategory::AppDelegate,
                 "No session bus ({}): other launches and brivioctl cannot reach it", error);
        return true;
    }
    switch (bus->claim(options.busName, error)) {
    case bus::BusConnection::Claim::owned:
        return true;
    case bus::BusConnection::Claim::failed:
        logError(LogCategory::AppDelegate, "Could not own {} on the session bus: {}", options.busName, error);
        bus.reset();
        return true;
    case bus::BusConnection::Claim::taken:
        break;
    }
    // A second launch touches nothing: the first one owns the displays.
    bus.reset();
    std::string whyNot;
    auto first = bus::AgentClient::find(options.busName, options.busAddress, whyNot);
    try {
        if (first)
            first->call(bus::agentInterface, "ShowPanel");
    } catch (const sdbus::Error& e) {
        logError(LogCategory::AppDelegate, "The running Brivio did not open its panel: {}", e.getMessage());
    }
    return false;
}

BrivioApp::BrivioApp(const AppOptions& options) : parts_(std::make_unique<Parts>(options)) {
    auto& p = *parts_;
    if (!options.screenshotDir && !p.claimBusName()) {
        p.secondary = true;
        return;
    }
    std::string configDir = options.configDir.value_or(FileKeyValueStore::defaultDirectory());
    if (options.simFile) {
        p.desk = SimDesk::fromFile(p.loop, *options.simFile);
        // The simulated monitors keep their values between runs, shared with the command line's.
        std::string problem;
        p.deviceStatePath = openDeskState(*p.desk, configDir, *options.simFile, problem);
        if (!problem.empty())
            logError(LogCategory::AppDelegate, "{}", problem);
        p.preview = std::make_unique<SimPreview>(*p.desk);
        p.platform =
            std::make_unique<Platform>(withDesktop(p.desk->platform(), *p.preview, p.preview.get(), nullptr));
    } else {
        // The Qt loop watches the clock, sleep, hot-plug and Wayland descriptors.
        LinuxPlatformOptions linuxOptions;
        linuxOptions.overlayWindows = true;
        if (options.sysfsRoot)
            linuxOptions.sysfsRoot = *options.sysfsRoot;
        p.linux = std::make_unique<LinuxPlatform>(p.loop, &p.loop, linuxOptions);
        std::string platformName = QGuiApplication::platformName().toStdString();
        // On a Wayland desktop the compositor's own layers dim, and keys come through its portal;
        // X11 windows and key grabs (Xwayland's) would be misplaced and see no keys.
        bool wayland = p.linux->wayland() != nullptr;
        bool canDim = !wayland && overlaysCanDim(platformName, x11CompositorRunning());
        p.windows = std::make_unique<QtWindowSystem>(p.linux->windowSystem(), wayland, canDim);
        p.indicator = std::make_unique<QtBrightnessIndicator>(*p.windows);
        HotKeyService* keys = nullptr;
        if (!wayland && (p.hotKeys = X11HotKeys::create()))
            keys = p.hotKeys.get();
        else if ((p.portalKeys = PortalHotKeys::open(p.loop, p.linux->sessionBus())))
            keys = p.portalKeys.get();
        p.platform =
            std::make_unique<Platform>(withDesktop(p.linux->platform(), *p.windows, p.indicator.get(), keys));
        sayWhatThisDesktopCannotDo(*p.linux, platformName, keys != nullptr);
    }
    p.store = std::make_unique<FileKeyValueStore>(p.loop, configDir);
    p.autostart = std::make_unique<XdgAutostart>(XdgAutostart::defaultConfigHome(),
                                                 QCoreApplication::applicationFilePath().toStdString());
}

BrivioApp::~BrivioApp() {
    auto& p = *parts_;
    if (p.secondary)
        return;
    if (p.delegate)
        p.delegate->terminate();
    // Nothing may reach the controller over the bus while it goes.
    p.busService.reset();
    p.bus.reset();
    // Windows that show controller state go before the controller.
    p.tray.reset();
    p.panel.reset();
    p.hint.reset();
    p.bubble.reset();
    p.services.reset();
    p.store->flush();
    if (p.desk) {
        try {
            saveDeviceState(*p.desk, p.deviceStatePath);
        } catch (const std::exception& e) {
            logError(LogCategory::AppDelegate, "{}", e.what());
        }
    }
}

int BrivioApp::run() {
    auto& p = *parts_;
    bool screenshots = p.options.screenshotDir.has_value();
    if (p.secondary) {
        logInfo(LogCategory::AppDelegate, "Brivio is already running; asked it to open its panel");
        return 0;
    }
    QApplication::setQuitOnLastWindowClosed(false);

    // The hint asks the tray where its icon is when its moment comes, 0.4 s after launch.
    LaunchSteps steps;
    steps.obtainController = [&p] { p.services = std::make_unique<AppServices>(*p.platform, *p.store); };
    steps.startShortcuts = [&p] { p.services->startShortcuts(); };
    steps.shutdown = [&p] {
        if (p.services)
            p.services->shutdown();
        p.store->flush();
    };
    steps.hasSeenWelcome = [&p] { return p.services->preferences().hasSeenWelcome(); };
    p.bubble = std::make_unique<HintBubble>(
        [&p]() -> std::optional<QRect> { return p.tray ? p.tray->iconFrame() : std::nullopt; },
        x11CompositorRunning().value_or(true));
    p.hint = std::make_unique<MenuBarHintWindowController>(p.loop, *p.bubble);
    p.delegate = std::make_unique<AppDelegate>(p.loop, p.router, *p.hint, steps);
    p.delegate->launch();

    auto& controller = p.services->controller();
    auto& preferences = p.services->preferences();
    auto* root = new BrivioRootView(controller, preferences, p.router);
    auto* settings = new BrivioSettingsView(controller, preferences, p.router, p.autostart.get(), &p.updates);
    auto* welcome = new WelcomeView(p.router);
    // A window until a tray host is found; the tray makes it a popup next to its icon.
    p.panel = std::make_unique<PanelWindow>(p.router, root, settings, welcome, false);
    if (!screenshots) {
        p.motion = std::make_unique<DesktopMotion>(
            QDBusConnection::sessionBus(),
            QString::fromStdString((XdgAutostart::defaultConfigHome() / "kdeglobals").string()));
        bool x11 = QGuiApplication::platformName() == QStringLiteral("xcb");
        p.tray = std::make_unique<TrayIcon>(*p.panel, QDBusConnection::sessionBus(), x11);
        QObject::connect(p.tray.get(), &TrayIcon::availabilityChanged, &p.router, [&p](bool available) {
            // A tray that came after the first-run check still gets the hint, once.
            if (available && p.router.showingWelcome() && !p.hint->wasShown())
                p.loop.postAfter(AppDelegate::hintDelay, [&p] {
                    if (p.tray && p.tray->available() && p.router.showingWelcome() && !p.hint->wasShown())
                        p.hint->show();
                });
        });
        // Without a tray a window is all there is: it opens at once, except at login, where the app
        // waits until it is launched again.
        QObject::connect(p.tray.get(), &TrayIcon::settled, &p.router, [&p] {
            if (!p.tray->available() && !p.options.autostarted)
                p.panel->popUp(QRect());
        });
    }

    QObject::connect(&p.router, &AppRouter::welcomeFinished, &p.router,
                     [&p] { p.services->preferences().setHasSeenWelcome(true); });
    QObject::connect(&p.router, &AppRouter::quitRequested, qApp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    QObject::connect(&p.signals, &TerminationSignals::terminationRequested, qApp, &QCoreApplication::quit);
    // Another process may change the settings file (brivioctl on its own, an editor): take it in.
    if (!screenshots)
        p.store->watch(p.loop);
    // Other launches, brivioctl and the desktop's key bindings (where the agent cannot grab keys) reach
    // the displays through the bus once they are known; calls that came while starting wait till then.
    if (p.bus) {
        bus::AgentBusService::Options busOptions;
        busOptions.showPanel = [this] { showPanel(); };
        p.busService =
            std::make_unique<bus::AgentBusService>(*p.bus, *p.services, p.loop, p.loop, busOptions);
    }
    // Quit, a termination signal and the end of the session all pass here.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &p.router, [&p] { p.delegate->terminate(); });

    if (p.preview)
        p.preview->show();
    if (screenshots) {
        QTimer::singleShot(screenshotSettleMs, &p.router, [&p] {
            QDir().mkpath(QString::fromStdString(*p.options.screenshotDir));
            bool ok =
                savePageScreenshots(*p.panel, p.router, p.services->controller(), p.services->preferences(),
                                    QString::fromStdString(*p.options.screenshotDir));
            QCoreApplication::exit(ok ? 0 : 1);
        });
    }
    return QApplication::exec();
}

void BrivioApp::showPanel() {
    auto& p = *parts_;
    if (p.tray)
        p.tray->openPanel();
    else if (p.panel)
        p.panel->popUp(QRect());
}

} // namespace brivio
