// The local-file browser: lists the entries of one local directory for the
// file list and the file dialog, and checks the paths the user picks. The
// current path is kept resolved (symbolic links, "." and ".." taken out)
// when it exists. The browser owns the directory stream of a listing in
// progress.
#pragma once

#include "ui/TreeBrowser.h"

#include <dirent.h>

#include <cstdint>

namespace ui {

class DirBrowser : public TreeBrowser {
public:
  enum : uint32_t {
    // List files as well as directories; without it the browser chooses
    // folders, and refuses a chosen path that is an existing file.
    ListFiles = 1,
    // Every chosen path must be writable (or creatable).
    MustBeWritable = 2,
    // List the entries whose names begin with ".".
    ShowHidden = 4,
  };

  DirBrowser();
  ~DirBrowser() override;
  DirBrowser(const DirBrowser&) = delete;
  DirBrowser& operator=(const DirBrowser&) = delete;

  // Opens the current path. A directory that does not exist lists nothing;
  // any other failure throws plat::SystemException "opendir".
  void startListing() override;
  // Skips "." (and, without ShowHidden, the other names beginning with "."
  // but ".."), and files without ListFiles. Throws plat::SystemException
  // "stat(<path>)" for an entry that cannot be examined (gone meanwhile, or
  // not searchable); the next call goes on after it.
  bool nextItem(std::string* name, bool* isDirectory) override;
  // The path resolved when it exists; otherwise as given.
  void setPath(const char* path) override;
  // With MustBeWritable, every path must be writable: it exists and may be
  // written, or it does not exist and its parent is writable by the same
  // rule. Without ListFiles, no path may be an existing non-directory.
  bool canChoose(const std::vector<plat::String>& paths) override;

  void setFlags(uint32_t flags) { flags_ = flags; }
  uint32_t getFlags() const { return flags_; }

  static bool isWritable(const char* path);

private:
  void closeListing();

  DIR* dir_;
  uint32_t flags_;
};

} // namespace ui
