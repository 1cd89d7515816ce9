#pragma once
// The failure of a remote call as the client sees it: an HTTP status and an error number with a
// description, sent as {"error":{"number":N,"description":"..."}}.

#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/runtime/run_time_error.h"

namespace kx::server {

// The numbers follow the old runtime's conventions: its own error numbers where one fits, and
// the object-error base plus a small offset for failures of this service.
inline constexpr std::int32_t kObjectErrorBase = vberr::kObjectErrorBase;
namespace error_number {
inline constexpr std::int32_t kInvalidArgument = vberr::kInvalidProcedureCall;
inline constexpr std::int32_t kTypeMismatch = vberr::kTypeMismatch;
inline constexpr std::int32_t kCannotCreateObject = vberr::kCantCreateObject;
inline constexpr std::int32_t kNoSuchMethod = vberr::kObjectDoesntSupportMember;
inline constexpr std::int32_t kWrongArgumentCount = vberr::kWrongNumberOfArguments;
inline constexpr std::int32_t kInvalidToken = kObjectErrorBase + 1001;
inline constexpr std::int32_t kNotPermitted = kObjectErrorBase + 1002;
inline constexpr std::int32_t kUnknownGroup = kObjectErrorBase + 1003;
inline constexpr std::int32_t kRequestTooLarge = kObjectErrorBase + 1004;
inline constexpr std::int32_t kNotFound = kObjectErrorBase + 1005;
inline constexpr std::int32_t kServerFailure = kObjectErrorBase + 1006;
// The catalog stayed locked by another process; the same call may be made again shortly.
inline constexpr std::int32_t kServerBusy = kObjectErrorBase + 1007;
}  // namespace error_number

class RemoteError : public std::runtime_error {
  public:
    RemoteError(int httpStatus, std::int32_t number, const std::string& description)
        : std::runtime_error(description), httpStatus_(httpStatus), number_(number) {}
    int httpStatus() const { return httpStatus_; }
    std::int32_t number() const { return number_; }

  private:
    int httpStatus_;
    std::int32_t number_;
};

// The JSON body of a failure.
std::string remoteErrorBody(std::int32_t number, const std::string& description);

}  // namespace kx::server
