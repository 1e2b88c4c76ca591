// How a file is named on the file-transfer wire: the share it belongs to and
// its number within that share. Connections are named by an unsigned 64-bit
// key, the identity of their handler object.
#pragma once

#include <cstdint>

namespace ft {

using ConnectionId = std::uint64_t;

struct FileId {
  std::uint32_t shareId = 0;
  std::uint32_t fileId = 0;

  bool operator==(const FileId& o) const { return shareId == o.shareId && fileId == o.fileId; }
  bool operator!=(const FileId& o) const { return !(*this == o); }
};

} // namespace ft
