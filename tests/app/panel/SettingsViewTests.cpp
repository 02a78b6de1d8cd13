// The settings page on the example desk: its sections, the step picker, launch at login, the shortcut
// recorders through to the hot-key registrations, the theme dots and the compatibility report.
#include "PanelDesk.h"
#include "app/panel/AppRouter.h"
#include "app/panel/BrivioSettingsView.h"
#include "app/panel/LoginItem.h"
#include "app/panel/PanelTheme.h"
#include "app/panel/ShortcutRecorderButton.h"
#include "app/panel/ToggleBarRow.h"
#include "app/panel/UpdateBridge.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace brivio;

namespace {

struct FakeLoginItem : LoginItem {
    bool enabled = false;
    bool refuses = false;
    std::vector<bool> requests;
    bool isEnabled() const override { return enabled; }
    bool setEnabled(bool on) override {
        requests.push_back(on);
        if (!refuses)
            enabled = on;
        return !refuses;
    }
};

struct NoUpdates : UpdateBridge {
    bool automaticallyChecksForUpdates() const override { return false; }
    void setAutomaticallyChecksForUpdates(bool) override {}
    void checkForUpdates() override {}
    std::string note() const override { return "Updated by the package manager."; }
    bool canCheckForUpdates() const override { return false; }
};

} // namespace

class MailCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl& url) { opened.append(url); }
};

class SettingsViewTests : public QObject {
    Q_OBJECT

    struct Page {
        PanelDesk desk;
        AppRouter router;
        FakeLoginItem login;
        NoUpdates updates;
        BrivioSettingsView view{desk.controller(), desk.preferences(), router, &login, &updates};
        template <typename T> T* find(const char* name) { return view.findChild<T*>(QLatin1String(name)); }
        ShortcutRecorderButton* recorder(const char* name) { return find<ShortcutRecorderButton>(name); }
    };

private Q_SLOTS:
    void sectionsAndTextsInOrder() {
        Page page;
        page.router.openSettings();
        QStringList titles;
        for (auto* label : page.view.findChildren<QLabel*>(QStringLiteral("SettingsSectionTitle")))
            titles << label->text();
        QCOMPARE(titles, (QStringList{"General", "Shortcuts", "Theme", "Software Update", "Support"}));
        QCOMPARE(page.find<QLabel>("SettingsTitle")->text(), QStringLiteral("Settings"));
        QCOMPARE(page.find<QLabel>("VersionFooter")->text(), QStringLiteral("Version 1.0"));
        QCOMPARE(page.recorder("IncreaseBrightnessRecorder")->text(), QStringLiteral("Record Shortcut"));
        QVERIFY(page.find<QLabel>("ReportNote")->text().startsWith("Sends your display configuration"));
        // Updates come from the package manager: the page says so and offers nothing to press.
        QCOMPARE(page.find<QLabel>("UpdateNote")->text(), QStringLiteral("Updated by the package manager."));
        QVERIFY(!page.find<QPushButton>("CheckUpdatesButton")->isEnabled());
        QVERIFY(!page.find<ToggleBarRow>("AutoUpdateRow")->isEnabled());

        page.find<QToolButton>("SettingsBackButton")->click();
        QVERIFY(!page.router.showingSettings());
    }

    void stepPickerShowsTheNearestChoice() {
        Page page;
        const std::pair<double, const char*> cases[] = {
            {0.1, "StepBold"}, {0.05, "StepClassic"}, {0.03, "StepFine"}, {0.125, "StepBold"}};
        for (auto [stored, shown] : cases) {
            page.desk.preferences().setBrightnessStep(stored);
            page.desk.settle();
            QVERIFY2(page.find<QPushButton>(shown)->isChecked(), shown);
        }
        // The chosen segment stands out from the page around it (at least 3 : 1).
        page.view.show();
        QPushButton* bold = page.find<QPushButton>("StepBold");
        QImage drawn = bold->grab().toImage();
        QColor fill = drawn.pixelColor(drawn.width() / 2, 3);
        QVERIFY(contrastRatio(fill, page.view.palette().color(QPalette::Window)) >= 3.0);
        page.find<QPushButton>("StepFine")->click();
        QCOMPARE(page.desk.preferences().brightnessStep(), 0.015625);
        QCOMPARE(page.desk.store.getNumber("brivio.brightnessStep").value_or(0), 0.015625);
    }

    void launchAtLoginKeepsTheUsersChoiceUntilShownAgain() {
        Page page;
        page.login.refuses = true;
        auto* row = page.find<ToggleBarRow>("LaunchAtLoginRow");
        page.view.show();
        QVERIFY(!row->isOn());
        row->tap();
        QCOMPARE(page.login.requests, std::vector<bool>{true});
        QVERIFY(row->isOn());
        page.view.hide();
        page.view.show();
        QVERIFY(!row->isOn());

        BrivioSettingsView without(page.desk.controller(), page.desk.preferences(), page.router, nullptr,
                                   nullptr);
        QVERIFY(!without.findChild<ToggleBarRow*>(QStringLiteral("LaunchAtLoginRow"))->isEnabled());
    }

    void recorderStoresMaskedCombinationsAndTheEngineRegistersThem() {
        Page page;
        page.desk.services->startShortcuts();
        auto* up = page.recorder("IncreaseBrightnessRecorder");
        auto& prefs = page.desk.preferences();

        up->click();
        QCOMPARE(up->text(), QStringLiteral("Press keys…"));
        // A plain letter goes on to the focus; recording continues.
        QTest::keyClick(up, Qt::Key_K);
        QVERIFY(up->isRecording());
        QVERIFY(!prefs.shortcutKeyCode(ShortcutAction::brightnessUp));
        // Bits other than the four modifiers (here the layout group) are not stored.
        QTest::keyClick(up, Qt::Key_Up, Qt::ShiftModifier | Qt::MetaModifier | Qt::GroupSwitchModifier);
        QVERIFY(!up->isRecording());
        QCOMPARE(prefs.shortcutKeyCode(ShortcutAction::brightnessUp).value_or(-2), 126);
        QCOMPARE(prefs.shortcutModifiers(ShortcutAction::brightnessUp).value_or(-2), 0x120000);
        QCOMPARE(up->text(), QStringLiteral("⇧⌘↑"));
        QVERIFY(!up->clearButton()->isHidden());
        page.desk.settle();
        auto registrations = page.desk.sim->hotKeys().registrations();
        QCOMPARE(registrations.size(), std::size_t(1));
        QCOMPARE(registrations[0].keyCode, 126u);
        QCOMPARE(registrations[0].modifiers, 0x300u);

        // Escape ends recording and keeps the stored shortcut.
        up->click();
        QTest::keyClick(up, Qt::Key_Escape);
        QVERIFY(!up->isRecording());
        QCOMPARE(up->text(), QStringLiteral("⇧⌘↑"));

        // The X server's keysym names the key; with Shift held it is the upper-case letter.
        auto* down = page.recorder("DecreaseBrightnessRecorder");
        down->click();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier, 45, 0x4b, 0);
        QApplication::sendEvent(down, &press);
        QCOMPARE(prefs.shortcutKeyCode(ShortcutAction::brightnessDown).value_or(-2), 40);
        QCOMPARE(down->text(), QStringLiteral("⌃⇧K"));

        up->clearButton()->click();
        QCOMPARE(prefs.shortcutKeyCode(ShortcutAction::brightnessUp).value_or(-2), -1);
        QCOMPARE(prefs.shortcutModifiers(ShortcutAction::brightnessUp).value_or(-2), 0);
        QCOMPARE(up->text(), QStringLiteral("Record Shortcut"));
        QVERIFY(up->clearButton()->isHidden());
        page.desk.settle();
        registrations = page.desk.sim->hotKeys().registrations();
        QCOMPARE(registrations.size(), std::size_t(1));
        QCOMPARE(registrations[0].keyCode, 40u);

        // Closing the panel ends recording.
        page.view.show();
        up->click();
        page.view.hide();
        QVERIFY(!up->isRecording());
    }

    void recorderSaysWhyACombinationCannotBeUsedAndTheAKeyWorks() {
        Page page;
        page.desk.services->startShortcuts();
        auto* up = page.recorder("IncreaseBrightnessRecorder");
        up->click();
        // Shift makes "!" of the digit row's 1 (X key code 10), which no shortcut key matches.
        QKeyEvent shifted(QEvent::KeyPress, Qt::Key_Exclam, Qt::ControlModifier | Qt::ShiftModifier, 10, 0x21,
                          0);
        QApplication::sendEvent(up, &shifted);
        QVERIFY(up->isRecording());
        QCOMPARE(up->text(), QStringLiteral("Shift with a digit can't be used"));
        QTest::keyClick(up, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(up->text(), QStringLiteral("This key can't be used"));
        QTest::keyClick(up, Qt::Key_A, Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(up->text(), QStringLiteral("⌃⌥A"));
        page.desk.settle();
        auto registrations = page.desk.sim->hotKeys().registrations();
        QCOMPARE(registrations.size(), std::size_t(1));
        QCOMPARE(registrations[0].keyCode, 0u);
    }

    void reportGoesToTheMailProgramAndTheClipboard() {
        Page page;
        MailCatcher mail;
        QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &mail, "open");
        page.find<QPushButton>("ReportButton")->click();
        page.find<QPushButton>("ContactButton")->click();
        QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
        QCOMPARE(mail.opened.size(), 2);
        QString report = mail.opened[0].toString(QUrl::FullyEncoded);
        QVERIFY2(report.startsWith("mailto:support@brivio.invalid?subject=Brivio%20Compatibility%20Report"
                                   "&body=Brivio%201.0%20(%3F)%0A"),
                 qPrintable(report));
        QVERIFY(report.contains("Studio%2027%20%E2%80%94%20External"));
        QCOMPARE(mail.opened[1].toString(), QStringLiteral("mailto:support@brivio.invalid"));

        page.find<QPushButton>("CopyReportButton")->click();
        QString copied = QGuiApplication::clipboard()->text();
        QCOMPARE(copied.toStdString(), page.view.compatibilityReport());
        QVERIFY(copied.contains("Displays (3):"));
    }
};

QTEST_MAIN(SettingsViewTests)
#include "SettingsViewTests.moc"
