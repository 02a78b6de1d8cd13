#include "platform/linux/I2cSyscalls.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brivio {

I2cSyscalls I2cSyscalls::system() {
    I2cSyscalls s;
    s.open = [](const std::string& path, int flags) {
        // Non-blocking, so that a FIFO in place of a device is not waited on; only a character device
        // is a bus. The transfers themselves block as usual.
        const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd < 0)
            return -1;
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
            ::close(fd);
            errno = ENODEV;
            return -1;
        }
        return fd;
    };
    s.ioctl = [](int fd, unsigned long request, unsigned long argument) {
        return ::ioctl(fd, request, argument);
    };
    s.read = [](int fd, void* buffer, std::size_t length) { return ::read(fd, buffer, length); };
    s.write = [](int fd, const void* buffer, std::size_t length) { return ::write(fd, buffer, length); };
    s.close = [](int fd) { return ::close(fd); };
    return s;
}

} // namespace brivio
