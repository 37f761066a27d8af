// Small helpers for writing JSON text.
#pragma once

#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

namespace tools {

// Appends `s` (UTF-8) as a JSON string literal.
inline void AppendJsonString(std::string* out, std::string_view s) {
  out->push_back('"');
  for (unsigned char c : s) {
    switch (c) {
      case '"': *out += "\\\""; break;
      case '\\': *out += "\\\\"; break;
      case '\n': *out += "\\n"; break;
      case '\r': *out += "\\r"; break;
      case '\t': *out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          *out += buf;
        } else {
          out->push_back(static_cast<char>(c));
        }
    }
  }
  out->push_back('"');
}

// Appends a double in its shortest form that reads back to the same value.
inline void AppendJsonNumber(std::string* out, double d) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, d);
  out->append(buf, res.ptr);
}

}  // namespace tools
