#include "serverconfig/InputsPage.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include "tx/TXMsgBox.h"
#include "tx/TXWParent.h"
#include "ui/PlaceCheckBox.h"

#include <strings.h>

static plat::LogWriter vlog("InputsPage");

namespace serverconfig {

const char* const InputsPage::viewOnlyQuestion =
    "You are about to disable mouse and keyboard input to Zav Server. This action will make Zav "
    "Server view-only, and cannot easily be undone.\n\nAre you sure you want to continue?";

namespace {

const int tooltipWidth = 320;

} // namespace

InputsPage::InputsPage(_XDisplay* dpy, TXWParent* owner, plat::ParameterSet* set,
                       plat::ParameterSet* target)
    : WConfigLayout(dpy, owner, this, set, target), label_("Inputs:"),
      choice_(this, false, false, 255), keyboard_("Enable keyboard input", false),
      mouse_("Enable mouse input", false), clipboard_("Share clipboard with Zav Viewers", false),
      files_("Share files with Zav Viewers", false), chat_("Enable Chat", false),
      customShown_(false) {
  choice_.addItem(Enabled, "Enabled");
  choice_.addItem(Disabled, "Disabled (view-only mode)");
  choice_.setSelectedId(Enabled);
  layOut();
  bindAll();
}

InputsPage::~InputsPage() = default;

void InputsPage::layOut() {
  int s = hMargin_;
  int lw, lh, cw, ch;
  label_.setWordWrap(false);
  label_.getPreferredSize(&lw, &lh);
  label_.setSize(lw, lh);
  choice_.getPreferredSize(&cw, &ch);
  choice_.setSize(cw, ch);
  addChildAt(&label_, rfb::Point(3 * s, s + (ch - lh) / 2));
  addChildAt(&choice_, rfb::Point(3 * s + lw + s, s));

  int y = s + 3 * s + ch;
  int lastY = y, lastHeight = 0;
  for (wvw::WLabelCheckBox* box : {&keyboard_, &mouse_, &clipboard_, &files_, &chat_}) {
    ui::placeCheckBox(this, box, 3 * s, y, false);
    lastY = y;
    lastHeight = box->height();
    y += box->height() + 2 * s;
  }
  setSize(7 * s + cw + lw, lastY + 6 * s + lastHeight);
}

void InputsPage::bindAll() {
  try {
    bindCheck(keyboard_.getCheckBox(), "AcceptKeyEvents", "1", "0");
    bindCheck(mouse_.getCheckBox(), "AcceptPointerEvents", "1", "0");
    bindCheck(files_.getCheckBox(), "ShareFiles", "1", "0");
    const CheckBinding clipboard[] = {
        {"SendCutText", "1", "0"}, {"AcceptCutText", "1", "0"}, {nullptr, nullptr, nullptr}};
    bindCheckValues(clipboard_.getCheckBox(), clipboard);
    bindCheck(chat_.getCheckBox(), "EnableChat", "1", "0");
  } catch (plat::Exception& e) {
    vlog.error("%s", e.str());
  }
  setTooltip(keyboard_.getCheckBox(), "Enable keyboard interaction with Zav Server.", tooltipWidth);
  setTooltip(mouse_.getCheckBox(), "Enable mouse interaction with Zav Server.", tooltipWidth);
  setTooltip(clipboard_.getCheckBox(),
             "Exchange the contents of the local clipboard with Zav Viewers.", tooltipWidth);
  setTooltip(files_.getCheckBox(), "Enable file transfer to and from Zav Viewers.", tooltipWidth);
  setTooltip(chat_.getCheckBox(), "Enable Chat with Zav Viewers.", tooltipWidth);
  setTooltip(choice_.getButton(), "Select an input configuration.", tooltipWidth);
}

bool InputsPage::isBox(wvw::Widget* source) {
  for (wvw::WLabelCheckBox* box : {&keyboard_, &mouse_, &clipboard_, &files_, &chat_})
    if (source == box->getCheckBox())
      return true;
  return false;
}

void InputsPage::updateChoice() {
  int ticked = 0, unticked = 0;
  for (wvw::WLabelCheckBox* box : {&keyboard_, &mouse_, &clipboard_, &files_, &chat_}) {
    wvw::WCheckBox* b = box->getCheckBox();
    // A box in the mixed state is neither: the summary is "Custom".
    if (b->isIndeterminate())
      continue;
    (b->isChecked() ? ticked : unticked)++;
  }
  int id = ticked == 5 ? Enabled : unticked == 5 ? Disabled : Custom;
  if (id == Custom && !customShown_) {
    choice_.addItem(Custom, "Custom");
    customShown_ = true;
  } else if (id != Custom && customShown_) {
    choice_.removeItem(Custom);
    customShown_ = false;
  }
  if (choice_.getSelectedId() != id)
    choice_.setSelectedId(id);
}

bool InputsPage::onClick(wvw::Widget* source) {
  AliveCheck alive(this);
  if (source == choice_.getTextField()) {
    int id = choice_.getSelectedId();
    if (id == Enabled || id == Disabled) {
      for (wvw::WLabelCheckBox* box : {&keyboard_, &mouse_, &clipboard_, &files_, &chat_}) {
        box->getCheckBox()->setChecked(id == Enabled);
        if (alive.gone())
          return true;
      }
    }
    if (customShown_ && id != Custom) {
      choice_.removeItem(Custom);
      customShown_ = false;
    }
  } else if (isBox(source)) {
    updateChoice();
  }
  if (alive.gone())
    return true;
  return WConfigLayout::onClick(source);
}

bool InputsPage::onAttach(wvw::Widget* source) {
  AliveCheck alive(this);
  bool handled = WConfigLayout::onAttach(source);
  if (!alive.gone() && source == chat_.getCheckBox()->getCheck())
    updateChoice();
  return handled;
}

bool InputsPage::isOn(const char* name) {
  plat::ConfigParameter* param = getParameterSet()->find(name);
  if (!param)
    return false;
  if (param->getValueInt() != 0)
    return true;
  plat::String text = param->getValueStr();
  for (const char* word : {"1", "on", "true", "yes"})
    if (strcasecmp(text.c_str(), word) == 0)
      return true;
  return false;
}

bool InputsPage::confirmViewOnly() {
  if (isOn("AcceptKeyEvents") || isOn("AcceptPointerEvents"))
    return true;
  TXMsgBox box(dpy_, viewOnlyQuestion, TXMsgBox::YesNo | TXMsgBox::IconWarning, nullptr, true,
               owner_);
  return box.show();
}

} // namespace serverconfig
