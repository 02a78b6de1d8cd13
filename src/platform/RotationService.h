#pragma once
// The entry points that can turn a display, beyond the frame-buffer parameter of the registry. A backend
// finds each entry once; an absent entry (an empty function) is simply not tried.

#include "platform/Registry.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace brivio {

// What one place (the process itself, or a library opened by path) offers for rotation.
struct RotationEntries {
    // The registry service behind a display number, or nothing when the server knows none.
    std::function<std::optional<RegistryService>(std::uint32_t display)> serviceForDisplayNumber;
    // The server's rotation call by display: 0 on success.
    std::function<int(std::uint32_t display, std::int32_t angle)> setDisplayRotation;
    // The process's connection to the window server, for the connection-based call below.
    std::function<std::uint32_t()> mainConnectionID;
    // The server's rotation call on a connection: 0 on success.
    std::function<int(std::uint32_t connection, std::uint32_t display, double angle)>
        setConnectionDisplayRotation;
    // The display service's user rotation; it reports nothing, so a call counts as done.
    std::function<void(std::uint32_t display, std::uint32_t angle)> setUserRotation;
};

// A library opened by path: its entries, or the loader's error text. The library closes when the
// value (and every copy of its entries) is gone.
struct OpenedRotationLibrary {
    bool opened = false;
    std::string error; // when not opened
    RotationEntries entries;
};

struct RotationService {
    // Entries among the process's own symbols.
    RotationEntries process;
    // Opens a library by path; absent: no library ever opens.
    std::function<OpenedRotationLibrary(const std::string& path)> openLibrary;
};

} // namespace brivio
