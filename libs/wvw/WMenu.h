// A raised frame that lays its items out in one or more columns of equal
// width, highlights the focused item and activates items by mnemonic. The
// menu does not own its items; an item destroyed while in the menu leaves
// it.
#pragma once

#include "wvw/Style.h"
#include "wvw/WFrame.h"

#include <vector>

namespace wvw {

class WMenuItem;

class WMenu : public WFrame {
public:
  WMenu();
  ~WMenu() override;

  // A key press matching an enabled item's mnemonic clicks that item.
  bool onKey(uint32_t keysym, bool down, Widget* source) override;
  bool onVisibilityChange(Widget* source) override;
  bool onAttach(Widget* source) override;
  void styleChanged() override;

  // Moves the item in front of before (to the end when before is null or not
  // an item of this menu).
  void insertItem(WMenuItem* item, WMenuItem* before);
  void removeItem(WMenuItem* item);
  // A new separator owned by the caller.
  WMenuItem* addSeparator(WMenuItem* before);
  void setItemSpacing(int spacing);
  void setMinWidth(int minWidth);
  // 0: no limit; otherwise the items are spread over as many columns as it
  // takes to keep the menu this high.
  void setMaxHeight(int maxHeight);
  void layoutItems();

  const std::vector<WMenuItem*>& getItems() const { return items_; }
  // The item that has the focus within the menu; null when none.
  WMenuItem* getFocusedItem() const;
  Style* getHighlightStyle() { return &highlightStyle_; }
  int getMaxHeight() const { return maxHeight_; }

protected:
  // Clicks the first enabled item whose mnemonic the key press matches;
  // true when one did.
  bool clickMnemonic(uint32_t keysym, bool down);
  bool isItem(Widget* w) const;

private:
  friend class WMenuItem;
  void forgetItem(WMenuItem* item);
  // One pass of the column layout with the given column height limit.
  void placeItems(const std::vector<WMenuItem*>& visible, int itemWidth, int limit);

  std::vector<WMenuItem*> items_;
  int maxHeight_;
  int minWidth_;
  int itemSpacing_;
  Style highlightStyle_;
};

} // namespace wvw
