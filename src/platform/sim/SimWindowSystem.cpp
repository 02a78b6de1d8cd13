#include "platform/sim/SimWindowSystem.h"

#include <algorithm>
#include <fmt/format.h>

namespace brivio {

namespace {
bool contains(const Rect& r, double x, double y) {
    return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
}
} // namespace

class SimWindowSystem::Window final : public OverlayWindow {
public:
    Window(WeakPtr<SimWindowSystem> system, std::shared_ptr<OverlayState> window)
        : system_(std::move(system)), window_(std::move(window)) {}
    ~Window() override { close(); }

    void setFrame(const Rect& frame) override { window_->frame = frame; }
    void setOpacity(float opacity, bool animated) override {
        if (!window_->open)
            return;
        window_->opacity = std::clamp(opacity, 0.0f, 1.0f);
        window_->animated = animated;
        ++window_->opacityChanges;
        if (auto s = system_.get())
            s->state_.record("overlay", s->displayUnder(*window_), fmt::format("{:.4f}", window_->opacity));
    }
    void close() override {
        if (!window_->open)
            return;
        window_->open = false;
        if (auto s = system_.get())
            s->state_.record("overlay", s->displayUnder(*window_), "closed");
    }

private:
    WeakPtr<SimWindowSystem> system_;
    std::shared_ptr<OverlayState> window_;
};

SimWindowSystem::SimWindowSystem(SimState& state) : state_(state) {}

std::vector<Screen> SimWindowSystem::screens() {
    std::vector<Screen> out;
    for (auto& d : state_.displays)
        if (d->connected && d->config.screen)
            out.push_back({d->number, d->bounds, d->config.name, d->config.refreshRate});
    return out;
}

std::optional<std::string> SimWindowSystem::overlayUnavailable(DisplayNumber display) {
    SimDisplay* d = state_.connected(display);
    return d ? d->config.overlayUnavailable : std::nullopt;
}

std::unique_ptr<OverlayWindow> SimWindowSystem::createOverlayWindow(DisplayNumber display,
                                                                    const Rect& frame) {
    // Where no overlay can dim, none is made: an opaque one would black the display out.
    if (overlayUnavailable(display))
        return nullptr;
    auto state = std::make_shared<OverlayState>();
    state->createdFor = display;
    state->frame = frame;
    windows_.push_back(state);
    return std::make_unique<Window>(weak.weak(), std::move(state));
}

SimDisplay* SimWindowSystem::displayUnder(const OverlayState& w) const {
    // A window belongs to the display under its centre, as a real window server decides it.
    double cx = w.frame.x + w.frame.width / 2, cy = w.frame.y + w.frame.height / 2;
    for (auto& d : state_.displays)
        if (d->connected && contains(d->bounds, cx, cy))
            return d.get();
    return state_.lastWith(w.createdFor);
}

std::optional<OverlayState> SimWindowSystem::overlayFor(DisplayNumber display) const {
    const SimDisplay* target = state_.lastWith(display);
    std::optional<OverlayState> closed;
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
        const OverlayState& w = **it;
        bool over = target ? displayUnder(w) == target : w.createdFor == display;
        if (!over)
            continue;
        if (w.open)
            return w;
        if (!closed)
            closed = w;
    }
    return closed;
}

std::vector<OverlayState> SimWindowSystem::overlays() const {
    std::vector<OverlayState> out;
    for (auto& w : windows_)
        out.push_back(*w);
    return out;
}

void SimWindowSystem::postScreensChanged() {
    state_.loop.post([weak = weak.weak()] {
        if (weak)
            weak->screenParametersChanged_.emit();
    });
}

} // namespace brivio
