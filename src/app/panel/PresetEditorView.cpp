#include "app/panel/PresetEditorView.h"

#include "app/panel/CCSlider.h"
#include "app/panel/FocusHandOff.h"
#include "app/panel/PanelTheme.h"
#include "core/DisplayController.h"
#include "settings/PresetEditing.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace brivio {

namespace {

constexpr double defaultContrast = 0.75;
constexpr double defaultVolume = 0.5;

CCSlider* levelSlider(const char* icon, QColor color, const QString& objectName, QWidget* parent) {
    auto* slider = new CCSlider(icon, color, parent);
    slider->setObjectName(objectName);
    return slider;
}

QPushButton* textButton(const QString& text, const QString& objectName, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    button->setAutoDefault(false);
    return button;
}

bool near(double a, std::optional<double> b) {
    return !b || std::fabs(a - *b) <= PresetEditorView::resetTolerance;
}

} // namespace

PresetEditorView::PresetEditorView(DisplayController& controller, BrivioPreferences& preferences,
                                   QWidget* parent)
    : QWidget(parent), controller_(controller), preferences_(preferences), title_(new QLabel(this)),
      name_(new QLineEdit(this)),
      brightness_(levelSlider("sun.max.fill", sunColor(), QStringLiteral("PresetBrightnessSlider"), this)),
      contrast_(
          levelSlider("circle.lefthalf.filled", QColor(), QStringLiteral("PresetContrastSlider"), this)),
      volume_(levelSlider("speaker.wave.2.fill", QColor(), QStringLiteral("PresetVolumeSlider"), this)),
      reset_(textButton(QStringLiteral("Reset to Default"), QStringLiteral("PresetResetButton"), this)),
      delete_(textButton(QStringLiteral("Delete"), QStringLiteral("PresetDeleteButton"), this)),
      cancel_(textButton(QStringLiteral("Cancel"), QStringLiteral("PresetCancelButton"), this)),
      save_(textButton(QStringLiteral("Save"), QStringLiteral("PresetSaveButton"), this)) {
    setObjectName(QStringLiteral("PresetEditorView"));
    QFont titleFont = title_->font();
    titleFont.setWeight(QFont::DemiBold);
    title_->setFont(titleFont);
    name_->setObjectName(QStringLiteral("PresetNameField"));
    name_->setPlaceholderText(QStringLiteral("Preset name"));
    save_->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(title_);
    layout->addWidget(name_);
    layout->addWidget(brightness_);
    layout->addWidget(contrast_);
    layout->addWidget(volume_);
    auto* extra = new QHBoxLayout;
    extra->addWidget(reset_);
    extra->addWidget(delete_);
    extra->addStretch(1);
    layout->addLayout(extra);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel_);
    buttons->addWidget(save_);
    layout->addLayout(buttons);

    auto previewBrightness = [this](double v) {
        liveBrightness_ = v;
        controller_.applyPreviewBrightness(v);
    };
    connect(brightness_, &CCSlider::dragged, this, previewBrightness);
    connect(brightness_, &CCSlider::jumpedTo, this, previewBrightness);
    auto setContrast = [this](double v) {
        liveContrast_ = v;
        contrastIncluded_ = true;
    };
    connect(contrast_, &CCSlider::dragged, this, setContrast);
    connect(contrast_, &CCSlider::jumpedTo, this, setContrast);
    auto setVolume = [this](double v) {
        liveVolume_ = v;
        volumeIncluded_ = true;
    };
    connect(volume_, &CCSlider::dragged, this, setVolume);
    connect(volume_, &CCSlider::jumpedTo, this, setVolume);
    connect(name_, &QLineEdit::textChanged, this, [this] { updateButtons(); });
    connect(name_, &QLineEdit::returnPressed, this, [this] {
        if (save_->isEnabled())
            save();
    });
    connect(save_, &QPushButton::clicked, this, [this] { save(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { cancel(); });
    connect(delete_, &QPushButton::clicked, this, [this] { deletePreset(); });
    connect(reset_, &QPushButton::clicked, this, [this] { resetToDefault(); });
    hide();
}

void PresetEditorView::beginAdding() {
    cancel();
    preAddBrightnessByDisplay_.clear();
    const auto& remembered = preferences_.brightnessByDisplay();
    for (const auto& d : controller_.displays())
        if (auto it = remembered.find(d.identity.stableKey()); it != remembered.end())
            preAddBrightnessByDisplay_[it->first] = it->second;
    // Start from what the displays show, so opening the editor suggests no change.
    liveBrightness_ = 1.0;
    liveContrast_ = defaultContrast;
    liveVolume_ = defaultVolume;
    if (!controller_.displays().empty())
        if (auto it = remembered.find(controller_.displays().front().identity.stableKey());
            it != remembered.end())
            liveBrightness_ = it->second;
    for (const auto& d : controller_.displays()) {
        auto key = d.identity.stableKey();
        if (d.capabilities.supportsHardwareContrast && preferences_.contrastByDisplay().contains(key))
            liveContrast_ = preferences_.contrastByDisplay().at(key);
        if (d.capabilities.supportsHardwareVolume && preferences_.volumeByDisplay().contains(key))
            liveVolume_ = preferences_.volumeByDisplay().at(key);
    }
    contrastIncluded_ = volumeIncluded_ = false;
    isAdding_ = true;
    open(QStringLiteral("New Preset"), QString());
    name_->setFocus();
}

void PresetEditorView::beginEditing(const BrightnessPreset& preset) {
    cancel();
    editingPreset_ = preset;
    liveBrightness_ = preset.brightness;
    liveContrast_ = preset.contrast.value_or(defaultContrast);
    liveVolume_ = preset.volume.value_or(defaultVolume);
    contrastIncluded_ = preset.contrast.has_value();
    volumeIncluded_ = preset.volume.has_value();
    open(QStringLiteral("Edit Preset"), QString::fromStdString(preset.name));
}

void PresetEditorView::open(const QString& title, const QString& name) {
    title_->setText(title);
    name_->setText(name);
    bool contrast = false;
    bool volume = false;
    for (const auto& d : controller_.displays()) {
        contrast = contrast || d.capabilities.supportsHardwareContrast;
        volume = volume || d.capabilities.supportsHardwareVolume;
    }
    contrast_->setVisible(contrast);
    volume_->setVisible(volume);
    for (auto* slider : {brightness_, contrast_, volume_}) {
        slider->setTheme(preferences_.selectedTheme());
        slider->setShowsPercentage(preferences_.showSliderPercentage());
    }
    bool builtIn = editingPreset_ && isBuiltInPresetID(editingPreset_->id);
    reset_->setVisible(builtIn);
    // Built-ins cannot be deleted, so they get no button that would pretend to.
    delete_->setVisible(editingPreset_ && !builtIn);
    showLevels();
    updateButtons();
    show();
    Q_EMIT openChanged(true);
}

void PresetEditorView::showLevels() {
    brightness_->setValue(liveBrightness_);
    contrast_->setValue(liveContrast_);
    volume_->setValue(liveVolume_);
}

void PresetEditorView::updateButtons() {
    // A blank name creates nothing, so Save is not offered for it; an edit keeps the old name.
    save_->setEnabled(!isAdding_ || !trimWhitespace(name_->text().toStdString()).empty());
}

std::optional<double> PresetEditorView::includedContrast() const {
    return contrastIncluded_ ? std::optional<double>(liveContrast_) : std::nullopt;
}

std::optional<double> PresetEditorView::includedVolume() const {
    return volumeIncluded_ ? std::optional<double>(liveVolume_) : std::nullopt;
}

void PresetEditorView::save() {
    std::string name = name_->text().toStdString();
    std::optional<BrightnessPreset> preset;
    if (isAdding_)
        preset = makeNewPreset(name, liveBrightness_, includedContrast(), includedVolume());
    else if (editingPreset_)
        preset = editPreset(*editingPreset_, name, liveBrightness_, includedContrast(), includedVolume());
    if (!preset)
        return;
    preferences_.upsertPreset(*preset);
    // Apply the preset as it is now stored: a built-in keeps its own levels, and a preset the full
    // list refused must not be applied and marked active as if it existed.
    std::optional<BrightnessPreset> stored;
    for (const auto& p : preferences_.globalPresets())
        if (p.id == preset->id)
            stored = p;
    if (!stored) {
        cancel();
        return;
    }
    isAdding_ = false;
    editingPreset_.reset();
    controller_.applyPreset(*stored);
    close();
}

void PresetEditorView::cancel() {
    if (isAdding_) {
        auto displays = controller_.displays();
        for (const auto& d : displays) {
            auto it = preAddBrightnessByDisplay_.find(d.identity.stableKey());
            double back = it != preAddBrightnessByDisplay_.end() ? it->second : 1.0;
            controller_.applyBrightness(d, back, true, cancelAnimation);
        }
    } else if (editingPreset_) {
        // The stored levels, which may differ from the copy the editor opened with.
        BrightnessPreset stored = *editingPreset_;
        for (const auto& p : preferences_.globalPresets())
            if (p.id == stored.id)
                stored = p;
        controller_.applyPreset(stored);
    } else {
        return;
    }
    isAdding_ = false;
    editingPreset_.reset();
    close();
}

void PresetEditorView::deletePreset() {
    if (!editingPreset_ || isBuiltInPresetID(editingPreset_->id))
        return;
    BrightnessPreset stored = *editingPreset_;
    editingPreset_.reset();
    controller_.applyPreset(stored);
    preferences_.deletePreset(stored.id);
    close();
}

void PresetEditorView::resetToDefault() {
    const BrightnessPreset* builtIn = editingPreset_ ? builtInPreset(editingPreset_->id) : nullptr;
    if (!builtIn)
        return;
    if (near(liveBrightness_, builtIn->brightness) && near(liveContrast_, builtIn->contrast) &&
        near(liveVolume_, builtIn->volume))
        return;
    liveBrightness_ = builtIn->brightness;
    liveContrast_ = builtIn->contrast.value_or(liveContrast_);
    liveVolume_ = builtIn->volume.value_or(liveVolume_);
    contrastIncluded_ = builtIn->contrast.has_value();
    volumeIncluded_ = builtIn->volume.has_value();
    showLevels();
    controller_.applyPreviewBrightness(liveBrightness_);
}

void PresetEditorView::close() {
    preAddBrightnessByDisplay_.clear();
    hideHandingFocusTo(*this, focusAnchor_);
    controller_.clearPreviewOverlays();
    Q_EMIT openChanged(false);
}

} // namespace brivio
