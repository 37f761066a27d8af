#include "paradox/date_format.h"

#include <string>
#include <vector>

#include "paradox/codepage.h"
#include "paradox/value.h"

namespace paradox {

namespace {

struct Token {
  enum class Kind { kText, kBlank, kDay, kWeekday, kMonth, kMonthName, kYear, kEra };
  Kind kind = Kind::kText;
  int count = 0;     // letters in the pattern's run
  std::string text;  // kText and kBlank: the characters as written
};

bool IsNumber(const Token& t) {
  return t.kind == Token::Kind::kDay || t.kind == Token::Kind::kMonth || t.kind == Token::Kind::kYear;
}

// Spaces of every width, and the direction marks some locales put into
// their formats: written as they stand, read as any run of them or none.
bool IsBlank(char32_t c) {
  return c == ' ' || c == '\t' || c == 0xA0 || c == 0x2009 || c == 0x202F || c == 0x200E || c == 0x200F ||
         c == 0x061C;
}

// Appends literal text, character by character, to runs of blanks and of
// other characters.
void AddText(std::vector<Token>* tokens, std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const size_t from = i;
    char32_t c = 0;
    const bool blank = NextUtf8(text, &i, &c) && IsBlank(c);
    const Token::Kind kind = blank ? Token::Kind::kBlank : Token::Kind::kText;
    if (tokens->empty() || tokens->back().kind != kind) tokens->push_back(Token{kind, 0, {}});
    tokens->back().text.append(text.substr(from, i - from));
  }
}

std::vector<Token> Tokenize(const DateFormat& f) {
  const std::string& p = f.pattern;
  std::vector<Token> tokens;
  for (size_t i = 0; i < p.size();) {
    const char c = p[i];
    if (c == '\'') {
      std::string quoted;
      for (++i; i < p.size(); ++i) {
        if (p[i] != '\'') {
          quoted.push_back(p[i]);
        } else if (i + 1 < p.size() && p[i + 1] == '\'') {
          quoted.push_back('\'');
          ++i;
        } else {
          ++i;
          break;
        }
      }
      AddText(&tokens, quoted);
      continue;
    }
    if (c == 'd' || c == 'M' || c == 'y' || c == 'g') {
      Token t;
      while (i < p.size() && p[i] == c) {
        ++i;
        ++t.count;
      }
      if (c == 'd') t.kind = t.count <= 2 ? Token::Kind::kDay : Token::Kind::kWeekday;
      else if (c == 'M') t.kind = t.count <= 2 ? Token::Kind::kMonth : Token::Kind::kMonthName;
      else if (c == 'y') t.kind = Token::Kind::kYear;
      else t.kind = Token::Kind::kEra;
      tokens.push_back(std::move(t));
      continue;
    }
    if (c == '/') {
      AddText(&tokens, f.separator);
      ++i;
      continue;
    }
    const size_t from = i;
    char32_t ch = 0;
    NextUtf8(p, &i, &ch);
    AddText(&tokens, std::string_view(p).substr(from, i - from));
  }
  return tokens;
}

const std::string& MonthName(const DateFormat& f, int index, bool abbreviated, bool genitive) {
  const std::string& g = abbreviated ? f.genitive_month_abbreviations[index] : f.genitive_month_names[index];
  if (genitive && !g.empty()) return g;
  return abbreviated ? f.month_abbreviations[index] : f.month_names[index];
}

void AppendNumber(std::string* out, int value, int min_digits) {
  const std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < min_digits) out->append(static_cast<size_t>(min_digits) - digits.size(), '0');
  *out += digits;
}

int Weekday(int64_t day) { return static_cast<int>(((day % 7) + 7) % 7); }  // 0 Sunday; day 1 was a Monday

// Letter case of the scripts regional names are written in.
char32_t Fold(char32_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3A9) ||
      (c >= 0x410 && c <= 0x42F))
    return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

// Bytes of `text` from `at` that spell `name` in any letter case; npos when
// they do not.
size_t MatchName(std::string_view text, size_t at, std::string_view name) {
  if (name.empty()) return std::string_view::npos;
  size_t i = at, j = 0;
  while (j < name.size()) {
    char32_t a = 0, b = 0;
    if (i >= text.size() || !NextUtf8(text, &i, &a) || !NextUtf8(name, &j, &b) || Fold(a) != Fold(b))
      return std::string_view::npos;
  }
  return i - at;
}

std::string_view TrimBlanks(std::string_view s) {
  size_t begin = s.size(), end = 0;
  for (size_t i = 0; i < s.size();) {
    const size_t from = i;
    char32_t c = 0;
    if (NextUtf8(s, &i, &c) && IsBlank(c)) continue;
    if (begin == s.size()) begin = from;
    end = i;
  }
  return begin < end ? s.substr(begin, end - begin) : std::string_view();
}

// Every way the text follows the tokens, collecting the distinct dates they
// give; stops at the second one.
class Reader {
 public:
  Reader(std::string_view text, const DateFormat& format, const std::vector<Token>& tokens)
      : text_(text), format_(format), tokens_(tokens) {}

  // Values read so far; 0 while not read (no field can be 0).
  struct Fields {
    int day = 0, month = 0, year = 0, weekday = 0;  // weekday: 1 Sunday .. 7 Saturday
  };

  void Match(size_t k, size_t at, const Fields& v) {
    if (found_.size() > 1 || gave_up_) return;
    if (++steps_ > kMaxSteps) {
      gave_up_ = true;
      return;
    }
    if (k == tokens_.size()) {
      if (at == text_.size()) Finish(v);
      return;
    }
    const Token& t = tokens_[k];
    switch (t.kind) {
      case Token::Kind::kText:
        if (text_.substr(at, t.text.size()) == t.text) Match(k + 1, at + t.text.size(), v);
        return;
      case Token::Kind::kBlank:
        Match(k + 1, at, v);
        for (size_t i = at; i < text_.size();) {
          char32_t c = 0;
          if (!NextUtf8(text_, &i, &c) || !IsBlank(c)) return;
          Match(k + 1, i, v);
        }
        return;
      case Token::Kind::kDay:
      case Token::Kind::kMonth:
      case Token::Kind::kYear:
        MatchNumber(k, at, v);
        return;
      case Token::Kind::kWeekday:
        for (int i = 0; i < 7; ++i) {
          MatchValue(k, at, format_.day_names[i], v, &Fields::weekday, i + 1);
          MatchValue(k, at, format_.day_abbreviations[i], v, &Fields::weekday, i + 1);
        }
        return;
      case Token::Kind::kMonthName:
        for (int i = 0; i < 12; ++i) {
          for (const auto* names : {&format_.month_names, &format_.month_abbreviations,
                                    &format_.genitive_month_names, &format_.genitive_month_abbreviations})
            MatchValue(k, at, (*names)[i], v, &Fields::month, i + 1);
        }
        return;
      case Token::Kind::kEra: {
        const size_t n = MatchName(text_, at, format_.era);
        if (n != std::string_view::npos) Match(k + 1, at + n, v);
        return;
      }
    }
  }

  const std::vector<int64_t>& found() const { return found_; }
  bool gave_up() const { return gave_up_; }

 private:
  // Backtracking is bounded: formats that need more are refused, not guessed.
  static constexpr long kMaxSteps = 100000;

  static bool Put(int* slot, int value) {
    if (*slot != 0 && *slot != value) return false;  // the pattern named it before, otherwise
    *slot = value;
    return true;
  }

  void MatchValue(size_t k, size_t at, const std::string& name, const Fields& v, int Fields::*slot, int value) {
    const size_t n = MatchName(text_, at, name);
    if (n == std::string_view::npos) return;
    Fields next = v;
    if (Put(&(next.*slot), value)) Match(k + 1, at + n, next);
  }

  // A number takes one or two digits (a whole year up to four), but only
  // its full width when another number stands right before or after it;
  // d, M and y never have a fixed width.
  void MatchNumber(size_t k, size_t at, const Fields& v) {
    const Token& t = tokens_[k];
    const bool tight =
        (k + 1 < tokens_.size() && IsNumber(tokens_[k + 1])) || (k > 0 && IsNumber(tokens_[k - 1]));
    const bool whole_year = t.kind == Token::Kind::kYear && t.count >= 3;
    const int widest = whole_year ? 4 : 2;
    const int narrowest = tight && (whole_year || t.count == 2) ? widest : 1;
    int value = 0;
    for (int w = 1; w <= widest && at + w <= text_.size(); ++w) {
      const char c = text_[at + w - 1];
      if (c < '0' || c > '9') return;
      value = value * 10 + (c - '0');
      if (w < narrowest) continue;
      Fields next = v;
      bool ok = false;
      if (t.kind == Token::Kind::kDay) ok = value > 0 && Put(&next.day, value);
      if (t.kind == Token::Kind::kMonth) ok = value > 0 && Put(&next.month, value);
      if (t.kind == Token::Kind::kYear) {
        const int year = w <= 2 ? (value < 50 ? 2000 + value : 1900 + value) : value;
        ok = year > 0 && Put(&next.year, year);
      }
      if (ok) Match(k + 1, at + w, next);
    }
  }

  void Finish(const Fields& v) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (v.month < 1 || v.month > 12 || v.year < 1 || v.year > 9999 || v.day < 1) return;
    const bool leap = (v.year % 4 == 0 && v.year % 100 != 0) || v.year % 400 == 0;
    if (v.day > kDays[v.month - 1] + (v.month == 2 && leap ? 1 : 0)) return;
    const int64_t day = DayFromCivil(v.year, v.month, v.day);
    if (v.weekday != 0 && v.weekday - 1 != Weekday(day)) return;
    for (int64_t d : found_)
      if (d == day) return;
    found_.push_back(day);
  }

  std::string_view text_;
  const DateFormat& format_;
  const std::vector<Token>& tokens_;
  std::vector<int64_t> found_;
  long steps_ = 0;
  bool gave_up_ = false;
};

}  // namespace

std::string WriteDate(int64_t day, const DateFormat& f) {
  int year = 0, month = 0, mday = 0;
  CivilFromDay(day, &year, &month, &mday);
  const std::vector<Token> tokens = Tokenize(f);
  bool genitive = false;  // a day number came before: "1 января", but "январь 2011"
  std::string out;
  for (const Token& t : tokens) {
    switch (t.kind) {
      case Token::Kind::kText:
      case Token::Kind::kBlank: out += t.text; break;
      case Token::Kind::kDay:
        AppendNumber(&out, mday, t.count);
        genitive = true;
        break;
      case Token::Kind::kWeekday: out += (t.count == 3 ? f.day_abbreviations : f.day_names)[Weekday(day)]; break;
      case Token::Kind::kMonth: AppendNumber(&out, month, t.count); break;
      case Token::Kind::kMonthName: out += MonthName(f, month - 1, t.count == 3, genitive); break;
      case Token::Kind::kYear:
        if (t.count <= 2) AppendNumber(&out, ((year % 100) + 100) % 100, 2);
        else AppendNumber(&out, year, 4);
        break;
      case Token::Kind::kEra: out += f.era; break;
    }
  }
  return out;
}

Status ReadDate(std::string_view text, const DateFormat& f, int32_t* day) {
  const std::vector<Token> tokens = Tokenize(f);
  const auto bad = [&](const char* why) {
    std::string detail = "\"";
    detail.append(text);
    detail += "\" is no date in the short date format \"";
    detail += f.pattern;
    detail += '"';
    detail += why;
    return Status::Error(ErrorCode::kBadLiteral, detail);
  };
  bool has_day = false, has_month = false, has_year = false;
  for (const Token& t : tokens) {
    has_day |= t.kind == Token::Kind::kDay;
    has_month |= t.kind == Token::Kind::kMonth || t.kind == Token::Kind::kMonthName;
    has_year |= t.kind == Token::Kind::kYear;
  }
  if (!has_day) return bad(": the format has no day");
  if (!has_month) return bad(": the format has no month");
  if (!has_year) return bad(": the format has no year");

  Reader reader(TrimBlanks(text), f, tokens);
  reader.Match(0, 0, Reader::Fields());
  if (reader.gave_up()) return bad(": the format is too involved to read");
  if (reader.found().size() > 1) return bad(": it reads as more than one date");
  if (reader.found().empty()) return bad("");
  *day = static_cast<int32_t>(reader.found()[0]);
  return Status::OK();
}

#ifndef _WIN32
DateFormat SystemDateFormat() { return DateFormat(); }
#endif

}  // namespace paradox
