// The common libcurl set-up refuses, by name, what libcurl rejects.

#include "curl_handle.h"

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

}  // namespace
}  // namespace kx::curl
