// Scratch files for tests.
#pragma once

#include <filesystem>
#include <string>

namespace goztest {

// A fresh, empty folder for the running test case, removed when the object dies.
class ScratchDir {
public:
    ScratchDir();
    // The same below `base`, such as a folder on drive C: under Wine.
    explicit ScratchDir(const std::filesystem::path& base);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return root; }
    // `name` below the folder, as a narrow string for the library's C API.
    std::string file(const std::string& name) const;

private:
    std::filesystem::path root;
};

void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);
bool Exists(const std::filesystem::path& path);

} // namespace goztest
