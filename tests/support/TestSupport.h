#pragma once
// Helpers shared by the test programs.

#include <string>

namespace brivio::testing {

// The source tree (for example scenarios under examples/).
std::string sourceDir();

// A fresh folder removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace brivio::testing
