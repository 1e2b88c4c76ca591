// The one-line text entry: a sunken field showing a UTF-8 text with a caret
// and a selection. It takes typed characters (with dead-key composition),
// moves by character or word, copies and pastes through its parent's
// clipboard, and can mask its text as a password. The field owns its text
// and the composer's state; the character filter is the caller's.
#pragma once

#include "wvw/Widget.h"

#include "rfb/DeadKeyUtil.h"

#include <string>

namespace wvw {

class WText : public Widget {
public:
  // The text is cut to maxLength bytes (never inside a character).
  explicit WText(uint32_t maxLength, const char* initialText = nullptr);
  ~WText() override;

  bool onPointerMove(const rfb::Point& pos, Widget* source) override;
  bool onButtonPress(int button, Widget* source) override;
  bool onButtonRelease(int button, Widget* source) override;
  bool onPointerLeave(Widget* source) override;
  bool onKey(uint32_t keysym, bool down, Widget* source) override;
  bool onFocusChange(bool reverse, Widget* source) override;
  bool onEnabledChange(Widget* source) override;
  bool onPaste(Widget* source) override;
  // A password field refuses to copy (the bell rings).
  bool onCopy(Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;
  void getPreferredSize(int* width, int* height) override;
  // Editable, enabled and visible.
  bool acceptsFocus() override;

  virtual void setMaxLength(uint32_t maxLength);
  // Caret to the end, no selection; sends onChange.
  virtual void setText(const char* text);
  virtual void setPasswordMode(bool passwordMode);
  virtual bool isPasswordMode();
  virtual void setEditable(bool editable);
  virtual bool isEditable();
  // Only the ASCII characters of chars may be typed or pasted; null admits
  // all. Not copied: the caller keeps it alive.
  virtual void setAllowedChars(const char* chars);
  // horizontal: 0 left, 1 centred, 2 right; vertical: 0 bottom, 1 centred,
  // other top.
  virtual void setAlignment(int horizontal, int vertical);
  // The field's own text, valid until the next change.
  virtual const char* getText();

  // The anchor at from and the caret at to (-1: the end of the text).
  void setSelection(int from, int to);
  void clearSelection();
  // The caret and the anchor.
  void getSelection(int* caret, int* anchor) const;
  int getCaret() const { return caret_; }
  uint32_t getMaxLength() const { return maxLength_; }

protected:
  // Caret primitives; each repaints when something changed.
  void setCaret(int pos, bool extend);
  bool moveLeft(bool extend);
  bool moveRight(bool extend);
  void wordLeft(bool extend);
  void wordRight(bool extend);
  void deleteSelection();
  void insertChar(uint32_t cp);
  void deleteCharAt(int pos);
  void deleteForward();
  void backspace();
  // One keysym, as a press.
  void processKey(uint32_t keysym);

  int anchor() const { return caret_ + selection_; }
  int length() const { return int(text_.size()); }

private:
  // Where the text goes: the clipped text area, the text's left edge (after
  // alignment or scrolling, which this updates) and its top.
  struct Placement {
    rfb::Rect area;
    int x;
    int y;
  };
  Placement place();
  // The position after the character at pos, and before the one ending at
  // pos.
  int nextChar(int pos) const;
  int prevChar(int pos) const;
  bool isWordChar(int pos) const;
  // The width of the text between two positions, as drawn.
  int widthOf(int from, int to);
  void drawPart(rfb::WritablePixelBuffer* pb, int from, int to, int x, int y, uint32_t pixel);
  // The boundary nearest to x pixels from the text's left edge.
  int hit(int x);
  // Whether a character may be typed: the filter and the room left once the
  // selection is gone.
  bool accepts(uint32_t cp, int encodedSize) const;
  static int encodedSize(uint32_t cp);

  std::string text_;
  rfb::DeadKeyUtil deadKeys_;
  uint32_t maxLength_;
  int caret_;
  int selection_;
  int scrollOffset_;
  bool passwordMode_;
  bool editable_;
  const char* allowedChars_;
  int hAlign_;
  int vAlign_;
  bool dragging_;
};

} // namespace wvw
