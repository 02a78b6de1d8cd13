#include "support/TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <random>

namespace brivio::testing {

std::string sourceDir() {
    const char* dir = std::getenv("BRIVIO_SOURCE_DIR");
    return dir ? dir : ".";
}

TempDir::TempDir() {
    auto base = std::filesystem::temp_directory_path();
    std::random_device rd;
    for (;;) {
        auto candidate = base / ("brivio-test-" + std::to_string(rd()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate.string();
            break;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

} // namespace brivio::testing
