#pragma once
// A virtual X server of the test's own, on a display number it picks itself. Absent when Xvfb is not
// installed or does not start.

#include <memory>
#include <string>
#include <sys/types.h>

namespace brivio::testing {

class XvfbServer {
public:
    static std::unique_ptr<XvfbServer> start();
    ~XvfbServer();
    const std::string& display() const { return display_; } // ":3"

private:
    XvfbServer(std::string display, pid_t pid) : display_(std::move(display)), pid_(pid) {}
    std::string display_;
    pid_t pid_;
};

} // namespace brivio::testing
