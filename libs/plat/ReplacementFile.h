// A file that replaces its target only when complete: the content goes to
// "<target>.tmp", which commit() syncs and renames onto the target. Until
// then the target stays as it was; an uncommitted or failed replacement
// removes the temporary file. The new file gets the permission bits of the
// file it replaces, so a private file stays private.
#pragma once

#include "plat/File.h"
#include "plat/String.h"

namespace plat {

class ReplacementFile : public File {
public:
  // Creates "<target>.tmp" afresh for writing. Throws "fileOpen(<temp>)".
  ReplacementFile(const char* target, bool binary);
  ~ReplacementFile() override;

  // Flushes, syncs and closes the temporary file and renames it onto the
  // target. Any failure removes the temporary file and throws:
  // "fileFlush(<temp>)", "fileSync(<temp>)", "fileClose(<temp>)" or
  // "fileRename(<temp>,<target>)".
  void commit();

  const char* getTempName() const { return tempName_.c_str(); }
  const char* getTargetName() const { return targetName_.c_str(); }

private:
  [[noreturn]] void abandon(const char* format, int err);

  String tempName_;
  String targetName_;
  bool done_ = false;
};

} // namespace plat
