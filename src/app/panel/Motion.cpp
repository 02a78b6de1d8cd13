#include "app/panel/Motion.h"

#include <cmath>
#include <numbers>

namespace brivio {

namespace {
bool reducedMotionWanted = false;
constexpr double settledWithin = 0.001;
} // namespace

double springPosition(const Spring& spring, double t) {
    double omega = 2 * std::numbers::pi / spring.response;
    double zeta = spring.dampingFraction;
    if (zeta >= 1.0)
        return 1.0 - std::exp(-omega * t) * (1.0 + omega * t);
    double decay = zeta * omega;
    double damped = omega * std::sqrt(1.0 - zeta * zeta);
    return 1.0 - std::exp(-decay * t) * (std::cos(damped * t) + decay / damped * std::sin(damped * t));
}

int springDurationMs(const Spring& spring) {
    double omega = 2 * std::numbers::pi / spring.response;
    double decay = std::min(spring.dampingFraction, 1.0) * omega;
    // The envelope bounds the distance left; critically damped springs need a little longer.
    double seconds = std::log(1.0 / settledWithin) / decay * (spring.dampingFraction >= 1.0 ? 1.3 : 1.0);
    return static_cast<int>(std::ceil(seconds * 1000.0));
}

SpringAnimation::SpringAnimation(const Spring& spring, QObject* parent)
    : QVariantAnimation(parent), spring_(spring) {
    setDuration(springDurationMs(spring));
    setEasingCurve(QEasingCurve::Linear);
}

QVariant SpringAnimation::interpolated(const QVariant& from, const QVariant& to, qreal progress) const {
    double end = duration() / 1000.0;
    // Scaled so that the last frame is the end value itself, not 0.1 % short of it.
    double position =
        progress >= 1.0 ? 1.0 : springPosition(spring_, progress * end) / springPosition(spring_, end);
    return QVariantAnimation::interpolated(from, to, position);
}

bool reducedMotion() {
    return reducedMotionWanted;
}

void setReducedMotion(bool reduced) {
    reducedMotionWanted = reduced;
}

} // namespace brivio
