#pragma once
// The serial number a monitor is known by. Many makers write the same binary serial (1, 0x01010101)
// into every unit and the real one only into the serial-number text, so two units of one model would
// be one display; the text tells them apart where the binary number cannot.

#include "platform/linux/Edid.h"

#include <cstdint>

namespace brivio {

// A binary serial that every unit of a model carries: 1, 0x01010101, 0x01000001, all bytes alike.
bool isPlaceholderSerial(std::uint32_t serial);

// The binary serial unless it is a placeholder or `shared` (seen on two units at once); then a number
// made from the serial-number text, which never changes for one unit; 0 when neither tells the unit
// apart, or the monitor gives no binary serial (it is then told apart by its connector's unit number).
std::uint32_t displaySerial(const Edid& edid, bool shared = false);

} // namespace brivio
