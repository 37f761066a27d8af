#include "paradox/status.h"

namespace paradox {

const char* ErrorText(ErrorCode code) {
  switch (code) {
    case ErrorCode::kOk: return "OK";
    case ErrorCode::kNotFound: return "File not found";
    case ErrorCode::kIoError: return "I/O error";
    case ErrorCode::kAccessDenied: return "Access denied";
    case ErrorCode::kTableBusy: return "Table is busy";
    case ErrorCode::kReadOnly: return "Table is read only";
    case ErrorCode::kCorruptHeader: return "Corrupt table/index header";
    case ErrorCode::kCorruptBlock: return "Corrupt data block";
    case ErrorCode::kCorruptIndex: return "Corrupt index";
    case ErrorCode::kCorruptBlob: return "Corrupt blob file";
    case ErrorCode::kNotATable: return "Not a table file";
    case ErrorCode::kJournalKept: return "Interrupted change not undone";
    case ErrorCode::kUnknownFieldType: return "Unknown field type";
    case ErrorCode::kUnsupportedVersion: return "Unsupported table version";
    case ErrorCode::kEncrypted: return "Table is password protected";
    case ErrorCode::kUnknownCodePage: return "Unknown code page";
    case ErrorCode::kNotSupported: return "Operation not supported on this table";
    case ErrorCode::kOutOfMemory: return "Insufficient memory for this operation";
    case ErrorCode::kNotStarted: return "Engine not started";
    case ErrorCode::kSyntaxError: return "Invalid SQL statement";
    case ErrorCode::kFieldNotFound: return "Field not found in table";
    case ErrorCode::kBadLiteral: return "Invalid literal";
    case ErrorCode::kStopped: return "Stopped on request";
  }
  return "Unknown error";
}

Status Status::Error(ErrorCode code, std::string detail) {
  Status s;
  s.code_ = code;
  s.texts_.emplace_back(ErrorText(code));
  if (!detail.empty()) s.texts_.push_back(std::move(detail));
  return s;
}

std::string Status::ToString() const {
  if (ok()) return "OK";
  std::string out;
  for (const auto& t : texts_) {
    if (!out.empty()) out += '\n';
    out += t;
  }
  return out;
}

}  // namespace paradox
