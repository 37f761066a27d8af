#include "paradox/sql.h"

#include <cctype>

namespace paradox {

namespace {

enum class Tok { kEnd, kWord, kDoubleQuoted, kSingleQuoted, kNumber, kSymbol };

struct Token {
  Tok kind = Tok::kEnd;
  std::string text;
  size_t pos = 0;
};

class Lexer {
 public:
  explicit Lexer(std::string_view s) : s_(s) {}

  Status Next(Token* t) {
    while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    t->pos = pos_;
    t->text.clear();
    if (pos_ >= s_.size()) {
      t->kind = Tok::kEnd;
      return Status::OK();
    }
    char c = s_[pos_];
    if (c == '"' || c == '\'') {
      t->kind = c == '"' ? Tok::kDoubleQuoted : Tok::kSingleQuoted;
      ++pos_;
      while (true) {
        if (pos_ >= s_.size()) return Error(t->pos, "unterminated quoted text");
        if (s_[pos_] == c) {
          if (pos_ + 1 < s_.size() && s_[pos_ + 1] == c) {
            t->text.push_back(c);
            pos_ += 2;
            continue;
          }
          ++pos_;
          return Status::OK();
        }
        t->text.push_back(s_[pos_++]);
      }
    }
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      t->kind = Tok::kWord;
      while (pos_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_' ||
                                  s_[pos_] == '.'))
        t->text.push_back(s_[pos_++]);
      return Status::OK();
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+') {
      t->kind = Tok::kNumber;
      t->text.push_back(s_[pos_++]);
      while (pos_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '.'))
        t->text.push_back(s_[pos_++]);
      return Status::OK();
    }
    t->kind = Tok::kSymbol;
    t->text.push_back(s_[pos_++]);
    if ((c == '<' || c == '>') && pos_ < s_.size() && (s_[pos_] == '=' || (c == '<' && s_[pos_] == '>')))
      t->text.push_back(s_[pos_++]);
    return Status::OK();
  }

  static Status Error(size_t pos, const std::string& what) {
    return Status::Error(ErrorCode::kSyntaxError, what + " at position " + std::to_string(pos + 1));
  }

 private:
  std::string_view s_;
  size_t pos_ = 0;
};

bool IsKeyword(const Token& t, const char* word) {
  if (t.kind != Tok::kWord) return false;
  std::string_view w(word);
  if (t.text.size() != w.size()) return false;
  for (size_t i = 0; i < w.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(t.text[i])) != w[i]) return false;
  return true;
}

class Parser {
 public:
  explicit Parser(std::string_view text) : lex_(text) {}

  Status Parse(Statement* st) {
    PX_RETURN_IF_ERROR(Advance());
    if (IsKeyword(tok_, "SELECT")) {
      st->kind = Statement::Kind::kSelect;
      PX_RETURN_IF_ERROR(Advance());
      PX_RETURN_IF_ERROR(ParseColumns(st));
      PX_RETURN_IF_ERROR(Expect("FROM"));
      PX_RETURN_IF_ERROR(ParseTable(st));
      if (IsKeyword(tok_, "ORDER")) {
        PX_RETURN_IF_ERROR(Advance());
        PX_RETURN_IF_ERROR(Expect("BY"));
        PX_RETURN_IF_ERROR(ParseOrder(st));
      }
    } else if (IsKeyword(tok_, "DELETE")) {
      st->kind = Statement::Kind::kDelete;
      PX_RETURN_IF_ERROR(Advance());
      PX_RETURN_IF_ERROR(Expect("FROM"));
      PX_RETURN_IF_ERROR(ParseTable(st));
      if (IsKeyword(tok_, "WHERE")) {
        PX_RETURN_IF_ERROR(Advance());
        PX_RETURN_IF_ERROR(ParseCondition(st));
      }
    } else {
      return Lexer::Error(tok_.pos, "expected SELECT or DELETE");
    }
    if (tok_.kind == Tok::kSymbol && tok_.text == ";") PX_RETURN_IF_ERROR(Advance());
    if (tok_.kind != Tok::kEnd) return Lexer::Error(tok_.pos, "unexpected \"" + tok_.text + "\"");
    return Status::OK();
  }

 private:
  Status Advance() { return lex_.Next(&tok_); }

  Status Expect(const char* word) {
    if (!IsKeyword(tok_, word)) return Lexer::Error(tok_.pos, std::string("expected ") + word);
    return Advance();
  }

  bool IsSymbol(const char* s) const { return tok_.kind == Tok::kSymbol && tok_.text == s; }

  Status FieldName(std::string* out) {
    if (tok_.kind == Tok::kWord && !IsReserved()) {
      *out = tok_.text;
    } else if (tok_.kind == Tok::kDoubleQuoted && !tok_.text.empty()) {
      *out = tok_.text;
    } else {
      return Lexer::Error(tok_.pos, "expected a field name");
    }
    return Advance();
  }

  bool IsReserved() const {
    for (const char* w : {"SELECT", "FROM", "WHERE", "ORDER", "BY", "DELETE", "ASC", "DESC"})
      if (IsKeyword(tok_, w)) return true;
    return false;
  }

  Status ParseColumns(Statement* st) {
    if (IsSymbol("*")) return Advance();
    while (true) {
      std::string f;
      PX_RETURN_IF_ERROR(FieldName(&f));
      st->columns.push_back(f);
      if (!IsSymbol(",")) return Status::OK();
      PX_RETURN_IF_ERROR(Advance());
    }
  }

  Status ParseTable(Statement* st) {
    if ((tok_.kind == Tok::kDoubleQuoted || tok_.kind == Tok::kSingleQuoted) && !tok_.text.empty()) {
      st->table = tok_.text;
    } else if (tok_.kind == Tok::kWord && !IsReserved()) {
      st->table = tok_.text;
    } else {
      return Lexer::Error(tok_.pos, "expected a table");
    }
    return Advance();
  }

  Status ParseOrder(Statement* st) {
    while (true) {
      OrderTerm term;
      PX_RETURN_IF_ERROR(FieldName(&term.field));
      if (IsKeyword(tok_, "ASC")) {
        PX_RETURN_IF_ERROR(Advance());
      } else if (IsKeyword(tok_, "DESC")) {
        term.descending = true;
        PX_RETURN_IF_ERROR(Advance());
      }
      st->order_by.push_back(term);
      if (!IsSymbol(",")) return Status::OK();
      PX_RETURN_IF_ERROR(Advance());
    }
  }

  Status ParseCondition(Statement* st) {
    Condition& c = st->where;
    PX_RETURN_IF_ERROR(FieldName(&c.field));
    if (tok_.kind != Tok::kSymbol) return Lexer::Error(tok_.pos, "expected a comparison");
    const std::string& op = tok_.text;
    if (op == "<") c.op = CompareOp::kLess;
    else if (op == "<=") c.op = CompareOp::kLessEqual;
    else if (op == "=") c.op = CompareOp::kEqual;
    else if (op == "<>") c.op = CompareOp::kNotEqual;
    else if (op == ">=") c.op = CompareOp::kGreaterEqual;
    else if (op == ">") c.op = CompareOp::kGreater;
    else return Lexer::Error(tok_.pos, "expected a comparison");
    PX_RETURN_IF_ERROR(Advance());
    if (tok_.kind != Tok::kDoubleQuoted && tok_.kind != Tok::kSingleQuoted && tok_.kind != Tok::kNumber)
      return Lexer::Error(tok_.pos, "expected a literal");
    c.literal = tok_.text;
    st->has_where = true;
    return Advance();
  }

  Lexer lex_;
  Token tok_;
};

}  // namespace

Status ParseStatement(std::string_view text, Statement* out) {
  Statement st;
  Parser p(text);
  PX_RETURN_IF_ERROR(p.Parse(&st));
  *out = std::move(st);
  return Status::OK();
}

namespace {
std::string Quote(const std::string& s) {
  std::string q = "\"";
  for (char c : s) {
    q.push_back(c);
    if (c == '"') q.push_back('"');
  }
  return q + "\"";
}
}  // namespace

std::string FormatStatement(const Statement& st) {
  static const char* const kOps[] = {"<", "<=", "=", "<>", ">=", ">"};
  std::string s;
  if (st.kind == Statement::Kind::kSelect) {
    s = "SELECT ";
    if (st.columns.empty()) s += "*";
    for (size_t i = 0; i < st.columns.size(); ++i) s += (i ? ", " : "") + Quote(st.columns[i]);
    s += " FROM " + Quote(st.table);
    for (size_t i = 0; i < st.order_by.size(); ++i)
      s += (i ? ", " : " ORDER BY ") + Quote(st.order_by[i].field) + (st.order_by[i].descending ? " DESC" : "");
  } else {
    s = "DELETE FROM " + Quote(st.table);
    if (st.has_where)
      s += " WHERE " + Quote(st.where.field) + " " + kOps[static_cast<int>(st.where.op)] + " " + Quote(st.where.literal);
  }
  return s;
}

}  // namespace paradox
