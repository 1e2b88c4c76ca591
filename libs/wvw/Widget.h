// The base of every widget. A widget owns no window: it paints itself into
// the pixel buffer its container hands it, with its own top-left at (0, 0),
// and receives input as calls from its container. Its position is held by
// the layout that contains it. Parent, handlers, style and container are not
// owned. A handler may delete the widget whose event it handles.
#pragma once

#include "wvw/WInputHandler.h"
#include "wvw/WParent.h"

#include "rfb/Colour.h"
#include "rfb/Rect.h"
#include "rfb/RectSet.h"
#include "rfb/WritablePixelBuffer.h"

#include <cstdint>
#include <memory>

namespace wvw {

class Style;
class WLayout;

class Widget : public WInputHandler {
public:
  Widget();
  // Adds the widget to the layout at (0, 0), at the end of its children.
  explicit Widget(WLayout* layout);
  ~Widget() override;
  Widget(const Widget&) = delete;
  Widget& operator=(const Widget&) = delete;

  // Each callback asks the own handler first, then the parent's handler.
  bool onPointerMove(const rfb::Point& pos, Widget* source) override;
  // Button 0 on a widget that accepts focus takes the focus first.
  bool onButtonPress(int button, Widget* source) override;
  bool onButtonRelease(int button, Widget* source) override;
  bool onPointerLeave(Widget* source) override;
  // Unhandled presses on the widget itself: Tab, Shift+Tab, Up and Down move
  // the focus; Ctrl+V and Ctrl+C paste and copy (the bell when unhandled).
  bool onKey(uint32_t keysym, bool down, Widget* source) override;
  bool onFocusChange(bool reverse, Widget* source) override;
  bool onClick(Widget* source) override;
  bool onChange(Widget* source) override;
  bool onVisibilityChange(Widget* source) override;
  bool onAttach(Widget* source) override;
  bool onDetach(Widget* source) override;
  bool onEnabledChange(Widget* source) override;
  bool onSizeChange(Widget* source) override;
  bool onPaste(Widget* source) override;
  bool onCopy(Widget* source) override;

  // The style in force changed; the default repaints.
  virtual void styleChanged();
  virtual void setParent(WParent* parent, WInputHandler* parentHandler);
  virtual void clearParent();
  // Host entries: the pointer at pos (own coordinates) with the buttons now
  // held (bit n = button n); the pointer left; a key.
  virtual void pointerEvent(const rfb::Point& pos, int buttonMask);
  virtual void pointerLeave();
  virtual void keyEvent(uint32_t keysym, bool down);
  virtual void draw(rfb::WritablePixelBuffer* pb) = 0;
  virtual void invalidate();
  virtual void invalidateRegion(const rfb::RectSet& region);
  virtual void bell();
  virtual void setSize(int width, int height);
  virtual void getPreferredSize(int* width, int* height) = 0;
  virtual void setVisible(bool visible);
  virtual bool acceptsFocus();
  virtual void setEnabled(bool enabled);
  virtual void setInputHandler(WInputHandler* handler);
  virtual bool isKeyDown(uint32_t keysym);

  // The own style, else the parent's, else the default style.
  Style* getStyle();
  void setStyle(Style* style);
  bool hasFocus();
  void takeFocus();
  bool isShiftDown();
  bool isControlDown();
  bool isAltDown();

  void setContainer(WLayout* layout) { container_ = layout; }
  WLayout* getContainer() const { return container_; }
  // The topmost layout above the widget (null: in no layout); offset gets the
  // widget's origin in that layout's coordinates.
  WLayout* findRoot(rfb::Point* offset);
  // The point in the other widget's coordinates; throws plat::Exception "no
  // common ancestor" when the two are not in the same tree.
  rfb::Point mapPointTo(const rfb::Point& p, Widget* other);

  void drawFocusRect(rfb::WritablePixelBuffer* pb, const rfb::Rect& r);
  void drawBevel(rfb::WritablePixelBuffer* pb, const rfb::Rect& r, bool sunken, bool round);

  int width() const { return width_; }
  int height() const { return height_; }
  bool isVisible() const { return visible_; }
  bool isEnabled() const { return enabled_; }
  WParent* getParent() const { return parent_; }
  WInputHandler* getInputHandler() const { return handler_; }
  // Where the pointer was at the widget's last pointer event, in its own
  // coordinates.
  const rfb::Point& getLastPointer() const { return lastPointer_; }

  static Style* getDefaultStyle();

  static rfb::Colour Black, White, Red, Orange, Blue, Green, TextFg, TextBg, TextDisabled, BevelBg,
      BevelBgDark, BevelHigh, BevelLow;

protected:
  // A layout lets go of its children when it is destroyed.
  friend class WLayout;

  // Whether the widget was destroyed while code that calls out to handlers
  // ran: a handler may delete the widget whose event it handles, and the
  // code that called it must then stop touching the widget. Checks nest. A
  // check holds a weak reference to the widget's life token, which the
  // destructor drops; nothing points back at the check.
  class AliveCheck {
  public:
    explicit AliveCheck(Widget* w) : token_(w->lifeToken_) {}
    bool gone() const { return token_.expired(); }

  private:
    std::weak_ptr<const bool> token_;
  };

  WParent* parent_;
  WInputHandler* parentHandler_;
  WInputHandler* handler_;
  int width_;
  int height_;
  bool visible_;
  bool enabled_;
  rfb::Point lastPointer_;
  uint8_t lastButtons_;
  Style* style_;
  WLayout* container_;

private:
  // Alive while the widget is; dropped first thing by the destructor.
  std::shared_ptr<const bool> lifeToken_;
};

// The pixel value of a colour in the buffer's layout and colour map.
uint32_t colourToPixel(const rfb::Colour& colour, rfb::PixelBuffer* pb);
// The rectangle grown by n on every side (negative n shrinks).
rfb::Rect growRect(const rfb::Rect& r, int n);

} // namespace wvw
