// Reading the literal of a statement's condition by the type of its field.
#pragma once

#include <string>

#include "paradox/date_format.h"
#include "paradox/format/field.h"
#include "paradox/status.h"

namespace paradox {

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
// parse, kNotSupported for types that cannot be compared. Dates are read in
// `format` (see ReadDate); a timestamp is such a date, or one followed by a
// blank and a time.
Status ParseLiteral(const Field& field, const std::string& text, const DateFormat& format, Literal* out);

}  // namespace paradox
