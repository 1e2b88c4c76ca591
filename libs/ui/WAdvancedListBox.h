// The expert view of a parameter set: one row per parameter (name on the
// left, current value on the right) under a "Name" / "Value" header whose
// divider can be dragged. Clicking a value opens an editor in place (a
// drop-down for booleans and enumerations, a text field otherwise) and the
// edited value is written straight into the parameter. Resting the pointer
// on a name shows the parameter's description. The list owns its rows,
// cells, editors, header and scroll bar; the parameter set is not owned
// and must outlive the list.
#pragma once

#include "ui/TooltipLayout.h"
#include "ui/WChoiceItem.h"
#include "ui/WDiscreteScrollBar.h"
#include "ui/WHeader.h"
#include "ui/WLabelItem.h"
#include "ui/WTextItem.h"

#include "plat/ConfigParameter.h"
#include "plat/ParameterSet.h"

#include <memory>
#include <string>
#include <vector>

namespace ui {

class WAdvancedListBox : public TooltipLayout {
public:
  // One row: the parameter (not owned) and its two cells (owned).
  class NameValuePair {
  public:
    explicit NameValuePair(plat::ConfigParameter* p, const char* value)
        : param(p), name(p->getName(), true), value(value, false) {}
    virtual ~NameValuePair() = default;
    plat::ConfigParameter* param;
    WLabelItem name;
    WLabelItem value;
  };

  explicit WAdvancedListBox(plat::ParameterSet* set);
  ~WAdvancedListBox() override;

  bool onButtonPress(int button, wvw::Widget* source) override;
  bool onButtonRelease(int button, wvw::Widget* source) override;
  bool onKey(uint32_t keysym, bool down, wvw::Widget* source) override;
  bool onClick(wvw::Widget* source) override;
  bool onChange(wvw::Widget* source) override;
  bool onAttach(wvw::Widget* source) override;
  bool onSizeChange(wvw::Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;

  void openEditor(NameValuePair* row);
  void applyEdit();
  void closeEditor();
  void layoutRows();
  // Set by the choice editor when one of its entries is chosen.
  void setEditValue(const char* text);

  int numRows() const { return int(rows_.size()); }
  NameValuePair* row(int i) const { return rows_[size_t(i)].get(); }
  NameValuePair* getEditedRow() const { return edited_; }
  int getRowHeight() const { return rowHeight_; }
  int getDividerX() const { return dividerX_; }
  WHeader* getHeader() { return &header_; }
  WChoiceItem* getChoiceEditor() { return &choice_; }
  WTextItem* getTextEditor() { return &text_; }
  WDiscreteScrollBar* getScrollBar() { return &scrollBar_; }

private:
  void findShownRows(bool scrolling);
  int contentWidth(bool scrolling);
  NameValuePair* rowOf(wvw::Widget* w);
  std::string valueText(plat::ConfigParameter* p);
  bool setSlider(int value);

  plat::ParameterSet* set_;
  std::vector<std::unique_ptr<NameValuePair>> rows_;
  size_t firstShown_;
  size_t lastShown_;
  NameValuePair* edited_;
  WHeader header_;
  WChoiceItem choice_;
  WTextItem text_;
  std::unique_ptr<std::string> editValue_;
  WDiscreteScrollBar scrollBar_;
  int rowHeight_;
  int shownCount_;
  int dividerX_;
  int contentHeight_;
  int firstY_;
  rfb::Rect emptyArea_;
};

} // namespace ui
