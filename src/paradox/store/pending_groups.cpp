#include "paradox/store/pending_groups.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace paradox {

namespace {

std::mutex g_mutex;
std::vector<PendingGroup*> g_groups;   // under g_mutex
std::vector<TableHolder*> g_holders;   // under g_mutex

// One table named two ways: separators of either kind, and on Windows
// letters of either case.
std::string TableKey(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
#ifdef _WIN32
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
#endif
  }
  return path;
}

}  // namespace

void AddPendingGroup(PendingGroup* group) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (std::find(g_groups.begin(), g_groups.end(), group) == g_groups.end()) g_groups.push_back(group);
}

void RemovePendingGroup(PendingGroup* group) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_groups.erase(std::remove(g_groups.begin(), g_groups.end(), group), g_groups.end());
}

void FlushPendingGroups() {
  std::vector<PendingGroup*> groups;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    groups = g_groups;
  }
  for (PendingGroup* g : groups) g->WriteGroup();
}

void AddTableHolder(TableHolder* holder) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_holders.push_back(holder);
}

void RemoveTableHolder(TableHolder* holder) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_holders.erase(std::remove(g_holders.begin(), g_holders.end(), holder), g_holders.end());
}

void MakeWayFor(const std::string& db_path) {
  FlushPendingGroups();
  const std::string key = TableKey(db_path);
  std::vector<TableHolder*> holders;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (TableHolder* h : g_holders)
      if (TableKey(h->held_path()) == key) holders.push_back(h);
  }
  for (TableHolder* h : holders) h->LetGo();
}

}  // namespace paradox
