// The checker's list of problems: one English line per problem, each
// starting with the file concerned; a problem that may occur once per
// block or record is listed a few times, then only counted.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "paradox/status.h"

namespace paradox::check {

template <class T>
std::string N(T v) {
  return std::to_string(v);
}

// The file name of a path.
std::string BaseName(const std::string& path);

// The detail text of an engine status (its code's own text when it has none).
std::string Detail(const Status& st);

// Collects problem lines. A problem that may occur once per block or record
// is listed a few times, then only counted.
class Report {
 public:
  explicit Report(std::vector<std::string>* out) : out_(out) {}

  void Add(const std::string& file, const std::string& text) {
    out_->push_back(file + ": " + text);
    ++per_file_[file];
  }
  // `kind` names the repeated problem in the closing count ("blocks with a
  // wrong previous pointer").
  void AddRepeated(const std::string& file, const std::string& kind, const std::string& text);
  // Adds the counts of what AddRepeated left out.
  void Finish();
  int CountFor(const std::string& file) const {
    auto it = per_file_.find(file);
    return it == per_file_.end() ? 0 : it->second;
  }

 private:
  std::vector<std::string>* out_;
  std::map<std::pair<std::string, std::string>, int> repeated_;
  std::map<std::string, int> per_file_;
};

}  // namespace paradox::check
