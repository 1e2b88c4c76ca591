// Keeps the list of windows that draw their own decorations, so that
// exactly the one the user clicked (or mapped) last shows an active title.
// One instance, made on first use; the windows are not owned.
#pragma once

#include <vector>

class TXWParentDecorated;

class TXFullScreenManager {
public:
  virtual ~TXFullScreenManager();

  // The one instance, created on first use.
  static TXFullScreenManager* get();

  // Appends the window and makes its title active.
  virtual void add(TXWParentDecorated* window);
  // Takes the window out and makes every remaining title inactive; throws
  // plat::Exception "Unknown window" for a window not listed.
  virtual void remove(TXWParentDecorated* window);
  // The window's title active or not as asked, every other one inactive.
  virtual void setActive(TXWParentDecorated* window, bool active);

  bool contains(TXWParentDecorated* window) const;

private:
  TXFullScreenManager() = default;

  static TXFullScreenManager* manager_;
  std::vector<TXWParentDecorated*> windows_;
};
