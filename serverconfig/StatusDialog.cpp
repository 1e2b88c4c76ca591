#include "serverconfig/StatusDialog.h"

#include "plat/BoolParameter.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "plat/unix/PrimaryIp4.h"
#include "serverconfig/DummyStatusIcon.h"
#include "serverconfig/StatusIconWindow.h"
#include "zav/Access.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

static plat::LogWriter vlog("StatusDialog");

static plat::BoolParameter
    quitOnCloseStatusDialog("QuitOnCloseStatusDialog",
                            "Shut down Zav Server when the server status dialog is closed.", false);

namespace serverconfig {

namespace {

const int headerWidth = 420, iconSize = 24, buttonWidth = 110, buttonHeight = 25;
const int xSpacing = 3, ySpacing = 3;

// A decimal number, or def when the text is absent or not a number.
long decimal(const char* text, long def) {
  if (!text || !*text)
    return def;
  char* end;
  long value = strtol(text, &end, 10);
  return *end ? def : value;
}

// The comma-separated entries of text.
std::vector<std::string> entries(const char* text) {
  std::vector<std::string> out;
  std::string all = text ? text : "";
  size_t start = 0;
  while (start <= all.size()) {
    size_t comma = all.find(',', start);
    if (comma == std::string::npos)
      comma = all.size();
    if (comma > start)
      out.push_back(all.substr(start, comma - start));
    start = comma + 1;
  }
  return out;
}

} // namespace

StatusDialog::StatusDialog(Display* dpy, Callback* callback,
                           ConnectionsList::Callback* connectionsCallback, bool iconic)
    : TXWParent(dpy, nullptr), callback_(callback), model_(&links_),
      connections_(connectionsCallback),
      header_(nullptr, "^bZav\xc2\xae Server Status and Troubleshooting^n\n\nThis page shows the "
                       "current status of Zav Server and helps to diagnose common configuration "
                       "problems."),
      cross_("cross.ico", iconSize), tick_("tick.ico", iconSize), warning_("warning.ico", iconSize),
      summaryLabel_(&model_, nullptr), details_("Details"), detailsLabel_(&model_, nullptr),
      options_("Options..."), close_("Close") {
  model_.setMode(decimal(callback_->getStatusParam("is_module"), 0) != 0 ? 1 : 3);
  model_.setNoActionLinks(false);
  layout_.addChild(&header_);
  layout_.addChild(&cross_);
  layout_.addChild(&tick_);
  layout_.addChild(&warning_);
  layout_.addChild(&summaryLabel_);
  layout_.addChild(&details_);
  details_.getContent()->addChild(&detailsLabel_);
  layout_.addChild(&close_);
  close_.setInputHandler(this);
  options_.setInputHandler(this);
  // Until a tray icon embeds, the window reports to its own "Commands" menu,
  // which stands in the button row.
  iconWindow_.reset(new StatusIconWindow(*this));
  fallbackIcon_.reset(new DummyStatusIcon(*iconWindow_, &layout_));
  iconCallback_ = fallbackIcon_.get();
  layout_.addChild(fallbackIcon_->getButton(), &close_);
  setChild(&layout_);
  refreshAll(false);
  refreshTexts();
  setFixedSize(true);
  centreOnScreen();
  setupToplevel(model_.updateTitle(), this, 0, nullptr, nullptr, iconic);
}

StatusDialog::~StatusDialog() {
  // The layout is a member: detach it before the host window goes.
  setChild(nullptr);
  fallbackIcon_.reset();
}

void StatusDialog::updateNetworkStatus(bool refresh) {
  const char* allow = callback_->getParam("AllowRfb");
  if (allow && strcmp(allow, "0") == 0) {
    model_.setRfbListenerError(0);
    model_.setRfbPort(0);
  } else {
    model_.setRfbListenerError(
        unsigned(decimal(callback_->getStatusParam("active_listener_error_number"), 0)));
    model_.setRfbPort(unsigned(decimal(callback_->getParam("rfbPort"), 0)));
  }
  allow = callback_->getParam("AllowHttp");
  if (allow && strcmp(allow, "0") == 0) {
    model_.setWebListenerError(0);
    model_.setWebPort(0);
  } else {
    model_.setWebListenerError(
        unsigned(decimal(callback_->getStatusParam("passive_listener_error_number"), 0)));
    model_.setWebPort(unsigned(decimal(callback_->getParam("httpPort"), 0)));
  }
  plat::String hosts(callback_->getParam("Hosts"));
  plat::String transports(callback_->getParam("InTransports"));
  model_.setFilterBlocksIPv6(hosts.get(), transports.get());

  std::vector<plat::String> addresses;
  bool ipv4 = false;
  for (const std::string& t : entries(transports.get()))
    ipv4 = ipv4 || strcasecmp(t.c_str(), "ipv4") == 0;
  if (ipv4) {
    plat::String primary;
    try {
      primary = os::getPrimaryIp4();
    } catch (plat::Exception& e) {
      vlog.write(10, "%s", e.str());
    }
    bool havePrimary = !primary.isNull() && primary.get()[0];
    if (havePrimary)
      addresses.push_back(primary);
    for (const std::string& a : entries(callback_->getStatusParam("ip_addrs"))) {
      if (havePrimary && (a == primary.get() || a.compare(0, 4, "127.") == 0))
        continue;
      addresses.push_back(plat::String(a.c_str()));
    }
  }
  model_.setAddresses(addresses);
  updateTooltip();
  if (refresh)
    refreshTexts();
}

void StatusDialog::updateConnections(bool refresh) {
  connections_.refresh();
  model_.setUserCount(unsigned(connections_.count()));
  if (refresh)
    refreshTexts();
}

void StatusDialog::updateKeySignature(bool refresh) {
  model_.setKeySignature(callback_->getStatusParam("public_key_signature"));
  if (refresh)
    refreshTexts();
}

void StatusDialog::updateSecurity(bool refresh) {
  const char* has = callback_->getStatusParam("has_zav_passwd");
  bool hasPassword = !(has && decimal(has, -1) == 0);
  model_.setSecurity(hasPassword, callback_->getParam("UserPasswdVerifier"));
  if (refresh)
    refreshTexts();
}

void StatusDialog::refreshAll(bool refresh) {
  updateConnections(false);
  updateNetworkStatus(false);
  updateKeySignature(false);
  updateSecurity(refresh);
  refreshIcon();
}

void StatusDialog::refreshTexts() {
  plat::String summary = model_.summaryMarkup();
  summaryLabel_.setText(summary.c_str());
  plat::String details = model_.detailsMarkup();
  detailsLabel_.setText(details.c_str());
  int level = model_.level();
  tick_.setVisible(level == 0);
  cross_.setVisible(level == 3);
  warning_.setVisible(level == 2);
  layOut();
  refreshIcon();
}

void StatusDialog::refreshIcon() {
  long shareFiles = decimal(callback_->getParam("ShareFiles"), 0);
  long enableChat = decimal(callback_->getParam("EnableChat"), 0);
  long guestLogin = decimal(callback_->getParam("EnableGuestLogin"), 0);
  long disableTray = decimal(callback_->getParam("DisableTrayIcon"), 0);
  zav::Access::Rights guest(zav::Access::NoAccess);
  const char* guestText = callback_->getParam("GuestAccess");
  if (guestText)
    guest = zav::Access::Rights(guestText, true, zav::Access::NoAccess);
  model_.setTrayIconSetting(unsigned(disableTray));
  if (!iconCallback_)
    return;
  iconCallback_->enableGuestLogin(guest != zav::Access::NoAccess);
  iconCallback_->tickGuestLogin(guestLogin != 0);
  iconCallback_->setIcon(unsigned(model_.trayIconState()));
  iconCallback_->enableFileTransfer(shareFiles != 0);
  iconCallback_->enableChat(enableChat != 0);
}

void StatusDialog::updateTooltip() {
  if (iconCallback_)
    iconCallback_->setTooltip(model_.tooltipText(true));
}

void StatusDialog::setIconCallback(IconCallback* callback) {
  if (!callback)
    callback = fallbackIcon_.get();
  if (callback == iconCallback_)
    return;
  iconCallback_ = callback;
  refreshIcon();
  updateTooltip();
}

void StatusDialog::setTrayIconEmbedded(bool embedded) {
  if (embedded == trayIconEmbedded_)
    return;
  layout_.removeChild(middleButton());
  trayIconEmbedded_ = embedded;
  layout_.addChild(middleButton(), &close_);
  layOut();
}

wvw::Widget* StatusDialog::middleButton() {
  if (trayIconEmbedded_)
    return &options_;
  return fallbackIcon_->getButton();
}

void StatusDialog::showStatus() {
  // Unmapping and mapping again brings the window up in front, wherever it
  // was.
  setIconic(false);
  unmap();
  map();
}

void StatusDialog::putAway() {
  callback_->iconify();
}

void StatusDialog::setGuestLogin() {
  bool on = decimal(callback_->getParam("EnableGuestLogin"), 0) != 0;
  callback_->setParam("EnableGuestLogin", on ? "0" : "1");
  refreshIcon();
}

void StatusDialog::disconnectAll() {
  if (!callback_->disconnectAll())
    vlog.error("The server did not disconnect its viewers");
}

void StatusDialog::showChat() {
  callback_->openChat();
}

void StatusDialog::showFileTransfer() {
  vlog.status("No file-transfer window to show");
}

void StatusDialog::openAddClientDialog() {
  vlog.status("No connect-to-viewer dialog to show");
}

void StatusDialog::showOptions() {
  vlog.status("No options dialog to show");
}

void StatusDialog::layOut() {
  const int x = xSpacing, y = ySpacing, w = headerWidth;
  int pw, ph;
  header_.setSize(w - 4 * x, 1);
  header_.getPreferredSize(&pw, &ph);
  layout_.setChildRect(&header_, rfb::Rect(2 * x, 2 * y, w - 2 * x, 2 * y + ph));
  int top = 2 * y + ph + 2 * y;
  for (wvw::Widget* icon : {&cross_, &tick_, &warning_})
    layout_.setChildRect(icon, rfb::Rect(2 * x, top, 2 * x + iconSize, top + iconSize));
  summaryLabel_.setSize(w - 6 - (4 * x + iconSize), 1);
  summaryLabel_.getPreferredSize(&pw, &ph);
  int lineTop = top + (iconSize - summaryLabel_.fontHeight()) / 2;
  layout_.setChildRect(&summaryLabel_, rfb::Rect(4 * x + iconSize, lineTop, w - 6,
                                                 std::max(lineTop + ph, top + iconSize)));
  int panelTop = top + iconSize + y;
  detailsLabel_.setSize(w - 8 * x, 1);
  detailsLabel_.getPreferredSize(&pw, &ph);
  details_.getContent()->setChildRect(&detailsLabel_, rfb::Rect(0, 0, w - 8 * x, ph));
  int panelW, panelH;
  details_.setSize(w - 4 * x, ph);
  details_.getPreferredSize(&panelW, &panelH);
  layout_.setChildRect(&details_, rfb::Rect(2 * x, panelTop, w - 2 * x, panelTop + panelH));
  int buttonsTop = panelTop + panelH + 2 * y;
  int closeLeft = w - 2 * x - buttonWidth;
  layout_.setChildRect(&close_,
                       rfb::Rect(closeLeft, buttonsTop, w - 2 * x, buttonsTop + buttonHeight));
  layout_.setChildRect(middleButton(), rfb::Rect(closeLeft - x - buttonWidth, buttonsTop,
                                                 closeLeft - x, buttonsTop + buttonHeight));
  int height = buttonsTop + buttonHeight + 2 * y;
  setMinSize(w, height);
  setMaxSize(w, height);
  setContentSize(w, height);
}

bool StatusDialog::onClick(wvw::Widget* source) {
  if (source == &close_) {
    deleteWindow(this);
    return true;
  }
  if (source == &options_) {
    showOptions();
    return true;
  }
  return false;
}

void StatusDialog::deleteWindow(TXWindow*) {
  // The tray icon decides whether the window hides or iconifies; the
  // fallback iconifies it, so it stays reachable.
  if (quitOnCloseStatusDialog)
    fallbackIcon_->checkVisibility();
  else
    iconCallback_->checkVisibility();
}

} // namespace serverconfig
