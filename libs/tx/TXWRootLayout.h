// The screen-sized layout of a display whose children are widgets shown in X
// windows of their own: the root widgets of the mapped widget host windows
// and the popups. Positions computed up to it are screen positions, so a
// widget anywhere can open a popup (setPopup) at a place on the screen; a
// widget added to it gets an override-redirect popup window (owned here)
// at the given rectangle. One per display, created on first use. Widgets and
// host windows are not owned.
#pragma once

#include "tx/TXWindow.h"

#include "wvw/WLayout.h"

#include <map>
#include <set>

class TXWPopup;

class TXWRootLayout : public wvw::WLayout {
public:
  ~TXWRootLayout() override;

  // The display's root layout, created on first use.
  static TXWRootLayout* get(Display* dpy);
  // Deletes the display's root layout and the popup windows it made (before
  // the display is closed); widgets still shown are not touched.
  static void release(Display* dpy);

  // Records that window shows widget; the widget's position is then its
  // window's. No effect for a widget already known.
  void registerWindow(wvw::Widget* widget, TXWindow* window);
  TXWindow* windowOf(wvw::Widget* widget) const;
  // Forgets that window shows widget (the window now shows another one),
  // without touching either; no effect when window does not show it.
  void unregisterWindow(wvw::Widget* widget, TXWindow* window);

  void setSize(int width, int height) override;
  void getPreferredSize(int* width, int* height) override;
  void addChild(wvw::Widget* child, wvw::Widget* before = nullptr) override;
  void addChildAt(wvw::Widget* child, const rfb::Point& position,
                  wvw::Widget* before = nullptr) override;
  // Shows the widget in a new popup window at the rectangle.
  void addChildSized(wvw::Widget* child, const rfb::Rect& r,
                     wvw::Widget* before = nullptr) override;
  void removeChild(wvw::Widget* child) override;
  void moveChild(wvw::Widget* child, const rfb::Point& position) override;
  // Throws plat::Exception "Unknown widget" for a widget without a window.
  rfb::Point getChildPosition(wvw::Widget* child) override;
  rfb::Rect getChildRect(wvw::Widget* child) override;
  void fitToChildren(int margin) override;
  // Closes the open popup and opens the widget's, which grabs the pointer.
  void setPopup(wvw::Widget* widget, const rfb::Point& position) override;

  // Forgets the widget: a popup window made for it is deleted (the widget
  // detached from it first, as when another client unmapped the window), a
  // host window unmapped.
  virtual void removeEntry(wvw::Widget* widget);
  void closePopup();

protected:
  // A widget destroyed while shown: the popup window made for it goes (with
  // its grab), a host window lets go of it; the widget is not called.
  void forgetChild(wvw::Widget* child) override;

private:
  explicit TXWRootLayout(Display* dpy);
  // Erases the widget's entry, releasing the pointer grab its window holds;
  // the window, or null for an unknown widget.
  TXWindow* takeEntry(wvw::Widget* widget);
  // Takes the window out of the popups made here; null when it is not one.
  TXWPopup* takePopup(TXWindow* window);

  Display* dpy_;
  std::map<wvw::Widget*, TXWindow*> windows_;
  std::set<TXWPopup*> popups_;
};
