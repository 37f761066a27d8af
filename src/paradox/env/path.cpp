#include "paradox/file.h"

namespace paradox {

namespace {
bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}
}  // namespace

void SplitPath(const std::string& path, std::string* dir, std::string* name) {
  size_t cut = std::string::npos;
  for (size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1])) {
      cut = i - 1;
      break;
    }
  }
  if (cut == std::string::npos) {
    dir->assign(1, '.');
    name->assign(path);
    return;
  }
  *name = path.substr(cut + 1);
  // Keep the root separator ("/" or "C:\") as part of the folder.
  *dir = path.substr(0, cut == 0 || (cut == 2 && path[1] == ':') ? cut + 1 : cut);
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty() || dir == ".") return name;
  if (IsSeparator(dir.back())) return dir + name;
#ifdef _WIN32
  return dir + "\\" + name;
#else
  return dir + "/" + name;
#endif
}

}  // namespace paradox
