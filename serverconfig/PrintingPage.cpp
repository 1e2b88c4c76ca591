#include "serverconfig/PrintingPage.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include "ui/PlaceCheckBox.h"

static plat::LogWriter vlog("PrintingPage");

namespace serverconfig {

PrintingPage::PrintingPage(_XDisplay* dpy, TXWParent* owner, OptionsDialog::Callback* callback,
                           plat::ParameterSet* set, plat::ParameterSet* target,
                           PrintingPageModel::PrintingSystem* system)
    : WConfigLayout(dpy, owner, this, set, target), callback_(callback),
      share_("Allow Zav Viewers to share printers", false),
      changeDefault_("Allow Zav Viewers to change the default printer", false),
      model_(*callback, *set, system) {
  layOut();
  try {
    bindCheck(changeDefault_.getCheckBox(), "AllowChangeDefaultPrinter", "1", "0");
  } catch (plat::Exception& e) {
    // The box then stays as it is; the model disables nothing for it.
    vlog.error("%s", e.str());
  }
}

PrintingPage::~PrintingPage() = default;

void PrintingPage::layOut() {
  int s = hMargin_;
  ui::placeCheckBox(this, &share_, 3 * s, s, false);
  int y = s + share_.height() + 2 * s;
  ui::placeCheckBox(this, &changeDefault_, 7 * s, y, false);
  y += changeDefault_.height() + 4 * s;
  status_.setMargin(0);
  status_.setAlignment(0, 0);
  status_.setWordWrap(true);
  status_.setSize(statusWidth, statusHeight);
  addChildAt(&status_, rfb::Point(3 * s, y));
  int w, h;
  getPreferredSize(&w, &h);
  setSize(w + 3 * s, h + s);
}

void PrintingPage::showModel() {
  AliveCheck alive(this);
  share_.getCheckBox()->setChecked(model_.share());
  if (alive.gone())
    return;
  share_.setEnabled(model_.shareEnabled());
  changeDefault_.setEnabled(model_.changeDefaultEnabled());
  status_.setText(model_.statusText());
}

void PrintingPage::updateStatus() {
  model_.updateStatus();
  showModel();
}

bool PrintingPage::onClick(wvw::Widget* source) {
  AliveCheck alive(this);
  if (source == changeDefault_.getCheckBox())
    model_.clickChangeDefault(changeDefault_.getCheckBox()->isChecked());
  else
    model_.clickShare(share_.getCheckBox()->isChecked());
  showModel();
  if (alive.gone())
    return true;
  return WConfigLayout::onClick(source);
}

bool PrintingPage::onAttach(wvw::Widget* source) {
  AliveCheck alive(this);
  bool handled = WConfigLayout::onAttach(source);
  if (!alive.gone() && source == &status_) {
    model_.load();
    showModel();
  }
  return handled;
}

} // namespace serverconfig
