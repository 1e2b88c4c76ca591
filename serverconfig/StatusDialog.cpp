#include "serverconfig/StatusDialog.h"

#include "serverconfig/ConnectionsDialog.h"
#include "serverconfig/DummyStatusIcon.h"
#include "serverconfig/ServerStatusHLCallback.h"
#include "serverconfig/StatusWindowActions.h"
#include "serverconfig/ViewerConnector.h"

#include "ft/ActiveShareAutoDownloader.h"
#include "ft/ui/FileTransferDialog.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "plat/StringUtils.h"
#include "plat/unix/PrimaryIp4.h"
#include "zav/Access.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

static plat::LogWriter vlog("StatusDialog");

namespace serverconfig {

namespace {

const int headerWidth = 420, iconSize = 24, buttonWidth = 110, buttonHeight = 25;
const int xSpacing = 3, ySpacing = 3;

} // namespace

const char* const StatusDialog::guestLoginNotSupportedText = "Guest login not supported";

plat::BoolParameter
    StatusDialog::quitOnClose("QuitOnCloseStatusDialog",
                              "Shut down Zav Server when the server status dialog is closed.",
                              false);

StatusDialog::StatusDialog(Display* dpy, Callback* callback,
                           ConnectionsList::Callback* connectionsCallback, bool iconic)
    : TXDialog(dpy, 1, 1, "", false, true), callback_(callback), model_(&links_),
      connectionsDialog_(new ConnectionsDialog(dpy, connectionsCallback)),
      actions_(new StatusWindowActions(*this)), header_(nullptr), cross_("cross.ico", iconSize),
      tick_("tick.ico", iconSize), warning_("warning.ico", iconSize),
      summaryLabel_(&model_, nullptr), details_("Details"), detailsLabel_(&model_, nullptr),
      aboutButton_("About..."), optionsButton_("Options..."), close_("Close"),
      about_(dpy, "About Zav Server", this, "zavserver.ico", 48),
      errorBox_(dpy, "", TXMsgBox::IconError | TXMsgBox::OK, nullptr, false, this),
      guestLoginBox_(dpy, guestLoginNotSupportedText, TXMsgBox::IconWarning | TXMsgBox::OK, nullptr,
                     false, this) {
  header_.setTitle("Zav\xc2\xae Server Status and Troubleshooting");
  header_.setText("This page shows the current status of Zav Server and helps to diagnose "
                  "common configuration problems.");
  content_.addChild(&header_);
  content_.addChild(&cross_);
  content_.addChild(&tick_);
  content_.addChild(&warning_);
  content_.addChild(&summaryLabel_);
  content_.addChild(&details_);
  details_.getContent()->addChild(&detailsLabel_);
  content_.addChild(&aboutButton_);
  // The window menu stands in the button row until a tray icon is there.
  windowMenu_.reset(new DummyStatusIcon(*actions_, &content_));
  iconCallback_ = windowMenu_.get();
  content_.addChild(windowMenu_->getButton());
  content_.addChild(&close_);
  // Enabled once there are options to show.
  optionsButton_.setEnabled(false);
  viewerConnector_.reset(new ViewerConnector(dpy, this, callback_));
  // The file-transfer dialog needs the viewers' file-transfer stream.
  ft::Extension* ftExtension = callback_->getFtExtension();
  ft::UploadManager* uploads = callback_->getUploadManager();
  if (ftExtension && uploads) {
    autoDownloader_.reset(new ft::ActiveShareAutoDownloader(ftExtension, nullptr));
    ftDialog_.reset(new ft::FileTransferDialog(dpy, autoDownloader_.get(), uploads));
  }
  content_.setInputHandler(this);
  for (TXDialog* d : {static_cast<TXDialog*>(&about_), static_cast<TXDialog*>(&errorBox_),
                      static_cast<TXDialog*>(&guestLoginBox_)})
    d->setCallback(this);

  model_.setMode(plat::strDecimal(callback_->getStatusParam("is_module"), 0) != 0 ? 1 : 3);
  model_.setNoActionLinks(false);
  refreshAll(false);
  layOut();
  setFixedSize(true);
  centreOnScreen();
  setupToplevel(model_.updateTitle(), this, 0, nullptr, nullptr, iconic);
  if (ft::Extension* extension = callback_->getFtExtension())
    extension->addPeerCallback(this);
}

StatusDialog::~StatusDialog() {
  model_.setHLCallback(&links_);
  if (ft::Extension* extension = callback_->getFtExtension())
    extension->removePeerCallback(this);
  content_.setInputHandler(nullptr);
  // The members leave the canvas before they go.
  while (content_.numChildren() > 0)
    content_.removeChild(content_.childAt(0));
  details_.getContent()->removeChild(&detailsLabel_);
}

void StatusDialog::updateNetworkStatus(bool refresh) {
  const char* allow = callback_->getParam("AllowRfb");
  if (allow && strcmp(allow, "0") == 0) {
    model_.setRfbListenerError(0);
    model_.setRfbPort(0);
  } else {
    model_.setRfbListenerError(
        unsigned(plat::strDecimal(callback_->getStatusParam("active_listener_error_number"), 0)));
    model_.setRfbPort(unsigned(plat::strDecimal(callback_->getParam("rfbPort"), 0)));
  }
  allow = callback_->getParam("AllowHttp");
  if (allow && strcmp(allow, "0") == 0) {
    model_.setWebListenerError(0);
    model_.setWebPort(0);
  } else {
    model_.setWebListenerError(
        unsigned(plat::strDecimal(callback_->getStatusParam("passive_listener_error_number"), 0)));
    model_.setWebPort(unsigned(plat::strDecimal(callback_->getParam("httpPort"), 0)));
  }
  plat::String hosts(callback_->getParam("Hosts"));
  plat::String transports(callback_->getParam("InTransports"));
  model_.setFilterBlocksIPv6(hosts.get(), transports.get());

  std::vector<plat::String> addresses;
  bool ipv4 = false;
  for (const std::string& t : plat::strSplitAll(transports.get(), ','))
    ipv4 = ipv4 || strcasecmp(t.c_str(), "ipv4") == 0;
  if (ipv4) {
    plat::String primary;
    try {
      primary = os::getPrimaryIp4(primaryAddressScript_.c_str());
    } catch (plat::Exception& e) {
      vlog.write(10, "%s", e.str());
    }
    bool havePrimary = !primary.isNull() && primary.get()[0];
    if (havePrimary)
      addresses.push_back(primary);
    for (const std::string& a : plat::strSplitAll(callback_->getStatusParam("ip_addrs"), ',')) {
      if (a.empty() || (havePrimary && (a == primary.get() || a.compare(0, 4, "127.") == 0)))
        continue;
      addresses.push_back(plat::String(a.c_str()));
    }
  }
  model_.setAddresses(addresses);
  updateTooltip();
  if (refresh)
    refreshTexts();
}

ConnectionsList& StatusDialog::connections() {
  return connectionsDialog_->connections();
}

void StatusDialog::updateConnections(bool refresh) {
  connectionsDialog_->refresh();
  model_.setUserCount(unsigned(connections().count()));
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
  bool hasPassword = !(has && plat::strDecimal(has, -1) == 0);
  model_.setSecurity(hasPassword, callback_->getParam("UserPasswdVerifier"));
  if (refresh)
    refreshTexts();
}

bool StatusDialog::onAttach(wvw::Widget* source) {
  if (source == &content_)
    refreshAll(true);
  return false;
}

void StatusDialog::addressChanged(net::SocketListener*) {
  updateNetworkStatus(true);
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
  long shareFiles = plat::strDecimal(callback_->getParam("ShareFiles"), 0);
  long enableChat = plat::strDecimal(callback_->getParam("EnableChat"), 0);
  long guestLogin = plat::strDecimal(callback_->getParam("EnableGuestLogin"), 0);
  long disableTray = plat::strDecimal(callback_->getParam("DisableTrayIcon"), 0);
  zav::Access::Rights guest(zav::Access::NoAccess);
  const char* guestText = callback_->getParam("GuestAccess");
  if (guestText)
    guest = zav::Access::Rights(guestText, true, zav::Access::NoAccess);
  model_.setTrayIconSetting(unsigned(disableTray));
  iconCallback_->enableGuestLogin(guest != zav::Access::NoAccess);
  iconCallback_->tickGuestLogin(guestLogin != 0);
  iconCallback_->setIcon(unsigned(model_.trayIconState()));
  iconCallback_->enableFileTransfer(shareFiles != 0);
  if (ftDialog_)
    ftDialog_->setSendEnabled(shareFiles != 0 && connections().count() > 0);
  iconCallback_->enableChat(enableChat != 0);
}

void StatusDialog::updateTooltip() {
  iconCallback_->setTooltip(model_.tooltipText(true));
}

void StatusDialog::setIconCallback(IconCallback* callback) {
  if (!callback)
    callback = windowMenu_.get();
  if (callback == iconCallback_)
    return;
  iconCallback_ = callback;
  refreshIcon();
  updateTooltip();
}

void StatusDialog::setTrayAvailable(bool available) {
  if (available == trayAvailable_)
    return;
  wvw::Widget* old = middleButton();
  trayAvailable_ = available;
  content_.removeChild(&aboutButton_);
  content_.removeChild(old);
  content_.removeChild(&close_);
  content_.addChild(&aboutButton_);
  content_.addChild(middleButton());
  content_.addChild(&close_);
  layOut();
}

wvw::Widget* StatusDialog::middleButton() {
  if (trayAvailable_)
    return &optionsButton_;
  return windowMenu_->getButton();
}

void StatusDialog::toggleGuestLogin() {
  bool wasOn = plat::strDecimal(callback_->getParam("EnableGuestLogin"), 0) != 0;
  callback_->setParam("EnableGuestLogin", wasOn ? "0" : "1");
  refreshIcon();
  // Only turning it on can meet a server without guest rights.
  if (!wasOn && !callback_->getParam("GuestAccess"))
    showBox(&guestLoginBox_);
}

void StatusDialog::openAddClientDialog() {
  viewerConnector_->openAddClientDialog();
}

void StatusDialog::showFileTransfer() {
  if (!ftDialog_) {
    showError("File transfer is not available: there is no file-transfer connection to the "
              "server.");
    return;
  }
  ftDialog_->show();
}

void StatusDialog::showOptions() {
  if (!options_) {
    // As "File Transfer..." does: the user hears why nothing opens.
    std::string text = "The options are not available: " +
                       (optionsFailure_.empty() ? std::string("the server's parameters were not read.")
                                                : optionsFailure_);
    showError(text.c_str());
    return;
  }
  options_->showOptions();
}

void StatusDialog::showConnections() {
  connectionsDialog_->show();
}

void StatusDialog::setOptions(plat::ParameterSet* params, OptionsDialog::Callback* server) {
  options_.reset();
  optionsServer_ = server;
  try {
    options_.reset(new OptionsDialog(display(), this, params));
    optionsFailure_.clear();
  } catch (plat::Exception& e) {
    vlog.error("The options dialog is not available: %s", e.str());
    optionsFailure_ = e.str();
  }
  optionsButton_.setEnabled(options_ != nullptr);
}

// What the links of the status texts do to this window.
class StatusDialog::LinkActions : public ServerStatusHLCallback::Window {
public:
  explicit LinkActions(StatusDialog& dialog) : dialog_(dialog) {}
  void showOptions() override { dialog_.showOptions(); }
  void showConnections() override { dialog_.showConnections(); }

private:
  StatusDialog& dialog_;
};

void StatusDialog::enableLinks(net::SocketManager* mgr) {
  model_.setHLCallback(&links_);
  hlCallback_.reset();
  if (!linkActions_)
    linkActions_.reset(new LinkActions(*this));
  hlCallback_.reset(new ServerStatusHLCallback(linkActions_.get(), display(), &content_, &model_,
                                               callback_, mgr));
  model_.setHLCallback(hlCallback_.get());
  refreshTexts();
}

void StatusDialog::applyOptions(plat::ParameterSet* changed, plat::ParameterSet* server) {
  if (optionsServer_)
    optionsServer_->applyOptions(changed, server);
  refreshAll(true);
}

const char* StatusDialog::getStatusParam(const char* name) {
  return callback_->getStatusParam(name);
}

void StatusDialog::reloadParams(plat::ParameterSet* set) {
  if (optionsServer_)
    optionsServer_->reloadParams(set);
}

unsigned StatusDialog::getMode() {
  return optionsServer_ ? optionsServer_->getMode() : model_.getMode();
}

void StatusDialog::showStatus() {
  // Unmapping and mapping again brings the window up in front, wherever it
  // was.
  setIconic(false);
  unmap();
  map();
}

void StatusDialog::showAbout() {
  about_.show();
}

void StatusDialog::disconnectAll() {
  if (!callback_->disconnectAll())
    vlog.error("Disconnecting all viewers failed");
}

void StatusDialog::openChat() {
  callback_->openChat();
}

void StatusDialog::showError(const char* text) {
  errorBox_.setText(text ? text : "", 1, 1);
  showBox(&errorBox_);
}

void StatusDialog::showBox(TXMsgBox* box) {
  content_.setEnabled(false);
  box->show();
}

void StatusDialog::dialogFinished(TXDialog*, bool) {
  content_.setEnabled(true);
}

void StatusDialog::peerChanged(ft::ConnectionId, bool) {
  refreshIcon();
}

void StatusDialog::layOut() {
  const int x = xSpacing, y = ySpacing, w = headerWidth;
  int pw, ph;
  // The header is as high as its title and wrapped description (or its
  // logo, when that is higher), with its bevelled line below.
  int textWidth = ui::LogoHeader::descriptionWidth(w);
  header_.title()->getPreferredSize(&pw, &ph);
  int headerHeight = ui::LogoHeader::edge + ph;
  // Measured at its width, then put back: the header lays it out again
  // only when its own size changes.
  rfb::Rect description = header_.getChildRect(header_.description());
  header_.description()->setSize(textWidth, 1);
  header_.description()->getPreferredSize(&pw, &ph);
  header_.setChildRect(header_.description(), description);
  headerHeight = std::max(headerHeight + ph, int(ui::HalbrinLogo::logoHeight)) + 4;
  content_.setChildRect(&header_, rfb::Rect(0, 0, w, headerHeight));
  int top = headerHeight + 2 * y;
  for (wvw::Widget* icon : {&cross_, &tick_, &warning_})
    content_.setChildRect(icon, rfb::Rect(2 * x, top, 2 * x + iconSize, top + iconSize));
  summaryLabel_.setSize(w - 6 - (4 * x + iconSize), 1);
  summaryLabel_.getPreferredSize(&pw, &ph);
  int lineTop = top + (iconSize - summaryLabel_.fontHeight()) / 2;
  int summaryBottom = std::max(lineTop + ph, top + iconSize);
  content_.setChildRect(&summaryLabel_, rfb::Rect(4 * x + iconSize, lineTop, w - 6, summaryBottom));
  // A summary that wraps (a long state with its link) pushes the details
  // down.
  int panelTop = summaryBottom + y;
  detailsLabel_.setSize(w - 8 * x, 1);
  detailsLabel_.getPreferredSize(&pw, &ph);
  details_.getContent()->setChildRect(&detailsLabel_, rfb::Rect(0, 0, w - 8 * x, ph));
  int panelW, panelH;
  details_.setSize(w - 4 * x, ph);
  details_.getPreferredSize(&panelW, &panelH);
  content_.setChildRect(&details_, rfb::Rect(2 * x, panelTop, w - 2 * x, panelTop + panelH));
  int buttonsTop = panelTop + panelH + 2 * y;
  content_.setChildRect(&aboutButton_,
                        rfb::Rect::at(rfb::Point(2 * x, buttonsTop), buttonWidth, buttonHeight));
  int middleX = w - buttonWidth - buttonWidth - 3 * x;
  content_.setChildRect(middleButton(),
                        rfb::Rect::at(rfb::Point(middleX, buttonsTop), buttonWidth, buttonHeight));
  content_.setChildRect(&close_, rfb::Rect::at(rfb::Point(middleX + buttonWidth + x, buttonsTop),
                                               buttonWidth, buttonHeight));
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
  if (source == &aboutButton_) {
    showAbout();
    return true;
  }
  if (source == &optionsButton_) {
    showOptions();
    return true;
  }
  return false;
}

void StatusDialog::deleteWindow(TXWindow*) {
  // The tray icon decides whether the window hides or iconifies; the window
  // menu iconifies it, so it stays reachable.
  if (quitOnClose)
    windowMenu_->checkVisibility();
  else
    iconCallback_->checkVisibility();
}

} // namespace serverconfig

namespace serverconfig {

void StatusWindowActions::setIconCallback(StatusDialog::IconCallback* icon) {
  dialog_.setIconCallback(icon);
}

void StatusWindowActions::setTrayIconEmbedded(bool embedded) {
  dialog_.setTrayAvailable(embedded);
}

void StatusWindowActions::iconify() {
  // Through the callback, which knows the main window.
  dialog_.callback_->iconify();
}

void StatusWindowActions::showStatus() {
  dialog_.showStatus();
}

void StatusWindowActions::hideStatus() {
  dialog_.unmap();
}

void StatusWindowActions::showFileTransfer() {
  dialog_.showFileTransfer();
}

void StatusWindowActions::openAddClientDialog() {
  dialog_.openAddClientDialog();
}

void StatusWindowActions::disconnectAll() {
  dialog_.disconnectAll();
}

void StatusWindowActions::setGuestLogin() {
  dialog_.toggleGuestLogin();
}

void StatusWindowActions::showChat() {
  dialog_.openChat();
}

void StatusWindowActions::showOptions() {
  dialog_.showOptions();
}

} // namespace serverconfig
