// An X window that hosts one tree of widgets. The widgets draw into a
// TXImage of the window's size (owned; present only while the window is
// mapped), which is copied to the window; the window turns its X input
// events into the widgets' input calls, remembers the keys held, collects
// the damage the widgets report and repaints it 10 ms later, and answers the
// widgets' requests to their container. The root widget is not owned and
// must outlive the window, which detaches it when it is destroyed.
#pragma once

#include "tx/TXImage.h"
#include "tx/TXWindow.h"

#include "plat/Timer.h"
#include "rfb/RectSet.h"
#include "wvw/WParent.h"
#include "wvw/Widget.h"

#include <cstdint>
#include <memory>

class TXWParent : public TXWindow,
                  public TXEventHandler,
                  public plat::Timer::Callback,
                  public wvw::WParent {
public:
  // A 1x1 window without border under parent's window (the root window when
  // null), showing root.
  TXWParent(Display* dpy, wvw::Widget* root, TXWindow* parent = nullptr);
  ~TXWParent() override;

  void map() override;
  void unmap() override;
  void resizeNotify() override;

  // The widget becomes the root (enabled and shown); null unmaps the window.
  virtual void setChild(wvw::Widget* widget);
  // Sizes the root widget, the image and the window.
  virtual void setContentSize(int width, int height);
  virtual void fitToChild();

  void invalidateChild(wvw::Widget* child, const rfb::RectSet& region) override;
  void bell() override;
  void setFocus(wvw::Widget* child) override;
  bool isFocused(wvw::Widget* child) override;
  using TXWindow::isFocused;
  bool focusNext() override;
  bool focusPrevious() override;
  bool isKeyHeld(uint32_t keysym) override;
  const char* getClipboardText() override;
  void setClipboardText(const char* text) override;

  void handleEvent(TXWindow* window, XEvent* event) override;
  bool timerCallback(plat::Timer* timer) override;

  // While set, key, button, motion, leave and focus-out events are ignored.
  void setInputDisabled(bool disabled) { inputDisabled_ = disabled; }
  bool isInputDisabled() const { return inputDisabled_; }
  wvw::Widget* getChild() const { return root_; }
  TXImage* getImage() const { return image_.get(); }

protected:
  // Draws the rectangle of the tree into the image and copies it out.
  void paint(const rfb::Rect& r);
  void registerWithRootLayout();
  // Forgets the root widget without touching it (it may be gone).
  void dropChild() { root_ = nullptr; }
  friend class TXWRootLayout;

  // Tells code that calls out to the widgets whether a handler deleted this
  // window meanwhile; guards nest.
  class AliveGuard {
  public:
    explicit AliveGuard(TXWParent* w) : w_(w), outer_(w->deleted_) { w->deleted_ = &gone_; }
    ~AliveGuard() {
      if (!gone_)
        w_->deleted_ = outer_;
      else if (outer_)
        *outer_ = true;
    }
    AliveGuard(const AliveGuard&) = delete;
    AliveGuard& operator=(const AliveGuard&) = delete;
    bool gone() const { return gone_; }

  private:
    TXWParent* w_;
    bool* outer_;
    bool gone_ = false;
  };

  std::unique_ptr<TXImage> image_;
  GC gc_;
  wvw::Widget* root_;
  // The keysym held under each keycode; 0 when the key is up.
  uint32_t heldKeys_[256];
  rfb::RectSet damage_;
  plat::Timer repaintTimer_;
  bool inputDisabled_;
  bool* deleted_ = nullptr;
};
