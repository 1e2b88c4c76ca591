// The item source for a tree of directories with a current path: what the
// file dialog asks of its browser. This base keeps the path (an owned copy,
// none until set) and accepts every choice; a concrete browser lists its
// tree's entries and may resolve paths and refuse choices.
#pragma once

#include "ui/WFileList.h"

#include "plat/String.h"

#include <vector>

namespace ui {

class TreeBrowser : public WFileList::ItemGetter {
public:
  ~TreeBrowser() override;

  // Keeps a copy of the path.
  virtual void setPath(const char* path);
  // The current path; null until one was set.
  virtual const char* getPath() const;
  // Whether the paths may be chosen; this base accepts any.
  virtual bool canChoose(const std::vector<plat::String>& paths);

protected:
  plat::String path_;
};

} // namespace ui
