// A row of menu entries that open their menus by click, mnemonic, Left and
// Right, and switch menus as the pointer moves along the bar. The bar owns
// its entries.
#pragma once

#include "wvw/WLayout.h"

#include <vector>

namespace wvw {

class WMenuGroup;

class WMenuBar : public WLayout {
public:
  WMenuBar();
  ~WMenuBar() override;

  bool onPointerMove(const rfb::Point& pos, Widget* source) override;
  bool onKey(uint32_t keysym, bool down, Widget* source) override;
  // An entry's menu was taken away: the entry is closed.
  bool onDetach(Widget* source) override;
  bool onSizeChange(Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;
  void getPreferredSize(int* width, int* height) override;
  // Every entry's menu gets the handler (the bar's own is unchanged).
  void setInputHandler(WInputHandler* handler) override;

  // A new entry at the right end, owned by the bar.
  WMenuGroup* addMenu(const char* text);

  const std::vector<WMenuGroup*>& getEntries() const { return entries_; }
  WMenuGroup* getLastEntry() const { return lastEntry_; }

private:
  void layoutEntries();
  // Opens the entry from the keyboard.
  void activate(WMenuGroup* entry);

  std::vector<WMenuGroup*> entries_;
  WMenuGroup* lastEntry_;
};

} // namespace wvw
