#include "base/BoundedJson.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace brivio {

namespace {

using nlohmann::json;

// Walks the document without building it: the library's event parser keeps its own stack on the heap,
// so any depth is safe here, and the walk stops at the first container nested too deep.
class BoundedWalk {
public:
    BoundedWalk(const JsonLimits& limits, JsonReadError& error) : limits_(limits), error_(error) {}

    bool null() { return scalar(); }
    bool boolean(bool) { return scalar(); }
    bool number_integer(json::number_integer_t) { return scalar(); }
    bool number_unsigned(json::number_unsigned_t) { return scalar(); }
    bool number_float(json::number_float_t, const json::string_t&) { return scalar(); }
    bool string(json::string_t&) { return scalar(); }
    bool binary(json::binary_t&) { return scalar(); }

    bool start_object(std::size_t) { return open(false); }
    bool start_array(std::size_t) { return open(true); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }
    bool key(json::string_t& name) {
        frames_.back().key = name;
        frames_.back().keyOpen = true;
        return true;
    }

    bool parse_error(std::size_t, const std::string& token, const nlohmann::detail::exception& e) {
        error_.path = path();
        if (e.id == 406)
            error_.expected = fmt::format("a number within the range of a double, not {}", token);
        else
            error_.expected = fmt::format("valid JSON ({})", withoutPrefix(e.what()));
        return false;
    }

private:
    struct Frame {
        bool array = false;
        std::size_t count = 0; // elements begun so far
        std::string key;
        bool keyOpen = false; // the key's value is being read
    };

    // A value begins in the innermost container.
    void begin() {
        if (frames_.empty())
            return;
        if (frames_.back().array)
            ++frames_.back().count;
    }
    void end() {
        if (!frames_.empty() && !frames_.back().array)
            frames_.back().keyOpen = false;
    }
    bool scalar() {
        begin();
        end();
        return true;
    }
    bool open(bool array) {
        if (frames_.size() >= limits_.maxDepth) {
            error_.path = path();
            error_.expected = fmt::format("at most {} levels of nesting", limits_.maxDepth);
            return false;
        }
        begin();
        Frame frame;
        frame.array = array;
        frames_.push_back(std::move(frame));
        return true;
    }
    bool close() {
        frames_.pop_back();
        end();
        return true;
    }

    // The value being read: in the innermost container the next element, or the open key's value.
    std::string path() const {
        std::string out;
        for (std::size_t i = 0; i < frames_.size(); ++i) {
            const Frame& f = frames_[i];
            bool innermost = i + 1 == frames_.size();
            if (f.array)
                out += fmt::format("[{}]", innermost ? f.count : f.count - 1);
            else if (f.keyOpen)
                out += out.empty() ? f.key : "." + f.key;
        }
        return out;
    }

    static std::string withoutPrefix(const char* what) {
        std::string text = what;
        if (text.starts_with("[json.exception."))
            if (auto end = text.find("] "); end != std::string::npos)
                text.erase(0, end + 2);
        return text;
    }

    const JsonLimits& limits_;
    JsonReadError& error_;
    std::vector<Frame> frames_;
};

} // namespace

std::optional<json> parseBoundedJson(std::string_view text, const JsonLimits& limits, JsonReadError* error) {
    JsonReadError ignored;
    JsonReadError& out = error ? *error : ignored;
    if (text.size() > limits.maxBytes) {
        out = {"", fmt::format("at most {} bytes, not {}", limits.maxBytes, text.size())};
        return std::nullopt;
    }
    if (auto nul = text.find('\0'); nul != std::string_view::npos) {
        out = {"", fmt::format("text without NUL bytes (one at byte {})", nul)};
        return std::nullopt;
    }
    BoundedWalk walk(limits, out);
    if (!json::sax_parse(text, &walk))
        return std::nullopt;
    // Within the limits now, so building the document is safe.
    json document = json::parse(text, nullptr, false);
    if (document.is_discarded()) {
        out = {"", "valid JSON"};
        return std::nullopt;
    }
    return document;
}

BoundedRead readBoundedFile(const std::string& path, std::size_t maxBytes) {
    BoundedRead result;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        result.status = errno == ENOENT ? BoundedReadStatus::missing : BoundedReadStatus::failed;
        result.error = std::strerror(errno);
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result.status = BoundedReadStatus::failed;
        result.error = "not a regular file";
        ::close(fd);
        return result;
    }
    if (static_cast<std::size_t>(st.st_size) > maxBytes) {
        result.status = BoundedReadStatus::tooLarge;
        result.error = fmt::format("larger than {} bytes", maxBytes);
        ::close(fd);
        return result;
    }
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            result.status = BoundedReadStatus::failed;
            result.error = std::strerror(errno);
            ::close(fd);
            return result;
        }
        if (n == 0)
            break;
        result.contents.append(buffer.data(), static_cast<std::size_t>(n));
        // The file may grow while it is read.
        if (result.contents.size() > maxBytes) {
            result.status = BoundedReadStatus::tooLarge;
            result.error = fmt::format("larger than {} bytes", maxBytes);
            result.contents.clear();
            ::close(fd);
            return result;
        }
    }
    ::close(fd);
    result.status = BoundedReadStatus::ok;
    return result;
}

std::string escapeControlCharacters(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (byte < 0x20 || byte == 0x7F)
            out += fmt::format("\\x{:02x}", byte);
        else
            out += c;
    }
    return out;
}

} // namespace brivio
