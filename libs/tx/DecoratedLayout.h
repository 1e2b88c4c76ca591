// The root widget of a window that can draw its own decorations: a title
// bar with the window's name and a close button, and a bevelled frame, laid
// around the window's content widget. Without decorations the content fills
// the whole layout. The title, the close button and their styles are owned
// members; the content widget and the owner window are not owned.
#pragma once

#include "wvw/Style.h"
#include "wvw/WBevelButton.h"
#include "wvw/WCanvas.h"
#include "wvw/WIcon.h"
#include "wvw/WLabel.h"

class TXWParentDecorated;

class DecoratedLayout : public wvw::WCanvas {
public:
  explicit DecoratedLayout(TXWParentDecorated* owner);
  ~DecoratedLayout() override;

  // A widget added from outside becomes the content.
  void addChild(wvw::Widget* child, wvw::Widget* before = nullptr) override;
  void removeChild(wvw::Widget* child) override;
  // The close button's click closes the owner window.
  bool onClick(wvw::Widget* source) override;
  bool onSizeChange(wvw::Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;

  // Shows or hides the title bar, close button and frame, then lays out.
  void setDecorated(bool decorated);
  // The title and close button in the active or the inactive style.
  void setActive(bool active);
  void setTitle(const char* title);
  void layOut();

  bool isDecorated() const { return decorated_; }
  bool isActive() const { return active_; }
  wvw::Widget* getContent() const { return content_; }
  // Where a press starts a drag of the window; empty without decorations.
  const rfb::Rect& dragArea() const { return dragArea_; }
  // What the decorations add to the content's size, across and down.
  int horizontalTotal() const { return (frameWidth_ + frameMargin_) * 2; }
  int verticalTotal();
  wvw::WBevelButton* closeButton() { return &closeButton_; }
  wvw::WLabel* title() { return &title_; }

private:
  int titleHeight();

  TXWParentDecorated* owner_;
  wvw::Widget* content_;
  bool decorated_;
  bool active_;
  rfb::Rect dragArea_;
  wvw::WIcon closeIcon_;
  wvw::WBevelButton closeButton_;
  wvw::WLabel title_;
  wvw::Style activeStyle_;
  wvw::Style inactiveStyle_;
  int frameWidth_;
  int frameMargin_;
};
