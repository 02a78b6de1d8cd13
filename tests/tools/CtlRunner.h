#pragma once
// Runs the brivioctl program as a user would and collects what it printed and its exit status.

#include <string>

namespace brivio::testing {

struct CtlResult {
    int status = -1;
    std::string out; // stdout, and stderr too unless split
    std::string err; // stderr when split
};

// `arguments` are passed through the shell as written; `input` is what the user types.
CtlResult runBrivioctl(const std::string& arguments, const std::string& input = "", bool splitStderr = false);
// The whole text of a file ("" when it does not exist), for trace checks.
std::string readFile(const std::string& path);

} // namespace brivio::testing
