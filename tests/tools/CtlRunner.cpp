#include "CtlRunner.h"

#include "support/TestSupport.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

namespace brivio::testing {

CtlResult runBrivioctl(const std::string& arguments, const std::string& input, bool splitStderr) {
    TempDir dir;
    std::string inputFile = dir.path() + "/in", errFile = dir.path() + "/err";
    std::ofstream(inputFile) << input;
    std::string command = std::string(BRIVIOCTL_PATH) + " " + arguments + " <" + inputFile +
                          (splitStderr ? " 2>" + errFile : std::string(" 2>&1"));
    CtlResult result;
    FILE* pipe = popen(command.c_str(), "r");
    std::array<char, 4096> buffer{};
    while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
        result.out.append(buffer.data(), n);
    int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    if (splitStderr)
        result.err = readFile(errFile);
    return result;
}

std::string readFile(const std::string& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

} // namespace brivio::testing
