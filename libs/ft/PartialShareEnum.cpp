#include "ft/PartialShareEnum.h"

#include <algorithm>

namespace ft {

PartialShareEnum::PartialShareEnum(const ManagedVector<FileProxy>& entries_, std::size_t start,
                                   const char* directory_, std::uint32_t depth_,
                                   Presented* presented_)
    : entries(entries_), first(start), position(start), directory(directory_ ? directory_ : ""),
      depth(depth_), presented(presented_ ? presented_ : &own) {
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

// An entry is a cut directory or lies under one when its name, cut before
// the slash that ends that many components, is the directory.
bool PartialShareEnum::presentedBefore(const std::string& dir) {
  Presented& p = *presented;
  if (p.components == 0)
    p.components = static_cast<std::size_t>(std::count(dir.begin(), dir.end(), '/')) + 1;
  for (; p.scanned < position && p.scanned < entries.size(); p.scanned++) {
    const std::string& name = entries[p.scanned]->name;
    std::size_t slashes = 0, i = 0;
    for (; i < name.size(); i++)
      if (name[i] == '/' && ++slashes == p.components)
        break;
    if (slashes + 1 >= p.components)
      p.cuts.insert(name.substr(0, i));
  }
  return p.cuts.count(dir) != 0;
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
    // Once passed, the entry that caused it stands for it in the scan.
    if (presentedBefore(dir))
      continue;
    invented.name = dir;
    invented.flags = ShareEntry::flagDirectory;
    invented.size = invented.created = invented.accessed = invented.modified = 0;
    synthetic = true;
    return;
  }
}

} // namespace ft
