#include "platform/sim/Trace.h"

#include <fmt/format.h>
#include <stdexcept>

namespace brivio {

void Trace::setStream(std::ostream* stream) {
    file_.reset();
    stream_ = stream;
}

void Trace::setFile(const std::string& path) {
    auto file = std::make_unique<std::ofstream>(path, std::ios::out | std::ios::trunc);
    if (!*file)
        throw std::runtime_error(fmt::format("cannot write the trace file {}", path));
    stream_ = file.get();
    file_ = std::move(file);
}

void Trace::record(std::string_view kind, std::string_view key, std::string_view details) {
    if (!stream_)
        return;
    *stream_ << fmt::format("{} {} {} {}\n", toMillis(loop_.now() - origin_), kind, key, details);
    // Flushed per line so that a trace survives a crash of the program being traced.
    stream_->flush();
}

std::string Trace::hexBytes(const std::uint8_t* bytes, std::size_t length) {
    std::string out;
    out.reserve(length * 3);
    for (std::size_t i = 0; i < length; ++i) {
        if (i)
            out += ' ';
        out += fmt::format("{:02X}", bytes[i]);
    }
    return out;
}

} // namespace brivio
