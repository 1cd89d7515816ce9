// Transfers over verified TLS and through a real proxy (tinyproxy) in each proxy mode.

#include <httplib.h>

#include <gtest/gtest.h>

#include "http_transfer.h"
#include "raised_error.h"
#include "raw_http_listener.h"
#include "scoped_environment.h"
#include "self_signed_certificate.h"
#include "temp_dir.h"
#include "tiny_proxy.h"

namespace kx::errhandler {
namespace {

using test::httpResponse;
using test::RawHttpListener;

// An HTTPS server on 127.0.0.1 with a certificate for "localhost" only, made for the test, so that
// the address itself is a name the certificate does not cover.
class SecureServer {
  public:
    explicit SecureServer(const test::TempDir& dir)
        : certificate_("DNS:localhost"), certFile_((dir / "cert.pem").string()) {
        certificate_.writePem(certFile_);
        server_ =
            std::make_unique<httplib::SSLServer>(certificate_.certificate(), certificate_.key());
        server_->Get("/report", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("secure answer", "text/plain");
        });
        port_ = server_->bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_->listen_after_bind(); });
        // The socket already listens; wait (bounded) for the loop so that stop() can end it.
        for (int i = 0; i < 1000 && !server_->is_running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ~SecureServer() {
        server_->stop();
        thread_.join();
    }
    const std::string& certFile() const { return certFile_; }
    std::string url(const std::string& host) const {
        return "https://" + host + ":" + std::to_string(port_) + "/report";
    }

  private:
    test::SelfSignedCertificate certificate_;
    std::string certFile_;
    std::unique_ptr<httplib::SSLServer> server_;
    int port_ = 0;
    std::thread thread_;
};

class SecureTransfer : public ::testing::Test {
  protected:
    void SetUp() override {
        environment.clearProxyVariables();
        environment.unset("KX_CA_FILE");
    }
    test::ScopedEnvironment environment;
    test::TempDir dir;
    SecureServer server{dir};
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
        options.caFile = c.trust == std::string("options") ? server.certFile() : "";
        environment.set("KX_CA_FILE",
                        c.trust == std::string("environment") ? server.certFile() : "");
        HTTPTransfer http(options);
        EXPECT_EQ(http.GetURLAsString(server.url(c.host)), c.answer) << c.trust << " " << c.host;
        EXPECT_EQ(http.LastError,
                  *c.answer != '\0' ? "" : "The attempt to connect to the server failed.")
            << c.trust << " " << c.host;
    }
}

TEST_F(SecureTransfer, SettingTheHttpLibraryRejectsFailsTheSessionAsAnInvalidParameter) {
    TransferOptions options;
    options.caFile = std::string(9u << 20, 'a');  // libcurl refuses texts over 8 MiB
    HTTPTransfer http(options);
    const auto error = test::raisedError([&] { http.GetURLAsString(server.url("localhost")); });
    EXPECT_EQ(error.number(), kSessionErrorNumber);
    EXPECT_EQ(error.description(), "InternetOpen call failed, error 87");
}

void useNamedProxy(HTTPTransfer& http, std::uint16_t port) {
    http.setCustomProxySettings(true);
    http.setUseProxy(true);
    http.setProxyServer("127.0.0.1");
    http.setProxyPort(port);
}

class ProxiedTransfer : public ::testing::Test {
  protected:
    void SetUp() override { environment.clearProxyVariables(); }

    bool wentThroughProxy(std::size_t request = 0) const {
        return server.requests().at(request).find("\r\nVia: ") != std::string::npos;
    }

    test::ScopedEnvironment environment;
    test::TinyProxy proxy;
    RawHttpListener server{httpResponse("200 All Fine Here", "proxied")};
};

TEST_F(ProxiedTransfer, NamedProxyCarriesTheRequestAndTheOriginStatus) {
    environment.set("no_proxy", "*");  // a named proxy ignores the bypass list
    HTTPTransfer http;
    useNamedProxy(http, proxy.port());
    EXPECT_EQ(http.GetURLAsString(server.url("/Via/Proxy")), "proxied");
    EXPECT_EQ(http.engine().StatusText, "All Fine Here");
    EXPECT_TRUE(wentThroughProxy()) << server.requests().at(0);
    EXPECT_TRUE(server.requests().at(0).starts_with("GET /via/proxy HTTP/1."));
}

TEST_F(ProxiedTransfer, EnvironmentProxyIsFollowedWhenPreconfiguredAndIgnoredWhenDirect) {
    environment.set("http_proxy", proxy.url());
    HTTPTransfer preconfigured;
    EXPECT_EQ(preconfigured.GetURLAsString(server.url("/")), "proxied");
    EXPECT_TRUE(wentThroughProxy(0)) << server.requests().at(0);

    HTTPTransfer direct;
    direct.setCustomProxySettings(true);
    direct.setUseProxy(false);
    EXPECT_EQ(direct.GetURLAsString(server.url("/")), "proxied");
    EXPECT_FALSE(wentThroughProxy(1)) << server.requests().at(1);
}

TEST_F(ProxiedTransfer, UnreachableNamedProxyFailsToConnect) {
    test::RefusingPort refusing;
    HTTPTransfer http;
    useNamedProxy(http, refusing.port());
    EXPECT_EQ(http.GetURLAsString(server.url("/")), "");
    EXPECT_EQ(http.LastError, "The attempt to connect to the server failed.");
    EXPECT_TRUE(server.requests().empty());
}

}  // namespace
}  // namespace kx::errhandler
