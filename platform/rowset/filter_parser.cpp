// Tokenizer and grammar of filter criteria. The grammar is parsed by recursive descent whose
// depth is bounded by the nesting limit, so hostile input cannot exhaust the stack.

#include <cstdio>
#include <optional>
#include <string>

#include "platform/rowset/ado_errors.h"
#include "platform/rowset/filter.h"
#include "platform/rowset/filter_syntax.h"
#include "platform/rowset/value_text.h"
#include "platform/text/ascii_text.h"

namespace kx::rowset::detail {

void raiseBadCriterion(std::string_view reason) {
    std::string detail = "The filter criterion is invalid: ";
    detail += reason;
    raiseAdoError(adoerr::kBadArguments, detail);
}

namespace {

enum class TokenKind { End, Open, Close, Name, Quoted, Hashed, Word, Operator };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;
    std::size_t offset = 0;
};

bool isWordChar(char c) {
    return !ascii::isWhitespace(c) && c != '(' && c != ')' && c != '[' && c != ']' && c != '\'' &&
           c != '#' && c != '=' && c != '<' && c != '>';
}

std::string at(std::size_t offset) {
    return " at position " + std::to_string(offset + 1);
}

class Tokenizer {
  public:
    explicit Tokenizer(std::string_view text) : text_(text) {}

    Token next() {
        while (pos_ < text_.size() && ascii::isWhitespace(text_[pos_])) {
            ++pos_;
        }
        Token token;
        token.offset = pos_;
        if (pos_ >= text_.size()) {
            return token;
        }
        const char c = text_[pos_];
        if (c == '(' || c == ')') {
            token.kind = c == '(' ? TokenKind::Open : TokenKind::Close;
            ++pos_;
        } else if (c == '[') {
            token.kind = TokenKind::Name;
            token.text = delimited(']', "a bracketed column name is not closed");
        } else if (c == '\'') {
            token.kind = TokenKind::Quoted;
            token.text = quoted();
        } else if (c == '#') {
            token.kind = TokenKind::Hashed;
            token.text = delimited('#', "a #-delimited value is not closed");
        } else if (c == '=' || c == '<' || c == '>') {
            token.kind = TokenKind::Operator;
            token.text = c;
            ++pos_;
            if (pos_ < text_.size() && c != '=' &&
                (text_[pos_] == '=' || (c == '<' && text_[pos_] == '>'))) {
                token.text += text_[pos_++];
            }
        } else if (c == ']') {
            raiseBadCriterion("unexpected ']'" + at(pos_));
        } else {
            token.kind = TokenKind::Word;
            while (pos_ < text_.size() && isWordChar(text_[pos_])) {
                token.text += text_[pos_++];
            }
        }
        return token;
    }

  private:
    std::string delimited(char close, std::string_view unclosed) {
        const std::size_t start = pos_++;
        const std::size_t end = text_.find(close, pos_);
        if (end == std::string_view::npos) {
            raiseBadCriterion(std::string(unclosed) + at(start));
        }
        std::string inner(text_.substr(pos_, end - pos_));
        pos_ = end + 1;
        return inner;
    }

    std::string quoted() {
        const std::size_t start = pos_++;
        std::string inner;
        while (pos_ < text_.size()) {
            if (text_[pos_] == '\'') {
                if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
                    inner += '\'';
                    pos_ += 2;
                    continue;
                }
                ++pos_;
                return inner;
            }
            inner += text_[pos_++];
        }
        raiseBadCriterion("a quoted value is not closed" + at(start));
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

bool isKeyword(const Token& token, std::string_view word) {
    return token.kind == TokenKind::Word && ascii::equalsNoCase(token.text, word);
}

std::string describe(const Token& token) {
    switch (token.kind) {
        case TokenKind::End:
            return "the end of the criterion";
        case TokenKind::Open:
            return "'('";
        case TokenKind::Close:
            return "')'";
        case TokenKind::Name:
            return "'[" + token.text + "]'";
        case TokenKind::Quoted:
            return "'''" + token.text + "'''";
        case TokenKind::Hashed:
            return "'#" + token.text + "#'";
        default:
            return "'" + token.text + "'";
    }
}

class Parser {
  public:
    explicit Parser(std::string_view text) : tokens_(text) { advance(); }

    RawCriterion parseAll() {
        RawCriterion result = parseOr(0);
        if (current_.kind != TokenKind::End) {
            raiseBadCriterion("expected AND, OR or the end, found " + describe(current_) +
                              at(current_.offset));
        }
        return result;
    }

  private:
    void advance() { current_ = tokens_.next(); }

    RawCriterion parseOr(int depth) {
        RawCriterion result = parseAnd(depth);
        while (isKeyword(current_, "OR")) {
            advance();
            RawCriterion more = parseAnd(depth);
            for (auto& group : more) {
                result.push_back(std::move(group));
            }
        }
        return result;
    }

    RawCriterion parseAnd(int depth) {
        RawCriterion result = parsePrimary(depth);
        while (isKeyword(current_, "AND")) {
            const std::size_t offset = current_.offset;
            advance();
            RawCriterion more = parsePrimary(depth);
            if (result.size() > 1 || more.size() > 1) {
                raiseBadCriterion("a parenthesised group joined by OR cannot be combined with AND" +
                                  at(offset) + "; write (A AND C) OR (B AND C) instead");
            }
            for (auto& clause : more.front()) {
                result.front().push_back(std::move(clause));
            }
        }
        return result;
    }

    RawCriterion parsePrimary(int depth) {
        if (current_.kind == TokenKind::Open) {
            if (depth >= kMaxNesting) {
                raiseBadCriterion("parentheses are nested more than " +
                                  std::to_string(kMaxNesting) + " levels deep");
            }
            advance();
            RawCriterion inner = parseOr(depth + 1);
            if (current_.kind != TokenKind::Close) {
                raiseBadCriterion("expected ')', found " + describe(current_) +
                                  at(current_.offset));
            }
            advance();
            return inner;
        }
        if (++clauseCount_ > kMaxClauses) {
            raiseBadCriterion("more than " + std::to_string(kMaxClauses) + " clauses");
        }
        return RawCriterion{{parseClause()}};
    }

    RawClause parseClause() {
        RawClause clause;
        if (current_.kind == TokenKind::Name ||
            (current_.kind == TokenKind::Word && !isKeyword(current_, "AND") &&
             !isKeyword(current_, "OR"))) {
            clause.column = current_.text;
        } else {
            raiseBadCriterion("expected a column name, found " + describe(current_) +
                              at(current_.offset));
        }
        advance();
        clause.op = parseOperator();
        clause.value = parseValue();
        if (clause.op == CompareOp::Like && clause.value.kind != Literal::Kind::Quoted &&
            clause.value.kind != Literal::Kind::Hashed) {
            raiseBadCriterion("LIKE needs a quoted pattern for column '" + clause.column + "'");
        }
        return clause;
    }

    CompareOp parseOperator() {
        const Token op = current_;
        advance();
        if (isKeyword(op, "LIKE")) {
            return CompareOp::Like;
        }
        if (op.kind == TokenKind::Operator) {
            if (op.text == "=")
                return CompareOp::Equal;
            if (op.text == "<>")
                return CompareOp::NotEqual;
            if (op.text == "<")
                return CompareOp::Less;
            if (op.text == ">")
                return CompareOp::Greater;
            if (op.text == "<=")
                return CompareOp::LessEqual;
            if (op.text == ">=")
                return CompareOp::GreaterEqual;
        }
        raiseBadCriterion("expected an operator (=, <>, <, >, <=, >=, LIKE), found " +
                          describe(op) + at(op.offset));
    }

    Literal parseValue() {
        const Token token = current_;
        advance();
        switch (token.kind) {
            case TokenKind::Quoted:
                return {Literal::Kind::Quoted, token.text};
            case TokenKind::Hashed:
                return {Literal::Kind::Hashed, token.text};
            case TokenKind::Word:
                if (ascii::equalsNoCase(token.text, "True") ||
                    ascii::equalsNoCase(token.text, "False")) {
                    return {Literal::Kind::Boolean, token.text};
                }
                if (ascii::equalsNoCase(token.text, "NULL")) {
                    raiseBadCriterion("Null cannot be used as a value" + at(token.offset));
                }
                if (!convertValue(DataType::adDouble, Variant(token.text))) {
                    raiseBadCriterion("'" + token.text +
                                      "' is not a number (text values go in quotes)" +
                                      at(token.offset));
                }
                return {Literal::Kind::Number, token.text};
            default:
                raiseBadCriterion("expected a value, found " + describe(token) + at(token.offset));
        }
    }

    Tokenizer tokens_;
    Token current_;
    std::size_t clauseCount_ = 0;
};

}  // namespace

RawCriterion parseCriterionSyntax(std::string_view text) {
    if (text.size() > kMaxCriterionLength) {
        raiseBadCriterion("it is longer than " + std::to_string(kMaxCriterionLength) +
                          " characters");
    }
    return Parser(text).parseAll();
}

}  // namespace kx::rowset::detail
