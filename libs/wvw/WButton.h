// A push button: a layout holding one content widget (not owned) that never
// receives pointer input itself. Buttons 0-2 and Return or space press it;
// the release that ends such a press clicks it. A change of the pressed look
// is reported as onChange, a click as onClick.
#pragma once

#include "wvw/WLayout.h"

namespace wvw {

class WButton : public WLayout {
public:
  WButton();
  ~WButton() override;

  bool onPointerMove(const rfb::Point& pos, Widget* source) override;
  bool onButtonPress(int button, Widget* source) override;
  bool onButtonRelease(int button, Widget* source) override;
  bool onKey(uint32_t keysym, bool down, Widget* source) override;
  bool onFocusChange(bool reverse, Widget* source) override;
  bool onEnabledChange(Widget* source) override;
  // The plain widget entries: the content gets no pointer input.
  void pointerEvent(const rfb::Point& pos, int buttonMask) override;
  void pointerLeave() override;
  // Enabled and visible, whether or not the content takes the focus.
  bool acceptsFocus() override;

  // The previous content leaves the layout; the new one (may be null) is
  // added last.
  virtual void setContent(Widget* content);
  // True when the pressed look changed (onChange was sent).
  bool setPressed(bool pressed);
  bool isPressed() const { return pressed_; }
  Widget* getContent() const { return content_; }

protected:
  Widget* content_;
  bool pressed_;

private:
  // The pressed look came from Return or space, not from the pointer.
  bool keyPress_;
};

} // namespace wvw
