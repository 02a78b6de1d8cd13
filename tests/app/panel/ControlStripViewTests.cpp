// The display card's control strip on the example desk: mode changes that count down and revert unless
// kept, the input menu, power off behind its confirmation, and which displays get which controls.
#include "PanelDesk.h"
#include "app/panel/DisplayControlStripView.h"
#include "app/panel/InlinePrompt.h"
#include "app/panel/PillButton.h"

#include <QMenu>
#include <QPushButton>
#include <QTest>

using namespace brivio;

namespace {

constexpr std::size_t studio = 1; // the sim desk's DDC/CI monitor

const ManagedDisplay& displayNamed(PanelDesk& desk, const std::string& name) {
    for (const auto& d : desk.controller().displays())
        if (d.identity.modelName == name)
            return d;
    throw std::runtime_error("no display " + name);
}

// Time passes without running the controller to rest, which would also run out every countdown.
void tick(PanelDesk& desk, Duration d) {
    desk.loop.advance(d);
    QCoreApplication::processEvents();
}

QStringList titles(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions())
        if (!a->isSeparator())
            out << a->text() + (a->isChecked() ? QStringLiteral(" ✓") : QString());
    return out;
}

QAction* row(QMenu* menu, const QString& title) {
    for (QAction* a : menu->actions())
        if (a->text() == title)
            return a;
    return nullptr;
}

template <typename T> T* part(QWidget& view, const char* name) {
    return view.findChild<T*>(QString::fromLatin1(name));
}

} // namespace

class ControlStripViewTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void modeChangeCountsDownAndRevertsUnlessKept() {
        PanelDesk desk;
        DisplayControlStripView view(desk.controller(), displayNamed(desk, "Studio 27"));
        auto* resolution = part<PillButton>(view, "resolutionPill");
        auto* banner = part<InlinePrompt>(view, "modeBanner");

        // One rate at the current size: nothing to choose between.
        auto* rate = part<PillButton>(view, "refreshRatePill");
        QCOMPARE(rate->text(), QStringLiteral("60 Hz"));
        QVERIFY(!rate->isEnabled());
        QCOMPARE(rate->opacity(), 0.35);
        QCOMPARE(rate->toolTip(), QStringLiteral("Only one refresh rate available for this resolution"));
        QCOMPARE(part<PillButton>(view, "scaleButton")->text(), QStringLiteral("Standard"));

        QMenu* menu = resolution->openDropdown();
        QCOMPARE(titles(menu), (QStringList{"2560 × 1440 ✓", "1920 × 1080", "Show all"}));
        QVERIFY(menu->minimumWidth() >= 175);
        row(menu, "Show all")->trigger();
        menu = resolution->dropdown();
        QCOMPARE(titles(menu),
                 (QStringList{"2560 × 1440 ✓", "1920 × 1080", "1280 × 720 HiDPI", "Show fewer"}));

        row(menu, "1920 × 1080")->trigger();
        QCOMPARE(desk.sim->currentMode(studio), 1u);
        QVERIFY(!banner->isHidden());
        QCOMPARE(banner->message(), QStringLiteral("Keep the display changes? (10s)"));
        tick(desk, 1s);
        QCOMPARE(banner->message(), QStringLiteral("Keep the display changes? (9s)"));
        tick(desk, 9s);
        QVERIFY(banner->isHidden());
        QCOMPARE(desk.sim->currentMode(studio), 0u);

        // Kept with three seconds left: no revert afterwards.
        resolution->openDropdown();
        row(resolution->dropdown(), "1920 × 1080")->trigger();
        tick(desk, 7s);
        banner->primaryButton()->click();
        QVERIFY(banner->isHidden());
        desk.settle();
        QCOMPARE(desk.sim->currentMode(studio), 1u);
    }

    void unconfirmedChangeRevertsAfterTheStripGoes() {
        // Cards are rebuilt when the display list changes, which a mode switch itself causes.
        PanelDesk desk;
        auto view =
            std::make_unique<DisplayControlStripView>(desk.controller(), displayNamed(desk, "Studio 27"));
        auto* resolution = part<PillButton>(*view, "resolutionPill");
        row(resolution->openDropdown(), "1920 × 1080")->trigger();
        tick(desk, 2s);
        view.reset();
        desk.settle();
        QCOMPARE(desk.sim->currentMode(studio), 0u);
    }

    void rotationBannerCountsOnItsOwn() {
        PanelDesk desk;
        DisplayControlStripView view(desk.controller(), displayNamed(desk, "Studio 27"));
        auto* rotation = part<PillButton>(view, "rotationPill");
        auto* banner = part<InlinePrompt>(view, "rotationBanner");
        QCOMPARE(rotation->text(), QStringLiteral("0°"));
        QMenu* menu = rotation->openDropdown();
        QCOMPARE(titles(menu), (QStringList{"0° ✓", "90°", "180°", "270°"}));
        row(menu, "90°")->trigger();
        QCOMPARE(desk.sim->rotationAngle(studio), 90.0);
        QCOMPARE(rotation->text(), QStringLiteral("90°"));
        tick(desk, 4s);
        row(part<PillButton>(view, "resolutionPill")->openDropdown(), "1920 × 1080")->trigger();
        QCOMPARE(banner->message(), QStringLiteral("Keep the rotation? (6s)"));
        QVERIFY(!part<InlinePrompt>(view, "modeBanner")->isHidden());
        banner->secondaryButton()->click(); // Revert
        QVERIFY(banner->isHidden());
        QCOMPARE(desk.sim->rotationAngle(studio), 0.0);
        QVERIFY(!part<InlinePrompt>(view, "modeBanner")->isHidden());
    }

    void inputMenuShowsAndSwitches() {
        PanelDesk desk;
        DisplayControlStripView view(desk.controller(), displayNamed(desk, "Studio 27"));
        desk.settle();
        QCOMPARE(view.shownInputSource(), std::optional<std::uint8_t>(0x0F));
        auto* input = part<PillButton>(view, "inputSourcePill");
        QCOMPARE(input->symbol(), std::string("rectangle.connected.to.line.below"));
        QMenu* menu = input->openDropdown();
        QCOMPARE(titles(menu), (QStringList{"VGA", "DVI", "DisplayPort 1 ✓", "DisplayPort 2", "HDMI 1",
                                            "HDMI 2", "USB-C"}));
        row(menu, "HDMI 1")->trigger();
        desk.settle();
        QCOMPARE(desk.sim->inputSource(studio), std::optional<std::uint8_t>(0x11));
        QCOMPARE(input->symbol(), std::string("tv"));
    }

    void powerOffOnlyAfterConfirming() {
        PanelDesk desk;
        DisplayControlStripView view(desk.controller(), displayNamed(desk, "Studio 27"));
        auto* power = part<PillButton>(view, "powerOffButton");
        auto* confirm = part<InlinePrompt>(view, "powerOffConfirmation");
        QCOMPARE(power->height(), 26);
        power->click();
        QVERIFY(!confirm->isHidden());
        QCOMPARE(confirm->message(), QStringLiteral("Power off Studio 27?"));
        confirm->secondaryButton()->click();
        desk.settle();
        QVERIFY(confirm->isHidden());
        QCOMPARE(desk.sim->powerMode(studio), std::optional<std::uint16_t>(1));

        power->click();
        confirm->primaryButton()->click();
        desk.settle();
        QCOMPARE(desk.sim->powerMode(studio), std::optional<std::uint16_t>(5));
    }

    void controlsFollowTheDisplay() {
        PanelDesk desk;
        // No DDC/CI: input and power are shown but refuse, saying why.
        DisplayControlStripView plain(desk.controller(), displayNamed(desk, "Office 24"));
        auto* input = part<PillButton>(plain, "inputSourcePill");
        QVERIFY(!input->isEnabled());
        QCOMPARE(input->opacity(), 0.35);
        QCOMPARE(input->toolTip(),
                 QStringLiteral("Input source switching not supported by this monitor or connection"));
        QVERIFY(input->openDropdown() == nullptr);
        auto* power = part<PillButton>(plain, "powerOffButton");
        QCOMPARE(power->toolTip(), QStringLiteral("Power off not supported by this monitor or connection"));
        power->click();
        QVERIFY(part<InlinePrompt>(plain, "powerOffConfirmation")->isHidden());

        // The machine's own panel: modes only.
        DisplayControlStripView own(desk.controller(), displayNamed(desk, "Built-in Display"));
        QVERIFY(own.showsControls());
        QVERIFY(part<PillButton>(own, "resolutionPill"));
        QVERIFY(part<PillButton>(own, "refreshRatePill")->isHidden());
        for (const char* absent : {"inputSourcePill", "powerOffButton", "rotationPill", "scaleButton"})
            QVERIFY2(!part<PillButton>(own, absent), absent);
        QCOMPARE(titles(part<PillButton>(own, "resolutionPill")->openDropdown()).size(), 4);
    }
};

QTEST_MAIN(ControlStripViewTests)
#include "ControlStripViewTests.moc"
