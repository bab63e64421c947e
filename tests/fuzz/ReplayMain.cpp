// Runs a fuzz target over its corpus without libFuzzer: every file of the
// folders named on the command line goes once through the target's entry
// point, in name order. A crash or sanitizer report fails the run, and so
// does an empty corpus, which would prove nothing.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER...\n", argv[0]);
        return 2;
    }
    std::size_t count = 0;
    for (int k = 1; k < argc; ++k) {
        std::error_code error;
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(argv[k], error)) {
            if (entry.is_regular_file()) {
                files.push_back(entry.path());
            }
        }
        if (error) {
            std::fprintf(stderr, "%s: %s\n", argv[k], error.message().c_str());
            return 1;
        }
        std::sort(files.begin(), files.end());
        for (const auto& file : files) {
            std::ifstream in(file, std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            ++count;
        }
    }
    if (count == 0) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 1;
    }
    std::printf("%zu inputs replayed\n", count);
    return 0;
}
