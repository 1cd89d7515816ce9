// The expansion of a compressed download on arbitrary bytes. Whatever the input, the expansion
// ends without a fault (the sanitizers watch memory), and it keeps its promises about the
// destination: after a refusal the folder holds the input alone, after a success the input and the
// output, which is no larger than the limit.

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "components/compression/expand_file.h"

namespace {

namespace fs = std::filesystem;

// Small, so that bombs are cut short and every run stays fast.
constexpr std::uint64_t kLimit = 1 << 20;

// The folder the inputs are expanded in, removed when the fuzzer ends. In memory where the
// machine has /dev/shm: flushing each output to a disk would slow the fuzzer down fivefold.
class WorkFolder {
  public:
    WorkFolder() {
        const fs::path parent =
            fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (parent / "kxfuzz-expand-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path_ = pattern;
    }
    ~WorkFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const WorkFolder folder;
    const fs::path input = folder.path() / "input.cmp";
    const fs::path output = folder.path() / "input";
    {
        std::ofstream out(input, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const auto result =
        kx::compression::expandFile({input.string(), folder.path().string(), kLimit});
    const auto entries = std::distance(fs::directory_iterator(folder.path()), {});
    if (result.expanded) {
        if (!result.error.empty() || entries != 2 || fs::file_size(output) > kLimit) {
            std::abort();
        }
        fs::remove(output);
    } else if (result.error.empty() || entries != 1) {
        std::abort();
    }
    return 0;
}
