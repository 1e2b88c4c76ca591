// One entry of a menu: a button showing a label with an optional keyboard
// mnemonic (marked with "&" in the text, underlined when drawn), an optional
// tick column and a blank column that lines the label up with ticked items.
// A null text makes a separator. Label, tick and blank column are members;
// the menu is not owned.
#pragma once

#include "wvw/WButton.h"
#include "wvw/WCanvas.h"
#include "wvw/WLabel.h"
#include "wvw/WMenuCheck.h"

#include <string>

namespace wvw {

class WMenu;

class WMenuItem : public WButton {
public:
  // Inserted at the end of menu when one is given.
  WMenuItem(WMenu* menu, const char* text, bool checkable);
  ~WMenuItem() override;

  // Hovering takes the focus, which highlights the item.
  bool onPointerMove(const rfb::Point& pos, Widget* source) override;
  bool onFocusChange(bool reverse, Widget* source) override;
  bool onSizeChange(Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;
  // A separator is 2 x 5.
  void getPreferredSize(int* width, int* height) override;
  // Items with a text that are enabled and visible; never separators.
  bool acceptsFocus() override;
  virtual void updateLayout();

  // Takes the mnemonic from the first "&", which is removed from the shown
  // text.
  void setText(const char* text);
  // Sets the text as it is and the mnemonic from the key.
  void setText(const char* text, uint32_t key);
  void setMnemonic(uint32_t key);
  void setCheckable(bool checkable);
  void setBlankShown(bool blankShown);

  bool isSeparator() const { return !hasText_; }
  WMenu* getMenu() const { return menu_; }
  WLabel* getLabel() { return &label_; }
  WMenuCheck* getTick() { return &tick_; }
  uint32_t getMnemonic() const { return mnemonic_; }
  int getMnemonicIndex() const { return mnemonicIndex_; }
  bool isCheckable() const { return checkable_; }
  bool isBlankShown() const { return blankShown_; }

  // Whether a key press matches a mnemonic: the same value, or both
  // printable ASCII and equal ignoring case.
  static bool mnemonicMatches(uint32_t keysym, uint32_t mnemonic);
  // Parses "&" out of text: the shown text, the mnemonic (0 none,
  // 0xFFFFFFFF malformed UTF-8) and its byte offset (-1 none).
  static std::string parseMnemonic(const char* text, uint32_t* mnemonic, int* index);
  // Byte offsets of the start and end of the mnemonic character.
  static int mnemonicEnd(const std::string& text, int index);

private:
  friend class WMenu;
  // The parts that show the highlight: the item, the tick when shown and
  // the blank column when shown.
  void applyStyle(Style* style);
  bool getContainerOf(Widget* part);

  WMenu* menu_;
  WLabel label_;
  WMenuCheck tick_;
  WCanvas blank_;
  uint32_t mnemonic_;
  int mnemonicIndex_;
  bool checkable_;
  bool blankShown_;
  bool hasText_;
};

} // namespace wvw
