#pragma once
// Shared set-up of the component tests: a temporary registry and the regsvr32 tool run as a
// process, as an installer would run it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "tests/support/child_process.h"
#include "tests/support/registry_value.h"
#include "tests/support/temp_dir.h"

namespace kx::test {

inline const std::string kEchoLibrary = KX_ECHO_COMPONENT;
inline const std::string kNoExportLibrary = KX_NO_EXPORT_LIBRARY;
inline const std::string kRegsvr32 = KX_REGSVR32;
inline const std::string kEchoClassId = "{6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8}";

class ComponentTest : public ::testing::Test {
  protected:
    ProcessResult regsvr32(const std::vector<std::string>& arguments) {
        return runProcess(kRegsvr32, arguments, scratch_.path());
    }
    // Writes `value` as the default value of `key` under HKEY_CLASSES_ROOT, creating the key.
    static void writeDefault(const std::string& key, const std::string& value) {
        ASSERT_EQ(writeRegistryValue(registry::Hive::ClassesRoot, key, "", value),
                  registry::kErrorSuccess);
    }

    ScopedRegistry registry_;
    TempDir scratch_;
};

}  // namespace kx::test
