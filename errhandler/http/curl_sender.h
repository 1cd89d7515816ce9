#pragma once
// The thin layer that puts a built request on the wire with libcurl and hands the answer back.

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "errhandler/http/http_request.h"
#include "platform/curl/curl_handle.h"
#include "platform/curl/http_status_line.h"

namespace kx::errhandler {

// Time-outs and limits of the engine. The defaults follow the old platform's: 60 seconds to
// connect, and a send or receive that makes no progress for 30 seconds is abandoned.
struct TransferOptions {
    std::chrono::milliseconds connectTimeout{60'000};
    std::chrono::seconds stallTimeout{30};
    // Certificate authorities for "https://" URLs, a PEM file. Empty: the file named by the
    // environment variable KX_CA_FILE (sys::caFile()), or else the system's store.
    std::string caFile;
    // The largest body kept in memory; a longer answer fails rather than exhausting memory.
    std::size_t maxBodyBytes = std::size_t{256} << 20;
};

// Called with the final status code and each piece of the body as it arrives, at most 2048 bytes at
// a time. Returning false stops the transfer. It may throw; the exception is carried past libcurl
// and thrown again by CurlSession::send.
using BodyReceiver = std::function<bool(std::int32_t statusCode, std::string_view chunk)>;

struct SendOutcome {
    int curlCode = 0;         // CURLE_OK (0) when the exchange completed
    std::string curlMessage;  // libcurl's own explanation of a failure, for diagnostics
    bool stoppedByReceiver = false;
    std::optional<curl::StatusLine> status;  // the final response's status line, once one arrived
};

// One libcurl handle for the lifetime of a session. Every request opens a new connection and
// closes it afterwards; nothing (connections, TLS sessions, cookies) outlives the session.
class CurlSession {
  public:
    // Throws curl::SetupError when libcurl cannot provide a handle or rejects the session's
    // settings.
    CurlSession(ProxySetting proxy, TransferOptions options);
    CurlSession(const CurlSession&) = delete;
    CurlSession& operator=(const CurlSession&) = delete;

    // A setting libcurl rejects ends the exchange before anything is sent, with its code and text
    // in the outcome.
    SendOutcome send(const HttpRequest& request, const BodyReceiver& receiver);

  private:
    curl::HandleSettings settings_;
    std::chrono::seconds stallTimeout_;
    curl::EasyHandle handle_;
};

}  // namespace kx::errhandler
