#pragma once
// Small readers of sysfs attribute files: one line of text, a number, raw bytes, a link's target. Every
// read takes regular files only, never blocks (a FIFO or a device in a tree given on the command line
// is not waited on) and stops at a fixed size, whatever the file holds.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace brivio::sysfs {

// More than any attribute line the kernel writes (a status, a number, a type).
inline constexpr std::size_t maxLineBytes = 4096;

// The first line without its line feed and surrounding blanks; absent when the file cannot be read or
// holds no line feed within `maxLineBytes` bytes and is longer than that.
std::optional<std::string> readLine(const std::filesystem::path& file);
// A non-negative decimal number on the first line; absent when there is none.
std::optional<std::uint64_t> readNumber(const std::filesystem::path& file);
// The whole file, at most `limit` bytes; empty when it cannot be read.
std::vector<std::uint8_t> readBytes(const std::filesystem::path& file, std::size_t limit);
// Opens a regular file for writing without waiting on it; -1 (errno set) for anything else.
int openForWriting(const std::filesystem::path& file);
// The path a symbolic link points at, resolved; absent when it is no link or leads nowhere.
std::optional<std::filesystem::path> linkTarget(const std::filesystem::path& link);

} // namespace brivio::sysfs
