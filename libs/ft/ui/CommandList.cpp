#include "ft/ui/CommandList.h"

#include <cstdlib>
#include <unistd.h>

namespace ft {

namespace {
// Made at start-up, so that the log setting finds it by name.
plat::LogWriter downloadsLog("DownloadsUI");
} // namespace

plat::LogWriter& CommandList::log() {
  return downloadsLog;
}

CommandList::CommandList(std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (!commandIsUnavailable(name))
      names_.push_back(name);
}

bool CommandList::commandIsUnavailable(const char* name) {
  const char* path = getenv("PATH");
  if (!path)
    return false;
  std::string dirs(path);
  size_t start = 0;
  while (true) {
    size_t end = dirs.find(':', start);
    std::string dir =
        dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
    std::string file = dir + "/" + name;
    if (access(file.c_str(), X_OK) == 0)
      return false;
    if (end == std::string::npos)
      break;
    start = end + 1;
  }
  downloadsLog.debug("Launch helper script '%s' not found on PATH.", name);
  return true;
}

const CommandList& CommandList::openers() {
  static const CommandList list{"xdg-open", "gnome-open"};
  return list;
}

} // namespace ft
