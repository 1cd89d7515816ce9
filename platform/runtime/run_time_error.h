#pragma once
// Run-time errors of the old runtime as C++ exceptions, the thread's pending-error object `Err`,
// and the helper that runs statements one by one with errors ignored.

#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <string>

namespace kx {

// Error numbers of the runtime that our code raises itself.
namespace vberr {
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kSubscriptOutOfRange = 9;
inline constexpr std::int32_t kTypeMismatch = 13;
inline constexpr std::int32_t kInvalidUseOfNull = 94;
inline constexpr std::int32_t kFileNotFound = 53;
inline constexpr std::int32_t kBadFileNameOrNumber = 52;
inline constexpr std::int32_t kPathFileAccessError = 75;
inline constexpr std::int32_t kInvalidProcedureCall = 5;
inline constexpr std::int32_t kObjectVariableNotSet = 91;
inline constexpr std::int32_t kCantCreateObject = 429;
inline constexpr std::int32_t kObjectDoesntSupportMember = 438;
inline constexpr std::int32_t kWrongNumberOfArguments = 450;
inline constexpr std::int32_t kApplicationDefined = 1004;
// vbObjectError: the base that components add their own numbers to.
inline constexpr std::int32_t kObjectErrorBase = static_cast<std::int32_t>(0x80040000u);
}  // namespace vberr

// The runtime's standard description for one of its own error numbers ("Overflow",
// "Subscript out of range", ...); "Application-defined or object-defined error" otherwise.
std::string standardErrorDescription(std::int32_t number);

// A run-time error: number, source and description, as the old runtime's Err.Raise takes them.
class RuntimeError : public std::exception {
  public:
    RuntimeError(std::int32_t number, std::string source, std::string description);
    // With the standard description of the number and an empty source.
    explicit RuntimeError(std::int32_t number);

    std::int32_t number() const noexcept { return number_; }
    const std::string& source() const noexcept { return source_; }
    const std::string& description() const noexcept { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

  private:
    std::int32_t number_;
    std::string source_;
    std::string description_;
};

[[noreturn]] void raiseError(std::int32_t number, std::string source, std::string description);
[[noreturn]] void raiseError(std::int32_t number);

// The pending error of the current thread, as the old runtime's Err object. Number 0 means no
// error is pending.
struct ErrObject {
    std::int32_t Number = 0;
    std::string Source;
    std::string Description;

    void Clear();
    void set(const RuntimeError& e);
    bool pending() const { return Number != 0; }
    [[noreturn]] void Raise() const;  // raises the pending error as an exception
};

ErrObject& Err();

// Runs one statement with errors ignored: a RuntimeError it raises becomes the pending error in
// Err() and execution goes on. Returns true when the statement completed. Other exceptions
// (programming faults) are not swallowed.
bool resumeNext(const std::function<void()>& statement);

// Runs statements one by one, each with errors ignored, in order.
void resumeNextEach(std::initializer_list<std::function<void()>> statements);

}  // namespace kx
