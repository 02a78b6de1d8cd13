// The shared pieces of the pages: the slider's two kinds of report, the symbol table and the welcome
// page's button.
#include "app/panel/AppRouter.h"
#include "app/panel/CCSlider.h"
#include "app/panel/PanelSymbols.h"
#include "app/panel/PanelTheme.h"
#include "app/panel/WelcomeView.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

using namespace brivio;

class PanelWidgetsTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sliderTellsDragsFromTaps() {
        CCSlider slider("sun.max.fill", sunColor());
        slider.resize(300, 30);
        slider.show();
        QSignalSpy dragged(&slider, &CCSlider::dragged);
        QSignalSpy jumped(&slider, &CCSlider::jumpedTo);

        slider.setValue(0.25); // bound value: no report
        QCOMPARE(dragged.count(), 0);
        QCOMPARE(slider.percentageText(), QStringLiteral("25%"));

        // A press near the track's right end, away from the thumb, jumps there.
        auto* track = slider.findChild<QSlider*>();
        QTest::mousePress(track, Qt::LeftButton, {}, QPoint(track->width() - 2, track->height() / 2));
        QCOMPARE(jumped.count(), 1);
        QVERIFY(jumped.at(0).at(0).toDouble() > 0.95);
        QCOMPARE(dragged.count(), 0);

        slider.dragTo(0.5);
        QCOMPARE(dragged.count(), 1);
        QCOMPARE(dragged.at(0).at(0).toDouble(), 0.5);
    }

    void everySymbolDraws() {
        for (const char* name : {"gearshape", "sun.max.fill", "circle.lefthalf.filled", "speaker.wave.2.fill",
                                 "plus", "pencil", "xmark", "moon.fill", "film.fill", "power", "gauge",
                                 "display", "arrow.clockwise", "tv", "cable.connector"}) {
            QVERIFY2(knownSymbol(name), name);
            QVERIFY2(!symbolIcon(name).pixmap(16, 16).isNull(), name);
        }
        QVERIFY(!symbolIcon("no.such.symbol").isNull());
    }

    void getStartedEndsTheFirstRun() {
        AppRouter router;
        router.setShowingWelcome(true);
        QSignalSpy finished(&router, &AppRouter::welcomeFinished);
        WelcomeView page(router);
        QCOMPARE(page.getStartedButton()->text(), QStringLiteral("Get started"));
        QVERIFY(page.getStartedButton()->minimumWidth() >= 110);
        page.getStartedButton()->click();
        QVERIFY(!router.showingWelcome());
        QCOMPARE(finished.count(), 1);
    }
};

QTEST_MAIN(PanelWidgetsTests)
#include "PanelWidgetsTests.moc"
