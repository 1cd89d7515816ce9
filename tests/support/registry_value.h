#pragma once
// Registry set-up for tests, through the registry's own interface.

#include <string>

#include "platform/registry/registry.h"

namespace kx::test {

// Creates `path` under `hive` if needed and stores `text` as its value `name` ("" for the default
// value); kErrorSuccess, or the code of the step that failed.
inline long writeRegistryValue(registry::Hive hive, const std::string& path,
                               const std::string& name, const std::string& text) {
    registry::HKEY key;
    const long rc = registry::RegCreateKeyEx(hive, path, registry::kKeySetValue, key);
    return rc == registry::kErrorSuccess ? registry::setString(key, name, text) : rc;
}

}  // namespace kx::test
