// The preset card and the schedule card on the example desk: pills apply presets, the preset editor
// previews and puts the displays back, schedules are added, refused past the limit and toggled, and the
// solar row stores its switch and waits for a position.
#include "PanelDesk.h"
#include "app/panel/CCSlider.h"
#include "app/panel/CardHeader.h"
#include "app/panel/GlobalPresetCardView.h"
#include "app/panel/LocationPromptView.h"
#include "app/panel/PanelSymbols.h"
#include "app/panel/PresetEditorView.h"
#include "app/panel/PresetPill.h"
#include "app/panel/ScheduleCardView.h"
#include "app/panel/ScheduleEditorView.h"
#include "app/panel/ScheduleRowView.h"
#include "app/panel/ToggleBarRow.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <cmath>

using namespace brivio;

namespace {

std::map<std::string, double> brightnessOf(PanelDesk& desk) {
    std::map<std::string, double> out;
    for (const auto& d : desk.controller().displays()) {
        auto key = d.identity.stableKey();
        out[key] = desk.preferences().brightnessByDisplay().contains(key)
                       ? desk.preferences().brightnessByDisplay().at(key)
                       : 1.0;
    }
    return out;
}

void expectAll(PanelDesk& desk, double level) {
    for (const auto& [key, value] : brightnessOf(desk))
        QVERIFY2(std::fabs(value - level) < 1e-6, key.c_str());
}

PresetPill* pillNamed(GlobalPresetCardView& card, const std::string& name) {
    for (auto* pill : card.pills())
        if (pill->preset().name == name)
            return pill;
    return nullptr;
}

PresetSchedule clockSchedule(int hour) {
    return {Uuid::random(), builtInPresets()[0].id, true, ScheduleTrigger::clockTime(hour, 0), allWeekdays()};
}

QPushButton* button(QWidget& parent, const char* name) {
    return parent.findChild<QPushButton*>(QString::fromLatin1(name));
}

} // namespace

class CardsTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void builtInPillApplies() {
        PanelDesk desk;
        GlobalPresetCardView card(desk.controller(), desk.preferences());
        card.show();
        QCOMPARE(card.pills().size(), std::size_t(3));
        QCOMPARE(card.pills()[1]->preset().name, std::string("Work"));
        for (auto* pill : card.pills()) // a missing drawing would fall back without a word
            QVERIFY(knownSymbol(pill->preset().iconName()));

        pillNamed(card, "Work")->tap();
        desk.settle();
        QVERIFY(pillNamed(card, "Work")->isActive());
        QVERIFY(!pillNamed(card, "Night")->isActive());
        expectAll(desk, 0.65);
    }

    void addingPreviewsAndCancelPutsDisplaysBack() {
        PanelDesk desk;
        GlobalPresetCardView card(desk.controller(), desk.preferences());
        card.show();
        auto before = brightnessOf(desk);
        card.header()->addButton()->click();
        auto* editor = card.editor();
        QVERIFY(editor->isVisible());
        QCOMPARE(editor->nameField()->placeholderText(), QStringLiteral("Preset name"));
        QVERIFY(!button(*editor, "PresetSaveButton")->isEnabled()); // no name yet
        desk.settle();
        QVERIFY(!card.header()->addButton()->isEnabled());

        editor->brightnessSlider()->dragTo(0.3);
        desk.settle();
        expectAll(desk, 0.3); // the preview reaches every display

        button(*editor, "PresetCancelButton")->click();
        desk.settle();
        QVERIFY(!editor->isVisible());
        QCOMPARE(brightnessOf(desk), before);
        QVERIFY(!desk.preferences().globalActivePresetIDStr());
    }

    void saveStoresAndAppliesNamedPreset() {
        PanelDesk desk;
        GlobalPresetCardView card(desk.controller(), desk.preferences());
        card.show();
        card.header()->addButton()->click();
        auto* editor = card.editor();
        QTest::keyClicks(editor->nameField(), QStringLiteral("  Reading "));
        editor->brightnessSlider()->dragTo(0.4);
        button(*editor, "PresetSaveButton")->click();
        desk.settle();

        auto presets = desk.preferences().globalPresets();
        QCOMPARE(presets.size(), std::size_t(4));
        const auto& saved = presets.back();
        QCOMPARE(saved.name, std::string("Reading"));
        QCOMPARE(saved.brightness, 0.4);
        QVERIFY(!saved.contrast && !saved.volume); // untouched levels stay out of the preset
        QCOMPARE(*desk.preferences().globalActivePresetIDStr(), saved.id.toString());
        QVERIFY(pillNamed(card, "Reading")->isActive());
        expectAll(desk, 0.4);
    }

    void deleteOnlyForCustomPresets() {
        PanelDesk desk;
        BrightnessPreset custom{Uuid::random(), "Dim", 0.1, std::nullopt, std::nullopt, std::nullopt};
        desk.preferences().upsertPreset(custom);
        GlobalPresetCardView card(desk.controller(), desk.preferences());
        card.show();
        auto* editor = card.editor();

        pillNamed(card, "Night")->editButton()->click();
        QVERIFY(button(*editor, "PresetDeleteButton")->isHidden());
        QVERIFY(!button(*editor, "PresetResetButton")->isHidden());
        button(*editor, "PresetCancelButton")->click();
        desk.settle();

        pillNamed(card, "Dim")->editButton()->click();
        QVERIFY(button(*editor, "PresetResetButton")->isHidden());
        button(*editor, "PresetDeleteButton")->click();
        desk.settle();
        QCOMPARE(card.pills().size(), std::size_t(3));
        QVERIFY(!pillNamed(card, "Dim"));
        QVERIFY(!desk.preferences().globalActivePresetIDStr());
    }

    void fullPresetListOffersNoAdd() {
        PanelDesk desk;
        for (int i = 0; i < 3; ++i)
            desk.preferences().upsertPreset({Uuid::random(), "P", 0.5, {}, {}, {}});
        GlobalPresetCardView card(desk.controller(), desk.preferences());
        card.show();
        desk.settle();
        QCOMPARE(card.pills().size(), std::size_t(6));
        // A seventh would be dropped by the store yet applied and marked active.
        QVERIFY(!card.header()->addButton()->isEnabled());
    }

    void editorAddsScheduleRows() {
        PanelDesk desk;
        ScheduleCardView card(desk.controller(), desk.preferences());
        card.show();
        auto* editor = card.editor();
        card.header()->addButton()->click();
        QVERIFY(!editor->saveButton()->isEnabled()); // no preset chosen
        editor->presetChoice()->setCurrentIndex(2);  // Work
        editor->saveButton()->click();
        desk.settle();
        QCOMPARE(card.rows().size(), std::size_t(1));
        auto label = card.rows()[0]->labelText();
        QVERIFY2(label.contains(QString::fromStdString(ScheduleTrigger::clockTime(8, 0).label())),
                 qPrintable(label));
        QVERIFY(label.contains(QStringLiteral("Every day")) && label.contains(QStringLiteral("Work")));

        // A sunset on weekdays, with an offset: kept as typed, and a fix is asked for.
        int requests = desk.sim->location().requests();
        card.header()->addButton()->click();
        editor->presetChoice()->setCurrentIndex(1);
        editor->kindButton(TriggerKind::sunset)->click();
        editor->offsetField()->setValue(-20);
        editor->dayButton(0)->click();
        editor->dayButton(6)->click();
        editor->saveButton()->click();
        desk.settle();
        QCOMPARE(card.rows().size(), std::size_t(2));
        PresetSchedule stored = desk.preferences().scheduleList()[1];
        QCOMPARE(stored.trigger, ScheduleTrigger::sunset(-20));
        QCOMPARE(stored.days, (std::vector<int>{1, 2, 3, 4, 5}));
        QVERIFY(card.rows()[1]->labelText().contains(QStringLiteral("Sunset -20 min")));
        QVERIFY(card.rows()[1]->labelText().contains(QStringLiteral("Weekdays")));
        QVERIFY(desk.sim->location().requests() > requests);

        // Editing keeps the offset it had.
        card.rows()[1]->editButton()->click();
        QCOMPARE(editor->offsetField()->value(), -20);
        editor->dayButton(0)->click();
        editor->saveButton()->click();
        desk.settle();
        QCOMPARE(desk.preferences().scheduleList()[1].trigger, ScheduleTrigger::sunset(-20));
        QCOMPARE(desk.preferences().scheduleList()[1].id, stored.id);
    }

    void fiveSchedulesOfferNoAdd() {
        PanelDesk desk;
        for (int hour = 1; hour <= 4; ++hour)
            desk.preferences().upsertSchedule(clockSchedule(hour));
        ScheduleCardView card(desk.controller(), desk.preferences());
        card.show();
        QVERIFY(card.header()->addButton()->isVisible());
        desk.preferences().upsertSchedule(clockSchedule(5));
        desk.settle();
        QCOMPARE(card.rows().size(), std::size_t(5));
        QVERIFY(card.header()->addButton()->isHidden());
    }

    void rowSwitchAndDelete() {
        PanelDesk desk;
        desk.preferences().upsertSchedule(clockSchedule(7));
        ScheduleCardView card(desk.controller(), desk.preferences());
        card.show();
        QVERIFY(card.rows()[0]->toggle()->isOn());
        card.rows()[0]->toggle()->tap();
        desk.settle();
        QVERIFY(!desk.preferences().scheduleList()[0].isEnabled);
        QVERIFY(!card.rows()[0]->toggle()->isOn());
        QCOMPARE(card.rows()[0]->toggle()->helpText(), QStringLiteral("Tap to enable"));
        card.rows()[0]->deleteButton()->click();
        desk.settle();
        QVERIFY(desk.preferences().scheduleList().empty());
        QVERIFY(card.rows().empty());
    }

    void solarRowWaitsForAPosition() {
        auto scenario = exampleScenario("desk.json");
        auto at = scenario.find("\"location\"");
        scenario.replace(at, scenario.find('}', at) - at + 1, "\"location\": { \"status\": 1 }");
        PanelDesk desk(scenario);
        ScheduleCardView card(desk.controller(), desk.preferences());
        card.show();
        card.solarRow()->tap();
        desk.settle();
        QVERIFY(!desk.preferences().solarCurveEnabled());
        QCOMPARE(desk.sim->location().privacySettingsOpened(), 1);
        QCOMPARE(card.solarStatus()->text(), QStringLiteral("Location required"));
        auto* prompt = card.locationPrompt();
        QVERIFY(prompt->isVisible());
        int said = 0; // the status line says it; the prompt under it does not again
        for (auto* label : card.findChildren<QLabel*>())
            said += label->isVisible() && label->text() == QStringLiteral("Location required");
        QCOMPARE(said, 1);

        prompt->findChild<QLineEdit*>(QStringLiteral("LocationLatitudeField"))->setText(QStringLiteral("91"));
        prompt->findChild<QLineEdit*>(QStringLiteral("LocationLongitudeField"))
            ->setText(QStringLiteral("13.4"));
        QVERIFY(!prompt->useTypedPosition());
        prompt->findChild<QLineEdit*>(QStringLiteral("LocationLatitudeField"))
            ->setText(QStringLiteral("52,5"));
        QVERIFY(prompt->useTypedPosition());
        desk.settle();
        QVERIFY(!prompt->isVisible());
        card.solarRow()->tap();
        desk.settle();
        QVERIFY(desk.preferences().solarCurveEnabled());
    }
};

QTEST_MAIN(CardsTests)
#include "CardsTests.moc"
