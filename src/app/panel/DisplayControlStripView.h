#pragma once
// The control strip of one display card: resolution, scale and refresh rate, rotation, input source
// and power off, with the keep-or-revert banners of an unconfirmed change.

#include "base/Task.h"
#include "base/WeakPtr.h"
#include "model/ManagedDisplay.h"
#include "modes/DisplayControlStrip.h"

#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>

namespace brivio {

class DisplayController;
class InlinePrompt;
class LaterRefresh;
class PillButton;

class DisplayControlStripView : public QWidget {
    Q_OBJECT
public:
    DisplayControlStripView(DisplayController& controller, const ManagedDisplay& display,
                            QWidget* parent = nullptr);
    // An unconfirmed change keeps counting down after the strip goes and is undone at the end.
    ~DisplayControlStripView() override;

    DisplayControlStrip& strip();
    // False for a built-in display that lists no modes: the card then shows no strip at all.
    bool showsControls() const { return showsControls_; }
    // The input the strip shows as current: read once from the monitor, then the user's last choice.
    std::optional<std::uint8_t> shownInputSource() const { return shownInput_; }

private:
    struct Core;

    void buildBuiltIn();
    void buildExternal();
    void addBanners();
    void refresh();
    std::vector<DropdownItem> resolutionDropdown();
    std::vector<DropdownItem> inputDropdown();
    void chooseInput(std::uint8_t value);
    void askPowerOff();
    static Task<void> readInputSource(WeakPtr<DisplayControlStripView> self);
    static Task<void> sendPowerOff(WeakPtr<DisplayControlStripView> self);

    DisplayController& controller_;
    std::shared_ptr<Core> core_;
    bool showsControls_ = true;
    bool showAllModes_ = false;
    bool inputChosen_ = false;
    std::optional<std::uint8_t> shownInput_;
    PillButton* resolution_ = nullptr;
    PillButton* refreshRate_ = nullptr;
    PillButton* rotation_ = nullptr;
    PillButton* scale_ = nullptr;
    QWidget* scalePlaceholder_ = nullptr;
    PillButton* input_ = nullptr;
    PillButton* power_ = nullptr;
    InlinePrompt* powerConfirm_ = nullptr;
    InlinePrompt* modeBanner_ = nullptr;
    InlinePrompt* rotationBanner_ = nullptr;
    LaterRefresh* themeRefresh_ = nullptr;
    Signal<PendingKind>::Subscription stripChanged_;
    WeakPtrFactory<DisplayControlStripView> weak{this};
};

} // namespace brivio
