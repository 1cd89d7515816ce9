#pragma once
// The white-label component as a machine has it: registered by regsvr32 (run as a process) into a
// temporary registry, created by ProgID, reading a mapping file in a temporary folder that
// KX_WHITELABEL_FILE points at.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/child_process.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"

namespace kx::test {

class WhiteLabelTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(regsvr32("/s"), 0); }

    // Runs regsvr32 with `option` on the component library; its exit code.
    int regsvr32(const std::string& option) {
        return runProcess(KX_REGSVR32, {option, KX_WHITELABEL_COMPONENT}, scratch_.path()).exitCode;
    }
    std::filesystem::path mappingFile() const { return scratch_ / "conf" / "whitelabel.conf"; }
    void writeMappings(const std::string& lines) { writeFile(mappingFile(), lines); }

    ScopedRegistry registry_;
    TempDir scratch_;
    ScopedEnvironment environment_{"KX_WHITELABEL_FILE", mappingFile().string()};
};

}  // namespace kx::test
