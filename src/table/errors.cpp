#include "table/errors.h"

#include <cctype>
#include <cstdio>

namespace dataset {

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

bool IsBlank(const std::string& s) {
  for (char c : s)
    if (!std::isspace(static_cast<unsigned char>(c))) return false;
  return true;
}

}  // namespace

std::string EDBEngineError::BuildMessage(uint16_t code, const std::vector<std::string>& texts) {
  std::vector<const std::string*> kept;
  for (const std::string& t : texts) {
    if (IsBlank(t)) continue;
    bool repeat = false;
    for (const std::string* k : kept) repeat = repeat || SameIgnoringCase(*k, t);
    if (!repeat) kept.push_back(&t);
  }
  if (kept.empty()) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "Database engine error $%.4x", code);
    return buf;
  }
  std::string msg;
  for (const std::string* k : kept) {
    if (!msg.empty()) msg += '\n';
    msg += *k;
  }
  return msg;
}

EDBEngineError::EDBEngineError(uint16_t code, std::vector<std::string> texts)
    : EDatabaseError(BuildMessage(code, texts)), code_(code), texts_(std::move(texts)) {}

EDBEngineError::EDBEngineError(const paradox::Status& status)
    : EDBEngineError(static_cast<uint16_t>(status.code()), status.texts()) {}

void Check(const paradox::Status& status) {
  if (status.ok()) return;
  if (status.code() == paradox::ErrorCode::kStopped) throw EStopped(status);
  throw EDBEngineError(status);
}

}  // namespace dataset
