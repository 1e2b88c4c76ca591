// A file that no one but root can change, opened by root so that what is
// used afterwards (loaded, executed) is the very file that was checked. The
// file and every folder above it are opened one at a time from "/" without
// following links and checked through the open descriptor: each must be
// owned by root and writable by neither group nor others (a folder with the
// sticky bit may be writable by others, who cannot replace root's entries in
// it), and the file must be a regular file.
#pragma once

#include "plat/Exception.h"
#include "plat/unix/OwnedFd.h"

#include <string>
#include <sys/types.h>

namespace os {

class RootOnlyFile {
public:
  // What lets someone other than root change the file.
  enum class Fault {
    Link,       // an entry on the path is a symbolic link
    NotRegular, // the file is a folder, a device, a FIFO or a socket
    NotRoot,    // an entry belongs to another user
    Writable,   // an entry may be written by its group or by others
  };

  // The path failed the check at one entry.
  class Refused : public plat::Exception {
  public:
    Refused(Fault fault, const std::string& entry, bool isFile, uid_t owner, mode_t mode);
    Fault fault;
    std::string entry; // the path of the entry at fault
    bool isFile;       // the entry is the file itself, not a folder above it
    uid_t owner;
    mode_t mode;
  };

  // path must be absolute. Throws Refused, or plat::SystemExceptionFmt
  // "open(%s)" with the entry that cannot be opened (ENOENT when it is
  // missing).
  explicit RootOnlyFile(const char* path);

  // An O_PATH descriptor of the file, closed on exec; enough to examine or
  // execute it (fexecve).
  int fd() const { return fd_.get(); }

private:
  os::OwnedFd fd_;
};

} // namespace os
