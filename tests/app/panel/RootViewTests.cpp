// The main page on the example desk: cards and badges, one sync leader, sliders and switches that reach
// the controller and the monitors, what an expanded card holds, and the pages for one display and none.
#include "app/panel/AppRouter.h"
#include "app/panel/BrivioRootView.h"
#include "app/panel/CCSlider.h"
#include "app/panel/CapabilityBadge.h"
#include "app/panel/DisplayCardView.h"
#include "app/panel/PanelDesk.h"
#include "app/panel/ToggleBarRow.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace brivio;

namespace {

// The example desk in the controller's order.
constexpr std::size_t builtIn = 0, studio = 1, office = 2;

const char* oneMonitor = R"({"displays": [{"name": "Studio 27", "vendor": 16, "product": 48, "serial": 5,
    "unit": 1, "bounds": [0, 0, 2560, 1440], "ddc": {"vcp": {"0x10": [60, 100], "0x12": [50, 100]}}}]})";

struct Page {
    explicit Page(const std::string& scenario = exampleScenario("desk.json")) : desk(scenario) {}
    DisplayCardView& card(std::size_t i) { return *view.cards().at(i); }
    std::string key(std::size_t i) { return card(i).key(); }
    void expand(std::size_t i) {
        card(i).chevronButton()->click();
        desk.settle();
    }
    double stored(const std::map<std::string, double>& map, std::size_t i) { return map.at(key(i)); }

    PanelDesk desk;
    AppRouter router;
    BrivioRootView view{desk.controller(), desk.preferences(), router};
};

} // namespace

class RootViewTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cardsFollowTheDeskInOrder() {
        Page page;
        QCOMPARE(page.view.cards().size(), std::size_t(3));
        QVERIFY(page.view.emptyState()->isHidden());
        const char* names[] = {"Built-in Display", "Studio 27", "Office 24"};
        const char* badges[] = {"System", "DDC", "Software"};
        for (std::size_t i = 0; i < 3; ++i) {
            QCOMPARE(page.card(i).modelName(), QString::fromLatin1(names[i]));
            QCOMPARE(page.card(i).badge()->text(), QString::fromLatin1(badges[i]));
        }
        QCOMPARE(page.card(builtIn).badge()->toolTip(),
                 QStringLiteral("Brightness is managed by the system"));
        QVERIFY(page.view.presetCard() && page.view.scheduleCard());

        QSignalSpy quit(&page.router, &AppRouter::quitRequested);
        page.view.findChild<QToolButton*>(QStringLiteral("settingsButton"))->click();
        QVERIFY(page.router.showingSettings());
        page.view.quitButton()->click();
        QCOMPARE(quit.count(), 1);
    }

    void oneLeaderAtATime() {
        Page page;
        for (auto* card : page.view.cards())
            QVERIFY(card->syncRow()->isVisibleTo(card));
        page.card(studio).brightnessSlider()->dragTo(0.3);
        page.card(studio).syncRow()->tap();
        page.desk.settle();
        QCOMPARE(page.desk.preferences().syncLeaderKey(), std::optional(page.key(studio)));
        QVERIFY(page.card(studio).syncRow()->isOn());
        QVERIFY(!page.card(builtIn).syncRow()->isOn() && !page.card(office).syncRow()->isOn());
        // Choosing the leader brings the others to its level.
        QCOMPARE(page.stored(page.desk.preferences().brightnessByDisplay(), builtIn), 0.3);

        page.card(office).syncRow()->tap();
        page.desk.settle();
        QVERIFY(page.card(office).syncRow()->isOn() && !page.card(studio).syncRow()->isOn());
        page.card(office).syncRow()->tap();
        page.desk.settle();
        QVERIFY(!page.desk.preferences().syncLeaderKey());
        QVERIFY(!page.card(office).syncRow()->isOn());

        Page single(oneMonitor);
        QCOMPARE(single.view.cards().size(), std::size_t(1));
        single.expand(0);
        QVERIFY(!single.card(0).syncRow()->isVisibleTo(&single.card(0)));
    }

    void slidersReachTheMonitor() {
        Page page;
        auto& prefs = page.desk.preferences();
        auto& card = page.card(studio);
        card.brightnessSlider()->dragTo(0.4);
        QCOMPARE(page.stored(prefs.brightnessByDisplay(), studio), 0.4);
        page.desk.settle();
        QCOMPARE(page.desk.sim->vcpValue(studio, 0x10), std::optional<std::uint16_t>(40));

        // A tap on the track glides, and the monitor ends where the thumb went.
        card.brightnessSlider()->jumpTo(0.8);
        page.desk.loop.advance(90ms);
        double midway = page.stored(prefs.brightnessByDisplay(), studio);
        QVERIFY2(midway > 0.4 && midway < 0.8, qPrintable(QString::number(midway)));
        page.desk.settle();
        QCOMPARE(page.desk.sim->vcpValue(studio, 0x10), std::optional<std::uint16_t>(80));
        QCOMPARE(card.brightnessSlider()->value(), 0.8);

        page.expand(studio);
        QVERIFY(card.contrastSlider() && card.volumeSlider());
        QCOMPARE(card.contrastSlider()->value(), 0.5); // read from the monitor
        page.desk.controller().applyPreset(prefs.globalPresets().at(0));
        page.desk.settle();
        QVERIFY(prefs.globalActivePresetIDStr());

        card.contrastSlider()->jumpTo(0.9);
        QVERIFY(!prefs.globalActivePresetIDStr());
        page.desk.loop.advance(90ms);
        midway = page.stored(prefs.contrastByDisplay(), studio);
        QVERIFY2(midway > 0.5 && midway < 0.9, qPrintable(QString::number(midway)));
        page.desk.loop.advance(110ms);
        QCOMPARE(page.stored(prefs.contrastByDisplay(), studio), 0.9);
        card.volumeSlider()->dragTo(0.2);
        QCOMPARE(page.stored(prefs.volumeByDisplay(), studio), 0.2);
        page.desk.settle();
        QCOMPARE(page.desk.sim->vcpValue(studio, 0x12), std::optional<std::uint16_t>(90));
        QCOMPARE(page.desk.sim->vcpValue(studio, 0x62), std::optional<std::uint16_t>(20));
    }

    void expandedCardsHoldWhatTheDisplayHas() {
        Page page;
        auto& card = page.card(office);
        page.expand(office);
        QVERIFY(card.expandedSection() && card.controlStrip());
        QVERIFY(!card.contrastSlider() && !card.volumeSlider());
        QCOMPARE(card.chevronButton()->objectName(), QStringLiteral("chevronButton"));
        auto* caption = card.findChild<QLabel*>(QStringLiteral("extendedDimmingCaption"));
        QCOMPARE(caption->text(), QStringLiteral("Dims below hardware floor via overlay"));
        QCOMPARE(card.syncRow()->parentWidget(), card.expandedSection());

        card.extendedDimmingRow()->tap();
        QCOMPARE(page.desk.preferences().externalOverlayDimmingByDisplay().at(page.key(office)), true);
        page.desk.settle();
        QVERIFY(card.extendedDimmingRow()->isOn());
        card.extendedDimmingRow()->tap();
        page.desk.settle();
        QVERIFY(!card.extendedDimmingRow()->isOn());

        // Collapsing hands the sync row back to the top of the card.
        page.expand(office);
        QVERIFY(!card.expandedSection());
        QCOMPARE(card.syncRow()->parentWidget(), &card);
        QVERIFY(card.syncRow()->isVisibleTo(&card));

        auto& panel = page.card(builtIn);
        page.expand(builtIn);
        QVERIFY(panel.controlStrip());
        QVERIFY(!panel.contrastSlider() && !panel.volumeSlider() && !panel.extendedDimmingRow());
        QCOMPARE(panel.syncRow()->parentWidget(), &panel);
    }

    void lateProbeShowsConnectingOnTheSameCards() {
        Page page;
        DisplayCardView* studioCard = &page.card(studio);
        page.desk.sim->disconnect(office);
        page.desk.settle();
        QCOMPARE(page.view.cards().size(), std::size_t(2));
        QVERIFY(!page.view.cards().at(0)->syncRow()->isHidden());

        page.desk.sim->connect(office);
        page.desk.loop.advance(1s);
        QCoreApplication::processEvents();
        QCOMPARE(page.view.cards().size(), std::size_t(3));
        QCOMPARE(page.card(office).badge()->kind(), CapabilityBadge::Kind::connecting);
        QCOMPARE(page.card(office).badge()->text(), QStringLiteral("Connecting"));
        page.desk.settle();
        QCOMPARE(page.card(office).badge()->text(), QStringLiteral("Software"));
        QCOMPARE(&page.card(studio), studioCard);
    }

    void emptyDeskSaysSoOnceItHasLooked() {
        PanelDesk desk(R"({"displays": []})", false);
        AppRouter router;
        BrivioRootView view(desk.controller(), desk.preferences(), router);
        auto text = [&view](const char* name) {
            return view.findChild<QLabel*>(QLatin1String(name))->text();
        };
        QVERIFY(view.cards().empty());
        QVERIFY(!view.emptyState()->isHidden());
        QCOMPARE(text("emptyTitle"), QStringLiteral("Detecting displays…"));
        QCOMPARE(text("emptyLine"), QStringLiteral("Connected monitors will appear here."));
        // The first enumeration found nothing: waiting longer would not help.
        desk.settle();
        QCOMPARE(text("emptyTitle"), QStringLiteral("No displays found"));
        QVERIFY(text("emptyLine").contains(QStringLiteral("brivioctl doctor")));
    }
};

QTEST_MAIN(RootViewTests)
#include "RootViewTests.moc"
