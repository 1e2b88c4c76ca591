#include "ui/TreeBrowser.h"

namespace ui {

TreeBrowser::~TreeBrowser() = default;

void TreeBrowser::setPath(const char* path) {
  if (path_ != path)
    path_ = path;
}

const char* TreeBrowser::getPath() const {
  return path_.get();
}

bool TreeBrowser::canChoose(const std::vector<plat::String>&) {
  return true;
}

} // namespace ui
