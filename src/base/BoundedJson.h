#pragma once
// JSON documents read from files that users and other programs write: bounded in size and in nesting
// depth (the recursive parts of the JSON library would exhaust the stack on deep nesting), read only
// from regular files (a FIFO would block), and a failure names the field where reading stopped.

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace brivio {

struct JsonLimits {
    std::size_t maxBytes = 16u << 20;
    std::size_t maxDepth = 64;
};

struct JsonReadError {
    std::string path;     // where reading stopped ("displays[1].ddc"), empty at the top
    std::string expected; // what should have been there ("valid JSON (...)", "at most 64 levels...")
};

// The document in `text`, or nothing with `error` filled. A NUL byte is an error: the JSON library
// would take it for the end of the text and drop what follows.
std::optional<nlohmann::json> parseBoundedJson(std::string_view text, const JsonLimits& limits = {},
                                               JsonReadError* error = nullptr);

enum class BoundedReadStatus { ok, missing, failed, tooLarge };
struct BoundedRead {
    BoundedReadStatus status = BoundedReadStatus::missing;
    std::string contents;
    std::string error;
};

// The whole of a regular file of at most `maxBytes`; never blocks on a FIFO or a device.
BoundedRead readBoundedFile(const std::string& path, std::size_t maxBytes);

// Control characters spelled out (\n, \t, \x01), so that a field name or file name cannot break a
// one-line message.
std::string escapeControlCharacters(std::string_view text);

} // namespace brivio
