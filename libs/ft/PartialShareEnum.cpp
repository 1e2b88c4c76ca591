#include "ft/PartialShareEnum.h"

namespace ft {

PartialShareEnum::PartialShareEnum(const ManagedVector<FileProxy>& entries_, std::size_t start,
                                   const char* directory_, std::uint32_t depth_)
    : entries(entries_), first(start), position(start), directory(directory_ ? directory_ : ""),
      depth(depth_) {
  seek();
}

const ShareEntry* PartialShareEnum::current() {
  if (synthetic)
    return &invented;
  if (position >= entries.size())
    return nullptr;
  return entries[position];
}

void PartialShareEnum::next() {
  position++;
  seek();
}

bool PartialShareEnum::liesUnder(const std::string& name, const std::string& dir,
                                 std::size_t* remainder) const {
  if (name.compare(0, dir.size(), dir) != 0)
    return false;
  if (dir.empty() || dir.back() == '/') {
    *remainder = dir.size();
    return true;
  }
  if (name.size() > dir.size() && name[dir.size()] == '/') {
    *remainder = dir.size() + 1;
    return true;
  }
  return false;
}

bool PartialShareEnum::presentedBefore(const std::string& dir) {
  if (cutSeen.count(dir))
    return true;
  for (std::size_t i = 0; i < position; i++) {
    const std::string& name = entries[i]->name;
    std::size_t rest;
    if (name == dir || liesUnder(name, dir, &rest))
      return true;
  }
  return false;
}

void PartialShareEnum::seek() {
  synthetic = false;
  for (; position < entries.size(); position++) {
    const std::string& name = entries[position]->name;
    std::size_t rest;
    if (!liesUnder(name, directory, &rest) || rest >= name.size())
      continue;
    if (depth == 0)
      return;
    std::uint32_t slashes = 0;
    std::size_t cut = std::string::npos;
    for (std::size_t i = rest; i < name.size(); i++) {
      if (name[i] == '/' && ++slashes == depth) {
        cut = i;
        break;
      }
    }
    if (cut == std::string::npos)
      return;
    std::string dir = name.substr(0, cut);
    if (presentedBefore(dir))
      continue;
    cutSeen.insert(dir);
    invented.name = dir;
    invented.flags = ShareEntry::flagDirectory;
    invented.size = invented.created = invented.accessed = invented.modified = 0;
    synthetic = true;
    return;
  }
}

} // namespace ft
