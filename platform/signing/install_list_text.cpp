#include "platform/signing/install_list_text.h"

#include <charconv>
#include <ctime>
#include <stdexcept>

#include "platform/runtime/number_text.h"
#include "platform/runtime/vb_convert.h"
#include "platform/text/utc_time_text.h"

namespace kx::signing {

namespace {

constexpr std::string_view kTag = "kxvantor-install-list";
constexpr std::string_view kSignaturePrefix = "INSTALL_";
constexpr std::string_view kSignatureSuffix = ".minisig";

bool needsEscape(unsigned char c) {
    return c < 0x20 || c == 0x7F || c == '%';
}

void appendEscaped(std::string& out, std::string_view cell) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char ch : cell) {
        const auto c = static_cast<unsigned char>(ch);
        if (needsEscape(c)) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        } else {
            out += ch;
        }
    }
}

std::optional<std::string> unescaped(std::string_view cell) {
    std::string out;
    for (std::size_t i = 0; i < cell.size(); ++i) {
        const auto c = static_cast<unsigned char>(cell[i]);
        if (c != '%') {
            if (needsEscape(c)) {
                return std::nullopt;
            }
            out += cell[i];
            continue;
        }
        const int high = i + 2 < cell.size() ? hexDigitValue(cell[i + 1]) : -1;
        const int low = high >= 0 ? hexDigitValue(cell[i + 2]) : -1;
        if (low < 0) {
            return std::nullopt;
        }
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::optional<std::int64_t> positiveNumber(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value <= 0) {
        return std::nullopt;
    }
    return value;
}

// The value after `name` + ":" in a comment's word.
std::optional<std::string_view> valueOf(std::string_view word, std::string_view name) {
    if (!word.starts_with(name) || word.size() <= name.size() || word[name.size()] != ':') {
        return std::nullopt;
    }
    return word.substr(name.size() + 1);
}

std::optional<std::int64_t> parseUtcTime(std::string_view text) {
    std::tm parts{};
    const std::string copy(text);
    const char* end = strptime(copy.c_str(), "%Y-%m-%dT%H:%M:%SZ", &parts);
    if (end == nullptr || *end != '\0') {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(timegm(&parts));
}

}  // namespace

std::string expiryText(std::int64_t unixSeconds) {
    return utcTimeText(unixSeconds) + "Z";
}

std::string listSignatureName(std::int64_t group) {
    return std::string(kSignaturePrefix) + std::to_string(group) + std::string(kSignatureSuffix);
}

std::optional<std::int64_t> groupOfSignatureName(std::string_view name) {
    if (!name.starts_with(kSignaturePrefix) || !name.ends_with(kSignatureSuffix)) {
        return std::nullopt;
    }
    const auto group = positiveNumber(name.substr(
        kSignaturePrefix.size(), name.size() - kSignaturePrefix.size() - kSignatureSuffix.size()));
    // Only the one spelling names the group's file (no leading zeros).
    if (!group || listSignatureName(*group) != name) {
        return std::nullopt;
    }
    return group;
}

std::string trustedCommentOf(const InstallListHeader& header) {
    return std::string(kTag) + " group:" + std::to_string(header.group) +
           " sequence:" + std::to_string(header.sequence) +
           " expires:" + expiryText(header.expiresAt);
}

std::optional<InstallListHeader> parseTrustedComment(std::string_view comment) {
    std::vector<std::string_view> words;
    for (std::size_t start = 0; start <= comment.size();) {
        const std::size_t end = std::min(comment.find(' ', start), comment.size());
        words.push_back(comment.substr(start, end - start));
        start = end + 1;
    }
    if (words.size() != 4 || words[0] != kTag) {
        return std::nullopt;
    }
    const auto group = valueOf(words[1], "group");
    const auto sequence = valueOf(words[2], "sequence");
    const auto expires = valueOf(words[3], "expires");
    if (!group || !sequence || !expires) {
        return std::nullopt;
    }
    InstallListHeader header;
    const auto groupId = positiveNumber(*group);
    const auto number = positiveNumber(*sequence);
    const auto time = parseUtcTime(*expires);
    if (!groupId || !number || !time) {
        return std::nullopt;
    }
    header = {*groupId, *number, *time};
    // Only the one spelling counts (no leading zeros, no other time forms).
    if (trustedCommentOf(header) != comment) {
        return std::nullopt;
    }
    return header;
}

SignedRowLines::SignedRowLines(const rowset::RowsetData& list) {
    for (const std::string_view column : kSignedColumns) {
        const auto ordinal = list.fieldIndex(column);
        if (!ordinal) {
            throw std::invalid_argument("the list has no column " + std::string(column));
        }
        columns_.push_back(column);
        ordinals_.push_back(*ordinal);
    }
    if (const auto patches = list.fieldIndex(kPatchesColumn)) {
        columns_.push_back(kPatchesColumn);
        ordinals_.push_back(*patches);
    }
}

std::string SignedRowLines::line(const rowset::Row& row) const {
    std::string out;
    for (std::size_t column = 0; column < ordinals_.size(); ++column) {
        if (column > 0) {
            out += '\t';
        }
        const Variant& value = row.values.at(ordinals_[column]);
        if (!value.isNull()) {
            appendEscaped(out, value.isString() ? value.asString() : CStr(value));
        }
    }
    return out;
}

std::string installListText(const InstallListHeader& header,
                            const std::vector<std::string_view>& columns,
                            const std::vector<std::string>& lines) {
    std::string text = std::string(kTag) + "\ngroup " + std::to_string(header.group) +
                       "\nsequence " + std::to_string(header.sequence) + "\nexpires " +
                       expiryText(header.expiresAt) + "\ncolumns";
    for (const std::string_view column : columns) {
        text += ' ';
        text += column;
    }
    text += '\n';
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

std::optional<std::vector<std::string>> cellsOfLine(std::string_view line) {
    std::vector<std::string> cells;
    for (std::size_t start = 0; start <= line.size();) {
        const std::size_t end = std::min(line.find('\t', start), line.size());
        auto cell = unescaped(line.substr(start, end - start));
        if (!cell) {
            return std::nullopt;
        }
        cells.push_back(std::move(*cell));
        start = end + 1;
    }
    if (cells.size() != kSignedColumns.size() && cells.size() != kSignedColumns.size() + 1) {
        return std::nullopt;
    }
    return cells;
}

}  // namespace kx::signing
