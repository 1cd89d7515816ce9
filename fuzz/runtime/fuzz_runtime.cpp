// Arbitrary text through the runtime's number and date readers, Format and the string functions.
// Besides "never crash", checks the properties the callers rely on: a date that is read can be
// written and read back to the same second, case mapping keeps the byte length, and a text that
// IsNumeric accepts converts with CDbl.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/runtime/run_time_error.h"
#include "platform/runtime/vb_convert.h"
#include "platform/runtime/vb_date.h"
#include "platform/runtime/vb_format.h"
#include "platform/runtime/vb_strings.h"

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

template <typename Statement>
void ignoringRuntimeErrors(Statement&& statement) {
    try {
        statement();
    } catch (const kx::RuntimeError&) {
    }
}

void fuzzDates(std::string_view text) {
    const auto date = kx::parseDateText(text);
    check(date.has_value() == kx::IsDate(std::string(text)));
    if (date) {
        const std::string shown = kx::formatGeneralDate(*date);
        const auto again = kx::parseDateText(shown);
        check(again.has_value());
        check(kx::partsOfDate(*again) == kx::partsOfDate(*date));
    }
}

void fuzzNumbers(const std::string& text) {
    if (kx::IsNumeric(text)) {
        (void)kx::CDbl(text);  // must not raise
    }
    ignoringRuntimeErrors([&] { (void)kx::CInt(text); });
    ignoringRuntimeErrors([&] { (void)kx::CLngLng(text); });
    ignoringRuntimeErrors([&] { (void)kx::CStr(kx::CDbl(text)); });
}

void fuzzFormatAndStrings(std::string_view data) {
    // The first line is a pattern, the rest the value.
    const auto newline = data.find('\n');
    const std::string_view pattern = data.substr(0, std::min(newline, data.size()));
    const std::string value(newline == std::string_view::npos ? "" : data.substr(newline + 1));
    ignoringRuntimeErrors([&] { (void)kx::Format(value, pattern); });
    ignoringRuntimeErrors(
        [&] { (void)kx::Format(static_cast<std::int64_t>(value.size()) - 7, pattern); });
    ignoringRuntimeErrors(
        [&] { (void)kx::Format(1.0 / (1.0 + static_cast<double>(value.size())), pattern); });
    check(kx::UCase(data).size() == data.size());
    check(kx::LCase(data).size() == data.size());
    ignoringRuntimeErrors([&] {
        (void)kx::InStr(1, value, pattern, kx::CompareMethod::Text);
        (void)kx::Replace(value, pattern, "x", 1, -1, kx::CompareMethod::Text);
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) {
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(data), size);
    fuzzDates(text);
    fuzzNumbers(text);
    fuzzFormatAndStrings(text);
    return 0;
}
