// A local entry of a share: a share entry that can be opened for reading
// when a peer requests it. Owned by the upload manager's record of its share.
#pragma once

#include "ft/FileId.h"
#include "ft/ShareEntry.h"

#include <cstdint>

namespace rdr {
class InStream;
}

namespace ft {

class UploadManager;

class FileProxy : public ShareEntry {
public:
  FileProxy(const char* name, std::uint32_t flags, std::uint64_t size, std::uint64_t created,
            std::uint64_t accessed, std::uint64_t modified)
      : ShareEntry(name, flags, size, created, accessed, modified) {}
  virtual ~FileProxy() = default;

  // A new stream positioned at offset; the caller owns it. Failures are
  // thrown as plat::Exception kinds.
  virtual rdr::InStream* open(std::uint64_t offset, ConnectionId connection,
                              UploadManager* manager) = 0;
};

} // namespace ft
