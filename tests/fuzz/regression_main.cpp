// Runs a fuzz target without libFuzzer: over every file of the corpus folders named on the command
// line, then over a fixed number of inputs from a seeded generator, so that the target's checks
// run in every ordinary test run too.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path folder(argv[i]);
        if (!std::filesystem::is_directory(folder)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (!entry.is_regular_file()) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++files;
        }
    }
    const int generated =
        std::getenv("QUILLANE_FUZZ_RUNS") ? std::atoi(std::getenv("QUILLANE_FUZZ_RUNS")) : 300;
    std::mt19937 random(20261211);
    for (int run = 0; run < generated; ++run) {
        std::vector<uint8_t> bytes(random() % 4096);
        for (auto& b : bytes)
            b = static_cast<uint8_t>(random());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("%d corpus files and %d generated inputs passed\n", files, generated);
    return 0;
}
