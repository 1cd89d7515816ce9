#include "platform/runtime/vb_format.h"

#include <cstdint>
#include <vector>

#include "platform/runtime/decimal_number.h"
#include "platform/runtime/number_text.h"
#include "platform/runtime/run_time_error.h"
#include "platform/runtime/vb_convert.h"

namespace kx {

namespace {

// One section of a pattern, read into placeholders and literal text.
struct Section {
    enum class Kind : std::uint8_t { Digit0, DigitHash, Point, Literal };
    struct Item {
        Kind kind;
        std::string text;  // for literals
    };
    std::vector<Item> items;
    int integerPlaceholders = 0;
    int fractionPlaceholders = 0;
    int minimumIntegerDigits = 0;   // placeholders from the first "0" before the point on
    int minimumFractionDigits = 0;  // placeholders up to the last "0" after the point
    bool grouped = false;
    int scaleCommas = 0;  // each divides by 1000
    int percents = 0;     // each multiplies by 100
    bool hasPoint = false;
};

// Splits a pattern at the ";" that are not quoted or escaped.
std::vector<std::string_view> splitSections(std::string_view pattern) {
    std::vector<std::string_view> sections;
    std::size_t begin = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '"') {
            quoted = !quoted;
        } else if (pattern[i] == '\\' && !quoted) {
            ++i;
        } else if (pattern[i] == ';' && !quoted) {
            sections.push_back(pattern.substr(begin, i - begin));
            begin = i + 1;
        }
    }
    sections.push_back(pattern.substr(std::min(begin, pattern.size())));
    return sections;
}

class SectionReader {
  public:
    Section read(std::string_view text) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '"') {
                const auto close = text.find('"', i + 1);
                const auto end = close == std::string_view::npos ? text.size() : close;
                addLiteral(text.substr(i + 1, end - i - 1));
                i = end;
            } else if (c == '\\') {
                if (i + 1 < text.size()) {
                    addLiteral(text.substr(++i, 1));
                }
            } else if (c == '0' || c == '#') {
                addDigit(c == '0');
            } else if (c == '.' && !section_.hasPoint) {
                closeIntegerPart();
                section_.hasPoint = true;
                section_.items.push_back({Section::Kind::Point, {}});
            } else if (c == ',') {
                // After the point commas mean nothing; before it, their meaning depends on
                // whether another digit placeholder follows.
                pendingCommas_ += section_.hasPoint || section_.integerPlaceholders == 0 ? 0 : 1;
            } else if (c == '%') {
                ++section_.percents;
                addLiteral("%");
            } else {
                addLiteral(text.substr(i, 1));
            }
        }
        closeIntegerPart();
        return std::move(section_);
    }

  private:
    void addLiteral(std::string_view text) {
        if (!section_.items.empty() && section_.items.back().kind == Section::Kind::Literal) {
            section_.items.back().text += text;
        } else {
            section_.items.push_back({Section::Kind::Literal, std::string(text)});
        }
    }

    void addDigit(bool zero) {
        section_.items.push_back({zero ? Section::Kind::Digit0 : Section::Kind::DigitHash, {}});
        if (section_.hasPoint) {
            ++section_.fractionPlaceholders;
            if (zero) {
                section_.minimumFractionDigits = section_.fractionPlaceholders;
            }
            return;
        }
        section_.grouped = section_.grouped || pendingCommas_ > 0;
        pendingCommas_ = 0;
        ++section_.integerPlaceholders;
        if (zero || section_.minimumIntegerDigits > 0) {
            ++section_.minimumIntegerDigits;
        }
    }

    // Commas with no digit placeholder after them (before the point or the end) scale.
    void closeIntegerPart() {
        section_.scaleCommas += pendingCommas_;
        pendingCommas_ = 0;
    }

    Section section_;
    int pendingCommas_ = 0;
};

// Places the digits of `number` (already scaled, not negative) into the section's placeholders.
std::string renderSection(const Section& section, const DecimalNumber& number) {
    const DecimalNumber rounded =
        roundToPlaces(number, section.fractionPlaceholders, Rounding::HalfAwayFromZero);
    std::string whole = integerDigits(rounded);
    if (static_cast<int>(whole.size()) < section.minimumIntegerDigits) {
        whole.insert(0, static_cast<std::size_t>(section.minimumIntegerDigits) - whole.size(), '0');
    }
    std::string fraction = fractionDigits(rounded, section.fractionPlaceholders);
    while (static_cast<int>(fraction.size()) > section.minimumFractionDigits &&
           fraction.back() == '0') {
        fraction.pop_back();
    }

    const auto wholeCount = static_cast<std::int64_t>(whole.size());
    std::string out;
    const auto emitWholeDigits = [&](std::int64_t from, std::int64_t to) {
        for (std::int64_t p = std::max<std::int64_t>(from, 0); p < to; ++p) {
            out += whole[static_cast<std::size_t>(p)];
            const std::int64_t placeValue = wholeCount - 1 - p;
            if (section.grouped && placeValue > 0 && placeValue % 3 == 0) {
                out += ',';
            }
        }
    };
    // The k-th integer placeholder takes digit wholeCount - placeholders + k; the first one also
    // takes every extra digit in front of it.
    std::int64_t integerIndex = 0;
    std::size_t fractionIndex = 0;
    const std::int64_t firstDigit = wholeCount - section.integerPlaceholders;
    for (const Section::Item& item : section.items) {
        switch (item.kind) {
            case Section::Kind::Literal:
                out += item.text;
                break;
            case Section::Kind::Point:
                if (section.integerPlaceholders == 0) {
                    emitWholeDigits(0, wholeCount);
                }
                out += '.';
                break;
            case Section::Kind::Digit0:
            case Section::Kind::DigitHash:
                if (section.hasPoint && integerIndex == section.integerPlaceholders) {
                    if (fractionIndex < fraction.size()) {
                        out += fraction[fractionIndex];
                    }
                    ++fractionIndex;
                } else {
                    const std::int64_t at = firstDigit + integerIndex;
                    emitWholeDigits(integerIndex == 0 ? 0 : at, at + 1);
                    ++integerIndex;
                }
                break;
        }
    }
    return out;
}

std::string formatNumber(const DecimalNumber& value, std::string_view sectionText, bool showSign) {
    const Section section = SectionReader().read(sectionText);
    DecimalNumber magnitude = value;
    magnitude.negative = false;
    if (!magnitude.isZero()) {
        magnitude.exponent += 2 * section.percents - 3 * section.scaleCommas;
    }
    const std::string digits = renderSection(section, magnitude);
    // A number that rounds to zero in this section shows no sign.
    const bool roundsToZero =
        roundToPlaces(magnitude, section.fractionPlaceholders, Rounding::HalfAwayFromZero).isZero();
    return showSign && value.negative && !roundsToZero ? "-" + digits : digits;
}

// The literal text of a section, for the Null section.
std::string literalText(std::string_view sectionText) {
    std::string text;
    for (const auto& item : SectionReader().read(sectionText).items) {
        text += item.text;
    }
    return text;
}

}  // namespace

std::string Format(const Variant& value, std::string_view pattern) {
    if (value.isNull()) {
        const auto sections = splitSections(pattern);
        return sections.size() >= 4 ? literalText(sections[3]) : std::string();
    }
    if (pattern.empty()) {
        return CStr(value);
    }
    DecimalNumber number;
    if (value.isString()) {
        // Text that is not a number is shown as it is; numeric text is read as a Double.
        if (!parseNumberText(value.asString())) {
            return value.asString();
        }
        number = decimalValue(Variant(CDbl(value)));
    } else {
        number = decimalValue(value);
    }
    const auto sections = splitSections(pattern);
    if (number.negative && sections.size() >= 2 && !sections[1].empty()) {
        return formatNumber(number, sections[1], false);
    }
    if (number.isZero() && sections.size() >= 3 && !sections[2].empty()) {
        return formatNumber(number, sections[2], false);
    }
    return formatNumber(number, sections[0], true);
}

}  // namespace kx
