#pragma once
// The "Schedule" card: the solar row with its levels, one row per schedule, and the schedule editor.

#include "settings/BrightnessPreset.h"
#include "settings/PresetSchedule.h"

#include <QColor>
#include <QWidget>
#include <vector>

class QLabel;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace brivio {

class BrivioPreferences;
class CardHeader;
class DisplayController;
class LaterRefresh;
class LocationPromptView;
class ScheduleEditorView;
class ScheduleRowView;
class SolarLevelsEditorView;
class ToggleBarRow;

class ScheduleCardView : public QWidget {
    Q_OBJECT
public:
    ScheduleCardView(DisplayController& controller, BrivioPreferences& preferences,
                     QWidget* parent = nullptr);

    CardHeader* header() const { return header_; }
    ToggleBarRow* solarRow() const { return solarRow_; }
    QLabel* solarStatus() const { return solarStatus_; }
    SolarLevelsEditorView* levelsEditor() const { return levels_; }
    ScheduleEditorView* editor() const { return editor_; }
    LocationPromptView* locationPrompt() const { return prompt_; }
    std::vector<ScheduleRowView*> rows() const { return rows_; }

Q_SIGNALS:
    // An editor or the location prompt opened: the page brings it into view.
    void editorOpened(QWidget* editor);

private:
    void refresh();
    void rebuildRows();
    void tapSolarRow();
    void finishLevels(double night, double day);
    void applySolarCurveNow();

    DisplayController& controller_;
    BrivioPreferences& preferences_;
    CardHeader* header_;
    QWidget* content_;
    ToggleBarRow* solarRow_;
    QToolButton* levelsButton_;
    QLabel* solarStatus_;
    QPushButton* resume_;
    SolarLevelsEditorView* levels_;
    LocationPromptView* prompt_;
    QVBoxLayout* rowsLayout_;
    ScheduleEditorView* editor_;
    std::vector<ScheduleRowView*> rows_;
    // What the rows were built from: they are rebuilt only when it changes, so a tap in progress is
    // not lost to an unrelated redraw.
    std::vector<PresetSchedule> shownSchedules_;
    std::vector<BrightnessPreset> shownPresets_;
    bool shownUsable_ = true;
    QColor shownAccent_;
    // The user tapped the solar row without a usable location: keep the prompt in view.
    bool locationAsked_ = false;
    LaterRefresh* later_;
};

} // namespace brivio
