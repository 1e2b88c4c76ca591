#include "serverconfig/BasicOptionsDlg.h"

#include "plat/LogWriter.h"
#include "ui/PlaceCheckBox.h"

namespace serverconfig {

static plat::LogWriter vlog("BasicOptionsDlg");

namespace {
const int u = 2;
const int rowHeight = 26;
} // namespace

BasicOptionsDlg::BasicOptionsDlg(Display* dpy, TXWParent* owner, OptionsDialog::Callback* callback,
                                 UnixAccessDialog* usersDialog, plat::ParameterSet* params,
                                 plat::ParameterSet* reference)
    : ConnDlgBase(dpy, owner, false, callback, usersDialog, params, reference),
      allowCheck_("Allow Zav Viewers to connect to Zav Server", false) {
  ui::placeCheckBox(this, &allowCheck_, 3 * u, u, false);
  int actionY = u + 2 * u + allowCheck_.height();
  int actionLabelHeight = placeActionRow(3 * u, actionY);

  wvw::WLayout* box = securityBox_.getContent();
  int labelRight = 3 * u + authLabel_.width();
  box->addChildAt(&authLabel_, rfb::Point(3 * u, u + (rowHeight - authLabel_.height()) / 2));
  box->addChildAt(&authChoice_,
                  rfb::Point(labelRight + 2 * u, u + (rowHeight - authChoice_.height()) / 2));
  box->addChildAt(&configureButton_, rfb::Point(labelRight + authChoice_.width() + 4 * u, u));
  int row2 = 3 * u + rowHeight;
  box->addChildAt(&encLabel_, rfb::Point(labelRight - encLabel_.width(),
                                         row2 + (encChoice_.height() - encLabel_.height()) / 2));
  box->addChildAt(&encChoice_, rfb::Point(labelRight + 2 * u, row2));
  fitSecurityBox();
  int boxY = actionY + actionLabelHeight + 4 * u;
  addChildAt(&securityBox_, rfb::Point(u, boxY));
  setSize(securityBox_.width() + 2 * u, boxY + securityBox_.height() + u);

  bindSecurity();
  const CheckBinding allow[] = {
      {"AllowRfb", "1", "0"}, {"AllowHttp", "1", "0"}, {nullptr, nullptr, nullptr}};
  bindCheckValues(allowCheck_.getCheckBox(), allow);
  const char* tip = "Allow people to connect to your computer using Zav Viewer.";
  for (wvw::Widget* w : std::initializer_list<wvw::Widget*>{&allowCheck_, allowCheck_.getCheckBox(),
                                                            allowCheck_.getLabel()})
    setTooltip(w, tip, 320);
}

BasicOptionsDlg::~BasicOptionsDlg() = default;

bool BasicOptionsDlg::allowed() {
  wvw::WCheckBox* box = allowCheck_.getCheckBox();
  return box->isChecked() || box->isIndeterminate();
}

bool BasicOptionsDlg::onClick(wvw::Widget* source) {
  if (source == allowCheck_.getCheckBox())
    setSecurityEnabled(allowed());
  return ConnDlgBase::onClick(source);
}

bool BasicOptionsDlg::onAttach(wvw::Widget* source) {
  AliveCheck alive(this);
  bool handled = ConnDlgBase::onAttach(source);
  if (alive.gone())
    return true;
  if (source == allowCheck_.getCheckBox()->getCheck())
    setSecurityEnabled(allowed());
  return handled;
}

} // namespace serverconfig
