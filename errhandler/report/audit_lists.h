#pragma once
// The fixed lists the component audits walk, in the order their lines appear in a report.

#include <cstdint>
#include <string>
#include <vector>

namespace kx::errhandler {

// Class identifiers (36 characters, no braces, letter case as registered) that share an expected
// version and a label.
struct ClassCheckGroup {
    const char* expected;
    const char* label;
    std::vector<const char*> ids;
};

enum class Folder : std::uint8_t { System, CommonSystem };

struct FileCheck {
    Folder folder;
    const char* name;  // relative to the folder, "/" between sub-folders
    const char* expected;
};

// A key under HKEY_LOCAL_MACHINE whose default value must equal `expected`.
struct RegistryCheck {
    std::string key;
    std::string expected;
};

// `nt` picks the expectations of the NT family where they differ.
std::vector<ClassCheckGroup> mdacClassChecks(bool nt);
std::vector<FileCheck> mdacFileChecks(bool nt);
std::vector<RegistryCheck> mdacRegistryChecks();

std::vector<ClassCheckGroup> crystalClassChecks();
std::vector<RegistryCheck> crystalRegistryChecks();
std::vector<FileCheck> runtimeFileChecks();
std::vector<ClassCheckGroup> runtimeClassChecks();

}  // namespace kx::errhandler
