// A drop-down choice: a text field with completion and an arrow button that
// pops up a menu of items, each an integer id with a label; choosing an item
// puts its label into the field. The choice owns its items; the field, menu
// and button are members; the popup layout (the layout that holds the
// choice) is not owned.
#pragma once

#include "wvw/WChoiceButton.h"
#include "wvw/WLayout.h"
#include "wvw/WLayoutMenu.h"
#include "wvw/WMenuItem.h"
#include "wvw/WTextAutocomplete.h"

#include <map>
#include <memory>

namespace wvw {

class WChoice : public WLayout {
public:
  WChoice(WLayout* popupLayout, bool selectAllOnChoose, bool caseSensitive, uint32_t maxLength);
  ~WChoice() override;

  bool onKey(uint32_t keysym, bool down, Widget* source) override;
  bool onClick(Widget* source) override;
  bool onSizeChange(Widget* source) override;
  void getPreferredSize(int* width, int* height) override;
  void setEnabled(bool enabled) override;

  // Replaces an item of the same id.
  void addItem(int32_t id, const char* label);
  // Unknown ids are ignored.
  void removeItem(int32_t id);
  const char* getText();
  // Sends onChange when the text differs from the field's.
  void setText(const char* text);
  // The smallest id whose label is the text; -1 when none.
  int32_t getSelectedId();
  // An unknown id empties the text.
  void setSelectedId(int32_t id);
  void setSelectedText(const char* text, int32_t fallbackId);
  // Steps to the next (or previous) item after the one the text names,
  // wrapping round; the id stepped to, -1 without items.
  int32_t stepSelection(bool forward);
  // With on, the field completes from the item labels.
  void setCompletion(bool on);

  WTextAutocomplete* getTextField() { return &text_; }
  WChoiceButton* getButton() { return &button_; }
  WLayoutMenu* getMenu() { return &menu_; }
  WMenuItem* getItem(int32_t id);

private:
  void selectAll();
  void choose(WMenuItem* item);

  WLayout* popupLayout_;
  bool caseSensitive_;
  WTextAutocomplete text_;
  WLayoutMenu menu_;
  WChoiceButton button_;
  std::map<int32_t, std::unique_ptr<WMenuItem>> items_;
  bool selectAllOnChoose_;
};

} // namespace wvw
