// A desktop of top-level widgets ("windows") that a remote-framebuffer
// server serves to viewers. It is the windows' parent and parent handler,
// routes the viewers' keys and pointer to the focused window, passes the
// windows' damage to the server (less what windows above hide) and renders
// a rectangle of the desktop whenever the server reads one. Windows, the
// server, the background image, the window handler, the clip source and a
// cursor set with setCursor are not owned; a window must be removed before
// it is destroyed.
#pragma once

#include "wvw/WInputHandler.h"
#include "wvw/WParent.h"
#include "wvw/Widget.h"

#include "zav/SDesktop.h"

#include "rfb/ArrowCursor.h"
#include "rfb/ClippingUpdateTracker.h"
#include "rfb/Colour.h"
#include "rfb/ColourCube.h"
#include "rfb/ManagedPixelBuffer.h"
#include "rfb/PixelBuffer.h"
#include "rfb/RectSet.h"

#include <memory>
#include <set>
#include <vector>

namespace wvw {

class WDesktop : public zav::SDesktop,
                 public WParent,
                 public WInputHandler,
                 public rfb::PixelBuffer {
public:
  // Supplies the region outside which windows are neither drawn nor damaged.
  class ClipSource {
  public:
    virtual ~ClipSource();
    virtual rfb::RectSet getWindowClip() = 0;
  };

  // A 1 x 1 desktop in the colour-mapped 8-bit layout over its own colour
  // cube, with no windows and no server.
  WDesktop();
  ~WDesktop() override;
  WDesktop(const WDesktop&) = delete;
  WDesktop& operator=(const WDesktop&) = delete;

  // zav::SDesktop
  void keyEvent(uint32_t keysym, bool down) override;
  void pointerEvent(const rfb::Point& pos, int buttonMask, bool relative) override;
  // Keeps at most "WMaxCutText" bytes of the text.
  void clientCutText(const char* text, int length) override;
  void attachServer(zav::DesktopServer* server) override;
  void detachServer() override;
  rfb::Point getFramebufferSize() override { return rfb::Point(width_, height_); }

  // rfb::PixelBuffer: renders the rectangle first.
  const uint8_t* getData(const rfb::Rect& r, int* stride) override { return readPixels(r, stride); }
  // Renders the rectangle (inside the desktop) into the frame storage and
  // returns its pixels; valid until the next call.
  virtual const uint8_t* readPixels(const rfb::Rect& r, int* stride);

  // WParent, for the windows. invalidateChild throws plat::Exception "no
  // such Widget" for a widget that is not a window.
  void invalidateChild(Widget* window, const rfb::RectSet& region) override;
  void bell() override;
  void setFocus(Widget* window) override;
  bool isFocused(Widget* widget) override;
  bool focusNext() override;
  bool focusPrevious() override;
  bool isKeyHeld(uint32_t keysym) override;
  const char* getClipboardText() override;
  void setClipboardText(const char* text) override;

  // WInputHandler: the windows' notifications, passed on to the window
  // handler (false without one).
  bool onPointerMove(const rfb::Point& pos, Widget* source) override;
  bool onButtonPress(int button, Widget* source) override;
  bool onButtonRelease(int button, Widget* source) override;
  bool onPointerLeave(Widget* source) override;
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

  // Sizes below 1 count as 1.
  void setSize(int width, int height);
  // Puts the widget on top at position (in front of every window) and
  // focuses it; a window added while a modal window has the focus is modal.
  void addWindow(Widget* window, const rfb::Point& position);
  // False when the widget is not a window.
  bool removeWindow(Widget* window);
  // Removes every window, then adds window when not null.
  void setOnlyWindow(Widget* window, const rfb::Point& position);
  bool moveWindow(Widget* window, const rfb::Point& position);
  // (0, 0) for a widget that is not a window.
  rfb::Point getWindowPosition(Widget* window);
  // While a modal window has the focus, no other window can take it.
  void setWindowModal(Widget* window, bool modal);
  // Raises the window and gives it the focus; null clears the focus.
  void setFocusWindow(Widget* window);
  Widget* getFocusWindow() const { return focused_; }
  // The windows from the bottom to the top.
  std::vector<Widget*> getWindows() const;
  void setBackgroundColour(const rfb::Colour& colour);
  // Shows the image (null: none) at position behind the windows; the desktop
  // takes the image's pixel layout and colour map.
  void setBackgroundImage(rfb::PixelBuffer* image, const rfb::Point& position);
  void setPixelLayout(const rfb::PixelLayout& pf);
  // Null shows the built-in arrow again.
  void setCursor(rfb::Cursor* cursor);
  rfb::Cursor* getCursor() const { return cursor_; }
  // Null draws windows everywhere.
  void setWindowClip(const rfb::RectSet* region);
  // Null leaves the current clip as it is.
  void setWindowClipSource(ClipSource* source);
  void setWindowHandler(WInputHandler* handler) { windowHandler_ = handler; }
  rfb::Point centrePosition(Widget* window, const rfb::Rect& r);
  rfb::Point centreOnDesktop(Widget* window);

private:
  struct Window {
    Widget* widget;
    rfb::Point position;
    bool modal;
    rfb::Rect rect() const { return rfb::Rect::at(position, widget->width(), widget->height()); }
  };

  std::vector<Window>::iterator findWindow(Widget* w);
  // Makes the window the desktop's child; told of its size and focus first
  // when tell is set.
  void attachWindow(Widget* w, bool tellFocus);
  // A window's damage (its own coordinates) to the server, less what the
  // windows above it hide and outside the window clip; false when the
  // widget is not a window.
  bool windowDamage(Widget* window, const rfb::RectSet& region);
  // Damage that is not a window's own drawing: to the server, unclipped.
  void damage(const rfb::RectSet& region);
  void damage(const rfb::Rect& r) { damage(rfb::RectSet(r)); }
  void flush();

  std::vector<Window> windows_;
  std::set<Widget*> attached_;
  Widget* grab_;
  Widget* focused_;
  bool focusLocked_;
  rfb::Point lastPointer_;
  // The cube is the arrow's colour map, so it comes first.
  rfb::ColourCube colourCube_;
  rfb::ArrowCursor arrowCursor_;
  rfb::Cursor* cursor_;
  std::unique_ptr<char[]> cutText_;
  rfb::ManagedPixelBuffer frame_;
  rfb::PixelBuffer* backgroundImage_;
  rfb::Rect backgroundRect_;
  rfb::Colour backgroundColour_;
  zav::DesktopServer* server_;
  rfb::ClippingUpdateTracker tracker_;
  WInputHandler* windowHandler_;
  std::set<uint32_t> heldKeys_;
  std::unique_ptr<rfb::RectSet> windowClip_;
  ClipSource* windowClipSource_;
};

} // namespace wvw
