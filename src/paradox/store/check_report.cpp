#include "paradox/store/check_report.h"

#include "paradox/file.h"

namespace paradox::check {

namespace {
constexpr int kLinesPerKind = 10;  // lines listed of a problem that repeats
}  // namespace

std::string BaseName(const std::string& path) {
  std::string dir, name;
  SplitPath(path, &dir, &name);
  return name;
}

std::string Detail(const Status& st) { return st.texts().size() > 1 ? st.texts()[1] : st.ToString(); }

void Report::AddRepeated(const std::string& file, const std::string& kind, const std::string& text) {
  int& n = repeated_[{file, kind}];
  if (++n <= kLinesPerKind) Add(file, text);
}

void Report::Finish() {
  for (const auto& [key, n] : repeated_)
    if (n > kLinesPerKind) Add(key.first, "and " + N(n - kLinesPerKind) + " more " + key.second);
  repeated_.clear();
}

}  // namespace paradox::check
