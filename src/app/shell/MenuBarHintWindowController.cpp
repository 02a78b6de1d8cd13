#include "app/shell/MenuBarHintWindowController.h"

#include <utility>

namespace brivio {

MenuBarHintWindowController::MenuBarHintWindowController(MainLoop& loop, HintPresenter& presenter)
    : loop_(loop), presenter_(presenter) {}

MenuBarHintWindowController::~MenuBarHintWindowController() {
    if (dismissTimer_)
        loop_.cancel(*dismissTimer_);
}

void MenuBarHintWindowController::show() {
    if (showing_)
        return;
    auto item = presenter_.statusItemFrame();
    if (!item)
        return;
    showing_ = true;
    wasShown_ = true;
    auto self = weak.token();
    // Clicks come from event filters; dismiss from the loop, not from inside them.
    presenter_.showBubble(*item, [this, self] {
        if (!self.expired())
            loop_.post([this, self] {
                if (!self.expired())
                    dismiss();
            });
    });
    dismissTimer_ = loop_.postAfter(dismissAfter, [this, self] {
        if (self.expired())
            return;
        dismissTimer_.reset();
        dismiss();
    });
}

void MenuBarHintWindowController::dismiss() {
    if (dismissTimer_)
        loop_.cancel(*std::exchange(dismissTimer_, std::nullopt));
    if (!showing_)
        return;
    showing_ = false;
    presenter_.hideBubble();
}

} // namespace brivio
