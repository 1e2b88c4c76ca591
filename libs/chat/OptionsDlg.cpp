#include "chat/OptionsDlg.h"

#include "chat/ChatOptions.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include <climits>

static plat::LogWriter vlog("OptionsDlg");

namespace {
const char* const unitLabels[] = {"Days", "Messages"};
}

OptionsDlg::OptionsDlg(Display* dpy, ChatOptions* options, TXWindow* parent, const char* configFile)
    : TXDialog(dpy, 1, 1, "Options", false, true, parent), working_(*options),
      layout_(dpy, this, nullptr, &working_), panel_("Chat History"),
      keepHistory_("Log chat history", false), keepLast_("Keep the last"),
      number_(1, INT_MAX, false), unit_(&layout_, false, false, 255), ok_("OK"), cancel_("Cancel"),
      options_(options), configFile_(configFile ? configFile : "") {
  // The box at the left, and the label as wide as its text.
  keepHistory_.setLabelRight(true);
  keepHistory_.setProportions(0, 0);
  number_.getTextField()->setAllowedChars("0123456789");
  unit_.addItem(Days, unitLabels[Days]);
  unit_.addItem(Messages, unitLabels[Messages]);

  wvw::WLayout* inner = panel_.getContent();
  inner->addChild(&keepHistory_);
  inner->addChild(&keepLast_);
  inner->addChild(&number_);
  inner->addChild(&unit_);
  layout_.addChild(&panel_);
  layout_.addChild(&ok_);
  layout_.addChild(&cancel_);
  content_.addChild(&layout_);
  layOut();
  layout_.setInputHandler(this);
  setFixedSize(true);

  layout_.bindCheck(keepHistory_.getCheckBox(), "KeepHistory", "1", "0");
  applyEnabling();
}

OptionsDlg::~OptionsDlg() {
  // The controls leave while this dialog can still hear of it.
  if (isMapped())
    TXWParent::unmap();
  layout_.setInputHandler(nullptr);
  content_.removeChild(&layout_);
}

void OptionsDlg::layOut() {
  const int sx = xPad, sy = yPad;
  int w, h;
  keepHistory_.getPreferredSize(&w, &h);
  wvw::WLayout* inner = panel_.getContent();
  inner->setChildRect(&keepHistory_, rfb::Rect::at(rfb::Point(2 * sx, sy), w, h));
  const int row = 3 * sy + h;
  int lw, lh, cw, ch;
  keepLast_.getPreferredSize(&lw, &lh);
  unit_.getPreferredSize(&cw, &ch);
  inner->setChildRect(&keepLast_, rfb::Rect::at(rfb::Point(2 * sx, row), lw, lh));
  inner->setChildRect(&number_, rfb::Rect::at(rfb::Point(4 * sx + lw, row), 100, ch));
  inner->setChildRect(&unit_, rfb::Rect::at(rfb::Point(6 * sx + lw + 100, row), cw, ch));

  int pw, ph;
  panel_.getPreferredSize(&pw, &ph);
  layout_.setChildRect(&panel_, rfb::Rect::at(rfb::Point(2 * sx, 2 * sy), pw, ph));

  // The buttons are placed by the width the panel gives the layout.
  const int L = 2 * sx + pw;
  const int buttons = 4 * sy + ph;
  const int centre = (L + 4 * sx) / 2;
  int width = L + 2 * sx, height = 6 * sy + ph + buttonHeight;
  layout_.setChildRect(&ok_, rfb::Rect::at(rfb::Point(centre - buttonWidth - sx, buttons),
                                           buttonWidth, buttonHeight));
  layout_.setChildRect(&cancel_,
                       rfb::Rect::at(rfb::Point(centre + sx, buttons), buttonWidth, buttonHeight));
  content_.setChildRect(&layout_, rfb::Rect(0, 0, width, height));
  setContentSize(width, height);
}

void OptionsDlg::applyEnabling() {
  bool on = keepHistory_.getCheckBox()->isChecked();
  keepLast_.setEnabled(on);
  number_.setEnabled(on);
  unit_.setEnabled(on);
}

void OptionsDlg::storeExpiry() {
  int n = number_.getValue();
  bool days = unit_.getSelectedId() == Days;
  working_.get("ExpiryDays")->setParamInt(days ? n : 0, 50);
  working_.get("ExpiryMessages")->setParamInt(days ? 0 : n, 50);
}

bool OptionsDlg::onAttach(wvw::Widget* source) {
  if (source == &unit_ || source == &number_) {
    // Loading shows the settings; only the user's edits reach the working
    // copy (a number the field cannot show, 0 or negative, would otherwise
    // be replaced by whatever the field held).
    bool wasLoading = loading_;
    loading_ = true;
    int days = options_->expiryDays;
    if (source == &unit_)
      unit_.setSelectedId(days != 0 ? Days : Messages);
    else
      number_.setValue(days != 0 ? days : int(options_->expiryMessages));
    loading_ = wasLoading;
    return true;
  }
  if (source == keepHistory_.getCheckBox()->getCheck())
    applyEnabling();
  return false;
}

bool OptionsDlg::onChange(wvw::Widget* source) {
  if (source == &unit_ || source == unit_.getTextField() || source == &number_) {
    if (!loading_)
      storeExpiry();
    return true;
  }
  if (source == keepHistory_.getCheckBox()->getCheck())
    applyEnabling();
  return false;
}

bool OptionsDlg::onClick(wvw::Widget* source) {
  if (source == &ok_) {
    try {
      ChatOptions::saveChanges(working_, *options_, configFile_.c_str());
    } catch (plat::Exception& e) {
      vlog.error("%s", e.str());
      errorBox_.show(e.str());
      return true;
    }
    options_->setValuesFrom(working_);
    endDialog(true);
    return true;
  }
  if (source == &cancel_) {
    forgetEdits();
    endDialog(false);
    return true;
  }
  return false;
}

// The edits were made at the dialog's priority, above that of the settings
// read from the file or left at their defaults: the live values are copied
// whole, not set at their (lower) priority, which would leave the edits in
// force.
void OptionsDlg::forgetEdits() {
  working_.copyAllValuesFrom(*options_);
}

void OptionsDlg::deleteWindow(TXWindow* window) {
  forgetEdits();
  TXDialog::deleteWindow(window);
}

void OptionsDlg::dialogFinished(TXDialog*, bool) {
  setInputDisabled(false);
}
