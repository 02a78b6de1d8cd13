#pragma once
// The record of what a simulated desk was asked to do: one line per platform action,
// "<virtual ms> <kind> <stable key> <details>", written to a stream or a file when one is set.

#include "base/MainLoop.h"

#include <cstdint>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

namespace brivio {

class Trace {
public:
    // Times are counted from `origin` on `loop`'s clock.
    Trace(const MainLoop& loop, TimePoint origin) : loop_(loop), origin_(origin) {}

    // Null stops tracing. The stream must outlive the trace or the next call.
    void setStream(std::ostream* stream);
    // Throws std::runtime_error when the file cannot be created.
    void setFile(const std::string& path);
    bool enabled() const { return stream_ != nullptr; }

    void record(std::string_view kind, std::string_view key, std::string_view details);

    // "37 51 84 03": bytes as two upper-case hexadecimal digits separated by spaces.
    static std::string hexBytes(const std::uint8_t* bytes, std::size_t length);

private:
    const MainLoop& loop_;
    TimePoint origin_;
    std::unique_ptr<std::ofstream> file_;
    std::ostream* stream_ = nullptr;
};

} // namespace brivio
