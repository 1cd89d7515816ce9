#pragma once
// The remote data space: business objects on a web server, reached by ProgID and URL and called
// by member name. A call travels as one HTTP(S) POST of a JSON document to the object's URL:
//
//   request  {"progid": "<ProgID>", "method": "<member>", "args": [<value>, ...]}
//   success  HTTP 200, {"result": <string | boolean | number | null>}
//   failure  HTTP 4xx/5xx, {"error": {"number": <int>, "description": "<text>"}}
//
// Arguments may be strings, Booleans, integers and doubles; Empty and Null travel as null. The
// result comes back as a String, a Boolean, a Long (integers that fit 32 bits), a LongLong (other
// integers), a Double, or Empty for null. Arguments are passed by reference in the caller's
// sense, but the wire carries no values back, so they are never changed by a call.
//
// Every failure raises kx::RuntimeError in the caller; the numbers are listed below. A remote
// error carries the server's own number and description, with the ProgID as its source.
// Request bodies (which carry the user's password) are never logged or put into an error text.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/runtime/dispatch.h"
#include "platform/runtime/run_time_error.h"

namespace kx::dataspace {

// Error numbers of failures the data space detects itself (vbObjectError + 0x1200 + n).
namespace errors {
inline constexpr std::int32_t kBase = vberr::kObjectErrorBase + 0x1200;
// The host name could not be resolved or the connection was refused or failed.
inline constexpr std::int32_t kServerUnreachable = kBase + 1;
// The connect time-out or the overall time-out (InternetTimeout) passed.
inline constexpr std::int32_t kTimedOut = kBase + 2;
// The TLS handshake failed, the certificate could not be verified, or the CA file is unusable.
inline constexpr std::int32_t kTlsFailure = kBase + 3;
// The server answered with an HTTP error status and no error document.
inline constexpr std::int32_t kHttpStatus = kBase + 4;
// The answer is not JSON, or lacks a usable result or error.
inline constexpr std::int32_t kMalformedAnswer = kBase + 5;
// The answer is larger than the configured limit.
inline constexpr std::int32_t kAnswerTooLarge = kBase + 6;
// The URL is not an http:// or https:// URL that can be used.
inline constexpr std::int32_t kInvalidUrl = kBase + 7;
// Any other transfer failure (connection reset, proxy failure, ...).
inline constexpr std::int32_t kTransferFailed = kBase + 8;
}  // namespace errors

// The source of the errors the data space raises itself.
inline constexpr std::string_view kErrorSource = "RDS.DataSpace";

// How calls reach the server. Copied into each object when it is created.
struct ConnectionSettings {
    std::chrono::milliseconds connectTimeout{30'000};
    // The whole call, connection included.
    std::chrono::milliseconds overallTimeout{300'000};
    // PEM file of the certificate authorities to trust for https; empty: the system's.
    std::string caFile;
    std::size_t maxAnswerBytes = std::size_t{64} << 20;
};

// The connector. Members reachable by name: CreateObject(ProgID, URL), InternetTimeout (Long,
// milliseconds, read and write) and CAFile (String, read and write).
class DataSpace : public Dispatch {
  public:
    explicit DataSpace(ConnectionSettings settings = {}) : settings_(std::move(settings)) {}

    // A proxy for the object `progId` served at `url`. Nothing is sent yet; a URL that is not
    // http:// or https:// raises errors::kInvalidUrl, an empty ProgID raises error 5.
    std::shared_ptr<Dispatch> CreateObject(const std::string& progId, const std::string& url) const;

    // The overall time-out of each call in milliseconds (default 300000). Values below 1 raise
    // error 5: a call without a time-out could hang the launcher for ever.
    std::int32_t InternetTimeout() const;
    void setInternetTimeout(std::int32_t milliseconds);

    const std::string& CAFile() const { return settings_.caFile; }
    void setCAFile(std::string path) { settings_.caFile = std::move(path); }

    // The remaining settings, for callers that need more than the named members.
    const ConnectionSettings& settings() const { return settings_; }
    ConnectionSettings& settings() { return settings_; }

    std::string typeName() const override { return "DataSpace"; }
    Variant invoke(std::string_view member, InvokeKind kind, std::vector<Variant>& args) override;

  private:
    ConnectionSettings settings_;
};

}  // namespace kx::dataspace
