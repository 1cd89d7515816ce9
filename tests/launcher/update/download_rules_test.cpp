// How the install run reads its downloads' answers beyond their body: the waits before a retry,
// the validator a download goes on under, and the piece a 206 holds.

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
    for (const char* unusable : {"", "-1", "+5", "1.5", "soon", "Sun, 06 Nov 1994 25:00:00 GMT",
                                 "Sunday, 06-Nov-94 08:49:37 GMT", "99999999999999999999"}) {
        EXPECT_EQ(retryAfterOf(unusable, kSunday), std::nullopt) << unusable;
    }
    EXPECT_EQ(retryWait(1, milliseconds(1000), std::nullopt), milliseconds(1000));
    EXPECT_EQ(retryWait(3, milliseconds(1000), std::nullopt), milliseconds(4000));
    EXPECT_EQ(retryWait(40, milliseconds(1000), std::nullopt), kLongestRetryWait);
    EXPECT_EQ(retryWait(1, milliseconds(1000), seconds(7)), seconds(7));
    EXPECT_EQ(retryWait(1, milliseconds(1000), seconds(3600)), kLongestRetryWait);
}

TEST(DownloadRules, DownloadsGoOnUnderAStrongValidatorForExactlyTheRangeGiven) {
    const std::string date = "Sun, 06 Nov 1994 08:49:37 GMT";
    EXPECT_EQ(resumeValidatorOf("\"5f-1a\"", date), "\"5f-1a\"");
    EXPECT_EQ(resumeValidatorOf("W/\"5f-1a\"", date), date) << "a weak tag is no validator";
    EXPECT_EQ(resumeValidatorOf("", ""), "");
    EXPECT_EQ(resumeValidatorOf("\"a\rb\"", "x\ny"), "") << "nothing that breaks a header line";

    const auto range = contentRangeOf("bytes 100-299/300");
    ASSERT_TRUE(range);
    EXPECT_EQ(range->first, 100);
    EXPECT_EQ(range->last, 299);
    EXPECT_EQ(range->total, 300);
    for (const char* unusable : {"bytes 100-299/*", "bytes */300", "bytes 300-299/300",
                                 "bytes 100-300/300", "items 1-2/3", "bytes 1-2/3, 4-5/6"}) {
        EXPECT_EQ(contentRangeOf(unusable), std::nullopt) << unusable;
    }
}

}  // namespace
}  // namespace kx::launcher
