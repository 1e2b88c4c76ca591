// A framed, scrollable list of unique one-line texts that the user extends
// (an edit field below the last item) and renames in place (the edit field
// over the item). It keeps only the texts it shows and reports every change
// to its callback (not owned, may be null). It owns its items, edit field,
// scroll bar and styles.
#pragma once

#include "ui/WDiscreteScrollBar.h"
#include "ui/WLabelItem.h"

#include "plat/String.h"

#include "wvw/Style.h"
#include "wvw/WButton.h"
#include "wvw/WLayout.h"
#include "wvw/WText.h"

#include <memory>
#include <string>
#include <vector>

namespace ui {

class WEditListBox : public wvw::WLayout {
public:
  class Callback {
  public:
    virtual ~Callback() = default;
    virtual void itemAdded(const char* text, WEditListBox* list) = 0;
    virtual void itemRenamed(const char* oldText, const char* newText, WEditListBox* list) = 0;
    virtual void itemSelected(const char* text, WEditListBox* list) = 0;
    virtual void selectionCleared(WEditListBox* list) = 0;
  };

  explicit WEditListBox(Callback* callback);
  ~WEditListBox() override;

  bool onButtonPress(int button, wvw::Widget* source) override;
  bool onKey(uint32_t keysym, bool down, wvw::Widget* source) override;
  bool onChange(wvw::Widget* source) override;
  bool onSizeChange(wvw::Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;

  // False, changing nothing, when an item has exactly that text.
  bool addItem(const char* text);
  void removeItem(const char* text);
  // The removed item's text; absent when no item was selected.
  plat::String removeSelected();
  void beginAdd();
  void endEdit(bool accept);

  int numItems() const { return int(items_.size()); }
  WLabelItem* item(int i) const { return items_[size_t(i)].get(); }
  // -1: none.
  int getSelected() const { return selected_; }
  bool isAdding() const { return adding_; }
  bool isRenaming() const { return renaming_; }
  int getItemHeight() const { return itemHeight_; }
  wvw::WText* getEditField() { return &edit_; }
  WDiscreteScrollBar* getScrollBar() { return &scrollBar_; }
  wvw::WButton* getEmptyAreaButton() { return &emptyButton_; }

private:
  void removeAt(int index);
  void finishRename();
  bool isUnique(const char* text);
  void restyle();
  void layoutItems();
  // Before a press is handled: an edit in progress ends accepted, otherwise
  // the items are laid out again.
  void settleBeforePress();
  int itemIndex(wvw::Widget* w);

  Callback* callback_;
  std::vector<std::unique_ptr<WLabelItem>> items_;
  int selected_;
  int renameTarget_;
  int firstShown_;
  int lastShown_;
  wvw::WText edit_;
  bool adding_;
  bool renaming_;
  wvw::Style itemStyle_;
  wvw::Style selectedStyle_;
  WDiscreteScrollBar scrollBar_;
  int itemHeight_;
  int contentHeight_;
  wvw::WButton emptyButton_;
  rfb::Rect emptyArea_;
  int margin_;
};

} // namespace ui
