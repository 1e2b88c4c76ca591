// Presents a share's entries to the share-data writer, restricted to those
// under a requested directory and cut at a requested depth: a path deeper
// than the depth shows up once, as an invented directory entry at the depth.
// Borrows the entry list; lives for one share-data message.
#pragma once

#include "ft/FileProxy.h"
#include "ft/ManagedVector.h"
#include "ft/MsgWriter.h"
#include "ft/ShareEntry.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

namespace ft {

class PartialShareEnum : public MsgWriter::ShareEnum {
public:
  // depth 0 is unlimited; directory "" is the share root.
  PartialShareEnum(const ManagedVector<FileProxy>& entries, std::size_t start,
                   const char* directory, std::uint32_t depth);

  const ShareEntry* current() override;
  void next() override;
  // List positions passed so far, entries skipped included.
  std::size_t consumed() const { return position - first; }

private:
  // Moves to the first position from the current one that is presented.
  void seek();
  bool liesUnder(const std::string& name, const std::string& dir, std::size_t* remainder) const;
  bool presentedBefore(const std::string& dir);

  const ManagedVector<FileProxy>& entries;
  std::size_t first;
  std::size_t position;
  std::string directory;
  std::uint32_t depth;
  bool synthetic = false;
  ShareEntry invented;
  // Cut directories already presented or known to lie before position.
  std::set<std::string> cutSeen;
};

} // namespace ft
