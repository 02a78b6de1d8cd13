#pragma once
// The panel's motion: springs given as a response time and a damping fraction, animations that run
// them, and the desktop's wish for reduced motion, under which movement is left out and changes show
// at once.

#include <QVariantAnimation>

namespace brivio {

struct Spring {
    double response;        // seconds for one undamped oscillation
    double dampingFraction; // 1 settles without overshoot, less overshoots
};

// Page changes between the main page and settings.
inline constexpr Spring pageSpring{0.28, 0.86};
// Buttons that grow while the pointer is over them.
inline constexpr Spring hoverSpring{0.28, 0.7};

// The spring's position from 0 toward 1 after `seconds`, starting at rest.
double springPosition(const Spring& spring, double seconds);
// How long it takes until it stays within 0.1 % of its end.
int springDurationMs(const Spring& spring);

// A value animation moved by a spring instead of an easing curve; it lands exactly on its end value.
class SpringAnimation final : public QVariantAnimation {
public:
    SpringAnimation(const Spring& spring, QObject* parent);

protected:
    QVariant interpolated(const QVariant& from, const QVariant& to, qreal progress) const override;

private:
    Spring spring_;
};

// Set from the desktop's accessibility settings where it exposes one; false otherwise.
bool reducedMotion();
void setReducedMotion(bool reduced);

} // namespace brivio
