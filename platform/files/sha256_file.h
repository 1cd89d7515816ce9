#pragma once
// SHA-256 digests of content: incrementally, as pieces go by, or of a whole file read in bounded
// pieces (any size of file). Digests are given as 64 lower-case hex digits.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kx::files {

class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void update(const void* data, std::size_t size);
    // The digest of everything given so far; the object is spent afterwards.
    std::string finishHex();

  private:
    struct Context;
    std::unique_ptr<Context> context_;
};

// Whether `text` is a digest as given here: 64 lower-case hex digits.
bool isSha256Hex(std::string_view text);

// nullopt when the file cannot be read.
std::optional<std::string> sha256FileHex(const std::string& path);

}  // namespace kx::files
