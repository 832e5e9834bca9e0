// Feeds saved inputs to a fuzz target without libFuzzer: every regular file in the folders
// (or the files) named on the command line, in name order, each in a buffer of exactly
// its size so that the sanitizers see any read past its end. Fails when no input was found.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);

namespace fs = std::filesystem;

int main(int argc, char **argv) {
    LLVMFuzzerInitialize(&argc, &argv);
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path place(argv[i]);
        std::error_code error;
        if (fs::is_directory(place, error)) {
            for (const fs::directory_entry &entry : fs::directory_iterator(place, error))
                if (entry.is_regular_file(error)) inputs.push_back(entry.path());
        } else if (fs::is_regular_file(place, error)) {
            inputs.push_back(place);
        } else {
            std::printf("(no inputs at %s)\n", argv[i]);
        }
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path &path : inputs) {
        std::ifstream file(path, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (!file.eof() && file.fail()) {
            std::printf("cannot read %s\n", path.c_str());
            return 1;
        }
        std::printf("%s (%zu bytes)\n", path.c_str(), bytes.size());
        std::fflush(stdout);
        // malloc(0) may answer null; the target still gets a valid pointer.
        std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size() ? bytes.size() : 1]);
        std::copy(bytes.begin(), bytes.end(), copy.get());
        LLVMFuzzerTestOneInput(copy.get(), bytes.size());
    }
    std::printf("replayed %zu inputs\n", inputs.size());
    return inputs.empty() ? 1 : 0;
}
