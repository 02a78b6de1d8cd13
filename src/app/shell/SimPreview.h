#pragma once
// The simulated desk on screen: one window drawing every simulated screen, with the overlays' dim
// and the brightness indicator painted inside it. Its window system and indicator wrap the desk's own,
// so the desk still records everything the system did.

#include "platform/BrightnessIndicator.h"
#include "platform/WindowSystem.h"

#include <QWidget>
#include <map>

namespace brivio {

class SimDesk;

class SimPreview final : public QWidget, public WindowSystem, public BrightnessIndicator {
    Q_OBJECT
public:
    explicit SimPreview(SimDesk& desk, QWidget* parent = nullptr);

    std::vector<Screen> screens() override;
    std::unique_ptr<OverlayWindow> createOverlayWindow(DisplayNumber display, const Rect& frame) override;
    Signal<>& screenParametersChanged() override;

    void show(DisplayNumber display, int filledChiclets, int totalChiclets, int msecUntilFade) override;
    using QWidget::show;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    struct Shown {
        int filled = 0;
        int total = 0;
        qint64 untilMs = 0;
    };
    SimDesk& desk_;
    std::map<DisplayNumber, Shown> indicators_;
};

} // namespace brivio
