// A local file or directory offered in a share: described from stat() of
// its path (symbolic links followed) and opened for reading on request,
// only while the path still holds the same regular file.
#pragma once

#include "ft/FileProxy.h"

#include <string>
#include <sys/types.h>

namespace ft {

class FileProxyUnixFile : public FileProxy {
public:
  // Throws plat::SystemExceptionFmt "stat(%s)" when the path cannot be
  // examined and SpecialFileException for anything but a directory or
  // regular file.
  FileProxyUnixFile(const char* path, const char* name);

  // Throws plat::SystemException "open" or "lseek", or plat::Exception for
  // an offset beyond the largest file offset or when the path no longer
  // holds the regular file (device and inode) that was shared.
  rdr::InStream* open(std::uint64_t offset, ConnectionId connection,
                      UploadManager* manager) override;

  const char* getPath() const { return path.c_str(); }
  dev_t getDevice() const { return device; }
  ino_t getInode() const { return inode; }

private:
  std::string path;
  dev_t device = 0;
  ino_t inode = 0;
};

} // namespace ft
