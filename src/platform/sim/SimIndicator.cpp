#include "platform/sim/SimIndicator.h"

#include <fmt/format.h>

namespace brivio {

void SimIndicator::show(DisplayNumber display, int filledChiclets, int totalChiclets, int msecUntilFade) {
    shows_.push_back(
        {toMillis(state_.loop.now() - origin_), display, filledChiclets, totalChiclets, msecUntilFade});
    state_.record("osd", state_.lastWith(display), fmt::format("{}/{}", filledChiclets, totalChiclets));
}

} // namespace brivio
