#pragma once
// The first-run hint bubble that points at the tray icon: shown on request, dismissed after 10 s or
// at the first click anywhere. Timing runs on the main loop; drawing is the presenter's.

#include "base/MainLoop.h"
#include "base/WeakPtr.h"
#include "platform/Geometry.h"

#include <functional>
#include <memory>
#include <optional>

namespace brivio {

// The bubble on screen, as the controller drives it.
class HintPresenter {
public:
    virtual ~HintPresenter() = default;
    // Where the tray icon is; absent when there is none (then no hint).
    virtual std::optional<Rect> statusItemFrame() = 0;
    // Shows the bubble under `item`, fading in; `onClick` is called for any mouse press anywhere the
    // presenter can see.
    virtual void showBubble(const Rect& item, std::function<void()> onClick) = 0;
    // Fades the bubble out and closes it; stops reporting clicks.
    virtual void hideBubble() = 0;
};

class MenuBarHintWindowController {
public:
    static constexpr Duration dismissAfter = 10s;

    MenuBarHintWindowController(MainLoop& loop, HintPresenter& presenter);
    ~MenuBarHintWindowController();

    void show();
    void dismiss();
    bool isShowing() const { return showing_; }
    // The hint has been on screen in this run (it is shown once a run).
    bool wasShown() const { return wasShown_; }
    bool hasDismissTimer() const { return dismissTimer_.has_value(); }

private:
    MainLoop& loop_;
    HintPresenter& presenter_;
    bool showing_ = false;
    bool wasShown_ = false;
    std::optional<TimerId> dismissTimer_;
    WeakPtrFactory<MenuBarHintWindowController> weak{this};
};

} // namespace brivio
