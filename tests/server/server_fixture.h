#pragma once
// A catalog with two login servers, a BROKER and a CLIENT deployment and published files, served
// by the library's server object on a thread over loopback, with a clock the test moves.

#include <httplib.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "server/http_server.h"
#include "server/password.h"
#include "tests/support/temp_dir.h"

namespace kx::server::test {

// What one remote call answered.
struct CallAnswer {
    int status = 0;
    nlohmann::json body;  // discarded when the body is not JSON
    // The result of a successful call as text (strings only).
    std::string text() const { return body.at("result").get<std::string>(); }
    std::int64_t errorNumber() const { return body.at("error").at("number").get<std::int64_t>(); }
};

// The password cost of the tests' catalogs: cheap, since what is tested is not the cost.
inline constexpr PasswordCost kTestPasswordCost{64, 1};

// Paths of the standard catalog.
inline constexpr const char* kServer1 = "/bo/server1";
inline constexpr const char* kServer2 = "/bo/server2";

// Fills `dir` with the standard catalog: user ACME/ALICE (password "s3cret pass") granted both
// deployments, user ACME/BOB ("other") granted none; BROKER (id 5000000001, beyond 32 bits on
// purpose) at server1 (groups 10 and 11), CLIENT (id 7) at server2 (group 12); group 10 holds
// "a.txt" and "b.dat" (version 2.0.0.1), group 11 the compressed "c.txt", group 12 "d.txt"; group
// 10 has a start row.
void fillStandardCatalog(const std::filesystem::path& dir);

// How often `part` occurs in `text` (a log, answers).
std::size_t countOf(const std::string& text, const std::string& part);
// Whether `text` holds `part`; either way its message shows the whole text.
::testing::AssertionResult contains(const std::string& text, const std::string& part);
// `text` up to its first line end, as a text of its own (the argument may be a temporary).
std::string firstLine(const std::string& text);

// A catalog made by `kxserver init` in `scratch`/srv with nothing in it but its settings, at the
// cheapest password cost; its path.
std::string emptyCatalog(const kx::test::TempDir& scratch);

// `body` posted as JSON through `client`; an empty answer (and a test failure) when none came.
CallAnswer postAt(httplib::Client& client, const std::string& path, const std::string& body);
// One remote call through `client`.
CallAnswer callAt(httplib::Client& client, const std::string& path, const std::string& progId,
                  const std::string& method, const nlohmann::json& args);

// A plain TCP connection to the loopback port, for requests no HTTP client would send. Closed when
// the object goes away.
class RawConnection {
  public:
    // `from`: the loopback address to connect from (127.0.0.1 when null).
    explicit RawConnection(int port, const char* from = nullptr);
    ~RawConnection();
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    void send(const std::string& bytes);
    // Everything that arrives until the server closes the connection (closed() is then true) or
    // nothing has arrived for `idleMilliseconds`.
    std::string receive(int idleMilliseconds);
    bool closed() const { return closed_; }

  private:
    int fd_ = -1;
    bool closed_ = false;
};

class ServerTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Stops the running server (if any) and starts a new one on the same catalog, with its
    // options changed by `adjust`; the request log goes to log_.
    void restartServer(const std::function<void(ServerOptions&)>& adjust);
    void stopServer();
    // The error reports stored in the catalog, oldest first.
    std::vector<nlohmann::json> storedReports() const;
    // The loopback port the server listens on.
    int port() const;

    CallAnswer call(const std::string& path, const std::string& progId, const std::string& method,
                    const nlohmann::json& args) {
        return callAt(*client_, path, progId, method, args);
    }
    // A token for ALICE through the given object at `path`.
    std::string loginAlice(const std::string& path, const std::string& progId);

    kx::test::TempDir dir_;
    std::atomic<std::int64_t> now_{1'700'000'000};
    std::unique_ptr<KxServer> server_;
    std::thread thread_;
    std::string url_;
    std::unique_ptr<httplib::Client> client_;
    std::ostringstream log_;  // read it only after stopServer()
};

}  // namespace kx::server::test
