#pragma once
// The mode and rotation state of one display's control strip: the listed modes, the current mode and
// rotation, and the ten-second unconfirmed state after a change, which "Keep" confirms and "Revert" or
// the end of the countdown undoes. Holds no widgets; views observe `changed`.

#include "base/MainLoop.h"
#include "base/Signal.h"
#include "base/Task.h"
#include "core/model/ManagedDisplay.h"
#include "modes/DisplayModeManager.h"
#include "modes/ModePills.h"

#include <memory>
#include <optional>
#include <string>

namespace brivio {

class DisplayControlStrip {
public:
    static constexpr int countdownSeconds = 10;

    // Reads the lists, the current mode and the rotation once; they are not read again.
    DisplayControlStrip(MainLoop& loop, DisplayModeManager& manager, ManagedDisplay display);
    // A change still unconfirmed when the strip goes (its card was hidden) keeps counting down and is
    // reverted at the end: nobody can confirm it any more. `displayLeft` is the way to stop it.
    ~DisplayControlStrip();
    DisplayControlStrip(const DisplayControlStrip&) = delete;
    DisplayControlStrip& operator=(const DisplayControlStrip&) = delete;

    const ManagedDisplay& display() const;
    const ModeList& modes() const;
    const ModeList& preferredModes() const;
    const ModeList& allModes() const;
    const CurrentMode& currentMode() const;
    // Present while a change away from a known mode is unconfirmed.
    const CurrentMode& previousMode() const;
    int revertCountdown() const;
    const std::optional<TaskHandle>& revertTask() const;
    int currentRotation() const;
    std::optional<int> previousRotation() const;
    int rotationRevertCountdown() const;
    const std::optional<TaskHandle>& rotationRevertTask() const;

    // Switches unless `mode` is already current; on success starts a fresh countdown back to the mode
    // that was current (only one step is ever reverted). A failed switch changes nothing.
    void applyMode(const DisplayResolutionMode& mode);
    void keepMode();
    // Stops the countdown and switches to `target`; on success the current mode is read back.
    void revertMode(DisplayResolutionMode target);
    void applyRotation(int angle);
    void keepRotation();
    // Stops the countdown and turns back to `angle`; if the platform refuses, the current rotation is
    // read back from it rather than assumed.
    void revertRotation(int angle);

    ModeList refreshOptions() const;
    bool hasBothScaleKinds() const;
    // Switches to the nearest mode of the other kind, if there is one.
    void toggleHiDPI();

    // "Keep the display changes? (7s)" while a mode change is unconfirmed.
    std::optional<std::string> modeBanner() const;
    // "Keep the rotation? (7s)" while a rotation is unconfirmed.
    std::optional<std::string> rotationBanner() const;

    // The display is gone: both countdowns stop without reverting (its number may soon name another
    // display) and later changes are ignored.
    void displayLeft();

    // After every change of the state above.
    Signal<>& changed();

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace brivio
