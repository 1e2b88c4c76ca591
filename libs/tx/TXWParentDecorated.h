// A widget host window that can draw its own title bar, close button and
// frame, for desktops without a window manager. Its root widget is always
// its own DecoratedLayout (an owned member), which holds the content widget
// (not owned). With decorations the window is override-redirect, is dragged
// by its title, grabs the keyboard when clicked or mapped and is listed with
// the TXFullScreenManager, which keeps one title active.
#pragma once

#include "tx/DecoratedLayout.h"
#include "tx/TXWParent.h"

class TXWParentDecorated : public TXWParent {
public:
  TXWParentDecorated(Display* dpy, wvw::Widget* widget = nullptr, TXWindow* parent = nullptr);
  ~TXWParentDecorated() override;

  // The widget becomes the content (the previous one leaves the layout);
  // null clears the window's root widget, which unmaps it.
  void setChild(wvw::Widget* widget) override;
  void handleEvent(TXWindow* window, XEvent* event) override;

  // As TXWindow::setupToplevel; the title shows the name too.
  void setupToplevel(const char* name, TXDeleteWindowCallback* callback = nullptr, int argc = 0,
                     char** argv = nullptr, const char* className = nullptr, bool iconic = false);
  // The window's size for content of this size, with the decorations when
  // shown; fixed asks the window manager to keep that size.
  void setClientSize(int width, int height, bool fixed);
  // The content's rectangle within the window.
  rfb::Rect clientRect();
  // Throw plat::Exception when the window already has (or has no)
  // decorations.
  void addDecorations();
  void removeDecorations();

  // The close button of the title bar was clicked; unmaps the window.
  virtual void closeClicked();
  // Bracket every adding or removing of decorations.
  virtual void decorationsChanging() {}
  virtual void decorationsChanged() {}

  bool isDecorated() const { return decorated_; }
  DecoratedLayout* decoratedLayout() { return &layout_; }

private:
  bool decorated_;
  bool savedManaged_;
  wvw::Widget* content_;
  DecoratedLayout layout_;
  int dragX_, dragY_;
};
