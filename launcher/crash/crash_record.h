#pragma once
// The crash record: what the fatal-signal handler writes about a crash for the reporting process
// that replaces the crashed one (crash_capture.h), and how that process reads it back.
//
// The record is text: the line "KXVantor crash record 1", then one "key=value" line per field,
// then a line "maps" followed by the crashed process's /proc/self/maps as it was. Keys:
//   kind            "signal" or "exception" (an uncaught C++ exception)
//   signal, code, address      the signal, its si_code and the fault address (kind signal)
//   thread-id, thread          the crashed thread's id and name
//   module, procedure, line    the innermost trapped procedure of that thread, where there is one
//   number, description        the error number and text the report carries
//   exception-code             the exception code of the fault, as eight hexadecimal digits
//   exception-type             the mangled type of an uncaught exception
//   version, time              the launcher's version; the time in seconds since 1970 (UTC)
//   frame                      one per frame, innermost first: the faulting instruction, then
//                              return addresses
// Unknown keys are skipped. Values hold no line breaks (the writer turns control characters into
// blanks).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx::crash {

// The error numbers of crashes that no exception code names. Those of hardware faults, 10000 +
// (code AND &H8EF), stay below 12288.
inline constexpr std::int32_t kAbortErrorNumber = 13000;
inline constexpr std::int32_t kUncaughtExceptionErrorNumber = 13001;

inline constexpr std::string_view kCrashRecordHeading = "KXVantor crash record 1";
inline constexpr std::string_view kCrashRecordMapsLine = "maps";

// The most a record may hold; a longer one is not read. The handler stops the maps copy early
// enough to stay below it.
inline constexpr std::size_t kMaxCrashRecordBytes = 4u << 20;
inline constexpr std::size_t kMaxCrashFrames = 128;

struct CrashRecord {
    bool uncaughtException = false;  // kind "exception"; else a signal
    int signal = 0;
    int signalCode = 0;
    std::uint64_t faultAddress = 0;
    std::int64_t threadId = 0;
    std::string threadName;
    std::string module;
    std::string procedure;
    std::int32_t line = 0;
    std::int32_t errorNumber = 0;
    std::string description;
    std::string exceptionCode;
    std::string exceptionType;
    std::string version;
    std::int64_t time = 0;
    std::vector<std::uint64_t> frames;
    std::string maps;
};

// Reads a record; nothing when the text is not one (no heading, a field out of bounds or of the
// wrong form, no kind, no frame). The text comes from outside the process and is trusted in
// nothing.
std::optional<CrashRecord> parseCrashRecord(std::string_view text);

// The description the report carries: the recorded one, for an uncaught exception that is not a
// run-time error "Uncaught exception " + its type + (": " + its text).
std::string crashDescription(const CrashRecord& record);

// The context handed to the error library in place of the variable dump: the thread, the signal
// or exception, the time and `backtrace` (one line per frame), as tagged lines ended by CR LF.
std::string crashContext(const CrashRecord& record, const std::vector<std::string>& backtrace);

// An address as "0x" and sixteen hexadecimal digits.
std::string addressText(std::uint64_t address);

// Writes record lines to a descriptor without allocating: usable in a signal handler.
class RecordWriter {
  public:
    explicit RecordWriter(int fd) noexcept : fd_(fd) {}
    ~RecordWriter() { flush(); }
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    // Text as it is.
    RecordWriter& raw(const char* text, std::size_t length) noexcept;
    RecordWriter& raw(const char* text) noexcept;
    // Text with control characters as blanks, at most `limit` bytes.
    RecordWriter& clean(const char* text, std::size_t limit) noexcept;
    RecordWriter& decimal(std::int64_t value) noexcept;
    RecordWriter& hex(std::uint64_t value, int digits) noexcept;
    // "key=" + value (cleaned, at most `limit` bytes) + line end.
    RecordWriter& field(const char* key, const char* value, std::size_t limit = 1024) noexcept;
    RecordWriter& field(const char* key, std::int64_t value) noexcept;
    void flush() noexcept;

  private:
    int fd_;
    std::size_t used_ = 0;
    char buffer_[1024];
};

}  // namespace kx::crash
