#include "platform/linux/SysfsFiles.h"

#include <algorithm>
#include <charconv>
#include <fstream>

namespace brivio::sysfs {

std::optional<std::string> readLine(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line))
        return std::nullopt;
    auto first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return std::string{};
    auto last = line.find_last_not_of(" \t\r");
    return line.substr(first, last - first + 1);
}

std::optional<std::uint64_t> readNumber(const std::filesystem::path& file) {
    auto line = readLine(file);
    if (!line || line->empty())
        return std::nullopt;
    std::uint64_t value = 0;
    auto [end, ec] = std::from_chars(line->data(), line->data() + line->size(), value);
    if (ec != std::errc{} || end != line->data() + line->size())
        return std::nullopt;
    return value;
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& file, std::size_t limit) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::uint8_t> bytes;
    if (!in)
        return bytes;
    // sysfs files report a size of 4096 whatever they hold, so read until the end.
    char buffer[4096];
    while (bytes.size() < limit && in) {
        in.read(buffer, static_cast<std::streamsize>(std::min(sizeof buffer, limit - bytes.size())));
        bytes.insert(bytes.end(), buffer, buffer + in.gcount());
    }
    return bytes;
}

std::optional<std::filesystem::path> linkTarget(const std::filesystem::path& link) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(link, ec))
        return std::nullopt;
    auto target = std::filesystem::canonical(link, ec);
    if (ec)
        return std::nullopt;
    return target;
}

} // namespace brivio::sysfs
