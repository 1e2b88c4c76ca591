// A file that replaces its target only when complete: the content goes to
// "<target>.tmp", which commit() syncs and renames onto the target. Until
// then the target stays as it was; an uncommitted or failed replacement
// removes the temporary file. The new file gets the permission bits of the
// file it replaces, so a private file stays private. When a second save of
// the same target takes "<target>.tmp" over, the first one fails rather than
// commit or remove the second one's file. A target path that is a symbolic
// link is resolved first: the file it leads to is replaced, the link stays.
#pragma once

#include "plat/File.h"
#include "plat/String.h"

namespace plat {

class ReplacementFile : public File {
public:
  // Creates "<target>.tmp" afresh for writing. Throws "fileOpen(<temp>)", or
  // "fileOpen(<target>)" when its links cannot be followed.
  ReplacementFile(const char* target, bool binary);
  ~ReplacementFile() override;

  // Flushes, syncs and closes the temporary file and renames it onto the
  // target. Any failure removes the temporary file and throws:
  // "fileFlush(<temp>)", "fileSync(<temp>)", "fileClose(<temp>)" or
  // "fileRename(<temp>,<target>)" (EBUSY when another save took the
  // temporary name over).
  void commit();

  const char* getTempName() const { return tempName_.c_str(); }
  // The file being replaced, its links resolved.
  const char* getTargetName() const { return targetName_.c_str(); }

private:
  [[noreturn]] void abandon(const char* format, int err);
  // True while "<target>.tmp" is still the file this object created.
  bool holdsTempName() const;
  void removeOwnTemp();

  String tempName_;
  String targetName_;
  bool done_ = false;
  unsigned long long tempDev_ = 0;
  unsigned long long tempIno_ = 0;
};

} // namespace plat
