#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <system_error>

namespace kx::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kxtest-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "cannot create a temporary folder";
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Make read-only leftovers removable before removing the tree.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

void writeFile(const std::filesystem::path& file, const std::string& content) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) {
        ADD_FAILURE() << "cannot write " << file;
    }
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read " << file;
        return {};
    }
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

ScopedRegistry::ScopedRegistry() {
    environment_.set("KX_MACHINE_REGISTRY", machineFile());
    environment_.set("KX_USER_REGISTRY", userFile());
}

}  // namespace kx::test
