#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace vantrel::test {

// A scratch folder for one fuzz run, removed with its files at exit: under
// TMPDIR when given (the corpus replay under ctest), else memory-backed when
// possible, since the code under test syncs what it saves.
class tFuzzScratch {
public:
    explicit tFuzzScratch(const std::string& name) {
        const char* tmp = std::getenv("TMPDIR");
        const std::string base = tmp != nullptr && *tmp != '\0'  ? tmp
                                 : access("/dev/shm", W_OK) == 0 ? "/dev/shm"
                                                                 : "/tmp";
        path_ = base + "/vantrel-" + name + "-XXXXXX";
        if (mkdtemp(path_.data()) == nullptr) {
            std::abort();
        }
    }
    ~tFuzzScratch() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    tFuzzScratch(const tFuzzScratch&) = delete;
    tFuzzScratch& operator=(const tFuzzScratch&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Writes `bytes` as the whole file `name`; a fuzz run that cannot ends.
inline void writeFile(const std::string& name, std::string_view bytes) {
    FILE* file = std::fopen(name.c_str(), "wb");
    if (file == nullptr) {
        std::abort();
    }
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

}  // namespace vantrel::test
