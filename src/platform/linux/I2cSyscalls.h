#pragma once
// The few system calls the I2C layer makes, in a table that tests replace to see every byte that would
// reach a bus. Each entry behaves like its system call: -1 with `errno` set on failure.

#include <cstddef>
#include <functional>
#include <string>
#include <sys/types.h>

namespace brivio {

struct I2cSyscalls {
    std::function<int(const std::string& path, int flags)> open;
    std::function<int(int fd, unsigned long request, unsigned long argument)> ioctl;
    std::function<ssize_t(int fd, void* buffer, std::size_t length)> read;
    std::function<ssize_t(int fd, const void* buffer, std::size_t length)> write;
    std::function<int(int fd)> close;

    // The kernel's own calls.
    static I2cSyscalls system();
};

} // namespace brivio
