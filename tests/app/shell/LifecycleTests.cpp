// Launch order, the first run's welcome and hint timing, and termination, on virtual time.

#include "app/panel/AppRouter.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/MenuBarHintWindowController.h"
#include "app/shell/TerminationSignals.h"
#include "base/Log.h"
#include "base/VirtualLoop.h"

#include <QSignalSpy>
#include <QTest>
#include <csignal>

using namespace brivio;

namespace {

class FakePresenter final : public HintPresenter {
public:
    std::optional<Rect> item = Rect{1800, 0, 24, 24};
    int shown = 0, hidden = 0;
    std::function<void()> click;
    std::optional<Rect> statusItemFrame() override { return item; }
    void showBubble(const Rect&, std::function<void()> onClick) override {
        ++shown;
        click = std::move(onClick);
    }
    void hideBubble() override { ++hidden; }
};

struct Rig {
    VirtualLoop loop;
    AppRouter router;
    FakePresenter presenter;
    MenuBarHintWindowController hint{loop, presenter};
    bool seen = false;
    std::vector<std::string> calls;
    AppDelegate delegate{loop, router, hint, steps()};

    LaunchSteps steps() {
        return {[this] { calls.push_back("updater"); }, [this] { calls.push_back("controller"); },
                [this] { calls.push_back("shortcuts"); }, [this] { calls.push_back("shutdown"); },
                [this] { return seen; }};
    }
};

} // namespace

class LifecycleTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void launchRunsTheStepsInOrderWithTheirLogLines() {
        CaptureLog log;
        Rig rig;
        rig.delegate.launch();
        QCOMPARE(rig.calls, (std::vector<std::string>{"updater", "controller", "shortcuts"}));
        QCOMPARE(log.messages(LogCategory::AppDelegate),
                 (std::vector<std::string>{"Application launched", "DisplayController initialized",
                                           "ShortcutEngine started"}));
        // The first-run check waits for the launch work to finish.
        QVERIFY(!rig.router.showingWelcome());
        rig.loop.runUntilIdle();
        QVERIFY(rig.router.showingWelcome());
    }

    void firstRunShowsTheHintAfterFourTenthsAndItGoesAfterTenSeconds() {
        Rig rig;
        rig.delegate.launch();
        rig.loop.advance(399ms);
        QCOMPARE(rig.presenter.shown, 0);
        rig.loop.advance(1ms);
        QCOMPARE(rig.presenter.shown, 1);
        QVERIFY(rig.hint.hasDismissTimer());
        rig.loop.advance(9999ms);
        QCOMPARE(rig.presenter.hidden, 0);
        rig.loop.advance(1ms);
        QCOMPARE(rig.presenter.hidden, 1);
        QVERIFY(!rig.hint.isShowing());
        QVERIFY(!rig.hint.hasDismissTimer());
    }

    void aClickDismissesAtOnceAndOnlyOnce() {
        Rig rig;
        rig.delegate.launch();
        rig.loop.advance(1s);
        rig.presenter.click();
        rig.presenter.click();
        rig.loop.runUntilIdle();
        QCOMPARE(rig.presenter.hidden, 1);
        QVERIFY(!rig.hint.hasDismissTimer());
        QCOMPARE(rig.loop.pendingCount(), 0u);
    }

    void noWelcomeOrHintOnceSeenAndNoHintWithoutATray() {
        Rig seen;
        seen.seen = true;
        seen.delegate.launch();
        seen.loop.advance(1s);
        QVERIFY(!seen.router.showingWelcome());
        QCOMPARE(seen.presenter.shown, 0);

        Rig trayless;
        trayless.presenter.item.reset();
        trayless.delegate.launch();
        trayless.loop.advance(1s);
        QVERIFY(trayless.router.showingWelcome());
        QCOMPARE(trayless.presenter.shown, 0);
        QVERIFY(!trayless.hint.hasDismissTimer());
    }

    void terminationRunsOnceEvenWhenQuitAndSignalBothArrive() {
        CaptureLog log;
        Rig rig;
        rig.delegate.launch();
        rig.delegate.terminate();
        rig.delegate.terminate();
        QCOMPARE(log.count("Application terminating"), 1u);
        QCOMPARE(std::count(rig.calls.begin(), rig.calls.end(), "shutdown"), 1);
        // Quitting inside the hint's delay leaves no bubble behind.
        rig.loop.advance(1s);
        QCOMPARE(rig.presenter.shown, 0);
    }

    void closingTheTerminalIsATerminationRequest() {
        TerminationSignals signals;
        QSignalSpy requested(&signals, &TerminationSignals::terminationRequested);
        ::raise(SIGHUP);
        QVERIFY(requested.wait(10000));
        QCOMPARE(requested.takeFirst().at(0).toInt(), SIGHUP);
    }
};

QTEST_GUILESS_MAIN(LifecycleTests)
#include "LifecycleTests.moc"
