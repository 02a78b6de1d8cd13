// The shared pieces of the pages: the slider's two kinds of report, the symbol table (the same
// drawings whatever icon theme is installed), the accent colours' contrast and the welcome page's button.
#include "app/panel/AppRouter.h"
#include "app/panel/CCSlider.h"
#include "app/panel/PanelSymbols.h"
#include "app/panel/PanelTheme.h"
#include "app/panel/WelcomeView.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

using namespace brivio;

class PanelWidgetsTests : public QObject {
    Q_OBJECT
    QTemporaryDir themes;

private Q_SLOTS:
    void initTestCase() {
        // An installed icon theme with its own, red, settings icon.
        QDir root(themes.path());
        QVERIFY(root.mkpath(QStringLiteral("loud/48x48/apps")));
        QFile index(root.filePath(QStringLiteral("loud/index.theme")));
        QVERIFY(index.open(QIODevice::WriteOnly));
        index.write("[Icon Theme]\nName=Loud\nDirectories=48x48/apps\n[48x48/apps]\nSize=48\nType=Fixed\n");
        index.close();
        QImage red(48, 48, QImage::Format_ARGB32);
        red.fill(Qt::red);
        for (const char* name : {"preferences-system", "go-down", "computer-laptop"})
            QVERIFY(
                red.save(root.filePath(QStringLiteral("loud/48x48/apps/%1.png").arg(QLatin1String(name)))));
        QIcon::setThemeSearchPaths({themes.path()});
        QIcon::setThemeName(QStringLiteral("loud"));
        QVERIFY(QIcon::hasThemeIcon(QStringLiteral("preferences-system")));
    }

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
        // The theme's pictures would mix styles on one page: the bundled drawings stay.
        for (const char* name : {"gearshape", "chevron.down", "laptopcomputer"}) {
            QImage drawn = symbolIcon(name).pixmap(32, 32).toImage();
            for (int y = 0; y < drawn.height(); ++y)
                for (int x = 0; x < drawn.width(); ++x) {
                    QColor c = drawn.pixelColor(x, y);
                    QVERIFY2(c.alpha() == 0 || c.red() - c.green() < 60, name);
                }
        }
    }

    void accentsStayReadableInEveryThemeAndScheme() {
        for (SliderTheme theme : allSliderThemes)
            for (QColor window : {QColor(239, 239, 239), QColor(43, 43, 47)}) {
                QColor accent = accentColor(theme, window.lightness() < 128);
                QColor card(int(window.red() * 0.88 + 15.36), int(window.green() * 0.88 + 15.36),
                            int(window.blue() * 0.88 + 15.36));
                // Accent text on a card, an accent fill on the page, and the fill's label.
                QVERIFY(contrastRatio(legibleOn(accent, card, 4.5), card) >= 4.5);
                QColor fill = legibleOn(accent, window, 3.0);
                QVERIFY(contrastRatio(fill, window) >= 3.0);
                QVERIFY(contrastRatio(textOn(fill), fill) >= 4.5);
            }
        QCOMPARE(contrastRatio(Qt::black, Qt::white), 21.0);
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
