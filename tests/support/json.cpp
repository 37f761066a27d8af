#include "json.h"

#include <charconv>
#include <system_error>

namespace testsupport {

class JsonParser {
 public:
  explicit JsonParser(std::string_view s) : s_(s) {}

  bool ParseDocument(Json* out, std::string* error) {
    SkipSpace();
    bool ok = ParseValue(out, 0);
    if (ok) {
      SkipSpace();
      if (pos_ != s_.size()) ok = Fail("text after the value");
    }
    if (!ok && error != nullptr) *error = "offset " + std::to_string(pos_) + ": " + error_;
    return ok;
  }

 private:
  // Deep enough for any test data; stops a runaway document from exhausting
  // the stack.
  static constexpr int kMaxDepth = 256;

  bool Fail(const char* why) {
    if (error_.empty()) error_ = why;
    return false;
  }

  void SkipSpace() {
    while (pos_ < s_.size() &&
           (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r'))
      ++pos_;
  }

  bool Literal(std::string_view word) {
    if (s_.substr(pos_, word.size()) != word) return Fail("unknown literal");
    pos_ += word.size();
    return true;
  }

  bool ParseValue(Json* out, int depth) {
    if (depth > kMaxDepth) return Fail("nested too deeply");
    if (pos_ >= s_.size()) return Fail("value expected");
    char c = s_[pos_];
    switch (c) {
      case '{': return ParseObject(out, depth);
      case '[': return ParseArray(out, depth);
      case '"':
        out->kind_ = Json::Kind::kString;
        return ParseString(&out->text_);
      case 't':
        out->kind_ = Json::Kind::kBool;
        out->bool_ = true;
        return Literal("true");
      case 'f':
        out->kind_ = Json::Kind::kBool;
        out->bool_ = false;
        return Literal("false");
      case 'n':
        out->kind_ = Json::Kind::kNull;
        return Literal("null");
      default:
        if (c == '-' || (c >= '0' && c <= '9')) return ParseNumber(out);
        return Fail("value expected");
    }
  }

  bool ParseObject(Json* out, int depth) {
    out->kind_ = Json::Kind::kObject;
    ++pos_;  // '{'
    SkipSpace();
    if (pos_ < s_.size() && s_[pos_] == '}') {
      ++pos_;
      return true;
    }
    while (true) {
      SkipSpace();
      if (pos_ >= s_.size() || s_[pos_] != '"') return Fail("member name expected");
      std::string key;
      if (!ParseString(&key)) return false;
      SkipSpace();
      if (pos_ >= s_.size() || s_[pos_] != ':') return Fail("':' expected");
      ++pos_;
      SkipSpace();
      Json value;
      if (!ParseValue(&value, depth + 1)) return false;
      out->members_.emplace_back(std::move(key), std::move(value));
      SkipSpace();
      if (pos_ < s_.size() && s_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (pos_ < s_.size() && s_[pos_] == '}') {
        ++pos_;
        return true;
      }
      return Fail("',' or '}' expected");
    }
  }

  bool ParseArray(Json* out, int depth) {
    out->kind_ = Json::Kind::kArray;
    ++pos_;  // '['
    SkipSpace();
    if (pos_ < s_.size() && s_[pos_] == ']') {
      ++pos_;
      return true;
    }
    while (true) {
      SkipSpace();
      Json value;
      if (!ParseValue(&value, depth + 1)) return false;
      out->array_.push_back(std::move(value));
      SkipSpace();
      if (pos_ < s_.size() && s_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (pos_ < s_.size() && s_[pos_] == ']') {
        ++pos_;
        return true;
      }
      return Fail("',' or ']' expected");
    }
  }

  bool Hex4(uint32_t* out) {
    if (s_.size() - pos_ < 4) return Fail("short \\u escape");
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      char c = s_[pos_++];
      v <<= 4;
      if (c >= '0' && c <= '9') v |= static_cast<uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f') v |= static_cast<uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') v |= static_cast<uint32_t>(c - 'A' + 10);
      else return Fail("bad hex digit in \\u escape");
    }
    *out = v;
    return true;
  }

  static void AppendCodePoint(uint32_t cp, std::string* out) {
    if (cp < 0x80) {
      out->push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }

  // Raw bytes of the document are taken as they are (the files are UTF-8);
  // only escapes are translated.
  bool ParseString(std::string* out) {
    ++pos_;  // opening quote
    out->clear();
    while (true) {
      if (pos_ >= s_.size()) return Fail("unterminated string");
      char c = s_[pos_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return Fail("control character in string");
      if (c != '\\') {
        out->push_back(c);
        continue;
      }
      if (pos_ >= s_.size()) return Fail("unterminated escape");
      char e = s_[pos_++];
      switch (e) {
        case '"': out->push_back('"'); break;
        case '\\': out->push_back('\\'); break;
        case '/': out->push_back('/'); break;
        case 'b': out->push_back('\b'); break;
        case 'f': out->push_back('\f'); break;
        case 'n': out->push_back('\n'); break;
        case 'r': out->push_back('\r'); break;
        case 't': out->push_back('\t'); break;
        case 'u': {
          uint32_t cp = 0;
          if (!Hex4(&cp)) return false;
          if (cp >= 0xDC00 && cp <= 0xDFFF) return Fail("lone low surrogate");
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            // A high surrogate must be followed by an escaped low one.
            if (s_.substr(pos_, 2) != "\\u") return Fail("lone high surrogate");
            pos_ += 2;
            uint32_t low = 0;
            if (!Hex4(&low)) return false;
            if (low < 0xDC00 || low > 0xDFFF) return Fail("high surrogate without low surrogate");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          }
          AppendCodePoint(cp, out);
          break;
        }
        default:
          return Fail("unknown escape");
      }
    }
  }

  bool Digits() {
    size_t start = pos_;
    while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') ++pos_;
    return pos_ > start;
  }

  bool ParseNumber(Json* out) {
    size_t start = pos_;
    if (s_[pos_] == '-') ++pos_;
    if (pos_ < s_.size() && s_[pos_] == '0') {
      ++pos_;
    } else if (!Digits()) {
      return Fail("digits expected");
    }
    if (pos_ < s_.size() && s_[pos_] == '.') {
      ++pos_;
      if (!Digits()) return Fail("fraction digits expected");
    }
    if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
      ++pos_;
      if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
      if (!Digits()) return Fail("exponent digits expected");
    }
    out->kind_ = Json::Kind::kNumber;
    out->text_.assign(s_.substr(start, pos_ - start));
    const char* first = out->text_.data();
    const char* last = first + out->text_.size();
    auto [end, ec] = std::from_chars(first, last, out->number_);
    // Beyond the range of a double: refuse rather than compare a guess.
    if (ec == std::errc::result_out_of_range) return Fail("number out of range");
    if (ec != std::errc() || end != last) return Fail("bad number");
    return true;
  }

  std::string_view s_;
  size_t pos_ = 0;
  std::string error_;
};

bool Json::Parse(std::string_view text, Json* out, std::string* error) {
  Json value;
  JsonParser parser(text);
  if (!parser.ParseDocument(&value, error)) return false;
  *out = std::move(value);
  return true;
}

bool Json::AsInt64(int64_t* out) const {
  if (kind_ != Kind::kNumber) return false;
  const char* first = text_.data();
  const char* last = first + text_.size();
  int64_t v = 0;
  auto [end, ec] = std::from_chars(first, last, v);
  if (ec != std::errc() || end != last) return false;  // fraction, exponent or too big
  *out = v;
  return true;
}

const Json* Json::Find(std::string_view key) const {
  if (kind_ != Kind::kObject) return nullptr;
  for (const auto& [name, value] : members_)
    if (name == key) return &value;
  return nullptr;
}

}  // namespace testsupport
