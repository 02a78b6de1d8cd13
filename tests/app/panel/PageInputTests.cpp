// The main page as a user works it with the wheel and the keyboard: the wheel scrolls the page until a
// slider has focus, arrows and page keys step levels by 1 % and 10 %, Tab follows the page and focus
// shows; inline editors come into view when they open and leave the page where it was when they close;
// names with "&" stay as written, and six preset pills wrap without hiding one another.
#include "PanelDesk.h"
#include "app/panel/AppRouter.h"
#include "app/panel/BrivioRootView.h"
#include "app/panel/CCSlider.h"
#include "app/panel/CardHeader.h"
#include "app/panel/DisplayCardView.h"
#include "app/panel/GlobalPresetCardView.h"
#include "app/panel/PresetEditorView.h"
#include "app/panel/PresetPill.h"
#include "app/panel/ScheduleCardView.h"
#include "app/panel/ScheduleEditorView.h"
#include "app/panel/ToggleBarRow.h"
#include "settings/PresetEditing.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <set>

using namespace brivio;

namespace {

constexpr std::size_t studio = 1;

// The page in a window short enough to scroll, as the panel shows it on a small screen.
struct ShownPage {
    explicit ShownPage(int height = 420) {
        view.resize(BrivioRootView::panelWidth, height);
        view.show();
        view.activateWindow();
        desk.settle();
    }
    QScrollBar* bar() { return view.scrollArea()->verticalScrollBar(); }
    QSlider* track(std::size_t card) {
        return view.cards().at(card)->brightnessSlider()->findChild<QSlider*>();
    }
    double brightness(std::size_t card) {
        return desk.preferences().brightnessByDisplay().at(view.cards().at(card)->key());
    }
    // Wholly inside the scrolled view.
    bool inView(QWidget* widget) {
        QWidget* viewport = view.scrollArea()->viewport();
        return viewport->rect().contains(QRect(widget->mapTo(viewport, QPoint(0, 0)), widget->size()));
    }
    void wheel(QWidget* target) {
        QPointF at(target->width() / 2.0, target->height() / 2.0);
        QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    }

    PanelDesk desk;
    AppRouter router;
    BrivioRootView view{desk.controller(), desk.preferences(), router};
};

} // namespace

class PageInputTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void wheelScrollsThePageUntilASliderHasFocus() {
        ShownPage page;
        auto& prefs = page.desk.preferences();
        page.desk.controller().applyPreset(prefs.globalPresets().at(1));
        page.desk.settle();
        double level = page.brightness(studio);
        QVERIFY(page.bar()->maximum() > 0);

        page.wheel(page.track(studio));
        page.desk.settle();
        QCOMPARE(page.brightness(studio), level);
        QVERIFY(prefs.globalActivePresetIDStr()); // still the preset's level
        QVERIFY(page.bar()->value() > 0);

        page.track(studio)->setFocus();
        page.wheel(page.track(studio));
        page.desk.settle();
        QVERIFY(page.brightness(studio) < level);
        QVERIFY(!prefs.globalActivePresetIDStr());
    }

    void keysStepByWholePercentsAndFocusShows() {
        ShownPage page;
        QVERIFY(QTest::qWaitForWindowActive(&page.view));
        page.view.cards().at(studio)->brightnessSlider()->dragTo(0.7);
        QSlider* track = page.track(studio);
        QImage unfocused = track->grab().toImage();
        track->setFocus();
        QVERIFY(track->grab().toImage() != unfocused);
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(track, Qt::Key_Right);
        QCOMPARE(page.brightness(studio), 0.73);
        QTest::keyClick(track, Qt::Key_PageDown);
        QCOMPARE(page.brightness(studio), 0.63);

        ToggleBarRow* sync = page.view.cards().at(studio)->syncRow();
        QImage idle = sync->grab().toImage();
        sync->setFocus();
        QVERIFY(sync->grab().toImage() != idle);
    }

    void tabFollowsThePageFromTheGearToQuit() {
        ShownPage page;
        QVERIFY(QTest::qWaitForWindowActive(&page.view));
        page.view.settingsButton()->setFocus();
        std::vector<QWidget*> order{QApplication::focusWidget()};
        for (int i = 0; i < 200; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (QApplication::focusWidget() == order.front())
                break;
            order.push_back(QApplication::focusWidget());
        }
        auto at = [&order](QWidget* w) { return std::find(order.begin(), order.end(), w) - order.begin(); };
        auto size = std::ssize(order);
        QCOMPARE(at(page.view.settingsButton()), 0);
        QCOMPARE(at(page.view.quitButton()), size - 1);
        // Cards top to bottom, each from its chevron to its switches, then the two cards below them.
        std::ptrdiff_t last = 0;
        for (DisplayCardView* card : page.view.cards())
            for (QWidget* w : std::initializer_list<QWidget*>{card->chevronButton(),
                                                              card->brightnessSlider()->findChild<QSlider*>(),
                                                              card->syncRow()}) {
                QVERIFY2(at(w) > last && at(w) < size, qPrintable(card->modelName()));
                last = at(w);
            }
        QVERIFY(at(page.view.presetCard()->header()->chevron()) > last);
        QVERIFY(at(page.view.scheduleCard()->header()->chevron()) >
                at(page.view.presetCard()->header()->chevron()));
    }

    void editorsComeIntoViewAndClosingKeepsThePlace() {
        ShownPage page;
        auto* presets = page.view.presetCard();
        presets->header()->addButton()->click();
        QTRY_VERIFY(page.inView(presets->editor()));
        page.bar()->setValue(40);
        presets->editor()->findChild<QPushButton*>(QStringLiteral("PresetCancelButton"))->setFocus();
        presets->editor()->cancel();
        page.desk.settle();
        QCOMPARE(page.bar()->value(), 40);

        auto* editor = page.view.scheduleCard()->editor();
        page.view.scheduleCard()->header()->addButton()->click();
        QTRY_VERIFY(page.inView(editor));
        QVERIFY(page.bar()->value() > 40);
        editor->presetChoice()->setCurrentIndex(1);
        page.bar()->setValue(40);
        editor->saveButton()->setFocus();
        editor->saveButton()->click();
        page.desk.settle();
        QCOMPARE(page.desk.preferences().scheduleList().size(), std::size_t(1));
        QCOMPARE(page.bar()->value(), 40);
        // The focus stays in the card that held the editor.
        QCOMPARE(QApplication::focusWidget(), page.view.scheduleCard()->header()->chevron());
    }

    void namesShowTheirAmpersandsAndSixPillsWrap() {
        ShownPage page;
        auto& prefs = page.desk.preferences();
        for (const char* name : {"Read & Write", "Film", "Late & Low"})
            prefs.upsertPreset(*makeNewPreset(name, 0.4, std::nullopt, std::nullopt));
        page.desk.settle();
        // No text on the page is read as a mnemonic (which would also grab Alt+letter).
        for (auto* button : page.view.findChildren<QAbstractButton*>())
            QVERIFY2(QKeySequence::mnemonic(button->text()).isEmpty(), qPrintable(button->text()));
        auto pills = page.view.presetCard()->pills();
        QCOMPARE(pills.size(), std::size_t(6));
        auto* named = pills.at(3)->findChild<QToolButton*>(QStringLiteral("PresetPillButton"));
        QCOMPARE(named->text().replace(QStringLiteral("&&"), QStringLiteral("&")),
                 QStringLiteral("Read & Write"));

        QWidget* row = pills.front()->parentWidget();
        std::set<int> lines;
        for (std::size_t i = 0; i < pills.size(); ++i) {
            QVERIFY2(row->rect().contains(pills[i]->geometry()),
                     qPrintable(QStringLiteral("%1 %2 %3 %4 in %5")
                                    .arg(pills[i]->x())
                                    .arg(pills[i]->y())
                                    .arg(pills[i]->width())
                                    .arg(pills[i]->height())
                                    .arg(row->width())));
            lines.insert(pills[i]->y());
            for (std::size_t j = 0; j < i; ++j)
                QVERIFY(!pills[i]->geometry().intersects(pills[j]->geometry()));
        }
        QVERIFY(lines.size() > 1);
    }
};

QTEST_MAIN(PageInputTests)
#include "PageInputTests.moc"
