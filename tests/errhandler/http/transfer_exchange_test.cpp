// The engine and its facade against a real listener on loopback: the bytes of the request, the
// answers that count as success, every way a transfer can fail, and transfers over verified TLS
// and through a real proxy (tinyproxy) in each proxy mode.

#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>

#include "errhandler/http/http_transfer.h"
#include "errhandler/http/transfer.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/raised_error.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/self_signed_certificate.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tiny_proxy.h"

namespace kx::errhandler {
namespace {

using test::httpResponse;
using test::LoopbackHttpServer;
using test::rawAnswer;

// Every byte value, repeated past several 2048-byte chunks.
std::string binaryBody() {
    std::string body(5000, '\0');
    std::iota(body.begin(), body.end(), '\0');  // wraps round after 255
    return body;
}

std::string bytesOf(const Variant& value) {
    std::string bytes;
    const SafeArray& array = value.asArray();
    for (std::int32_t i = array.lowerBound(1); i <= array.upperBound(1); ++i) {
        bytes += static_cast<char>(std::get<std::uint8_t>(array.at({i}).storage()));
    }
    return bytes;
}

class TransferExchange : public ::testing::Test {
  protected:
    test::ProxyFreeEnvironment environment;
    test::TempDir dir;
};

TEST_F(TransferExchange, GetsWithAgentAndNoCacheAndPostsQueuedItemsAsAFormUntilReset) {
    LoopbackHttpServer server(rawAnswer(httpResponse("200 OK", "1")));
    HTTPTransfer http;
    EXPECT_EQ(http.GetURLAsString(server.url("/Some/Path.ASP")), "1");
    EXPECT_EQ(http.LastError, "");
    const test::HttpRequest get = server.requests().at(0);
    EXPECT_TRUE(get.raw.starts_with("GET /some/path.asp HTTP/1.0\r\n")) << get.raw;
    EXPECT_EQ(get.header("Host"), "127.0.0.1:" + std::to_string(server.port()));
    EXPECT_EQ(get.header("User-Agent"), "ZNErrHandler 300.1004.12");
    EXPECT_EQ(get.header("Pragma"), "no-cache");
    EXPECT_TRUE(get.raw.ends_with("\r\n\r\n")) << "a GET carries no body";

    http.PostItems()->Add("A:x y");
    http.PostItems()->Add("B:1");
    EXPECT_EQ(http.GetURLAsString(server.url("/GenErrorReport.asp")), "1");
    const test::HttpRequest post = server.requests().at(1);  // the GET went once
    EXPECT_TRUE(post.raw.starts_with("POST /generrorreport.asp HTTP/1.0\r\n")) << post.raw;
    EXPECT_EQ(post.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(post.raw.find("Content-Type:"), post.raw.rfind("Content-Type:")) << "one type only";
    EXPECT_EQ(post.header("Content-Length"), "13");
    EXPECT_EQ(post.body, "A=x%20y&B=%31");
    EXPECT_EQ(http.PostItems()->Count(), 2) << "items stay until Reset";

    http.Reset();
    EXPECT_EQ(http.GetURLAsString(server.url("/again")), "1");
    EXPECT_TRUE(server.requests().at(2).raw.starts_with("GET /again HTTP/1.0\r\n"));
}

TEST_F(TransferExchange, BytesAndFilesHoldTheWholeBinaryBody) {
    const std::string body = binaryBody();
    LoopbackHttpServer server(rawAnswer(httpResponse("200 OK", body)));
    const auto file = dir / "download.bin";
    test::writeFile(file, std::string(20000, 'z'));
    HTTPTransfer http;
    EXPECT_TRUE(http.GetURLAsFile(server.url("/f"), true, file.string()));
    EXPECT_EQ(test::readFile(file), body);

    // Bytes are fetched with GET even with items queued.
    http.PostItems()->Add("A:1");
    const Variant bytes = http.GetURLAsBytes(server.url("/bin"));
    ASSERT_TRUE(bytes.isArray());
    EXPECT_EQ(bytes.asArray().lowerBound(1), 0);
    EXPECT_EQ(bytesOf(bytes), body);
    EXPECT_TRUE(server.requests().at(1).raw.starts_with("GET /bin HTTP/1.0\r\n"));
}

TEST_F(TransferExchange, OnlyTwoHundredsSucceedAndFailuresGiveEmptyResultsAndTheirReason) {
    LoopbackHttpServer server(rawAnswer(httpResponse("404 Not Found", "<html>missing</html>")));
    HTTPTransfer http;
    EXPECT_EQ(http.GetURLAsString(server.url("/x")), "");
    EXPECT_EQ(http.LastError, "Not Found 404");
    EXPECT_TRUE(http.GetURLAsBytes(server.url("/x")).isEmpty());

    const auto file = dir / "kept.txt";
    test::writeFile(file, "old");
    EXPECT_FALSE(http.GetURLAsFile(server.url("/x"), false, file.string()));
    EXPECT_EQ(test::readFile(file), "old") << "a refused answer must not touch the file";

    LoopbackHttpServer noContent(rawAnswer("HTTP/1.0 204 No Content\r\n\r\n"));
    EXPECT_TRUE(http.GetURLAsFile(noContent.url("/"), false, file.string()));
    EXPECT_EQ(test::readFile(file), "");
    EXPECT_EQ(http.LastError, "");
    // A success with a local file that cannot be opened is reported with its reason.
    EXPECT_FALSE(http.GetURLAsFile(noContent.url("/"), true, (dir / "missing" / "f").string()));
    EXPECT_EQ(http.LastError, "Open local file failed 'Path not found' 76");
    EXPECT_FALSE(http.GetURLAsFile(noContent.url("/"), true, dir.str()));
    EXPECT_EQ(http.LastError, "Open local file failed 'Path/File access error' 75");

    LoopbackHttpServer redirect(rawAnswer("HTTP/1.0 302 Found\r\nLocation: /elsewhere\r\n\r\n"));
    EXPECT_EQ(http.GetURLAsString(redirect.url("/")), "");
    EXPECT_EQ(http.LastError, "Found 302");
    EXPECT_EQ(redirect.requests().size(), 1u) << "redirects are not followed";
}

TEST_F(TransferExchange, BadVerbsAndUrlsSendNothingAndPutToAnExplicitPortSendsNoBody) {
    LoopbackHttpServer server(rawAnswer(httpResponse("201 Created", "")));
    Transfer transfer;
    transfer.InitialiseSession();
    transfer.RequestMethod = 7;
    EXPECT_FALSE(transfer.GetURL(server.url("/"), 0, "2*"));
    EXPECT_EQ(transfer.StatusCode, -1);
    EXPECT_EQ(transfer.StatusText, "The requested operation is invalid. ");
    transfer.RequestMethod = 3;
    EXPECT_FALSE(transfer.GetURL("http://127.0.0.1:99999/", 0, "2*"));
    EXPECT_EQ(transfer.StatusText, "The URL is invalid.");
    EXPECT_TRUE(server.requests().empty());

    transfer.PostItems->Add("A:1");
    EXPECT_TRUE(transfer.GetURL("127.0.0.1:" + std::to_string(server.port()) + "/Item", 0, "2*"));
    EXPECT_EQ(transfer.StatusCode, 201);
    EXPECT_EQ(transfer.StatusText, "Created");
    const std::string request = server.requests().at(0).raw;
    EXPECT_TRUE(request.starts_with("PUT /item HTTP/1.0\r\n")) << request;
    EXPECT_TRUE(request.ends_with("\r\n\r\n"));
}

// Without an answer no file is made; a body cut short leaves what was written.
TEST_F(TransferExchange, TransportFailuresGiveMinusOneAndTheTranslatedMessage) {
    test::RefusingPort refusing;
    LoopbackHttpServer silent(test::noAnswer());
    LoopbackHttpServer cutShort(
        rawAnswer("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nonly ten.."));
    TransferOptions options;
    options.stallTimeout = std::chrono::seconds(1);
    const std::pair<std::string, const char*> cases[] = {
        {refusing.url("/"), "The attempt to connect to the server failed."},
        {"http://no-such-host.invalid/x", "The server name could not be resolved."},
        {silent.url("/"), "The request has timed out."},
        {cutShort.url("/"), "The connection with the server has been terminated."}};
    for (const auto& [url, reason] : cases) {
        HTTPTransfer http(options);
        EXPECT_EQ(http.GetURLAsString(url), "") << reason;
        EXPECT_EQ(http.LastError, reason);
        EXPECT_EQ(http.engine().StatusCode, -1) << reason;
        EXPECT_NE(http.engine().lastTransportError(), "") << reason;
        EXPECT_FALSE(http.GetURLAsFile(url, true, (dir / "f").string())) << reason;
        EXPECT_EQ(std::filesystem::remove(dir / "f"), url == cutShort.url("/")) << reason;
    }
}

// An empty required status (the default) rejects even a success; a body over the limit is refused.
TEST_F(TransferExchange, TheEngineRefusesABodyOutsideTheRequiredStatusOrOverItsLimit) {
    LoopbackHttpServer server(rawAnswer(httpResponse("200 OK", binaryBody())));
    Transfer byDefault;
    EXPECT_FALSE(byDefault.GetURL(server.url("/")));
    EXPECT_EQ(byDefault.StatusCode, 200);
    EXPECT_TRUE(byDefault.Buffer.isEmpty());

    TransferOptions options;
    options.maxBodyBytes = 3000;
    Transfer transfer(options);
    EXPECT_FALSE(transfer.GetURL(server.url("/"), 1, "2*"));
    EXPECT_EQ(transfer.StatusCode, -1);
    EXPECT_EQ(transfer.StatusText, "Error 7 Out of memory occured.");
}

TEST_F(TransferExchange, UnusableProxyRaisesFromTheFacadeAndIsTrappedByTheEngine) {
    HTTPTransfer http;
    http.setCustomProxySettings(true);
    http.setUseProxy(true);
    http.setProxyPort(8080);
    http.LastError = "earlier";
    const RuntimeError raised =
        test::raisedError([&] { http.GetURLAsString("http://127.0.0.1/"); });
    EXPECT_EQ(raised.number(), static_cast<std::int32_t>(0x800407D1));
    EXPECT_EQ(raised.source(), "ZNErrHandler");
    EXPECT_EQ(raised.description(), "InternetOpen call failed, error 87");
    EXPECT_EQ(http.LastError, "earlier");

    Transfer transfer;
    transfer.CustomProxySettings = true;
    transfer.UseProxy = true;
    EXPECT_FALSE(transfer.GetURL("http://127.0.0.1/", 0, "2*"));
    EXPECT_EQ(transfer.StatusCode, -1);
    EXPECT_EQ(transfer.StatusText, "Error -2147219503 InternetOpen call failed, error 87 occured.");
}

// An HTTPS server on 127.0.0.1 with a certificate for "localhost" only, made for the test, so that
// the address itself is a name the certificate does not cover.
class SecureTransfer : public ::testing::Test {
  protected:
    void SetUp() override {
        environment.unset("KX_CA_FILE");
        certificate.writePem(certFile);
    }
    std::string url(const std::string& host) const {
        return "https://" + host + ":" + std::to_string(server.port()) + "/report";
    }

    test::ProxyFreeEnvironment environment;
    test::TempDir dir;
    const std::string certFile = (dir / "cert.pem").string();
    test::SelfSignedCertificate certificate{"DNS:localhost"};
    test::LoopbackHttpServer server{test::fixedAnswer(200, "secure answer", "text/plain"),
                                    test::ServerTls{certificate.certificate(), certificate.key()}};
};

// Trusted from the options or KX_CA_FILE, and only for the name it was made for.
TEST_F(SecureTransfer, OnlyATrustedCertificateForTheRequestedNameIsAccepted) {
    struct Case {
        const char* trust;  // "options", "environment" or "" for none
        const char* host;
        const char* answer;
    };
    const Case cases[] = {{"", "localhost", ""},
                          {"options", "127.0.0.1", ""},
                          {"options", "LOCALHOST", "secure answer"},
                          {"environment", "localhost", "secure answer"}};
    for (const Case& c : cases) {
        TransferOptions options;
        options.caFile = c.trust == std::string("options") ? certFile : "";
        environment.set("KX_CA_FILE", c.trust == std::string("environment") ? certFile : "");
        HTTPTransfer http(options);
        EXPECT_EQ(http.GetURLAsString(url(c.host)), c.answer) << c.trust << " " << c.host;
        EXPECT_EQ(http.LastError,
                  *c.answer != '\0' ? "" : "The attempt to connect to the server failed.")
            << c.trust << " " << c.host;
    }
}

TEST_F(SecureTransfer, SettingTheHttpLibraryRejectsFailsTheSessionAsAnInvalidParameter) {
    TransferOptions options;
    options.caFile = std::string(9u << 20, 'a');  // libcurl refuses texts over 8 MiB
    HTTPTransfer http(options);
    const auto error = test::raisedError([&] { http.GetURLAsString(url("localhost")); });
    EXPECT_EQ(error.number(), kSessionErrorNumber);
    EXPECT_EQ(error.description(), "InternetOpen call failed, error 87");
}

// That the preconfigured mode follows the environment's proxy is the common libcurl set-up's,
// proved by the data space's transport test; here a named proxy ignores the bypass list, and a
// direct transfer the environment's proxy.
TEST(ProxiedTransfer, NamedProxyCarriesTheRequestAndADirectTransferIgnoresTheEnvironment) {
    test::ProxyFreeEnvironment environment;
    test::TinyProxy proxy;
    test::LoopbackHttpServer server{test::rawAnswer(httpResponse("200 All Fine Here", "proxied"))};
    environment.set("no_proxy", "*");
    HTTPTransfer http;
    http.setCustomProxySettings(true);
    http.setUseProxy(true);
    http.setProxyServer("127.0.0.1");
    http.setProxyPort(proxy.port());
    EXPECT_EQ(http.GetURLAsString(server.url("/Via/Proxy")), "proxied");
    EXPECT_EQ(http.engine().StatusText, "All Fine Here");
    environment.unset("no_proxy");
    environment.set("http_proxy", proxy.url());
    http.setUseProxy(false);
    EXPECT_EQ(http.GetURLAsString(server.url("/")), "proxied");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[0].header("Via"), "") << "through the proxy: " << requests[0].raw;
    EXPECT_EQ(requests[1].header("Via"), "") << "direct: " << requests[1].raw;
}

}  // namespace
}  // namespace kx::errhandler
