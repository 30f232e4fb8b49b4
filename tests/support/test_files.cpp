#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace goztest {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() : ScratchDir(fs::current_path()) {}

ScratchDir::ScratchDir(const fs::path& base) {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "scratch";
    for (char& c : name) {
        if (c == '/')
            c = '_';
    }
    root = base / "scratch" / name;
    fs::remove_all(root);
    fs::create_directories(root);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root, ignored);
}

std::string ScratchDir::file(const std::string& name) const {
    return (root / name).string();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool Exists(const fs::path& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

} // namespace goztest
