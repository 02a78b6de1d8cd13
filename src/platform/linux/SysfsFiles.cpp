#include "platform/linux/SysfsFiles.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brivio::sysfs {

namespace {

// Non-blocking, so that opening a FIFO does not wait for a writer; only regular files are kept.
int openRegular(const std::filesystem::path& file, int access) {
    const int fd = ::open(file.c_str(), access | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

// At most `limit` bytes; absent when the file cannot be opened or read.
std::optional<std::string> readUpTo(const std::filesystem::path& file, std::size_t limit) {
    const int fd = openRegular(file, O_RDONLY);
    if (fd < 0)
        return std::nullopt;
    std::string data;
    // sysfs files report a size of 4096 whatever they hold, so read until the end or the limit.
    char buffer[4096];
    bool failed = false;
    while (data.size() < limit) {
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, limit - data.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failed = n < 0;
            break;
        }
        data.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (failed && data.empty())
        return std::nullopt;
    return data;
}

} // namespace

std::optional<std::string> readLine(const std::filesystem::path& file) {
    // One byte more than a line may hold tells a long line from one that ends at the limit.
    auto data = readUpTo(file, maxLineBytes + 1);
    if (!data || data->empty())
        return std::nullopt;
    auto end = data->find('\n');
    if (end == std::string::npos && data->size() > maxLineBytes)
        return std::nullopt;
    std::string line = data->substr(0, end);
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
    auto data = readUpTo(file, limit);
    if (!data)
        return {};
    return {data->begin(), data->end()};
}

int openForWriting(const std::filesystem::path& file) {
    return openRegular(file, O_WRONLY);
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
