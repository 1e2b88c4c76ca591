// The entries of one directory as text items flowing top to bottom in
// columns (the list grows to the right; it is meant to sit in a horizontally
// scrolling view). The user selects one or, when the owner allows it,
// several entries with the pointer and the keyboard, finds an entry by typing
// its first letters, and activates one by a double click or Return. An
// ItemGetter (not owned) supplies the entries at each refresh; the Callback
// (not owned, may be null) hears of activations and selection changes. The
// list owns its items, whose pointers stay valid until the next refresh.
#pragma once

#include "plat/Timer.h"
#include "wvw/WButton.h"

#include <cstdint>
#include <string>
#include <vector>

class WFileList : public wvw::WButton, public plat::Timer::Callback {
public:
  struct Item {
    std::string name;
    bool isDirectory = false;
    bool selected = false;
    // In list coordinates; the right and bottom edges are exclusive.
    rfb::Rect rect;
  };

  // Where the entries come from.
  class ItemGetter {
  public:
    virtual ~ItemGetter();
    // Begins listing the current directory; may throw plat::Exception.
    virtual void startListing() = 0;
    // The next entry's name and whether it is a directory; false at the end.
    // May throw plat::Exception for one entry: the next call goes on with
    // the entry after it.
    virtual bool nextItem(std::string* name, bool* isDirectory) = 0;
  };

  class Callback {
  public:
    virtual ~Callback();
    // A double click or Return on the item. The callback may delete the
    // list.
    virtual void itemActivated(WFileList* list, Item* item) = 0;
    // The selection changed; item is the one concerned, or null.
    virtual void selectionChanged(WFileList* list, Item* item) = 0;
  };

  explicit WFileList(Callback* callback);
  ~WFileList() override;

  bool onKey(uint32_t keysym, bool down, wvw::Widget* source) override;
  bool onFocusChange(bool reverse, wvw::Widget* source) override;
  bool onClick(wvw::Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;
  // The list's current size: it sizes itself.
  void getPreferredSize(int* width, int* height) override;
  bool timerCallback(plat::Timer* timer) override;
  // The double-click timer ends the pending double click; the type-ahead
  // timer ends type-ahead. Neither restarts.
  virtual void handleTimeout(plat::Timer* timer);

  // Reloads the items from the getter and lays them out. Without a getter
  // the list is emptied and not laid out again. A plat::Exception from
  // startListing reaches the caller (the items are then unchanged); one
  // for a single entry is logged and the listing goes on.
  void refresh(ItemGetter* getter);
  void setMinWidth(int width);
  // With snap the height is cut down to whole rows.
  void setHeight(int height, bool snap);
  void setMultipleSelection(bool multiple) { multipleSelection_ = multiple; }
  bool multipleSelection() const { return multipleSelection_; }

  // The item whose rectangle holds the point; null when none does.
  Item* itemAt(const rfb::Point& p);
  // The first selected item; null when none is.
  Item* firstSelected();
  // Makes the first item whose name equals text (or, with prefix, begins
  // with it) the only selected item and the anchor; null when none matches
  // (everything is unselected then).
  Item* selectByName(const char* text, bool prefix);
  void selectNext();
  void selectPrevious();
  // Selects the items from the lower to the higher of the two (inclusive)
  // and nothing else.
  void selectRange(Item* a, Item* b);
  void clearSelection();
  // The selected items' names in list order, joined with ";".
  std::string selectedNames() const;
  // The name followed by "/" for a directory.
  static std::string displayName(const Item& item);

  int numItems() const { return int(items_.size()); }
  Item* item(int i) { return &items_[size_t(i)]; }
  const std::vector<Item>& items() const { return items_; }
  const std::string& typeAheadText() const { return typeAhead_; }
  bool doubleClickPending() const { return doubleClickPending_; }
  int minWidth() const { return minWidth_; }

  static constexpr int doubleClickMs = 500;
  static constexpr int typeAheadMs = 1000;

private:
  void layoutItems();
  void endTypeAhead();
  // Tells the callback; false when that deleted the list.
  bool reportSelection(Item* item);
  bool reportActivated(Item* item);
  // The Left and Right keys: the item beside the first selected one.
  bool selectBeside(bool right);
  // Makes the item the only selected one and the anchor.
  void selectOnly(Item* item);
  int indexOf(const Item* item) const { return item ? int(item - items_.data()) : -1; }
  int fontHeight();

  Callback* callback_;
  std::string typeAhead_;
  std::vector<Item> items_;
  plat::Timer doubleClickTimer_;
  plat::Timer typeAheadTimer_;
  bool doubleClickPending_;
  int minWidth_;
  bool multipleSelection_;
  // The index of the item a Shift-click extends from; -1 when none.
  int anchor_;
};
