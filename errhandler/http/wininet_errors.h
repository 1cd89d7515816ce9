#pragma once
// The WinINet error codes the transfer engine reports, their messages, and how libcurl's
// failures map onto them.

#include <cstdint>
#include <string>

namespace kx::errhandler {

namespace wininet {
inline constexpr std::int32_t kOutOfHandles = 12001;
inline constexpr std::int32_t kTimeout = 12002;
inline constexpr std::int32_t kInternalError = 12004;
inline constexpr std::int32_t kInvalidUrl = 12005;
inline constexpr std::int32_t kUnrecognizedScheme = 12006;
inline constexpr std::int32_t kNameNotResolved = 12007;
inline constexpr std::int32_t kProtocolNotFound = 12008;
inline constexpr std::int32_t kInvalidOption = 12009;
inline constexpr std::int32_t kLoginFailure = 12015;
inline constexpr std::int32_t kInvalidOperation = 12016;
inline constexpr std::int32_t kOperationCancelled = 12017;
inline constexpr std::int32_t kCannotConnect = 12029;
inline constexpr std::int32_t kConnectionAborted = 12030;
inline constexpr std::int32_t kConnectionReset = 12031;
inline constexpr std::int32_t kFirst = 12001;
inline constexpr std::int32_t kLast = 12036;
}  // namespace wininet

// The message for a WinINet error code from the engine's fixed table (some messages end with a
// space); "Error details not available." for any code the table lacks (12032 to 12035 included).
std::string TranslateErrorCode(std::int32_t lErrorCode);

// The WinINet code for a libcurl result (a CURLcode value):
//   name or proxy name not resolved (6, 5)            -> 12007
//   cannot connect, proxy refused, interface (7, 97, 45) -> 12029
//   TLS handshake or certificate verification failed (35, 60, 58, 98, 83, 90, 91) -> 12029
//   time-out, including a stalled send or receive (28)  -> 12002
//   server sent nothing, receive failed (52, 56)        -> 12031 (reset)
//   send failed, body cut short, unreadable answer (55, 18, 8, 16, 92, 61) -> 12030 (aborted)
//   unsupported scheme (1) -> 12006, malformed URL (3) -> 12005, not built in (4) -> 12008
//   access or login refused (9, 67, 94) -> 12015, cancelled (42) -> 12017
//   bad option (43, 48, 49) -> 12009, out of memory (27) -> 12001
//   anything else -> 12004 (internal error)
// Every result stays inside the table above, so the message is always a real one.
std::int32_t winInetCodeForCurl(int curlCode);

}  // namespace kx::errhandler
