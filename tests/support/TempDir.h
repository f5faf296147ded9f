#pragma once
// A fresh temporary folder per test, removed with everything in it afterwards.

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace gm::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const noexcept { return Path_; }
    // Full path of a file inside the folder, as 8-bit text for the file layer.
    // With the platform's separators, as the file layer names files in its messages.
    std::string File(const std::string& name) const {
        return (Path_ / name).make_preferred().string();
    }
    // Writes bytes to a file inside the folder and returns its full path.
    std::string Write(const std::string& name, const std::string& bytes) const;
    static std::string Read(const std::string& path);

private:
    std::filesystem::path Path_;
};

class TempDirTest : public ::testing::Test {
protected:
    TempDir Dir;
};

} // namespace gm::test
