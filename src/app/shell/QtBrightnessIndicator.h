#pragma once
// The brightness indicator drawn by the app: a small rounded window near the bottom of the display
// with the level in chiclets, fading out once it has been left alone for the given time.

#include "platform/BrightnessIndicator.h"
#include "platform/WindowSystem.h"

#include <QPointer>
#include <QWidget>

namespace brivio {

class IndicatorView;

class QtBrightnessIndicator final : public BrightnessIndicator {
public:
    // Screens (and their frames) come from `screens`.
    explicit QtBrightnessIndicator(WindowSystem& screens);
    ~QtBrightnessIndicator() override;

    void show(DisplayNumber display, int filledChiclets, int totalChiclets, int msecUntilFade) override;

private:
    WindowSystem& screens_;
    QPointer<IndicatorView> view_;
};

// The drawing, shared with the simulator's preview.
void paintChiclets(QPainter& painter, const QRectF& area, int filled, int total);

} // namespace brivio
