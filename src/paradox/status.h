// Result of an engine operation: a code and one or more English texts.
// The engine never throws; every fallible call returns a Status.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace paradox {

// Error codes of the engine. The high byte groups related failures.
enum class ErrorCode : uint16_t {
  kOk = 0,
  // Files and the operating system.
  kNotFound = 0x2101,      // "File not found"
  kIoError = 0x2102,       // "I/O error"
  kAccessDenied = 0x2103,  // "Access denied"
  kTableBusy = 0x2104,     // "Table is busy"
  kReadOnly = 0x2105,      // "Table is read only"
  // Damaged or foreign files.
  kCorruptHeader = 0x2201,  // "Corrupt table/index header"
  kCorruptBlock = 0x2202,   // "Corrupt data block"
  kCorruptIndex = 0x2203,   // "Corrupt index"
  kCorruptBlob = 0x2204,    // "Corrupt blob file"
  kNotATable = 0x2205,      // "Not a table file"
  kJournalKept = 0x2206,    // "Interrupted change not undone"
  // Tables the engine reads but does not handle.
  kUnknownFieldType = 0x2301,    // "Unknown field type"
  kUnsupportedVersion = 0x2302,  // "Unsupported table version"
  kEncrypted = 0x2303,           // "Table is password protected"
  kUnknownCodePage = 0x2304,     // "Unknown code page"
  kNotSupported = 0x2305,        // "Operation not supported on this table"
  // Resources.
  kOutOfMemory = 0x2501,  // "Insufficient memory for this operation"
  kNotStarted = 0x2502,   // "Engine not started"
  // Statements.
  kSyntaxError = 0x2601,    // "Invalid SQL statement"
  kFieldNotFound = 0x2602,  // "Field not found in table"
  kBadLiteral = 0x2603,     // "Invalid literal"
  // Interruptions.
  kStopped = 0x2701,  // "Stopped on request"
};

// The standard text of a code ("Corrupt table/index header", ...).
const char* ErrorText(ErrorCode code);

class [[nodiscard]] Status {
 public:
  Status() = default;  // OK

  static Status OK() { return Status(); }
  // An error with the code's standard text, followed by `detail` when given.
  static Status Error(ErrorCode code, std::string detail = std::string());

  bool ok() const { return code_ == ErrorCode::kOk; }
  ErrorCode code() const { return code_; }
  // The texts, the code's own text first. Empty when OK.
  const std::vector<std::string>& texts() const { return texts_; }
  // All texts joined with "\n"; "OK" when OK.
  std::string ToString() const;

  // Appends a further text (for example the file name concerned).
  Status& With(std::string text) {
    texts_.push_back(std::move(text));
    return *this;
  }

 private:
  ErrorCode code_ = ErrorCode::kOk;
  std::vector<std::string> texts_;
};

// Returns early from the calling function when `expr` yields an error.
#define PX_RETURN_IF_ERROR(expr)            \
  do {                                      \
    ::paradox::Status _px_st = (expr);      \
    if (!_px_st.ok()) return _px_st;        \
  } while (0)

}  // namespace paradox
