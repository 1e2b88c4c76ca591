// A file that replaces its target only when complete: the content goes to a
// temporary file of its own beside the target ("<target>.tmp-" and random
// letters, created exclusively), which commit() syncs and renames onto the
// target, then syncs the folder. Until then the target stays as it was; an
// uncommitted or failed replacement removes its own temporary file and never
// another's, so saves of one target at the same time each install a whole
// file. A temporary file of the target left for an hour or more by a save
// that was killed is removed by the next save that succeeds. The new file
// gets the permission bits of the file it replaces, so a private file stays
// private. A target path that is a symbolic link is
// resolved first: the file it leads to is replaced, the link stays.
#pragma once

#include "plat/File.h"
#include "plat/String.h"

namespace plat {

class ReplacementFile : public File {
public:
  // Creates the temporary file for writing. Throws "fileOpen(<temp>)", or
  // "fileOpen(<target>)" when its links cannot be followed.
  ReplacementFile(const char* target, bool binary);
  ~ReplacementFile() override;

  // Flushes, syncs and closes the temporary file and renames it onto the
  // target. Any failure removes the temporary file and throws:
  // "fileFlush(<temp>)", "fileSync(<temp>)", "fileClose(<temp>)" or
  // "fileRename(<temp>,<target>)" (EBUSY when something else was put in
  // place of the temporary file). A folder that cannot be synced after the
  // rename is logged, not thrown: the new file is in place.
  void commit();

  const char* getTempName() const { return tempName_.c_str(); }
  // The file being replaced, its links resolved.
  const char* getTargetName() const { return targetName_.c_str(); }

private:
  [[noreturn]] void abandon(const char* format, int err);
  // True while the temporary name still holds the file this object created.
  bool holdsTempName() const;
  void removeOwnTemp();

  String tempName_;
  String targetName_;
  bool done_ = false;
  unsigned long long tempDev_ = 0;
  unsigned long long tempIno_ = 0;
};

} // namespace plat
