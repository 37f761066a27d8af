// The engine's local SQL: the two statements it runs on a table named by its
// path.
//
//   SELECT * | field {, field} FROM table [ORDER BY field [ASC|DESC] {, ...}]
//   DELETE FROM table [WHERE field op literal]      op: < <= = <> >= >
//
// Keywords ignore case; a table is a path in double quotes or a plain name;
// a field is a name, or any text in double quotes where no literal can stand;
// a literal is text in double or single quotes, or a number. Text between
// quotes is taken as it stands (a doubled quote stands for one), so a colon
// after a drive letter is no parameter marker. A final ";" is allowed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "paradox/status.h"

namespace paradox {

enum class CompareOp { kLess, kLessEqual, kEqual, kNotEqual, kGreaterEqual, kGreater };

struct OrderTerm {
  std::string field;
  bool descending = false;
};

struct Condition {
  std::string field;
  CompareOp op = CompareOp::kEqual;
  std::string literal;  // without its quotes
};

struct Statement {
  enum class Kind { kSelect, kDelete };
  Kind kind = Kind::kSelect;
  std::string table;
  std::vector<std::string> columns;  // empty: every field
  std::vector<OrderTerm> order_by;
  bool has_where = false;
  Condition where;
};

// Parses `text`; fails with kSyntaxError and a text saying where.
Status ParseStatement(std::string_view text, Statement* out);

// Writes `st` back as statement text that parses to the same statement.
std::string FormatStatement(const Statement& st);

}  // namespace paradox
