// The one place the launcher's environment is read from the process's variables.

#include "launcher/startup/launcher_environment.h"

#include <gtest/gtest.h>

#include "tests/support/scoped_environment.h"

namespace kx::launcher {
namespace {

TEST(LauncherEnvironment, OfThisProcessTakesTheCaFileAndOnlyAPositiveWholeRateLimit) {
    test::ScopedEnvironment variables;
    variables.set("KX_CA_FILE", "/etc/kestrix/ca.pem");
    variables.set("KX_DOWNLOAD_RATE_LIMIT", "4096");
    const LauncherEnvironment read = LauncherEnvironment::ofThisProcess();
    EXPECT_EQ(read.caFile, "/etc/kestrix/ca.pem");
    EXPECT_EQ(read.newDataSpace()->CAFile(), "/etc/kestrix/ca.pem");  // the remote calls trust it
    EXPECT_EQ(read.downloadRateLimit, 4096);

    for (const char* noLimit : {"", "0", "-5", "12k", " 12", "99999999999999999999"}) {
        EXPECT_EQ(downloadRateLimitFrom(noLimit), 0) << noLimit;
    }
    EXPECT_EQ(downloadRateLimitFrom(nullptr), 0);
}

}  // namespace
}  // namespace kx::launcher
