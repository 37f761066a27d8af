#include "paradox/sql/literal.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "paradox/value.h"

namespace paradox {

namespace {

Status Bad(const std::string& text, const std::string& why) {
  return Status::Error(ErrorCode::kBadLiteral, "\"" + text + "\": " + why);
}

bool AllDigits(const std::string& s) {
  if (s.empty() || s.size() > 9) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// Splits at every character that is not a digit.
std::vector<std::string> DigitRuns(const std::string& s, bool* clean) {
  std::vector<std::string> parts(1);
  *clean = true;
  for (char c : s) {
    if (std::isdigit(static_cast<unsigned char>(c))) {
      parts.back().push_back(c);
    } else {
      if (parts.back().empty()) *clean = false;  // two separators, or one in front
      parts.emplace_back();
    }
  }
  if (parts.back().empty()) *clean = false;
  return parts;
}

}  // namespace

Status ParseTimeLiteral(const std::string& text, int32_t* ms) {
  bool clean = false;
  std::vector<std::string> parts = DigitRuns(text, &clean);
  if (!clean || parts.size() < 2 || parts.size() > 4) return Bad(text, "not a time");
  for (const std::string& p : parts)
    if (!AllDigits(p)) return Bad(text, "not a time");
  int h = std::atoi(parts[0].c_str()), mi = std::atoi(parts[1].c_str());
  int sec = parts.size() > 2 ? std::atoi(parts[2].c_str()) : 0;
  int milli = parts.size() > 3 ? std::atoi((parts[3] + "00").substr(0, 3).c_str()) : 0;
  if (h > 23 || mi > 59 || sec > 59) return Bad(text, "no such time");
  *ms = ((h * 60 + mi) * 60 + sec) * 1000 + milli;
  return Status::OK();
}

Status ParseLiteral(const Field& f, const std::string& text, const DateFormat& format, Literal* out) {
  *out = Literal();
  switch (f.type) {
    case FieldType::kAlpha:
      out->kind = Literal::Kind::kText;
      out->text = text;
      return Status::OK();
    case FieldType::kDate: {
      int32_t day = 0;
      PX_RETURN_IF_ERROR(ReadDate(text, format, &day));
      out->number = day;
      return Status::OK();
    }
    case FieldType::kTime: {
      int32_t ms = 0;
      PX_RETURN_IF_ERROR(ParseTimeLiteral(text, &ms));
      out->number = ms;
      return Status::OK();
    }
    case FieldType::kTimestamp: {
      // A date, or a date, a blank and a time. Dates may hold blanks
      // themselves ("1 Jan 2011"), so the time is looked for from the right.
      int32_t day = 0, ms = 0;
      Status whole = ReadDate(text, format, &day);
      size_t sp = text.size();
      while (!whole.ok() && sp > 0 && (sp = text.rfind(' ', sp - 1)) != std::string::npos) {
        if (ParseTimeLiteral(text.substr(sp + 1), &ms).ok() && ReadDate(text.substr(0, sp), format, &day).ok())
          whole = Status::OK();
      }
      PX_RETURN_IF_ERROR(whole);
      out->number = double(day) * 86400000.0 + ms;
      return Status::OK();
    }
    case FieldType::kLogical: {
      std::string l;
      for (char c : text) l.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
      out->kind = Literal::Kind::kLogical;
      if (l == "true" || l == "1") out->logical = true;
      else if (l != "false" && l != "0") return Bad(text, "not TRUE or FALSE");
      return Status::OK();
    }
    case FieldType::kShort: case FieldType::kLong: case FieldType::kAutoInc: case FieldType::kNumber:
    case FieldType::kMoney: {
      errno = 0;
      char* end = nullptr;
      double v = std::strtod(text.c_str(), &end);
      if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(v)) return Bad(text, "not a number");
      out->number = v;
      return Status::OK();
    }
    default:
      return Status::Error(ErrorCode::kNotSupported, std::string("cannot compare a ") + FieldTypeName(f.type) + " field");
  }
}

}  // namespace paradox
