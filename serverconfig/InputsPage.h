// The "Inputs" page of the server options dialog: five tick boxes that switch
// the viewers' keyboard and mouse input, the clipboard exchange, file sharing
// and chat on or off, each bound to server parameters of the working set,
// and a drop-down summary ("Enabled", "Disabled (view-only mode)" and, while
// it is the selection, "Custom") that sets all five at once. Before options
// are applied in virtual mode it asks the user to confirm a view-only server.
// The widgets are owned; the parameter sets, display and owner
// window are not.
#pragma once

#include "ui/WConfigLayout.h"

#include "wvw/WChoice.h"
#include "wvw/WLabel.h"
#include "wvw/WLabelCheckBox.h"

class TXWParent;

namespace serverconfig {

class InputsPage : public ui::WConfigLayout {
public:
  enum { Enabled = 0, Disabled = 1, Custom = 2 };

  InputsPage(_XDisplay* dpy, TXWParent* owner, plat::ParameterSet* set, plat::ParameterSet* target);
  ~InputsPage() override;

  // A pick in the summary sets the five boxes; a click on a box updates the
  // summary.
  bool onClick(wvw::Widget* source) override;
  // Loads the bound boxes; once the last box is loaded the summary follows.
  bool onAttach(wvw::Widget* source) override;

  // Whether the options may be applied: true when keyboard or mouse input
  // stays on, else the user's answer to a modal warning box (transient for
  // the owner window). Asked only in virtual mode.
  bool confirmViewOnly();

  static const char* const viewOnlyQuestion;

  wvw::WChoice* choice() { return &choice_; }
  wvw::WLabel* label() { return &label_; }
  wvw::WLabelCheckBox* keyboardBox() { return &keyboard_; }
  wvw::WLabelCheckBox* mouseBox() { return &mouse_; }
  wvw::WLabelCheckBox* clipboardBox() { return &clipboard_; }
  wvw::WLabelCheckBox* filesBox() { return &files_; }
  wvw::WLabelCheckBox* chatBox() { return &chat_; }
  bool customShown() const { return customShown_; }

private:
  void layOut();
  void bindAll();
  void updateChoice();
  bool isBox(wvw::Widget* source);
  bool isOn(const char* name);

  wvw::WLabel label_;
  wvw::WChoice choice_;
  wvw::WLabelCheckBox keyboard_;
  wvw::WLabelCheckBox mouse_;
  wvw::WLabelCheckBox clipboard_;
  wvw::WLabelCheckBox files_;
  wvw::WLabelCheckBox chat_;
  bool customShown_;
};

} // namespace serverconfig
