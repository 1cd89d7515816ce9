// The download control against a local server: state events arrive only through the window's
// event processing, a body streams through GetChunk, a stalled body ends with a time-out, a
// refused connection raises state 11, redirects are followed only as far as allowed.

#include <gtest/gtest.h>

#include "platform/curl/http_status_line.h"
#include "platform/inet/inet.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/posted_calls.h"
#include "tests/support/self_signed_certificate.h"
#include "tests/support/temp_dir.h"

namespace kx::inet {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

// Stands in for the window: posted calls run only when it processes its events.
struct QueuedPoster final : UiThreadPoster, test::PostedCalls {
    void postToUiThread(std::function<void()> call) override { post(std::move(call)); }
};

class InetTest : public ::testing::Test {
  protected:
    InetTest() {
        inet_.setStateChanged([this](std::int16_t state) { onState(state); });
    }
    // "/stall" sends half its body and stops; "/3xx/ADDRESS" redirects there with status 3xx; any
    // other path is a 100000-byte file.
    static void serve(const test::HttpRequest& request, test::HttpReply& reply) {
        if (request.path.starts_with("/3")) {
            reply.send("HTTP/1.1 " + request.path.substr(1, 3) +
                       " Moved\r\nLocation: " + request.path.substr(5) +
                       "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            return;
        }
        if (request.path != "/stall") {
            reply.answer(200, std::string(100000, 'k'), "application/octet-stream");
            return;
        }
        reply.send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n12345");
        reply.pause(2500ms);
    }
    std::string url(const std::string& path) const { return server_.url(path); }
    // Executes and waits as the install run does; returns the states seen.
    std::vector<std::int16_t> fetch(const std::string& address) {
        inet_.Execute(address, "GET", "", "Proxy-Connection: Keep-Alive");
        while (inet_.StillExecuting()) {
            poster_.runPosted();
            inet_.waitForProgress(16ms);
        }
        return states_;
    }
    void onState(std::int16_t state) {
        states_.push_back(state);
        if (state == state::icResponseCompleted) {
            length_ = inet_.GetHeader("CONTENT-LENGTH");
            for (auto chunk = inet_.GetChunk(2048, icByteArray); !chunk.empty();
                 chunk = inet_.GetChunk(2048, icByteArray)) {
                EXPECT_LE(chunk.size(), 2048U);
                received_ += chunk.size();
            }
            code_ = inet_.ResponseCode();
        }
    }

    test::LoopbackHttpServer server_{serve};
    QueuedPoster poster_;
    Inet inet_{poster_};
    std::vector<std::int16_t> states_;
    std::string length_;
    std::size_t received_ = 0;
    std::int32_t code_ = -1;
};

TEST_F(InetTest, BodyStreamsInsideTheResponseEventAndAStalledOneEndsInATimeOut) {
    inet_.Execute(url("/file"), "GET", "", "");
    inet_.waitForProgress(5s);  // until an event waits for delivery
    EXPECT_TRUE(states_.empty()) << "events wait for the window's event processing";
    EXPECT_EQ(fetch(url("/file")), std::vector<std::int16_t>{state::icResponseCompleted});
    EXPECT_EQ(length_, "100000");
    EXPECT_EQ(received_, 100000U);
    EXPECT_EQ(code_, 0);
    inet_.setRequestTimeout(1);
    received_ = 0;
    fetch(url("/stall"));
    EXPECT_EQ(received_, 5U);
    EXPECT_EQ(code_, 28) << inet_.ResponseInfo();  // libcurl's operation time-out
}

TEST_F(InetTest, RefusedConnectionOrRejectedSettingRaisesState11) {
    const test::RefusingPort noServer;
    EXPECT_EQ(fetch(noServer.url("/file")), std::vector<std::int16_t>{state::icError});
    // So does a setting that the HTTP library rejects, with the library's reason.
    states_.clear();
    inet_.setCAFile(std::string(9u << 20, 'a'));  // libcurl refuses texts over 8 MiB
    EXPECT_EQ(fetch(url("/file")), std::vector<std::int16_t>{state::icError});
    EXPECT_EQ(inet_.ResponseCode(), 43);  // CURLE_BAD_FUNCTION_ARGUMENT
    EXPECT_NE(inet_.ResponseInfo().find("CURLOPT_CAINFO"), std::string::npos);
}

TEST_F(InetTest, RedirectsAreFollowedWhenAllowedAndNeverFromHttpsToAnotherScheme) {
    fetch(url("/302/" + url("/file")));
    EXPECT_EQ(curl::statusCodeOf(inet_.GetHeader()), 302) << "none are followed unless allowed";
    inet_.setMaxRedirects(5);  // (followed: the install run's tests)
    const test::SelfSignedCertificate certificate;
    const test::TempDir dir;
    certificate.writePem(dir / "ca.pem");
    inet_.setCAFile((dir / "ca.pem").string());
    const test::LoopbackHttpServer secure(
        serve, test::ServerTls{certificate.certificate(), certificate.key()});
    const std::size_t plainRequests = server_.requests().size();
    for (const std::string& elsewhere : {url("/file"), "ftp://127.0.0.1/file"s}) {
        states_.clear();
        EXPECT_EQ(fetch(secure.url("/303/" + elsewhere)),
                  std::vector<std::int16_t>{state::icError});
        EXPECT_EQ(inet_.ResponseCode(), 1) << elsewhere;  // libcurl's unsupported protocol
    }
    EXPECT_EQ(server_.requests().size(), plainRequests) << "nothing went over plain http";
}

}  // namespace
}  // namespace kx::inet
