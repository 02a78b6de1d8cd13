#include "settings/SettingsFiles.h"

#include "base/BoundedJson.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brivio {

namespace {

std::string lastError() {
    return std::strerror(errno);
}

} // namespace

SettingsFiles::Lock::~Lock() {
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
    }
}

SettingsFiles::ReadResult SettingsFiles::read(const std::string& path) {
    BoundedRead file = readBoundedFile(path, maxFileBytes);
    ReadResult result;
    result.contents = std::move(file.contents);
    result.error = std::move(file.error);
    switch (file.status) {
    case BoundedReadStatus::ok:
        result.status = ReadStatus::ok;
        break;
    case BoundedReadStatus::missing:
        result.status = ReadStatus::missing;
        break;
    case BoundedReadStatus::failed:
        result.status = ReadStatus::failed;
        break;
    case BoundedReadStatus::tooLarge:
        result.status = ReadStatus::tooLarge;
        break;
    }
    return result;
}

bool SettingsFiles::exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool SettingsFiles::makeDirectories(const std::string& dir, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        error = ec.message();
        return false;
    }
    return true;
}

bool SettingsFiles::writeDurably(const std::string& path, std::string_view contents, std::string& error) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = lastError();
        return false;
    }
    std::size_t done = 0;
    while (done < contents.size()) {
        ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = lastError();
            ::close(fd);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        error = lastError();
        ::close(fd);
        return false;
    }
    if (::close(fd) != 0) {
        error = lastError();
        return false;
    }
    return true;
}

bool SettingsFiles::rename(const std::string& from, const std::string& to, std::string& error) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        error = lastError();
        return false;
    }
    return true;
}

bool SettingsFiles::syncDirectory(const std::string& dir, std::string& error) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = lastError();
        return false;
    }
    bool ok = ::fsync(fd) == 0;
    if (!ok)
        error = lastError();
    ::close(fd);
    return ok;
}

std::unique_ptr<SettingsFiles::Lock> SettingsFiles::lock(const std::string& path, std::string& error) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = lastError();
        return nullptr;
    }
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            error = lastError();
            ::close(fd);
            return nullptr;
        }
    }
    return std::make_unique<Lock>(fd);
}

} // namespace brivio
