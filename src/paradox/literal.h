// Reading the literal of a statement's condition by the type of its field.
#pragma once

#include <string>

#include "paradox/engine.h"
#include "paradox/field.h"
#include "paradox/status.h"

namespace paradox {

// Reads a date written in `format` ("dd.MM.yyyy", "M/d/yy", "yyyy-MM-dd",
// "m/d/yy", ...): day, month and year in the pattern's order, each the digits
// up to the next separator; two-digit years below 50 are 20xx, others 19xx.
// Gives the day number (day 1 = 0001-01-01).
Status ParseDateLiteral(const std::string& text, const DateFormat& format, int32_t* day);
// Reads "H:MM[:SS[.mmm]]" as milliseconds since midnight.
Status ParseTimeLiteral(const std::string& text, int32_t* ms);

// A literal read for comparison with a field's values.
struct Literal {
  enum class Kind { kNumber, kText, kLogical } kind = Kind::kNumber;
  double number = 0;  // numbers, dates (day number), times (ms), timestamps (ms)
  std::string text;   // Windows-1251
  bool logical = false;
};

// Reads `text` as a value of `field`'s type; kBadLiteral when it does not
// parse, kNotSupported for types that cannot be compared.
Status ParseLiteral(const Field& field, const std::string& text, const DateFormat& format, Literal* out);

}  // namespace paradox
