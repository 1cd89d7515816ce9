// Reading dates from text (parseDateText, IsDate, CDate); the accepted forms are listed in
// vb_date.h.

#include <array>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

#include "platform/runtime/run_time_error.h"
#include "platform/runtime/vb_date.h"
#include "platform/runtime/vb_strings.h"
#include "platform/text/ascii_text.h"

namespace kx {

namespace {

using ascii::isDigit;
using ascii::isLetter;

using CharClass = bool (*)(char);

// What separates the parts of a date text: the US literal knows only spaces.
CharClass blanksOf(DateTextRules rules) {
    return rules == DateTextRules::UsLiteral ? [](char c) { return c == ' '; } : ascii::isBlank;
}

// The value of an all-digit text of 1 to 4 digits, or -1.
int smallNumber(std::string_view digits) {
    if (digits.empty() || digits.size() > 4) {
        return -1;
    }
    int value = 0;
    for (char c : digits) {
        if (!isDigit(c)) {
            return -1;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

// Years of one or two digits fall in 1930..2029.
int expandYear(std::string_view digits) {
    const int value = smallNumber(digits);
    if (value < 0 || digits.size() > 2) {
        return value;
    }
    return value < 30 ? 2000 + value : 1900 + value;
}

int monthNumber(std::string_view word) {
    static constexpr std::array<std::string_view, 12> kMonths = {
        "january", "february", "march",     "april",   "may",      "june",
        "july",    "august",   "september", "october", "november", "december"};
    const std::string lower = LCase(word);
    for (std::size_t i = 0; i < kMonths.size(); ++i) {
        if (lower == kMonths[i] || (lower.size() == 3 && kMonths[i].substr(0, 3) == lower)) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

// ---- ISO 8601 ---------------------------------------------------------------------------------

// A cursor for the fixed-width ISO form.
class IsoCursor {
  public:
    explicit IsoCursor(std::string_view text) : text_(text) {}
    bool atEnd() const { return pos_ == text_.size(); }
    bool accept(char c) {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
    // Exactly `width` digits, or -1.
    int digits(std::size_t width) {
        if (text_.size() - pos_ < width) {
            return -1;
        }
        const int value = smallNumber(text_.substr(pos_, width));
        if (value >= 0) {
            pos_ += width;
        }
        return value;
    }
    // Digits of a fraction of a second, as whole milliseconds; digits beyond the third are
    // dropped.
    int milliseconds() {
        int value = 0;
        int scale = 100;
        while (isDigit(peek())) {
            value += (peek() - '0') * scale;
            scale /= 10;
            ++pos_;
        }
        return value;
    }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// "Z" (0) or an offset +hh[[:]mm] / -hh[[:]mm] in seconds east of UTC; nothing when malformed or
// beyond the 14 hours that real zones span.
std::optional<int> isoOffset(IsoCursor& in) {
    if (in.accept('Z') || in.accept('z')) {
        return 0;
    }
    const int sign = in.accept('+') ? 1 : (in.accept('-') ? -1 : 0);
    if (sign == 0) {
        return std::nullopt;
    }
    const int hours = in.digits(2);
    int minutes = 0;
    if (!in.atEnd()) {
        in.accept(':');
        minutes = in.digits(2);
    }
    if (hours < 0 || hours > 14 || minutes < 0 || minutes > 59) {
        return std::nullopt;
    }
    return sign * (hours * 3600 + minutes * 60);
}

}  // namespace

std::optional<OleDate> parseIsoDateTime(std::string_view text) {
    IsoCursor in(text);
    DateParts parts;
    parts.year = in.digits(4);
    if (parts.year < 0 || !in.accept('-') || (parts.month = in.digits(2)) < 0 || !in.accept('-') ||
        (parts.day = in.digits(2)) < 0) {
        return std::nullopt;
    }
    int offset = 0;
    if (!in.atEnd()) {
        if (!(in.accept('T') || in.accept('t') || in.accept(' ')) ||
            (parts.hour = in.digits(2)) < 0 || !in.accept(':') ||
            (parts.minute = in.digits(2)) < 0) {
            return std::nullopt;
        }
        if (in.accept(':')) {
            if ((parts.second = in.digits(2)) < 0) {
                return std::nullopt;
            }
            if (in.accept('.') || in.accept(',')) {
                if (!isDigit(in.peek())) {
                    return std::nullopt;
                }
                parts.millisecond = in.milliseconds();
            }
        }
        if (!in.atEnd()) {
            const auto zone = isoOffset(in);
            if (!zone || !in.atEnd()) {
                return std::nullopt;
            }
            offset = *zone;
        }
    }
    const auto date = dateFromParts(parts);
    if (!date) {
        return std::nullopt;
    }
    return offset == 0 ? date : addSeconds(*date, -offset);
}

namespace {

// ---- US general form and month names ----------------------------------------------------------

struct Token {
    enum Kind : std::uint8_t { Number, Word, Mark } kind;
    std::string_view text;
};

// Splits into digit runs, letter runs and single marks; blanks only separate. Any other
// character makes the text unreadable.
std::optional<std::vector<Token>> tokenize(std::string_view text, CharClass isBlank) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        std::size_t end = i + 1;
        if (isBlank(c)) {
            i = end;
            continue;
        }
        Token::Kind kind = Token::Mark;
        if (isDigit(c) || isLetter(c)) {
            const CharClass sameKind = isDigit(c) ? isDigit : isLetter;
            while (end < text.size() && sameKind(text[end])) {
                ++end;
            }
            kind = isDigit(c) ? Token::Number : Token::Word;
        } else if (c != '/' && c != '-' && c != ':' && c != ',') {
            return std::nullopt;
        }
        tokens.push_back({kind, text.substr(i, end - i)});
        i = end;
    }
    return tokens;
}

class TokenCursor {
  public:
    explicit TokenCursor(const std::vector<Token>& tokens) : tokens_(tokens) {}
    bool atEnd() const { return pos_ == tokens_.size(); }
    const Token* peek(std::size_t ahead = 0) const {
        return pos_ + ahead < tokens_.size() ? &tokens_[pos_ + ahead] : nullptr;
    }
    bool isMark(char mark, std::size_t ahead = 0) const {
        const Token* t = peek(ahead);
        return t != nullptr && t->kind == Token::Mark && t->text.front() == mark;
    }
    bool is(Token::Kind kind, std::size_t ahead = 0) const {
        const Token* t = peek(ahead);
        return t != nullptr && t->kind == kind;
    }
    std::string_view take() { return tokens_[pos_++].text; }
    std::optional<std::string_view> takeNumber() {
        if (!is(Token::Number)) {
            return std::nullopt;
        }
        return take();
    }
    bool acceptMark(char mark) {
        if (isMark(mark)) {
            ++pos_;
            return true;
        }
        return false;
    }
    // Accepts "/" or "-", and only the one used before, if any.
    bool acceptDateSeparator(char& used) {
        for (const char mark : {'/', '-'}) {
            if (isMark(mark) && (used == '\0' || used == mark)) {
                ++pos_;
                used = mark;
                return true;
            }
        }
        return false;
    }

  private:
    const std::vector<Token>& tokens_;
    std::size_t pos_ = 0;
};

// AM or PM in any case; the US literal takes only "AM", "am", "PM" and "pm".
bool isAmPm(const Token* token, bool literal) {
    if (token == nullptr || token->kind != Token::Word) {
        return false;
    }
    if (literal) {
        return token->text == "AM" || token->text == "am" || token->text == "PM" ||
               token->text == "pm";
    }
    const std::string upper = UCase(token->text);
    return upper == "AM" || upper == "PM";
}

// Numbers of up to two digits for month, day, hour, minute, second.
int shortNumber(std::string_view text) {
    return text.size() <= 2 ? smallNumber(text) : -1;
}

// The same for a token that may be missing (-1 then).
int shortNumber(std::optional<std::string_view> text) {
    return text ? shortNumber(*text) : -1;
}

// A year of one to four digits, two-digit years expanded.
bool readYear(TokenCursor& in, DateParts& parts) {
    const auto year = in.takeNumber();
    parts.year = year ? expandYear(*year) : -1;
    return parts.year >= 0;
}

// Day, month name and year: "28-Apr-2014", "28 April, 2014"; a mixed "28-Apr/2014" is refused.
bool readDayMonthNameYear(TokenCursor& in, std::string_view day, char separator, DateParts& parts) {
    parts.day = shortNumber(day);
    parts.month = monthNumber(in.take());
    if (!in.acceptDateSeparator(separator)) {
        in.acceptMark(',');
    }
    return readYear(in, parts);
}

// Month first ("4/28/2014"), year first ("2014/4/28"), or a day before a month name.
bool readDateStartingWithNumber(TokenCursor& in, DateParts& parts) {
    const std::string_view first = in.take();
    char separator = '\0';
    const bool separated = in.acceptDateSeparator(separator);
    if (in.is(Token::Word)) {
        return readDayMonthNameYear(in, first, separator, parts);
    }
    const auto second = separated ? in.takeNumber() : std::nullopt;
    if (!second || !in.acceptDateSeparator(separator)) {
        return false;
    }
    if (first.size() >= 3) {
        parts.year = smallNumber(first);
        parts.month = shortNumber(*second);
        parts.day = shortNumber(in.takeNumber());
        return parts.year >= 0;
    }
    parts.month = shortNumber(first);
    parts.day = shortNumber(*second);
    return readYear(in, parts);
}

// "April 28, 2014", "Apr 28 2014".
bool readDateStartingWithMonth(TokenCursor& in, DateParts& parts) {
    parts.month = monthNumber(in.take());
    parts.day = shortNumber(in.takeNumber());
    in.acceptMark(',');
    return readYear(in, parts);
}

// The US literal: m/d/yy or m/d/yyyy.
bool readUsLiteralDate(TokenCursor& in, DateParts& parts) {
    parts.month = shortNumber(in.takeNumber());
    if (!in.acceptMark('/')) {
        return false;
    }
    parts.day = shortNumber(in.takeNumber());
    if (!in.acceptMark('/')) {
        return false;
    }
    const auto year = in.takeNumber();
    if (!year || (year->size() != 2 && year->size() != 4)) {
        return false;
    }
    parts.year = expandYear(*year);
    return parts.month >= 0 && parts.day >= 0;
}

// Minutes and seconds; the US literal writes them with two digits.
int clockNumber(std::optional<std::string_view> text, bool literal) {
    return text && (!literal || text->size() == 2) ? shortNumber(*text) : -1;
}

// h:mm[:ss] [AM|PM] or h AM|PM; the US literal has no "h AM" and takes AM and PM for hours 1-12
// only.
bool readTime(TokenCursor& in, DateParts& parts, bool literal) {
    parts.hour = shortNumber(in.take());
    if (in.acceptMark(':')) {
        parts.minute = clockNumber(in.takeNumber(), literal);
        if (in.acceptMark(':')) {
            parts.second = clockNumber(in.takeNumber(), literal);
        }
    } else if (literal || !isAmPm(in.peek(), literal)) {
        return false;
    }
    if (isAmPm(in.peek(), literal)) {
        const bool pm = UCase(in.take()) == "PM";
        if (parts.hour < (literal ? 1 : 0) || parts.hour > 12) {
            return false;
        }
        parts.hour = parts.hour % 12 + (pm ? 12 : 0);
    }
    return parts.hour >= 0 && parts.minute >= 0 && parts.second >= 0;
}

bool startsTime(const TokenCursor& in, bool literal) {
    return in.is(Token::Number) && (in.isMark(':', 1) || isAmPm(in.peek(1), literal));
}

bool readDate(TokenCursor& in, DateParts& parts, bool literal) {
    if (literal) {
        return readUsLiteralDate(in, parts);
    }
    if (startsTime(in, literal)) {
        return true;  // a time alone is a time of 30 December 1899
    }
    return in.is(Token::Word) ? readDateStartingWithMonth(in, parts)
                              : readDateStartingWithNumber(in, parts);
}

std::optional<OleDate> parseGeneralDate(std::string_view text, DateTextRules rules) {
    const auto tokens = tokenize(text, blanksOf(rules));
    if (!tokens || tokens->empty()) {
        return std::nullopt;
    }
    const bool literal = rules == DateTextRules::UsLiteral;
    TokenCursor in(*tokens);
    DateParts parts;
    if (!readDate(in, parts, literal)) {
        return std::nullopt;
    }
    if (!in.atEnd() && !(startsTime(in, literal) && readTime(in, parts, literal))) {
        return std::nullopt;
    }
    if (!in.atEnd()) {
        return std::nullopt;
    }
    return dateFromParts(parts);
}

}  // namespace

std::optional<OleDate> parseDateText(std::string_view text, DateTextRules rules) {
    const std::string_view trimmed = ascii::trimmed(text, blanksOf(rules));
    if (auto iso = parseIsoDateTime(trimmed)) {
        return iso;
    }
    return parseGeneralDate(trimmed, rules);
}

bool IsDate(const Variant& value) {
    if (value.type() == VarType::Date) {
        return true;
    }
    return value.isString() && parseDateText(value.asString()).has_value();
}

OleDate CDate(const Variant& value) {
    switch (value.type()) {
        case VarType::Date:
            return value.asDate();
        case VarType::Empty:
            return OleDate{0.0};
        case VarType::Null:
            raiseError(vberr::kInvalidUseOfNull);
        case VarType::String: {
            const auto date = parseDateText(value.asString());
            if (!date) {
                raiseError(vberr::kTypeMismatch);
            }
            return *date;
        }
        default:
            break;
    }
    if (!value.isNumeric()) {
        raiseError(vberr::kTypeMismatch);
    }
    const OleDate date{value.numberValue()};
    if (!addSeconds(date, 0.0)) {
        raiseError(vberr::kOverflow);
    }
    return date;
}

}  // namespace kx
