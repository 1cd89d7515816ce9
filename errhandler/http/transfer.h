#pragma once
// Transfer: the library's blocking HTTP client. One request at a time, HTTP/1.0, always a fresh
// answer from the server; the outcome is reported through StatusCode and StatusText rather than
// by raising errors.
//
// URLs: lower-cased whole, "http://" dropped, host before the first "/", the rest requested as
// "/" + path. A port written after the host is honoured (port 80 otherwise). "https://" goes over
// TLS (port 443 unless given) with the peer certificate and host name verified; see
// TransferOptions::caFile.
//
// Outcome of GetURL and GetURLToFile:
//   - an HTTP answer: StatusCode and StatusText are the final response's status code and reason
//     phrase (through a proxy, the origin server's answer); the call succeeds when the code's
//     decimal text matches RequiredStatus;
//   - no complete answer (name not resolved, refused, timed out, reset, body cut short):
//     StatusCode -1 and StatusText = TranslateErrorCode(code), the code chosen by
//     winInetCodeForCurl() (wininet_errors.h); lastTransportError() keeps libcurl's own words;
//   - a URL that cannot be requested: -1 and the message of 12005; a RequestMethod other than 1,
//     2 or 3: -1 and the message of 12016 (nothing is sent);
//   - a run-time error (the session cannot be opened, a post item is not a string, the body
//     exceeds TransferOptions::maxBodyBytes, a local file cannot be written): StatusCode -1 and
//     StatusText "Error <number> <description> occured." (with "  (<message>)" appended for
//     numbers 12001 to 12036).
// A body that breaks off after the status line makes the call fail; it is never reported as a
// complete answer.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "errhandler/http/curl_sender.h"
#include "platform/runtime/dispatch.h"
#include "platform/runtime/run_time_error.h"
#include "platform/runtime/variant.h"

namespace kx::errhandler {

// The number InitialiseSession raises: the runtime's object-error base plus 2001.
inline constexpr std::int32_t kSessionErrorNumber = vberr::kObjectErrorBase + 2001;
// The platform code reported when the named proxy cannot be used (an invalid parameter).
inline constexpr std::int32_t kInvalidParameterCode = 87;

class Transfer {
  public:
    explicit Transfer(TransferOptions options = {});
    ~Transfer();
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    std::int32_t StatusCode = 0;
    std::string StatusText;
    std::int32_t RequestMethod = 0;                                          // 1 GET, 2 POST, 3 PUT
    std::shared_ptr<Collection> PostItems = std::make_shared<Collection>();  // "name:value" items
    Variant Buffer;  // body of the last successful GetURL: a string or a byte array
    bool CustomProxySettings = false;
    bool UseProxy = false;
    std::string ProxyServer;
    std::int32_t ProxyPort = 0;
    // A form body that a POST sends as it stands instead of PostData(): one built earlier (a report
    // read back from the spool). Reset clears it.
    std::optional<std::string> PreparedBody;

    // Opens the session when none is open, then requests URL. DataType 0 stores the body in Buffer
    // as text (the bytes as received), any other value as a byte array (lower bound 0). An empty
    // RequiredStatus matches nothing, so the call then always fails after the request.
    bool GetURL(std::string_view URL, std::int32_t DataType = 0,
                std::string_view RequiredStatus = {});

    // As GetURL, writing the body into FileName. The file is created, or truncated when it exists,
    // only once an answer matching RequiredStatus has arrived, and written chunk by chunk. When it
    // cannot be opened: StatusCode = the runtime's error number (76 path not found, 75 other
    // access errors) and StatusText "Open local file failed '<description>'". A transfer that
    // fails part-way leaves what was written and returns false.
    bool GetURLToFile(std::string_view URL, const std::string& FileName,
                      std::string_view RequiredStatus = {});

    // Opens a new session with the current proxy properties (replacing any open one) and sets
    // RequestMethod to 1. Raises RuntimeError kSessionErrorNumber, source "ZNErrHandler",
    // "InternetOpen call failed, error <code>" when no session can be made: code 87 when the named
    // proxy is unusable (empty or malformed ProxyServer, ProxyPort outside 1 to 65535), 8 when
    // memory runs out.
    void InitialiseSession();
    // Closes the session, if one is open.
    void TerminateSession();

    // The form body of PostItems (see buildPostData).
    std::string PostData() const;
    // A new, empty PostItems, no PreparedBody and RequestMethod 1.
    void Reset();

    static std::string TranslateErrorCode(std::int32_t lErrorCode);

    // libcurl's code and message for the last transport failure (0 and "" after a success).
    int lastTransportCode() const { return lastTransportCode_; }
    const std::string& lastTransportError() const { return lastTransportError_; }

  private:
    class BodySink;
    class MemorySink;
    class FileSink;

    bool receive(std::string_view url, std::string_view requiredStatus, BodySink& sink);
    void failWith(std::int32_t winInetCode);
    void reportTrappedError(const RuntimeError& error);

    TransferOptions options_;
    std::unique_ptr<CurlSession> session_;
    int lastTransportCode_ = 0;
    std::string lastTransportError_;
};

}  // namespace kx::errhandler
