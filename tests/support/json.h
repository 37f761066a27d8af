// A small JSON reader for test data (the expected contents of the fixture
// tables). Numbers keep their source text so that tests can parse them as
// exactly as they need: as integers, or as the one double the text denotes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testsupport {

class Json {
 public:
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };

  Json() = default;

  // Parses a whole document (surrounding white space allowed). On failure
  // returns false and says where and why in `*error`.
  static bool Parse(std::string_view text, Json* out, std::string* error);

  Kind kind() const { return kind_; }
  bool is_null() const { return kind_ == Kind::kNull; }
  bool is_bool() const { return kind_ == Kind::kBool; }
  bool is_number() const { return kind_ == Kind::kNumber; }
  bool is_string() const { return kind_ == Kind::kString; }
  bool is_array() const { return kind_ == Kind::kArray; }
  bool is_object() const { return kind_ == Kind::kObject; }

  bool boolean() const { return bool_; }
  // The number as written in the document, e.g. "-1.5e3".
  const std::string& number_text() const { return text_; }
  // The double nearest to the number's text (correctly rounded).
  double number() const { return number_; }
  // True and the value when the number is an integer that fits int64_t.
  bool AsInt64(int64_t* out) const;
  // String contents as UTF-8, escapes resolved.
  const std::string& str() const { return text_; }
  const std::vector<Json>& array() const { return array_; }
  // Members in document order.
  const std::vector<std::pair<std::string, Json>>& members() const { return members_; }
  // The member called `key`, or null when there is none or this is not an
  // object.
  const Json* Find(std::string_view key) const;

 private:
  friend class JsonParser;

  Kind kind_ = Kind::kNull;
  bool bool_ = false;
  double number_ = 0;
  std::string text_;  // number text or string contents
  std::vector<Json> array_;
  std::vector<std::pair<std::string, Json>> members_;
};

}  // namespace testsupport
