// How the install run reads its downloads' answers beyond their body: the waits before a retry
// and the validator a download goes on under (the fuzz target download_answer checks the rest).

#include "download_rules.h"

#include <gtest/gtest.h>

namespace kx::launcher {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(DownloadRules, RetryWaitsGrowAndHonourRetryAfterUpToThirtySeconds) {
    constexpr std::time_t kSunday = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT
    EXPECT_EQ(retryAfterOf(" 120 ", kSunday), seconds(120));
    EXPECT_EQ(retryAfterOf("Sun, 06 Nov 1994 08:50:07 GMT", kSunday), seconds(30));
    EXPECT_EQ(retryAfterOf("Sun, 06 Nov 1994 08:49:37 GMT", kSunday + 60), seconds(0));
    EXPECT_EQ(retryAfterOf("Sun, 06 Nov 1994 25:00:00 GMT", kSunday), std::nullopt);
    EXPECT_EQ(retryAfterOf("-1", kSunday), std::nullopt);
    EXPECT_EQ(retryWait(3, milliseconds(1000), std::nullopt), milliseconds(4000));
    EXPECT_EQ(retryWait(40, milliseconds(1000), std::nullopt), kLongestRetryWait);
    EXPECT_EQ(retryWait(1, milliseconds(1000), seconds(3600)), kLongestRetryWait);
    EXPECT_EQ(resumeValidatorOf("W/\"5f\"", "Sun, 06 Nov 1994 08:49:37 GMT"),
              "Sun, 06 Nov 1994 08:49:37 GMT")
        << "a weak tag is no validator";
}

}  // namespace
}  // namespace kx::launcher
