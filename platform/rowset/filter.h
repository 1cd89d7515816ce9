#pragma once
// Filter criteria and Find criteria, as the row-set engine understands them.
//
// A clause is `column operator value`: the column bare or in [brackets]; the operators
// = <> < > <= >= and LIKE; the value a 'quoted text' (an apostrophe inside written twice), a
// #delimited# text or date, a number (sign, '$', decimal point and exponent allowed) or the
// words True/False. LIKE takes a quoted pattern with * or % at the end ('Smi*') or at both
// ends ('*mit*'); without a wildcard it is equality. Clauses join with AND and OR. AND binds
// tighter than OR (a criterion is an OR of AND-groups), parentheses group clauses, and a
// parenthesised group that contains OR may not be AND-ed with anything else: such criteria are
// refused as the old engine refused them. Text compares ignoring letter case; a value compared
// with a column of another type is converted to that type once, when the criterion is set, and
// a value that cannot be converted is refused. A Null cell matches no clause.
//
// Criteria are bounded: at most kMaxCriterionLength characters, kMaxNesting levels of
// parentheses and kMaxClauses clauses. Every fault raises run-time error 3001 with a
// description naming what is wrong.

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/rowset/field_info.h"
#include "platform/runtime/variant.h"

namespace kx::rowset {

inline constexpr std::size_t kMaxCriterionLength = 64 * 1024;
inline constexpr int kMaxNesting = 32;
inline constexpr std::size_t kMaxClauses = 4096;

class Criterion {
  public:
    // Parses `text` and binds it to `fields`. Raises 3001 on any fault.
    static Criterion parse(std::string_view text, const std::vector<FieldInfo>& fields);

    // Whether a row (one value per field) satisfies the criterion.
    bool matches(const std::vector<Variant>& row) const;
    // A single clause, as Find requires.
    bool isSingleClause() const;

    struct Clause;
    using AndGroup = std::vector<Clause>;

    Criterion(Criterion&&) noexcept;
    Criterion& operator=(Criterion&&) noexcept;
    ~Criterion();

  private:
    explicit Criterion(std::vector<AndGroup> groups);
    std::vector<AndGroup> groups_;
};

}  // namespace kx::rowset
