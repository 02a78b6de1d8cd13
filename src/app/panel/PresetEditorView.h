#pragma once
// The preset card's editor: a name and live levels for a new preset or a stored one. Brightness moves
// are previewed on every display; Save stores and applies, Cancel puts the displays back.

#include "settings/BrightnessPreset.h"

#include <QPointer>
#include <QWidget>
#include <chrono>
#include <map>
#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace brivio {

class BrivioPreferences;
class CCSlider;
class DisplayController;

class PresetEditorView : public QWidget {
    Q_OBJECT
public:
    // How far a live level may be from the built-in one and still count as unchanged.
    static constexpr double resetTolerance = 0.001;
    // Cancel while adding brings each display back this fast.
    static constexpr std::chrono::milliseconds cancelAnimation{180};

    PresetEditorView(DisplayController& controller, BrivioPreferences& preferences, QWidget* parent);

    // Each first cancels a session still open.
    void beginAdding();
    void beginEditing(const BrightnessPreset& preset);
    bool isOpen() const { return isAdding_ || editingPreset_.has_value(); }
    bool isAdding() const { return isAdding_; }

    void save();
    // Undoes the preview and closes; nothing when closed.
    void cancel();
    void deletePreset();
    void resetToDefault();

    // Where the keyboard focus goes when the editor closes with it inside.
    void setFocusAnchor(QWidget* anchor) { focusAnchor_ = anchor; }

    QLineEdit* nameField() const { return name_; }
    CCSlider* brightnessSlider() const { return brightness_; }
    CCSlider* contrastSlider() const { return contrast_; }
    CCSlider* volumeSlider() const { return volume_; }

Q_SIGNALS:
    // The editor opened (true) or closed (false); the card shows or hides it.
    void openChanged(bool open);

private:
    void open(const QString& title, const QString& name);
    void close();
    void showLevels();
    void updateButtons();
    std::optional<double> includedContrast() const;
    std::optional<double> includedVolume() const;

    DisplayController& controller_;
    BrivioPreferences& preferences_;

    bool isAdding_ = false;
    std::optional<BrightnessPreset> editingPreset_;
    std::map<std::string, double> preAddBrightnessByDisplay_;
    double liveBrightness_ = 1.0;
    double liveContrast_ = 0.75;
    double liveVolume_ = 0.5;
    // A contrast or volume becomes part of the preset once the user sets it (or the preset had one).
    bool contrastIncluded_ = false;
    bool volumeIncluded_ = false;

    QLabel* title_;
    QLineEdit* name_;
    CCSlider* brightness_;
    CCSlider* contrast_;
    CCSlider* volume_;
    QPushButton* reset_;
    QPushButton* delete_;
    QPushButton* cancel_;
    QPushButton* save_;
    QPointer<QWidget> focusAnchor_;
};

} // namespace brivio
