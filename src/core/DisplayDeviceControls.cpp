// The controller's input-source and power operations: capability checks in front of the DDC driver.

#include "core/DisplayController.h"

namespace brivio {

namespace {

std::optional<ManagedDisplay> copyIf(const ManagedDisplay* display, bool allowed) {
    if (!display || !allowed)
        return std::nullopt;
    return *display;
}

} // namespace

Task<std::optional<std::uint8_t>> DisplayController::inputSource(DisplayNumber cgID) {
    const ManagedDisplay* display = displayWithID(cgID);
    return readInputSource(weak_.weak(),
                           copyIf(display, display && display->capabilities.supportsInputSwitch));
}

Task<std::optional<std::uint8_t>> DisplayController::readInputSource(WeakPtr<DisplayController> self,
                                                                     std::optional<ManagedDisplay> display) {
    auto* controller = self.get();
    if (!controller || !display)
        co_return std::nullopt;
    co_return co_await controller->ddcDriver_.inputSource(*display);
}

bool DisplayController::setInputSource(std::uint8_t value, DisplayNumber cgID) {
    const ManagedDisplay* display = displayWithID(cgID);
    if (!display || !display->capabilities.supportsInputSwitch)
        return false;
    return ddcDriver_.setInputSource(value, *display);
}

Task<bool> DisplayController::powerOff(DisplayNumber cgID, DDCDisplayDriver::PowerOffConfirmed) {
    const ManagedDisplay* display = displayWithID(cgID);
    bool allowed = display && !display->isBuiltIn && display->capabilities.supportsPowerOff;
    return sendPowerOff(weak_.weak(), copyIf(display, allowed));
}

Task<bool> DisplayController::sendPowerOff(WeakPtr<DisplayController> self,
                                           std::optional<ManagedDisplay> display) {
    auto* controller = self.get();
    if (!controller || !display)
        co_return false;
    DDCDisplayDriver::PowerOffConfirmed confirmed;
    co_return co_await controller->ddcDriver_.powerOff(*display, confirmed);
}

} // namespace brivio
