#include "serverconfig/ConnectionsPage.h"

#include "serverconfig/unix/AccessControlDlg.h"

#include "plat/ConfigParameter.h"
#include "plat/LogWriter.h"
#include "plat/ParameterSet.h"
#include "tx/TXWParent.h"
#include "ui/PlaceCheckBox.h"
#include "zav/Access.h"

#include <strings.h>

#include <algorithm>
#include <string>

static plat::LogWriter vlog("ConnectionsPage");

namespace serverconfig {

namespace {

const int u = 2;
const int maxPort = 65535;
const int buttonWidth = 76;
const int buttonHeight = 26;
const int fieldWidth = 52;
const int fieldHeight = 22;
const int tooltipWidth = 320;

const char* const noneText = "None";
const char* const interactiveText = "Interactive";
const char* const viewOnlyText = "View-only";
const char* const customText = "<custom>";

// A port as typed: decimal digits (a leading zero does not make it octal),
// the empty text 0, anything above 65535 (whatever its length) 65536.
int decimalPort(const char* text) {
  int n = 0;
  for (const char* p = text; *p; p++) {
    if (*p < '0' || *p > '9')
      break;
    n = std::min(n * 10 + (*p - '0'), maxPort + 1);
  }
  return n;
}

bool isPortName(const char* name) {
  return strcasecmp(name, "rfbport") == 0 || strcasecmp(name, "httpport") == 0;
}

// The access level that a "GuestAccess" text gives, as one of the choice's
// ids.
int guestLevel(const char* letters) {
  zav::Access::Rights rights(letters ? letters : "", true, zav::Access::NoAccess);
  switch (std::uint16_t(rights)) {
  case zav::Access::NoAccess:
    return ConnectionsPage::GuestNone;
  case zav::Access::View:
    return ConnectionsPage::GuestViewOnly;
  case zav::Access::Default:
    return ConnectionsPage::GuestInteractive;
  default:
    return ConnectionsPage::GuestCustom;
  }
}

} // namespace

ConnectionsPage::ConnectionsPage(Display* dpy, TXWParent* owner, OptionsDialog::Callback* callback,
                                 UnixAccessDialog* usersDialog, plat::ParameterSet* params,
                                 plat::ParameterSet* reference)
    : ConnDlgBase(dpy, owner, true, callback, usersDialog, params, reference),
      acceptCheck_("Accept connections on port", false),
      javaCheck_("Serve Java viewer on port", false), rfbPortField_(255), httpPortField_(255),
      ipFilterButton_("IP Filter..."), guestLabel_("Guest access:"),
      guestChoice_(this, false, true, 255), rfbPort_(params->get("rfbport")),
      httpPort_(params->get("httpport")), portOffset_(0), settingHttpPort_(false),
      loadingControl_(false) {
  portOffset_ = httpPort_->getValueInt() - rfbPort_->getValueInt();
  plat::ConfigParameter* guest = params->get("GuestAccess");
  customGuestAccess_ = guest->getValueStr().c_str();

  for (wvw::WText* field : {&rfbPortField_, &httpPortField_}) {
    field->setSize(fieldWidth, fieldHeight);
    field->setAllowedChars("0123456789");
  }
  guestChoice_.addItem(GuestNone, noneText);
  guestChoice_.addItem(GuestViewOnly, viewOnlyText);
  guestChoice_.addItem(GuestInteractive, interactiveText);
  if (guestLevel(customGuestAccess_.c_str()) == GuestCustom)
    guestChoice_.addItem(GuestCustom, customText);
  guestChoice_.setSelectedId(GuestNone);
  guestChoice_.setSize(encChoice_.width(), encChoice_.height());

  layOut();
  bindAll();
  accessDialog_ = std::make_unique<AccessControlDlg>(dpy);
  accessDialog_->setCallback(this);
}

ConnectionsPage::~ConnectionsPage() {
  accessDialog_.reset();
}

void ConnectionsPage::layOut() {
  int w, h;
  // The rows of the security box first: the port rows above end where the
  // box ends.
  wvw::WLayout* box = securityBox_.getContent();
  guestLabel_.getPreferredSize(&w, &h);
  guestLabel_.setSize(w, h);
  int labelRight = u + authLabel_.width();
  int choiceX = labelRight + 2 * u;
  box->addChildAt(&authLabel_, rfb::Point(u, u + (buttonHeight - authLabel_.height()) / 2));
  box->addChildAt(&authChoice_, rfb::Point(choiceX, u + (buttonHeight - authChoice_.height()) / 2));
  box->addChildAt(&configureButton_, rfb::Point(choiceX + authChoice_.width() + 2 * u, u));
  int row2Y = u + buttonHeight + 2 * u;
  box->addChildAt(&encLabel_, rfb::Point(labelRight - encLabel_.width(),
                                         row2Y + (encChoice_.height() - encLabel_.height()) / 2));
  box->addChildAt(&encChoice_, rfb::Point(choiceX, row2Y));
  int row3Y = row2Y + encChoice_.height() + 3 * u;
  box->addChildAt(&guestLabel_,
                  rfb::Point(labelRight - guestLabel_.width(),
                             row3Y + (guestChoice_.height() - guestLabel_.height()) / 2));
  box->addChildAt(&guestChoice_, rfb::Point(choiceX, row3Y));
  int encWidth = encChoice_.width();
  fitSecurityBox();
  guestChoice_.setSize(guestChoice_.width() + encChoice_.width() - encWidth, guestChoice_.height());
  box->getPreferredSize(&w, &h);
  box->setSize(w, h);
  securityBox_.getPreferredSize(&w, &h);
  securityBox_.setSize(w, h);
  int right = u + securityBox_.width();

  ui::placeCheckBox(this, &acceptCheck_, u, u, false);
  ui::placeCheckBox(this, &javaCheck_, u, u, false);
  // The button keeps its label on one line.
  ipFilterButton_.getPreferredSize(&w, &h);
  ipFilterButton_.setSize(std::max(buttonWidth, w), buttonHeight);
  int fieldX = u + acceptCheck_.width() + 2 * u;
  int fieldW = std::max(fieldWidth, right - ipFilterButton_.width() - 2 * u - fieldX);
  rfbPortField_.setSize(fieldW, fieldHeight);
  httpPortField_.setSize(fieldW, fieldHeight);
  addChildAt(&rfbPortField_, rfb::Point(fieldX, u));
  addChildAt(&ipFilterButton_, rfb::Point(fieldX + fieldW + 2 * u, u));
  moveChild(&acceptCheck_, rfb::Point(u, u + (fieldHeight - acceptCheck_.height()) / 2));

  int row2 = u + 2 * u + fieldHeight;
  addChildAt(&httpPortField_, rfb::Point(fieldX, row2));
  moveChild(&javaCheck_, rfb::Point(u, row2 + (fieldHeight - javaCheck_.height()) / 2));

  int actionY = row2 + fieldHeight + 2 * u;
  int actionLabelHeight = placeActionRow(u, actionY);

  int boxY = actionY + actionLabelHeight + 4 * u;
  addChildAt(&securityBox_, rfb::Point(u, boxY));
  setSize(securityBox_.width() + 2 * u, boxY + securityBox_.height() + u);
}

void ConnectionsPage::bindAll() {
  bindSecurity();
  bindCheck(acceptCheck_.getCheckBox(), "AllowRFB", "1", "0");
  bindCheck(javaCheck_.getCheckBox(), "AllowHTTP", "1", "0");
  bindChoice(&guestChoice_, "GuestAccess");
  bindText(&rfbPortField_, "rfbport");
  bindText(&httpPortField_, "httpport");
  setTooltip(&rfbPortField_, "The port number on which to accept Zav Viewer connections.",
             tooltipWidth);
  setTooltip(&httpPortField_, "The port number on which Zav Viewer for Java is served.",
             tooltipWidth);
  setTooltip(&ipFilterButton_, "Configure IP addresses for access (advanced).", tooltipWidth);
  setTooltip(guestChoice_.getButton(),
             "Configure the level of access given to the Guest login (when enabled).",
             tooltipWidth);
}

bool ConnectionsPage::ticked(wvw::WLabelCheckBox* box) {
  return box->getCheckBox()->isChecked();
}

void ConnectionsPage::setSecurityEnabled(bool enabled) {
  ConnDlgBase::setSecurityEnabled(enabled);
  rfbPortField_.setEnabled(enabled);
  javaCheck_.setEnabled(enabled);
  httpPortField_.setEnabled(enabled && ticked(&javaCheck_));
  guestLabel_.setEnabled(enabled);
  guestChoice_.setEnabled(enabled);
  ipFilterButton_.setEnabled(enabled);
}

bool ConnectionsPage::onClick(wvw::Widget* source) {
  AliveCheck alive(this);
  if (source == javaCheck_.getCheckBox()) {
    httpPortField_.setEnabled(ticked(&javaCheck_));
  } else if (source == acceptCheck_.getCheckBox()) {
    bool on = ticked(&acceptCheck_);
    setSecurityEnabled(on);
    // The Java viewer goes with the viewer port, written like a click.
    javaCheck_.getCheckBox()->setChecked(on);
    if (alive.gone())
      return true;
    httpPortField_.setEnabled(on);
  } else if (source == &ipFilterButton_) {
    hideTooltip();
    try {
      accessDialog_->showFor(getParameterSet());
      owner_->setInputDisabled(true);
    } catch (plat::Exception& e) {
      vlog.error("IP filter rules: %s", e.str());
    }
  }
  if (alive.gone())
    return true;
  return ConnDlgBase::onClick(source);
}

bool ConnectionsPage::onChange(wvw::Widget* source) {
  AliveCheck alive(this);
  if (source == &rfbPortField_) {
    int n = decimalPort(rfbPortField_.getText());
    if (n > maxPort) {
      // Reports the change again, which then writes it.
      rfbPortField_.setText("65535");
      return true;
    }
    // A showing loads both ports from the parameters: the HTTP port is then
    // loaded as it is, not made up from the distance.
    if (loadingControl_)
      return ConnDlgBase::onChange(source);
    int http = std::max(0, std::min(maxPort, n + portOffset_));
    settingHttpPort_ = true;
    httpPortField_.setText(std::to_string(http).c_str());
    if (alive.gone())
      return true;
    settingHttpPort_ = false;
  } else if (source == &httpPortField_) {
    int n = decimalPort(httpPortField_.getText());
    if (n > maxPort) {
      httpPortField_.setText("65535");
      return true;
    }
    if (!settingHttpPort_)
      portOffset_ = n - decimalPort(rfbPortField_.getText());
  }
  return ConnDlgBase::onChange(source);
}

bool ConnectionsPage::onAttach(wvw::Widget* source) {
  AliveCheck alive(this);
  loadingControl_ = true;
  bool handled = ConnDlgBase::onAttach(source);
  if (alive.gone())
    return true;
  loadingControl_ = false;
  if (source == acceptCheck_.getCheckBox()->getCheck())
    setSecurityEnabled(ticked(&acceptCheck_));
  else if (source == javaCheck_.getCheckBox()->getCheck())
    httpPortField_.setEnabled(ticked(&acceptCheck_) && ticked(&javaCheck_));
  return handled;
}

void ConnectionsPage::translateValue(const char* name, const char** value, bool toParam) {
  if (isPortName(name) && toParam && *value) {
    // The parameter would read "010" as octal and "09" as 0.
    int n = decimalPort(*value);
    if (**value && n <= maxPort) {
      portText_ = std::to_string(n);
      *value = portText_.c_str();
    }
    return;
  }
  if (strcasecmp(name, "GuestAccess") != 0)
    return;
  if (!toParam) {
    switch (guestLevel(*value)) {
    case GuestNone:
      *value = noneText;
      break;
    case GuestViewOnly:
      *value = viewOnlyText;
      break;
    case GuestInteractive:
      *value = interactiveText;
      break;
    default:
      *value = customText;
      break;
    }
    return;
  }
  const char* text = *value ? *value : "";
  if (strcasecmp(text, noneText) == 0)
    *value = "";
  else if (strcasecmp(text, interactiveText) == 0)
    *value = "d";
  else if (strcasecmp(text, viewOnlyText) == 0)
    *value = "v";
  else
    *value = customGuestAccess_.c_str();
}

} // namespace serverconfig
