// The container widget: an ordered list of positioned children (painting and
// tab order), one focused child, one pointer-grab child and one popup child.
// It is the parent and the parent handler of its children, routes pointer
// input to the child under the pointer (with a grab while buttons are held)
// and keys to the focused child, and reports their damage upwards in its own
// coordinates. It does not own its children.
#pragma once

#include "wvw/Widget.h"

#include <set>
#include <utility>
#include <vector>

namespace wvw {

class WLayout : public Widget, public WParent {
public:
  WLayout();
  ~WLayout() override;

  bool onFocusChange(bool reverse, Widget* source) override;
  void styleChanged() override;
  void setParent(WParent* parent, WInputHandler* parentHandler) override;
  void clearParent() override;
  void pointerEvent(const rfb::Point& pos, int buttonMask) override;
  void pointerLeave() override;
  void keyEvent(uint32_t keysym, bool down) override;
  void draw(rfb::WritablePixelBuffer* pb) override;
  void bell() override;
  void getPreferredSize(int* width, int* height) override;
  bool acceptsFocus() override;

  void invalidateChild(Widget* child, const rfb::RectSet& region) override;
  void setFocus(Widget* child) override { setFocus(child, false); }
  bool isFocused(Widget* child) override;
  bool focusNext() override;
  bool focusPrevious() override;
  const char* getClipboardText() override;
  void setClipboardText(const char* text) override;
  bool isKeyHeld(uint32_t keysym) override;
  Style* getStyle() override { return Widget::getStyle(); }
  // Inserts the child in front of before (at the end when before is null or
  // no child) at position.
  virtual void addChild(Widget* child, Widget* before = nullptr);
  virtual void addChildAt(Widget* child, const rfb::Point& position, Widget* before = nullptr);
  virtual void addChildSized(Widget* child, const rfb::Rect& r, Widget* before = nullptr);
  virtual void removeChild(Widget* child);
  virtual void moveChild(Widget* child, const rfb::Point& position);
  virtual void setChildRect(Widget* child, const rfb::Rect& r);
  virtual rfb::Point getChildPosition(Widget* child);
  virtual rfb::Rect getChildRect(Widget* child);
  // Moves the children so that their union starts at (margin, margin) and
  // sizes the layout to hold them with margin on every side.
  virtual void fitToChildren(int margin);
  // Replaces the popup child (the previous one is removed); the new one is
  // added last, on top.
  virtual void setPopup(Widget* widget, const rfb::Point& position);

  void setFocus(Widget* child, bool reverse);
  void focusFirst(bool reverse);
  Widget* getFocusChild() const { return focusChild_; }
  Widget* getGrabChild() const { return grabChild_; }
  Widget* getPopup() const { return popupChild_; }
  int numChildren() const { return int(ws_.size()); }
  Widget* childAt(int i) const { return ws_[size_t(i)].first; }

protected:
  friend class Widget;
  // Drops a child that is being destroyed from the list and from the focus,
  // grab and popup pointers without telling it: its handlers may be gone.
  // When it held the focus of an attached layout, the focus moves on at
  // once, as on a removal. A layout that keeps more about its children
  // forgets that too; nothing of the child may be called.
  virtual void forgetChild(Widget* child);

private:
  using Entry = std::pair<Widget*, rfb::Point>;
  std::vector<Entry>::iterator findChild(Widget* child);
  // Erases a list entry, keeping lostFocusAt_ on the same child.
  void eraseEntry(std::vector<Entry>::iterator i);
  // Gives the focus that a destroyed child held to the child at its former
  // place (backwards: the one before), or the next that accepts it; true
  // when the focus moved.
  bool regainLostFocus(bool backwards);
  std::vector<Widget*> childList() const;
  bool moveFocus(bool backwards);
  static rfb::RectSet regionOf(const rfb::Rect& r) { return rfb::RectSet(r); }

  Widget* focusChild_;
  Widget* grabChild_;
  Widget* popupChild_;
  // A press began on no child (the background, or a child since removed):
  // the layout keeps the pointer to itself until every button is released,
  // so that no child sees a release of a press it never received.
  bool grabSelf_ = false;
  std::vector<Entry> ws_;
  std::set<Widget*> attached_;
  // Where in the list a focused child was destroyed while the layout was
  // not attached; the focus moves on from there at the next key or focus
  // move.
  static constexpr size_t noLostFocus = size_t(-1);
  size_t lostFocusAt_ = noLostFocus;
};

} // namespace wvw
