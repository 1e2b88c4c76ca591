// The expert option page: every parameter of a set in a name/value list
// that fills the page. When the dialog applies (or leaves the page) the
// edited values are copied into the target set. The list is owned; the two
// sets are not.
#pragma once

#include "ui/PropertiesDialog.h"
#include "ui/WAdvancedListBox.h"
#include "ui/WConfigLayout.h"

namespace ui {

class AdvancedDialog : public WConfigLayout, public PropertiesDialog::Validator {
public:
  AdvancedDialog(_XDisplay* dpy, TXWParent* owner, wvw::Widget* tooltipOwner,
                 plat::ParameterSet* set, plat::ParameterSet* target);
  ~AdvancedDialog() override;

  bool onSizeChange(wvw::Widget* source) override;
  // Both copy the values into the target set and answer true.
  bool validate(const PropertiesDialog::Page& page) override;
  void apply();
  // Whether the two sets differ (false without a target set).
  bool changed() const;

  WAdvancedListBox* getList() { return &list_; }

private:
  WAdvancedListBox list_;
};

} // namespace ui
