#pragma once
// The "Presets" card: one pill per preset (wrapping onto a second line, so every pill and the active
// one stay in view), and the editor for adding and changing presets.

#include "settings/BrightnessPreset.h"

#include <QWidget>
#include <optional>
#include <string>
#include <vector>

namespace brivio {

class BrivioPreferences;
class CardHeader;
class DisplayController;
class FlowLayout;
class LaterRefresh;
class PresetEditorView;
class PresetPill;

class GlobalPresetCardView : public QWidget {
    Q_OBJECT
public:
    GlobalPresetCardView(DisplayController& controller, BrivioPreferences& preferences,
                         QWidget* parent = nullptr);

    CardHeader* header() const { return header_; }
    PresetEditorView* editor() const { return editor_; }
    std::vector<PresetPill*> pills() const { return pills_; }

Q_SIGNALS:
    // The editor opened or closed: the page keeps the panel open while a name is being typed.
    void editingChanged(bool editing);

private:
    void refresh();
    void rebuildPills(const std::vector<BrightnessPreset>& presets);

    DisplayController& controller_;
    BrivioPreferences& preferences_;
    CardHeader* header_;
    QWidget* content_;
    QWidget* row_;
    FlowLayout* rowLayout_;
    PresetEditorView* editor_;
    std::vector<PresetPill*> pills_;
    std::vector<BrightnessPreset> shownPresets_;
    LaterRefresh* later_;
};

} // namespace brivio
