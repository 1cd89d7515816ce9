// Every test of this program sees an empty temporary registry, so that no error library that
// may be registered on the machine is ever created by a test's error report.

#include <gtest/gtest.h>

#include <memory>

#include "tests/support/temp_dir.h"

namespace {

class HermeticRegistry : public ::testing::Environment {
  public:
    void SetUp() override { registry_ = std::make_unique<kx::test::ScopedRegistry>(); }
    void TearDown() override { registry_.reset(); }

  private:
    std::unique_ptr<kx::test::ScopedRegistry> registry_;
};

[[maybe_unused]] const ::testing::Environment* const kHermeticRegistry =
    ::testing::AddGlobalTestEnvironment(new HermeticRegistry);

}  // namespace
