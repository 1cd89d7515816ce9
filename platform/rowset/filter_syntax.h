#pragma once
// The syntax of filter criteria before it is bound to columns (filter.h describes the
// language). Internal to the row-set library.

#include <string>
#include <string_view>
#include <vector>

namespace kx::rowset::detail {

enum class CompareOp { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual, Like };

struct Literal {
    enum class Kind { Quoted, Hashed, Number, Boolean };
    Kind kind = Kind::Quoted;
    std::string text;  // without delimiters, doubled apostrophes undone
};

struct RawClause {
    std::string column;
    CompareOp op = CompareOp::Equal;
    Literal value;
};

// An OR of AND-groups.
using RawCriterion = std::vector<std::vector<RawClause>>;

// Parses the criterion; raises run-time error 3001 naming the fault.
RawCriterion parseCriterionSyntax(std::string_view text);

// Raises run-time error 3001 with "The filter criterion is invalid: " + reason.
[[noreturn]] void raiseBadCriterion(std::string_view reason);

}  // namespace kx::rowset::detail
