#include "platform/linux/I2cSyscalls.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace brivio {

I2cSyscalls I2cSyscalls::system() {
    I2cSyscalls s;
    s.open = [](const std::string& path, int flags) { return ::open(path.c_str(), flags | O_CLOEXEC); };
    s.ioctl = [](int fd, unsigned long request, unsigned long argument) {
        return ::ioctl(fd, request, argument);
    };
    s.read = [](int fd, void* buffer, std::size_t length) { return ::read(fd, buffer, length); };
    s.write = [](int fd, const void* buffer, std::size_t length) { return ::write(fd, buffer, length); };
    s.close = [](int fd) { return ::close(fd); };
    return s;
}

} // namespace brivio
