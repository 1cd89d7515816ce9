#pragma once
// A temporary folder for one test, removed with everything in it when the object goes away.

#include <filesystem>
#include <string>

#include "tests/support/scoped_environment.h"

namespace kx::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    // Path of an entry inside the folder.
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

// Writes `content` to `file`, creating parent folders; fails the test on error.
void writeFile(const std::filesystem::path& file, const std::string& content);
// The whole content of `file`; fails the test when it cannot be read.
std::string readFile(const std::filesystem::path& file);

// Points KX_MACHINE_REGISTRY and KX_USER_REGISTRY at files inside a fresh temporary folder for
// the lifetime of the object, and restores the previous values afterwards.
class ScopedRegistry {
  public:
    ScopedRegistry();
    ScopedRegistry(const ScopedRegistry&) = delete;
    ScopedRegistry& operator=(const ScopedRegistry&) = delete;

    std::string machineFile() const { return (dir_ / "machine.db").string(); }
    std::string userFile() const { return (dir_ / "user.db").string(); }

  private:
    TempDir dir_;
    ScopedEnvironment environment_;
};

}  // namespace kx::test
