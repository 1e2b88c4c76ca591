// Turns the local paths a user chose into a share of the upload manager:
// each file and directory, and everything inside the directories, becomes a
// FileProxyUnixFile. The share starts with the first entry and is completed
// and offered to every connection when the writer is destroyed. Lives for
// one "send files" action; the upload manager is borrowed.
#pragma once

#include <cstdint>
#include <set>
#include <sys/types.h>
#include <utility>

namespace ft {

class Extension;
class FileProxy;
class UploadManager;

class ShareWriter {
public:
  ShareWriter(UploadManager* manager, std::uint32_t shareFlags);
  ~ShareWriter();
  ShareWriter(const ShareWriter&) = delete;
  ShareWriter& operator=(const ShareWriter&) = delete;

  void begin();
  // Takes ownership of entry.
  void addEntry(FileProxy* entry);
  // Adds the file or directory at path under the share name name, and the
  // contents of a directory. Failures of the path itself are thrown; entries
  // inside a directory that fail are logged ("Skipping: %s") and left out.
  // A directory already walked in this share (a symbolic link back to an
  // ancestor, or a second name for one) is not walked again.
  void addFile(const char* path, const char* name);
  // addFile with the last component of path as the name.
  void addPath(const char* path);

private:
  UploadManager* manager;
  std::uint32_t shareFlags;
  bool started = false;
  std::set<std::pair<dev_t, ino_t>> walked;
};

} // namespace ft
