// Presents a share's entries to the share-data writer, restricted to those
// under a requested directory and cut at a requested depth: a path deeper
// than the depth shows up once, as an invented directory entry at the depth.
// Borrows the entry list; lives for one share-data message. What the
// listing has passed is kept in a Presented record that the caller keeps
// from one message to the next, so a whole listing takes linear time.
#pragma once

#include "ft/FileProxy.h"
#include "ft/ManagedVector.h"
#include "ft/MsgWriter.h"
#include "ft/ShareEntry.h"

#include <cstddef>
#include <cstdint>
#include <unordered_set>
#include <string>

namespace ft {

class PartialShareEnum : public MsgWriter::ShareEnum {
public:
  // The cut directories that entries before a list position lie in (or
  // are), for one listing request.
  struct Presented {
    std::unordered_set<std::string> cuts;
    std::size_t scanned = 0;    // positions added to cuts
    std::size_t components = 0; // of every cut directory; 0 until known
  };

  // depth 0 is unlimited; directory "" is the share root. presented is the
  // record of the same request's earlier messages (none: made afresh).
  PartialShareEnum(const ManagedVector<FileProxy>& entries, std::size_t start,
                   const char* directory, std::uint32_t depth, Presented* presented = nullptr);

  const ShareEntry* current() override;
  void next() override;
  // List positions passed so far, entries skipped included.
  std::size_t consumed() const { return position - first; }

private:
  // Moves to the first position from the current one that is presented.
  void seek();
  bool liesUnder(const std::string& name, const std::string& dir, std::size_t* remainder) const;
  // Whether an entry before position is dir or lies under it.
  bool presentedBefore(const std::string& dir);

  const ManagedVector<FileProxy>& entries;
  std::size_t first;
  std::size_t position;
  std::string directory;
  std::uint32_t depth;
  bool synthetic = false;
  ShareEntry invented;
  Presented own;
  Presented* presented;
};

} // namespace ft
