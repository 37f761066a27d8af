#include "tools/advclean_backup.h"

#include <cstdio>

namespace tools {

std::string BackupFolderName(const std::tm& when) {
  char name[80];  // room for any int the fields may hold
  std::snprintf(name, sizeof name, "%04d-%02d-%02d_%02d-%02d-%02d", when.tm_year + 1900, when.tm_mon + 1,
                when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec);
  return name;
}

paradox::Status TakeBackup(paradox::FileSystem* fs, paradox::Folders* folders, const std::string& table,
                           const std::string& dir, paradox::TableCopy* copy) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return paradox::CopyTable(fs, folders, table, dir, BackupFolderName(local), copy);
}

}  // namespace tools
