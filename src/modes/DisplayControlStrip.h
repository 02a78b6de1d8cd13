#pragma once
// The mode and rotation state of one display's control strip: the listed modes, the current mode and
// rotation, and the ten-second unconfirmed state after a change, which "Keep" confirms and "Revert" or
// the end of the countdown undoes. Holds no widgets; views read `state()` whenever `changed` fires.

#include "base/MainLoop.h"
#include "base/Signal.h"
#include "base/Task.h"
#include "model/ManagedDisplay.h"
#include "modes/DisplayModeManager.h"
#include "modes/ModePills.h"

#include <memory>
#include <optional>
#include <string>

namespace brivio {

enum class PendingKind { mode, rotation };

// Everything a view of the strip shows. A kind is unconfirmed while its previous value is present.
struct ModeStripState {
    ModeList modes;
    ModeList preferredModes;
    ModeList allModes;
    CurrentMode currentMode;
    CurrentMode previousMode;
    int revertCountdown = 10; // seconds left to confirm the mode
    int currentRotation = 0;  // degrees
    std::optional<int> previousRotation;
    int rotationRevertCountdown = 10;
    // Why this desktop lets nobody list or change the display's modes and rotation, in plain words.
    std::optional<std::string> modesUnavailable;

    bool pending(PendingKind kind) const {
        return kind == PendingKind::mode ? previousMode.has_value() : previousRotation.has_value();
    }
};

// "Keep the display changes? (7s)" or "Keep the rotation? (7s)": the banner of an unconfirmed change.
std::string keepBanner(PendingKind kind, int secondsLeft);

class DisplayControlStrip {
public:
    static constexpr int countdownSeconds = 10;

    // Reads the lists, the current mode and the rotation once; they are not read again.
    DisplayControlStrip(MainLoop& loop, DisplayModeManager& manager, ManagedDisplay display);
    // A countdown still running when the strip goes (its card was hidden, or its display left) keeps
    // counting and reverts at the end, since nobody can confirm the change any more.
    ~DisplayControlStrip();
    DisplayControlStrip(const DisplayControlStrip&) = delete;
    DisplayControlStrip& operator=(const DisplayControlStrip&) = delete;

    const ManagedDisplay& display() const;
    const ModeStripState& state() const;
    bool countingDown(PendingKind kind) const;

    // Switches unless `mode` is already current; on success starts a fresh countdown back to the mode
    // that was current (only one step is ever reverted). A failed switch changes nothing.
    void applyMode(const DisplayResolutionMode& mode);
    void keepMode();
    // Stops the countdown and switches to `target`; on success the current mode is read back.
    void revertMode(DisplayResolutionMode target);
    // Angles other than 0, 90, 180 and 270 are ignored.
    void applyRotation(int angle);
    void keepRotation();
    // Stops the countdown and turns back to `angle`; if the platform refuses, the rotation is read back
    // from it rather than assumed.
    void revertRotation(int angle);

    // Undoes every unconfirmed change now, for a way out that cannot wait for the countdown (the
    // command line interrupted): nobody confirmed it.
    void revertUnconfirmed();
    // The same for every strip of this process, those whose card already went included: the agent
    // quits before their countdowns can end, and nobody confirmed them.
    static void revertEveryUnconfirmed();

    ModeList refreshOptions() const;
    bool hasBothScaleKinds() const;
    // Switches to the nearest mode of the other kind, if there is one.
    void toggleHiDPI();

    // "Keep the display changes? (7s)" while a mode change is unconfirmed.
    std::optional<std::string> modeBanner() const;
    // "Keep the rotation? (7s)" while a rotation is unconfirmed.
    std::optional<std::string> rotationBanner() const;

    // After every change of the state, naming the kind that changed.
    Signal<PendingKind>& changed();

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace brivio
