// Replays the kept inputs of one fuzz target without libFuzzer, so that the ordinary test suite,
// built by any compiler, runs every seed and every past finding through the target again.
//   fuzz_NAME FILE_OR_FOLDER...
// A folder stands for the regular files directly inside it, in name order. Exits 0 once every
// input ran; a crash, a sanitizer finding or a trap ends the process as it would end the fuzzer.
// An input that cannot be read, or no input at all, exits 1 with a line naming the fault.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

// Far above any kept input (libFuzzer keeps inputs of a few kilobytes); a larger file is a
// mistake in the corpus, not something to load.
constexpr std::uintmax_t kMaxInputBytes = 1 << 20;

struct Input {
    fs::path path;
    std::unique_ptr<std::uint8_t[]> bytes;  // exactly `size` bytes, so any overread is caught
    std::size_t size = 0;
};

std::vector<fs::path> inputPaths(const fs::path& place) {
    if (!fs::is_directory(place)) {
        return {place};
    }
    std::vector<fs::path> paths;
    for (const auto& entry : fs::directory_iterator(place)) {
        if (entry.is_regular_file()) {
            paths.push_back(entry.path());
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

Input readInput(const fs::path& path) {
    const auto size = fs::file_size(path);  // throws, naming the path, when it is missing
    if (size > kMaxInputBytes) {
        throw std::runtime_error(path.string() + " has " + std::to_string(size) +
                                 " bytes, more than the " + std::to_string(kMaxInputBytes) +
                                 " an input may have");
    }
    Input input{path, std::make_unique<std::uint8_t[]>(size), static_cast<std::size_t>(size)};
    std::ifstream file(path, std::ios::binary);
    if (!file.read(reinterpret_cast<char*>(input.bytes.get()),
                   static_cast<std::streamsize>(size))) {
        throw std::runtime_error("cannot read " + path.string());
    }
    return input;
}

std::vector<Input> readInputs(int argc, char** argv) {
    std::vector<Input> inputs;
    for (int i = 1; i < argc; ++i) {
        for (const auto& path : inputPaths(argv[i])) {
            inputs.push_back(readInput(path));
        }
    }
    if (inputs.empty()) {
        throw std::runtime_error("no inputs to replay");
    }
    return inputs;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<Input> inputs;
    try {
        inputs = readInputs(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << "fuzz replay: " << error.what() << '\n';
        return 1;
    }
    // Outside the try: an exception the target lets escape ends the process, as in the fuzzer.
    for (const auto& input : inputs) {
        std::cout << input.path.filename().string() << std::endl;  // names the input that fails
        LLVMFuzzerTestOneInput(input.bytes.get(), input.size);
    }
    std::cout << "replayed " << inputs.size() << " inputs\n";
    return 0;
}
