#include "launcher/crash/crash_record.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>

#include "launcher/crash/error_conversion.h"

namespace kx::crash {

namespace {

// Bounds of the texts a record may carry.
constexpr std::size_t kMaxNameBytes = 256;
constexpr std::size_t kMaxDescriptionBytes = 4096;
constexpr std::size_t kMaxVersionBytes = 32;

template <typename Number>
bool parseNumber(std::string_view text, Number& value, int base = 10) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool boundedText(std::string_view text, std::size_t limit, std::string& value) {
    if (text.size() > limit) {
        return false;
    }
    value.assign(text);
    return true;
}

bool versionText(std::string_view text) {
    return !text.empty() && text.size() <= kMaxVersionBytes &&
           text.find_first_not_of("0123456789.") == std::string_view::npos;
}

bool exceptionCodeText(std::string_view text) {
    return text.size() == 8 && text.find_first_not_of("0123456789ABCDEF") == std::string_view::npos;
}

// Reads one "key=value" line into `record`; false when the value does not fit its key.
bool readField(std::string_view key, std::string_view value, CrashRecord& record, bool& kindSeen) {
    if (key == "kind") {
        kindSeen = value == "signal" || value == "exception";
        record.uncaughtException = value == "exception";
        return kindSeen;
    }
    if (key == "signal") {
        return parseNumber(value, record.signal) && record.signal > 0 && record.signal < 65;
    }
    if (key == "code") {
        return parseNumber(value, record.signalCode);
    }
    if (key == "address") {
        return parseNumber(value, record.faultAddress, 16);
    }
    if (key == "thread-id") {
        return parseNumber(value, record.threadId);
    }
    if (key == "thread") {
        return boundedText(value, kMaxNameBytes, record.threadName);
    }
    if (key == "module") {
        return boundedText(value, kMaxNameBytes, record.module);
    }
    if (key == "procedure") {
        return boundedText(value, kMaxNameBytes, record.procedure);
    }
    if (key == "line") {
        return parseNumber(value, record.line);
    }
    if (key == "number") {
        return parseNumber(value, record.errorNumber);
    }
    if (key == "description") {
        return boundedText(value, kMaxDescriptionBytes, record.description);
    }
    if (key == "exception-code") {
        return exceptionCodeText(value) && boundedText(value, 8, record.exceptionCode);
    }
    if (key == "exception-type") {
        return boundedText(value, kMaxNameBytes, record.exceptionType);
    }
    if (key == "version") {
        return versionText(value) && boundedText(value, kMaxVersionBytes, record.version);
    }
    if (key == "time") {
        return parseNumber(value, record.time);
    }
    if (key == "frame") {
        std::uint64_t frame = 0;
        if (record.frames.size() >= kMaxCrashFrames || !parseNumber(value, frame, 16)) {
            return false;
        }
        record.frames.push_back(frame);
        return true;
    }
    return true;  // a key of a later record version
}

std::string utcTime(std::int64_t seconds) {
    const auto clamped = static_cast<std::time_t>(seconds);
    std::tm parts{};
    char text[40] = "";
    if (gmtime_r(&clamped, &parts) != nullptr) {
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    }
    return text;
}

std::string signalName(int signal) {
    const char* abbreviation = sigabbrev_np(signal);
    return abbreviation != nullptr ? std::string("SIG") + abbreviation : std::to_string(signal);
}

std::string tagged(const char* tag, const std::string& value) {
    return std::string("<") + tag + ">" + value + "</" + tag + ">\r\n";
}

}  // namespace

std::string addressText(std::uint64_t address) {
    char text[19];
    std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(address));
    return text;
}

std::optional<CrashRecord> parseCrashRecord(std::string_view text) {
    if (text.size() > kMaxCrashRecordBytes) {
        return std::nullopt;
    }
    const auto lineEnd = [&](std::size_t from) {
        const std::size_t end = text.find('\n', from);
        return end == std::string_view::npos ? text.size() : end;
    };
    std::size_t position = lineEnd(0);
    if (text.substr(0, position) != kCrashRecordHeading) {
        return std::nullopt;
    }
    CrashRecord record;
    bool kindSeen = false;
    while (position < text.size()) {
        const std::size_t start = position + 1;
        const std::size_t end = lineEnd(start);
        const std::string_view line = text.substr(start, end - start);
        position = end;
        if (line == kCrashRecordMapsLine) {
            record.maps.assign(text.substr(std::min(end + 1, text.size())));
            break;
        }
        const std::size_t equals = line.find('=');
        if (line.empty()) {
            continue;
        }
        if (equals == std::string_view::npos ||
            !readField(line.substr(0, equals), line.substr(equals + 1), record, kindSeen)) {
            return std::nullopt;
        }
    }
    if (!kindSeen || record.frames.empty()) {
        return std::nullopt;
    }
    return record;
}

std::string crashDescription(const CrashRecord& record) {
    if (!record.uncaughtException || record.errorNumber != kUncaughtExceptionErrorNumber) {
        return record.description;
    }
    std::string description = "Uncaught exception";
    if (!record.exceptionType.empty()) {
        description += " " + readableTypeName(record.exceptionType.c_str());
    }
    if (!record.description.empty()) {
        description += ": " + record.description;
    }
    return description;
}

std::string crashContext(const CrashRecord& record, const std::vector<std::string>& backtrace) {
    std::string context = "<Crash>\r\n" + tagged("Thread", record.threadName) +
                          tagged("ThreadId", std::to_string(record.threadId));
    if (record.uncaughtException) {
        context += tagged("Exception", record.exceptionType.empty()
                                           ? std::string("(unknown type)")
                                           : readableTypeName(record.exceptionType.c_str()));
    } else {
        context += tagged("Signal", signalName(record.signal)) +
                   tagged("SignalCode", std::to_string(record.signalCode));
        if (record.signal != SIGABRT) {
            context += tagged("FaultAddress", addressText(record.faultAddress));
        }
    }
    if (!record.exceptionCode.empty()) {
        context += tagged("ExceptionCode", "&H" + record.exceptionCode);
    }
    context += tagged("Time", utcTime(record.time)) + "<Backtrace>\r\n";
    for (const std::string& frame : backtrace) {
        context += frame + "\r\n";
    }
    return context + "</Backtrace>\r\n</Crash>";
}

RecordWriter& RecordWriter::raw(const char* text, std::size_t length) noexcept {
    while (length > 0) {
        if (used_ == sizeof buffer_) {
            flush();
        }
        const std::size_t part = std::min(length, sizeof buffer_ - used_);
        std::memcpy(buffer_ + used_, text, part);
        used_ += part;
        text += part;
        length -= part;
    }
    return *this;
}

RecordWriter& RecordWriter::raw(const char* text) noexcept {
    return raw(text, std::strlen(text));
}

RecordWriter& RecordWriter::clean(const char* text, std::size_t limit) noexcept {
    for (std::size_t i = 0; text != nullptr && text[i] != '\0' && i < limit; ++i) {
        const char c =
            static_cast<unsigned char>(text[i]) < 0x20 || text[i] == 0x7F ? ' ' : text[i];
        raw(&c, 1);
    }
    return *this;
}

RecordWriter& RecordWriter::decimal(std::int64_t value) noexcept {
    char text[24];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return raw(text, static_cast<std::size_t>(end - text));
}

RecordWriter& RecordWriter::hex(std::uint64_t value, int digits) noexcept {
    char text[16];
    std::size_t length = 0;
    do {
        ++length;
        text[sizeof text - length] = "0123456789ABCDEF"[value & 0xF];
        value >>= 4;
    } while ((value != 0 || length < static_cast<std::size_t>(digits)) && length < sizeof text);
    return raw(text + sizeof text - length, length);
}

RecordWriter& RecordWriter::field(const char* key, const char* value, std::size_t limit) noexcept {
    return raw(key).raw("=").clean(value, limit).raw("\n");
}

RecordWriter& RecordWriter::field(const char* key, std::int64_t value) noexcept {
    return raw(key).raw("=").decimal(value).raw("\n");
}

void RecordWriter::flush() noexcept {
    std::size_t done = 0;
    while (done < used_) {
        const ssize_t written = write(fd_, buffer_ + done, used_ - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            break;  // nothing more can be kept; the reader finds the record cut short
        }
        done += static_cast<std::size_t>(written);
    }
    used_ = 0;
}

}  // namespace kx::crash
