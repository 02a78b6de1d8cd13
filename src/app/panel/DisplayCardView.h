#pragma once
// One display's card on the main page: name and badge, the brightness slider, the sync switch and,
// while expanded, contrast, volume, Extended Dimming and the display's control strip. It shows what the
// store remembers and is updated in place when the controller republishes its display.

#include "base/Time.h"
#include "model/ManagedDisplay.h"
#include "settings/SliderTheme.h"

#include <QFrame>
#include <string>

class QLabel;
class QToolButton;
class QVBoxLayout;

namespace brivio {

class BrivioPreferences;
class CCSlider;
class CapabilityBadge;
class DisplayControlStripView;
class DisplayController;
class LaterRefresh;
class ToggleBarRow;

class DisplayCardView : public QFrame {
    Q_OBJECT
public:
    // Taps on a slider's track glide there instead of stepping.
    static constexpr Duration tapAnimation = 180ms;

    DisplayCardView(DisplayController& controller, BrivioPreferences& preferences,
                    const ManagedDisplay& display, QWidget* parent = nullptr);

    // What the page knows: the display as last published, whether there are others to lead, and
    // whether its late probes are still running.
    void setDisplay(const ManagedDisplay& display, bool showSyncRow, bool isWarmingUp);
    const ManagedDisplay& display() const { return display_; }
    const std::string& key() const { return key_; }
    bool isExpanded() const { return expanded_; }

    QString modelName() const;
    CapabilityBadge* badge() const { return badge_; }
    QToolButton* chevronButton() const { return chevron_; }
    CCSlider* brightnessSlider() const { return brightness_; }
    ToggleBarRow* syncRow() const { return syncRow_; }
    // Shown where nothing on this desktop can dim a display that has no hardware brightness.
    QLabel* dimmingNote() const { return dimmingNote_; }
    // Null while collapsed, and for contrast and volume also when the display lacks them.
    QWidget* expandedSection() const { return section_; }
    CCSlider* contrastSlider() const { return contrast_; }
    CCSlider* volumeSlider() const { return volume_; }
    ToggleBarRow* extendedDimmingRow() const { return extendedDimming_; }
    DisplayControlStripView* controlStrip() const { return strip_; }

private:
    void refresh();
    void syncSection();
    void buildSection(bool fadeIn);
    void dropSection();
    void placeSyncRow();
    void toggleSync();
    void styleSlider(CCSlider& slider) const;
    auto cgID() const { return display_.identity.cgID; }

    DisplayController& controller_;
    BrivioPreferences& preferences_;
    ManagedDisplay display_;
    std::string key_;
    bool showSyncRow_ = false;
    bool isWarmingUp_ = false;
    bool expanded_ = false;
    SliderTheme theme_;
    bool showsPercentage_;
    // The display the expanded section was built for; a republish with other capabilities rebuilds it.
    ManagedDisplay sectionDisplay_;

    QVBoxLayout* layout_;
    QLabel* name_;
    CapabilityBadge* badge_;
    QToolButton* chevron_;
    CCSlider* brightness_;
    ToggleBarRow* syncRow_;
    QLabel* dimmingNote_;
    QWidget* section_ = nullptr;
    QVBoxLayout* sectionLayout_ = nullptr;
    int sectionSyncIndex_ = 0;
    CCSlider* contrast_ = nullptr;
    CCSlider* volume_ = nullptr;
    ToggleBarRow* extendedDimming_ = nullptr;
    DisplayControlStripView* strip_ = nullptr;
    LaterRefresh* later_;
};

} // namespace brivio
