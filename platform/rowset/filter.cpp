// Binding parsed criteria to columns and evaluating them on rows.

#include "platform/rowset/filter.h"

#include <optional>
#include <string>

#include "platform/rowset/filter_syntax.h"
#include "platform/rowset/text_fold.h"
#include "platform/rowset/value_text.h"
#include "platform/runtime/vb_date.h"

namespace kx::rowset {

using detail::CompareOp;
using detail::Literal;
using detail::raiseBadCriterion;

enum class LikeMode { Equal, Prefix, Contains };

struct Criterion::Clause {
    std::size_t field = 0;
    ValueKind kind = ValueKind::Text;
    CompareOp op = CompareOp::Equal;
    Variant value;  // the literal in the column's storage kind (comparisons)
    LikeMode like = LikeMode::Equal;
    std::string foldedPattern;  // LIKE: the pattern without wildcards, case-folded
};

namespace {

bool isWildcard(char c) {
    return c == '*' || c == '%';
}

void bindLike(Criterion::Clause& clause, const std::string& pattern, const std::string& column) {
    std::string_view inner = pattern;
    const bool leading = !inner.empty() && isWildcard(inner.front());
    if (leading) {
        inner.remove_prefix(1);
    }
    const bool trailing = !inner.empty() && isWildcard(inner.back());
    if (trailing) {
        inner.remove_suffix(1);
    }
    for (char c : inner) {
        if (isWildcard(c)) {
            raiseBadCriterion("the LIKE pattern '" + pattern + "' for column '" + column +
                              "' has a wildcard inside; only 'abc*' and '*abc*' are supported");
        }
    }
    if (leading && !trailing && pattern.size() > 1) {
        raiseBadCriterion("the LIKE pattern '" + pattern + "' for column '" + column +
                          "' starts with a wildcard but does not end with one");
    }
    clause.like = leading && trailing     ? LikeMode::Contains
                  : (leading || trailing) ? LikeMode::Prefix
                                          : LikeMode::Equal;
    clause.foldedPattern = foldCase(inner);
}

Criterion::Clause bindClause(const detail::RawClause& raw, const std::vector<FieldInfo>& fields) {
    Criterion::Clause clause;
    std::optional<std::size_t> index;
    for (std::size_t i = 0; i < fields.size() && !index; ++i) {
        if (equalsFolded(fields[i].name, raw.column)) {
            index = i;
        }
    }
    if (!index) {
        raiseBadCriterion("there is no column named '" + raw.column + "'");
    }
    const FieldInfo& field = fields[*index];
    clause.field = *index;
    clause.kind = valueKindOf(field.type);
    clause.op = raw.op;
    if (clause.kind == ValueKind::Bytes) {
        raiseBadCriterion("binary column '" + field.name + "' cannot be filtered");
    }
    if (raw.op == CompareOp::Like) {
        bindLike(clause, raw.value.text, field.name);
        return clause;
    }
    auto converted = convertValue(field.type, Variant(raw.value.text));
    if (!converted) {
        raiseBadCriterion("the value '" + raw.value.text + "' cannot be compared with column '" +
                          field.name + "' of type " + std::string(dataTypeName(field.type)));
    }
    clause.value = std::move(*converted);
    return clause;
}

std::int64_t integerOf(const Variant& v) {
    const auto& s = v.storage();
    if (const auto* p = std::get_if<std::int16_t>(&s))
        return *p;
    if (const auto* p = std::get_if<std::uint8_t>(&s))
        return *p;
    if (const auto* p = std::get_if<std::int32_t>(&s))
        return *p;
    return std::get<std::int64_t>(s);
}

template <typename T>
int order(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Both values have the storage of `kind`.
int compareStored(ValueKind kind, const Variant& a, const Variant& b) {
    switch (kind) {
        case ValueKind::Text:
            return compareFolded(a.asString(), b.asString());
        case ValueKind::Currency:
            return order(a.asCurrency().scaled, b.asCurrency().scaled);
        case ValueKind::Date: {
            // Chronologically: before 1899-12-30 the raw serials do not sort by time of day.
            const auto c = compareDates(a.asDate(), b.asDate());
            return c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
        case ValueKind::Single:
        case ValueKind::Double:
        case ValueKind::Boolean:
            return order(a.numberValue(), b.numberValue());
        default:
            return order(integerOf(a), integerOf(b));
    }
}

bool matchesLike(const Criterion::Clause& clause, const Variant& cell) {
    auto text = textOfValue(cell);
    if (!text) {
        return false;
    }
    const std::string folded = foldCase(*text);
    switch (clause.like) {
        case LikeMode::Equal:
            return folded == clause.foldedPattern;
        case LikeMode::Prefix:
            return folded.starts_with(clause.foldedPattern);
        case LikeMode::Contains:
            return folded.find(clause.foldedPattern) != std::string::npos;
    }
    return false;
}

bool matchesClause(const Criterion::Clause& clause, const std::vector<Variant>& row) {
    const Variant& cell = row[clause.field];
    if (cell.isNull() || cell.isEmpty()) {
        return false;
    }
    if (clause.op == CompareOp::Like) {
        return matchesLike(clause, cell);
    }
    const int c = compareStored(clause.kind, cell, clause.value);
    switch (clause.op) {
        case CompareOp::Equal:
            return c == 0;
        case CompareOp::NotEqual:
            return c != 0;
        case CompareOp::Less:
            return c < 0;
        case CompareOp::Greater:
            return c > 0;
        case CompareOp::LessEqual:
            return c <= 0;
        case CompareOp::GreaterEqual:
            return c >= 0;
        case CompareOp::Like:
            break;
    }
    return false;
}

}  // namespace

Criterion::Criterion(std::vector<AndGroup> groups) : groups_(std::move(groups)) {}
Criterion::Criterion(Criterion&&) noexcept = default;
Criterion& Criterion::operator=(Criterion&&) noexcept = default;
Criterion::~Criterion() = default;

Criterion Criterion::parse(std::string_view text, const std::vector<FieldInfo>& fields) {
    const detail::RawCriterion raw = detail::parseCriterionSyntax(text);
    std::vector<AndGroup> groups;
    groups.reserve(raw.size());
    for (const auto& rawGroup : raw) {
        AndGroup group;
        group.reserve(rawGroup.size());
        for (const auto& rawClause : rawGroup) {
            group.push_back(bindClause(rawClause, fields));
        }
        groups.push_back(std::move(group));
    }
    return Criterion(std::move(groups));
}

bool Criterion::matches(const std::vector<Variant>& row) const {
    for (const AndGroup& group : groups_) {
        bool all = true;
        for (const Clause& clause : group) {
            if (!matchesClause(clause, row)) {
                all = false;
                break;
            }
        }
        if (all) {
            return true;
        }
    }
    return false;
}

bool Criterion::isSingleClause() const {
    return groups_.size() == 1 && groups_.front().size() == 1;
}

}  // namespace kx::rowset
