// Runs a fuzz target over files and folders of inputs, so that the seed
// corpora run as ordinary tests in every build, without libFuzzer.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool RunFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    size_t passed = 0;
    size_t failed = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path root(argv[i]);
        std::error_code error;
        if (std::filesystem::is_directory(root, error)) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
                if (!entry.is_regular_file()) continue;
                (RunFile(entry.path()) ? passed : failed) += 1;
            }
        } else {
            (RunFile(root) ? passed : failed) += 1;
        }
    }
    // A target that finds a fault aborts; reaching here means every input passed.
    std::printf("%zu passed, %zu failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
