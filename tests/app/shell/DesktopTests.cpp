// Desktop integration that needs no display server: the compositor fallback, the key table and
// the autostart entry.

#include "app/shell/Compositor.h"
#include "app/shell/QtWindowSystem.h"
#include "app/shell/X11HotKeys.h"
#include "app/shell/XdgAutostart.h"
#include "base/Log.h"
#include "platform/HotKeyService.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>

using namespace brivio;

namespace {

class OneScreen final : public WindowSystem {
public:
    std::vector<Screen> screens() override { return {Screen{7, Rect{0, 0, 800, 600}, "Desk", 60}}; }
    std::unique_ptr<OverlayWindow> createOverlayWindow(DisplayNumber, const Rect&) override {
        return nullptr;
    }
    Signal<>& screenParametersChanged() override { return changed; }
    Signal<> changed;
};

} // namespace

class DesktopTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void overlaysDimOnlyWhereSomethingComposites() {
        struct Case {
            std::string platform;
            std::optional<bool> owned;
            bool canDim;
        };
        for (const auto& c : std::vector<Case>{{"xcb", true, true},
                                               {"xcb", false, false},
                                               {"xcb", std::nullopt, false},
                                               {"wayland", std::nullopt, false},
                                               {"offscreen", std::nullopt, true}})
            QVERIFY2(overlaysCanDim(c.platform, c.owned) == c.canDim, c.platform.c_str());
    }

    void withoutACompositorNoOverlayIsMadeAndThatIsLoggedOnce() {
        CaptureLog log;
        OneScreen screens;
        QtWindowSystem none(screens, false, false);
        QVERIFY(none.createOverlayWindow(7, Rect{0, 0, 800, 600}) == nullptr);
        QVERIFY(none.createOverlayWindow(7, Rect{0, 0, 800, 600}) == nullptr);
        QCOMPARE(log.count("No compositor"), 1u);

        QtWindowSystem composited(screens, false, true);
        auto window = composited.createOverlayWindow(7, Rect{0, 0, 800, 600});
        QVERIFY(window != nullptr);
        window->setOpacity(0.3f, false);
        window->close();
        QCOMPARE(composited.screens().size(), 1u);
    }

    void storedKeysMapOntoX11() {
#ifdef BRIVIO_HAVE_X11
        QCOMPARE(keysymForKeyCode(126).value_or(0), 0xff52ul); // up arrow
        QCOMPARE(keysymForKeyCode(0).value_or(0), 0x61ul);     // A
        QCOMPARE(keysymForKeyCode(122).value_or(0), 0xffbeul); // F1
        QVERIFY(!keysymForKeyCode(200));
        // Shift 1, Control 4, Alt (Mod1) 8, Super (Mod4) 64.
        QCOMPARE(x11Modifiers(HotKeyModifiers::shift | HotKeyModifiers::command), std::uint16_t(1 | 64));
        QCOMPARE(x11Modifiers(HotKeyModifiers::control | HotKeyModifiers::option), std::uint16_t(4 | 8));
        // Not on X11 (offscreen here): no hot-key service at all.
        QVERIFY(X11HotKeys::create() == nullptr);
#else
        QSKIP("built without X11");
#endif
    }

    void autostartEntryFollowsTheSwitch() {
        QTemporaryDir home;
        XdgAutostart item(home.path().toStdString(), "/usr/bin/brivio");
        QVERIFY(!item.isEnabled());
        QVERIFY(item.setEnabled(true));
        QVERIFY(item.isEnabled());
        std::ifstream in(item.entryPath());
        std::string text((std::istreambuf_iterator<char>(in)), {});
        // The login starts the app hidden: without a tray it waits to be asked for its panel.
        QVERIFY(text.find("Exec=/usr/bin/brivio --autostart\n") != std::string::npos);
        QVERIFY(item.setEnabled(false));
        QVERIFY(!item.isEnabled());
        QVERIFY(item.setEnabled(false)); // already off
        // A desktop that hides the entry switches it off.
        QVERIFY(item.setEnabled(true));
        std::ofstream(item.entryPath(), std::ios::app) << "Hidden=true\n";
        QVERIFY(!item.isEnabled());

        // A path with a space is one quoted argument; a backslash is escaped for both layers.
        XdgAutostart spaced(home.path().toStdString(), "/opt/my apps/b\\rivio");
        QVERIFY(spaced.setEnabled(true));
        std::ifstream quoted(spaced.entryPath());
        std::string entry((std::istreambuf_iterator<char>(quoted)), {});
        QVERIFY(entry.find("Exec=\"/opt/my apps/b\\\\\\\\rivio\" --autostart\n") != std::string::npos);
    }

    void anEntryOfTheOldNameKeepsLaunchAtLogin() {
        QTemporaryDir home;
        std::filesystem::path dir = home.path().toStdString();
        std::filesystem::create_directories(dir / "autostart");
        auto legacy = dir / "autostart" / "brivio.desktop";
        std::ofstream(legacy) << "[Desktop Entry]\nType=Application\nExec=brivio\n";
        XdgAutostart item(dir, "/usr/bin/brivio");
        QVERIFY(item.isEnabled());
        // Switched on again, the entry moves to the new name: one entry, one copy started at login.
        QVERIFY(item.setEnabled(true));
        QCOMPARE(item.entryPath().filename().string(), std::string("dev.brivio.Brivio.desktop"));
        QVERIFY(!std::filesystem::exists(legacy));
        QVERIFY(item.isEnabled());
        // Switched off, neither name starts it.
        std::ofstream(legacy) << "[Desktop Entry]\nType=Application\nExec=brivio\n";
        QVERIFY(item.setEnabled(false));
        QVERIFY(!item.isEnabled());
        QVERIFY(!std::filesystem::exists(legacy));
    }
};

QTEST_MAIN(DesktopTests)
#include "DesktopTests.moc"
