// Transfers over verified TLS and through a real proxy (tinyproxy) in each proxy mode.

#include <gtest/gtest.h>

#include "errhandler/http/http_transfer.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/raised_error.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/self_signed_certificate.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tiny_proxy.h"

namespace kx::errhandler {
namespace {

using test::httpResponse;

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

class ProxiedTransfer : public ::testing::Test {
  protected:
    bool wentThroughProxy() const { return !server.requests().at(0).header("Via").empty(); }

    test::ProxyFreeEnvironment environment;
    test::TinyProxy proxy;
    test::LoopbackHttpServer server{test::rawAnswer(httpResponse("200 All Fine Here", "proxied"))};
};

TEST_F(ProxiedTransfer, NamedProxyCarriesTheRequestAndTheOriginStatus) {
    environment.set("no_proxy", "*");  // a named proxy ignores the bypass list
    HTTPTransfer http;
    http.setCustomProxySettings(true);
    http.setUseProxy(true);
    http.setProxyServer("127.0.0.1");
    http.setProxyPort(proxy.port());
    EXPECT_EQ(http.GetURLAsString(server.url("/Via/Proxy")), "proxied");
    EXPECT_EQ(http.engine().StatusText, "All Fine Here");
    EXPECT_TRUE(wentThroughProxy()) << server.requests().at(0).raw;
}

// That the preconfigured mode follows the environment's proxy is the common libcurl set-up's,
// proved by the data space's transport test; here a direct transfer must ignore it.
TEST_F(ProxiedTransfer, DirectTransferIgnoresTheEnvironmentProxy) {
    environment.set("http_proxy", proxy.url());
    HTTPTransfer direct;
    direct.setCustomProxySettings(true);
    direct.setUseProxy(false);
    EXPECT_EQ(direct.GetURLAsString(server.url("/")), "proxied");
    EXPECT_FALSE(wentThroughProxy()) << server.requests().at(0).raw;
}

}  // namespace
}  // namespace kx::errhandler
