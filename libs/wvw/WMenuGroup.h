// One entry of a menu bar: a flat button showing a label (with an optional
// mnemonic) that opens its menu under itself. The entry owns the items that
// addItem made; the menu and label are members; the bar is not owned.
#pragma once

#include "wvw/WBevelButton.h"
#include "wvw/WLabel.h"
#include "wvw/WLayoutMenuParented.h"

#include <memory>
#include <vector>

namespace wvw {

class WMenuBar;
class WMenuItem;

class WMenuGroup : public WBevelButton {
public:
  // The mnemonic comes from a "&" in text.
  WMenuGroup(WMenuBar* bar, const char* text);
  // The text is shown as it is; the mnemonic is the key.
  WMenuGroup(WMenuBar* bar, const char* text, uint32_t key);
  ~WMenuGroup() override;

  // While open: Escape closes, Return chooses the focused item, Tab, Down,
  // Up move through the menu, other keys are swallowed; Left and Right go
  // to the bar.
  bool onKey(uint32_t keysym, bool down, Widget* source) override;
  // A click opens a closed entry and closes an open one.
  bool onClick(Widget* source) override;
  bool onEnabledChange(Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;

  // A new item in the menu, owned by the entry.
  WMenuItem* addItem(const char* text);
  void popup();
  void popdown();

  bool isOpen() const { return open_; }
  void setOpen(bool open);
  WLayoutMenuParented* getMenu() { return &menu_; }
  WLabel* getLabel() { return &label_; }
  uint32_t getMnemonic() const { return mnemonic_; }
  int getMnemonicIndex() const { return mnemonicIndex_; }

private:
  WLayoutMenuParented menu_;
  std::vector<std::unique_ptr<WMenuItem>> items_;
  WMenuBar* bar_;
  WLabel label_;
  bool open_;
  uint32_t mnemonic_;
  int mnemonicIndex_;
};

} // namespace wvw
