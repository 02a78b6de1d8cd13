// brivio-manual OUTDIR: writes the manual pages of brivio and brivioctl and brivioctl's completions
// for bash, zsh and fish, from the same option tables and parser that --help shows. Run by the build.

#include "Completions.h"
#include "ManPage.h"
#include "base/InstallPaths.h"
#include "brivioctl/CommandLine.h"

#include <filesystem>
#include <fstream>
#include <iostream>

using namespace brivio;

namespace {

bool writeFile(const std::filesystem::path& path, const std::string& text) {
    auto temp = path;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        out << text;
        if (!out.flush()) {
            std::cerr << "brivio-manual: cannot write " << temp.string() << "\n";
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec)
        std::cerr << "brivio-manual: cannot write " << path.string() << ": " << ec.message() << "\n";
    return !ec;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: brivio-manual OUTDIR\n";
        return 2;
    }
    std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    cli::CommandLine commandLine;
    auto tree = manual::readCommandTree(commandLine.app);
    bool ok = writeFile(dir / "brivio.1", manual::agentManPage(agentReference(), installed::version)) &&
              writeFile(dir / "brivioctl.1",
                        manual::commandLineManPage(tree, commandLineReference(), installed::version)) &&
              writeFile(dir / "brivioctl.bash", manual::bashCompletion(tree)) &&
              writeFile(dir / "_brivioctl", manual::zshCompletion(tree)) &&
              writeFile(dir / "brivioctl.fish", manual::fishCompletion(tree));
    return ok ? 0 : 1;
}
