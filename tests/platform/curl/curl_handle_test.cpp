// The common libcurl set-up refuses, by name, what libcurl rejects; status lines are read one way.

#include "platform/curl/curl_handle.h"
#include "platform/curl/http_status_line.h"

#include <gtest/gtest.h>

#include <string>

namespace kx::curl {
namespace {

// libcurl refuses option texts longer than 8 MiB.
std::string overlongPath() {
    return std::string(9u << 20, 'a');
}

// A rejected CA file is proved through each caller (the data space, the Inet control and the error
// library's transfer), which must also turn it into their own error.
TEST(CurlHandle, RejectedSettingOrOptionFailsNamingTheOption) {
    EasyHandle handle({});
    try {
        handle.set(CURLOPT_PROXYTYPE, 99L);
        FAIL() << "an unknown proxy type was accepted";
    } catch (const SetupError& failure) {
        EXPECT_EQ(failure.code(), CURLE_BAD_FUNCTION_ARGUMENT);
        EXPECT_NE(std::string(failure.what()).find("CURLOPT_PROXYTYPE"), std::string::npos);
    }
    const ProxyChoice named{ProxyMode::Named, overlongPath()};
    EXPECT_THROW(EasyHandle({"", std::chrono::seconds(5), named}), SetupError);
}

TEST(StatusLineParsing, KeepsTheReasonTrimmedAndBoundedAndRejectsOtherLines) {
    const auto codeAndText = [](const std::string& line) {
        const auto status = parseStatusLine(line);
        return status ? std::to_string(status->code) + "|" + status->text : "refused";
    };
    EXPECT_EQ(codeAndText("HTTP/1.0 200 OK\r\n"), "200|OK");
    EXPECT_EQ(codeAndText("HTTP/1.1 404   Not  Found  \r\n"), "404|Not  Found");
    EXPECT_EQ(codeAndText("HTTP/1.0 204\r\n"), "204|");
    EXPECT_EQ(codeAndText("HTTP/2 503 Busy\tNow\x07"), "503|Busy\tNow");
    EXPECT_EQ(codeAndText("HTTP/1.0 200 " + std::string(5000, 'x')),
              "200|" + std::string(kMaxStatusTextLength, 'x'));
    for (const char* other : {"Content-Type: text/html\r\n", "\r\n", "HTTP/1.0 20\r\n",
                              "HTTP/1.0 2000 X\r\n", "HTTP/1.0 abc OK\r\n", "HTTP/1.0\r\n"}) {
        EXPECT_EQ(codeAndText(other), "refused") << other;
    }
    // A header block is judged by its first line alone.
    EXPECT_EQ(statusCodeOf("HTTP/1.1 302 Found\r\nLocation: /x\r\n\r\n"), 302);
    EXPECT_EQ(statusCodeOf("Location: /x\r\nHTTP/1.1 302 Found\r\n"), 0);
}

}  // namespace
}  // namespace kx::curl
