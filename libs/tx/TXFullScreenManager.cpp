#include "tx/TXFullScreenManager.h"

#include "tx/TXWParentDecorated.h"

#include "plat/Exception.h"

#include <algorithm>
#include <memory>

TXFullScreenManager* TXFullScreenManager::manager_ = nullptr;

TXFullScreenManager::~TXFullScreenManager() = default;

TXFullScreenManager* TXFullScreenManager::get() {
  // Released at exit; the windows it lists are not touched then.
  static std::unique_ptr<TXFullScreenManager> instance;
  if (!manager_) {
    instance.reset(new TXFullScreenManager());
    manager_ = instance.get();
  }
  return manager_;
}

void TXFullScreenManager::add(TXWParentDecorated* window) {
  windows_.push_back(window);
  setActive(window, true);
}

void TXFullScreenManager::remove(TXWParentDecorated* window) {
  if (!contains(window))
    throw plat::Exception("Unknown window");
  windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
  for (TXWParentDecorated* w : windows_)
    w->decoratedLayout()->setActive(false);
}

void TXFullScreenManager::setActive(TXWParentDecorated* window, bool active) {
  for (TXWParentDecorated* w : windows_)
    if (w != window)
      w->decoratedLayout()->setActive(false);
  window->decoratedLayout()->setActive(active);
}

bool TXFullScreenManager::contains(TXWParentDecorated* window) const {
  return std::find(windows_.begin(), windows_.end(), window) != windows_.end();
}
