#pragma once
// Small readers of sysfs attribute files: one line of text, a number, raw bytes, a link's target.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace brivio::sysfs {

// The first line without its line feed and surrounding blanks; absent when the file cannot be read.
std::optional<std::string> readLine(const std::filesystem::path& file);
// A non-negative decimal number on the first line; absent when there is none.
std::optional<std::uint64_t> readNumber(const std::filesystem::path& file);
// The whole file, at most `limit` bytes; empty when it cannot be read.
std::vector<std::uint8_t> readBytes(const std::filesystem::path& file, std::size_t limit);
// The path a symbolic link points at, resolved; absent when it is no link or leads nowhere.
std::optional<std::filesystem::path> linkTarget(const std::filesystem::path& link);

} // namespace brivio::sysfs
