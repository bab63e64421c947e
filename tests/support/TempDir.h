#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>

namespace vantrel::test {

// A fresh directory per test, removed with everything in it afterwards.
class tTempDir {
public:
    tTempDir() {
        // create_directory is false for a name that exists: try another.
        static std::mt19937_64 names{std::random_device{}()};
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100; ++attempt) {
            char name[32];
            std::snprintf(name, sizeof name, "vantrel-test-%012llx",
                          static_cast<unsigned long long>(names() & 0xffffffffffffull));
            if (std::filesystem::create_directory(base / name)) {
                path_ = base / name;
                return;
            }
        }
        throw std::runtime_error("no scratch folder could be made in " + base.string());
    }
    ~tTempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    tTempDir(const tTempDir&) = delete;
    tTempDir& operator=(const tTempDir&) = delete;

    std::string path() const { return path_.string(); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::size_t entryCount() const {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(path_),
                                                      std::filesystem::directory_iterator()));
    }

private:
    std::filesystem::path path_;
};

inline void writeBytes(const std::string& fileName, const std::string& bytes) {
    std::ofstream(fileName, std::ios::binary) << bytes;
}

inline std::string readBytes(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace vantrel::test
