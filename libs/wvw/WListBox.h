// A single-selection list of text rows fetched on demand from an item
// getter: only the rows that fit are widgets, and scrolling refills their
// texts. The list box owns its row widgets; the frame and scroll bar are
// members; the getter is not owned.
#pragma once

#include "wvw/Style.h"
#include "wvw/WButton.h"
#include "wvw/WFrame.h"
#include "wvw/WLabel.h"
#include "wvw/WLayout.h"
#include "wvw/WVScrollBar.h"

#include <memory>
#include <vector>

namespace wvw {

class WListBox : public WLayout {
public:
  // Supplies the rows; both are asked for the list box they serve.
  class ItemGetter {
  public:
    virtual ~ItemGetter();
    // The row's text (the list copies it).
    virtual const char* getItemText(WListBox* list, int index) = 0;
    virtual int getItemCount(WListBox* list) = 0;
  };

  // One visible row: a button showing a label (a member). Rows never take
  // the focus: the frame around them does.
  class Item : public WButton {
  public:
    Item();
    ~Item() override;
    bool onSizeChange(Widget* source) override;
    bool acceptsFocus() override { return false; }
    WLabel* getLabel() { return &label_; }

  private:
    WLabel label_;
  };

  // The sunken frame holding the rows; it takes the keyboard focus and then
  // shows a focus rectangle inside its edge.
  class WFocusFrame : public WFrame {
  public:
    WFocusFrame();
    ~WFocusFrame() override;
    bool onFocusChange(bool reverse, Widget* source) override;
    void draw(rfb::WritablePixelBuffer* pb) override;
    bool acceptsFocus() override;
  };

  WListBox();
  ~WListBox() override;

  // Keys from the frame: Home, Up, Down, Page_Up, Page_Down and End move
  // the selection and scroll it into view.
  bool onKey(uint32_t keysym, bool down, Widget* source) override;
  // A row clicked is selected and reported as a click of the list box.
  bool onClick(Widget* source) override;
  // A wheel notch (buttons 3 and 4) scrolls three rows.
  bool onButtonPress(int button, Widget* source) override;
  bool onChange(Widget* source) override;
  bool onAttach(Widget* source) override;
  bool onEnabledChange(Widget* source) override;
  bool onSizeChange(Widget* source) override;
  void styleChanged() override;

  // Reads the count anew and rebuilds the rows; the selection is cleared.
  void setItemGetter(ItemGetter* getter);
  int getSelected() const { return selected_; }
  // An index outside the list selects nothing; a change is sent as
  // onChange.
  void setSelected(int index);
  void setTopRow(int row);
  int getTopRow() { return scrollBar_.getValue(); }
  // Reloads the row's text when it is visible.
  void refreshItem(int index);

  int getCount() const { return count_; }
  int getVisibleRows() const { return int(rows_.size()); }
  Item* getRow(int i) { return rows_[size_t(i)].get(); }
  WVScrollBar* getScrollBar() { return &scrollBar_; }
  WFocusFrame* getFocusFrame() { return &focusFrame_; }

private:
  void updateRowStyle(int i);
  void refill();
  int rowOf(Widget* w) const;

  std::vector<std::unique_ptr<Item>> rows_;
  WVScrollBar scrollBar_;
  WFocusFrame focusFrame_;
  ItemGetter* itemGetter_;
  int count_;
  int selected_;
  Style normalStyle_, selectedStyle_, pressedStyle_;
};

} // namespace wvw
