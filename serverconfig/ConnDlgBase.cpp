#include "serverconfig/ConnDlgBase.h"

#include "serverconfig/PasswordDialog.h"
#include "serverconfig/UnixAccessDialog.h"

#include "plat/ConfigParameter.h"
#include "plat/LogWriter.h"
#include "plat/ParameterSet.h"
#include "tx/TXWParent.h"
#include "zav/ConnAction.h"

#include <algorithm>
#include <cstdio>

namespace serverconfig {

static plat::LogWriter vlog("ConnDlgBase");

namespace {
const int configureWidth = 76;
const int configureHeight = 26;
const int tooltipWidth = 320;
const int spacing = 2;

// Marks the choices as being loaded for its lifetime.
class Loading {
public:
  explicit Loading(bool* flag) : flag_(flag), old_(*flag) { *flag = true; }
  ~Loading() { *flag_ = old_; }
  Loading(const Loading&) = delete;
  Loading& operator=(const Loading&) = delete;

private:
  bool* flag_;
  bool old_;
};

int idOrNone(int id) {
  return id < 0 || id >= SecuritySettings::noItem ? SecuritySettings::noItem : id;
}
} // namespace

ConnDlgBase::ConnDlgBase(Display* dpy, TXWParent* owner, bool offerNone,
                         OptionsDialog::Callback* callback, UnixAccessDialog* usersDialog,
                         plat::ParameterSet* params, plat::ParameterSet* reference)
    : ui::WConfigLayout(dpy, owner, this, params, reference), callback_(callback),
      usersDialog_(usersDialog), security_(offerNone), securityBox_("Security"),
      authLabel_("Authentication:"), encLabel_("Encryption:"), actionLabel_(zav::sConnActionLabel),
      actionChoice_(this, false, true, 255), authChoice_(this, false, true, 255),
      encChoice_(this, false, true, 255), configureButton_("Configure..."), mode_(2),
      loading_(true), queryOnlyIfLoggedOn_(nullptr) {
  actionLabel_.setMargin(0);
  // Never narrower than its text, which would be cut otherwise.
  int w, h;
  configureButton_.getPreferredSize(&w, &h);
  configureButton_.setSize(std::max(configureWidth, w), configureHeight);

  securityTypes_ = params->get("SecurityTypes");
  reverseSecurityTypes_ = params->get("ReverseSecurityTypes");
  userPasswdVerifier_ = params->get("UserPasswdVerifier");
  queryConnect_ = params->get("QueryConnect");
  queryOnlyIfLoggedOn_ = params->find("QueryOnlyIfLoggedOn");
  connNotifyTimeout_ = params->get("ConnNotifyTimeout");

  SecuritySettings::repairZeroPorts(*params);

  for (const SecuritySettings::Item& item : SecuritySettings::encryptionItems())
    encChoice_.addItem(item.id, item.text);
  encChoice_.setSelectedId(SecuritySettings::alwaysOn);
  encChoice_.getPreferredSize(&w, &h);
  encChoice_.setSize(w, h);
  for (int id : {SecuritySettings::authZav, SecuritySettings::authUnix})
    authChoice_.addItem(id, SecuritySettings::authenticationText(id));
  authChoice_.setSelectedId(SecuritySettings::authZav);
  authChoice_.getPreferredSize(&w, &h);
  authChoice_.setSize(w, h);

  if (callback_) {
    unsigned mode = callback_->getMode();
    // Anything but service, user or virtual mode is taken for user mode.
    mode_ = mode >= 1 && mode <= 3 ? mode : 2;
  }
  unsigned count = 0;
  const std::uint32_t* actions = zav::ConnAction::list(mode_, &count);
  for (unsigned i = 0; i < count; i++)
    actionChoice_.addItem(int32_t(actions[i]), zav::ConnAction::name(mode_, actions[i]));
  for (wvw::Widget* widget : std::initializer_list<wvw::Widget*>{&authLabel_, &encLabel_,
                                                                 &actionLabel_, &actionChoice_}) {
    widget->getPreferredSize(&w, &h);
    widget->setSize(w, h);
  }

  passwordDialog_ = std::make_unique<PasswordDialog>(dpy, owner, "Zav Server Password",
                                                     params->get("PasswordFile"), params);
  noPasswordBox_ =
      std::make_unique<TXMsgBox>(dpy, SecuritySettings::noPasswordText,
                                 TXMsgBox::IconInformation | TXMsgBox::OK, nullptr, false, owner);
  passwordDialog_->setCallback(this);
  noPasswordBox_->setCallback(this);
  loading_ = false;
}

ConnDlgBase::~ConnDlgBase() {
  if (usersDialog_ && usersDialog_->getCallback() == this)
    usersDialog_->setCallback(nullptr);
}

void ConnDlgBase::bindSecurity() {
  if (security_.offerNone())
    authChoice_.addItem(SecuritySettings::authNone,
                        SecuritySettings::authenticationText(SecuritySettings::authNone));
  setTooltip(&configureButton_, "Configure users and passwords.", tooltipWidth);
  setTooltip(authChoice_.getButton(), "Configure the password authentication method.",
             tooltipWidth);
  setTooltip(
      encChoice_.getButton(),
      "Configure encryption:\n  Always maximum: Accept only maximum-strength encryption;\n  "
      "Always on: Do not accept unencrypted connections;\n  Prefer on: Use encryption if "
      "supported by Zav Viewer;\n  Prefer off: Do not use encryption unless requested by Zav "
      "Viewer.",
      tooltipWidth);
  setTooltip(actionChoice_.getButton(), zav::ConnAction::helpText(mode_), tooltipWidth);
}

bool ConnDlgBase::makeSecurityTypes(int encryption, int authentication, plat::String* forward,
                                    plat::String* reverse, plat::String* verifier) {
  return SecuritySettings::makeSecurityTypes(encryption, authentication, forward, reverse,
                                             verifier);
}

int ConnDlgBase::encryptionId() {
  return idOrNone(encChoice_.getSelectedId());
}

int ConnDlgBase::authenticationId() {
  return idOrNone(authChoice_.getSelectedId());
}

void ConnDlgBase::loadSecurity() {
  Loading loading(&loading_);
  SecuritySettings::Loaded loaded = security_.load(*set_);
  encChoice_.setSelectedId(loaded.encryption);
  authChoice_.removeItem(SecuritySettings::authSso);
  authChoice_.removeItem(SecuritySettings::authNone);
  for (const SecuritySettings::Item& item : loaded.authenticationItems)
    if (item.id == SecuritySettings::authSso || item.id == SecuritySettings::authNone)
      authChoice_.addItem(item.id, item.text);
  authChoice_.setSelectedId(loaded.authentication);
  configureButton_.setEnabled(authChoice_.isEnabled() && loaded.configureEnabled);
}

int ConnDlgBase::placeActionRow(int x, int y) {
  addChildAt(&actionLabel_,
             rfb::Point(x, y + (actionChoice_.height() - actionLabel_.height()) / 2));
  addChildAt(&actionChoice_, rfb::Point(x + actionLabel_.width() + 2 * spacing, y));
  return actionLabel_.height();
}

void ConnDlgBase::fitSecurityBox() {
  // The box ends where the action row does: the row stands 2 spacing units
  // further in than the box, and has 2 between its label and its choice.
  int target = actionLabel_.width() + actionChoice_.width() + 4 * spacing;
  int w, h;
  securityBox_.getPreferredSize(&w, &h);
  int grow = target - w;
  wvw::WLayout* content = securityBox_.getContent();
  authChoice_.setSize(authChoice_.width() + grow, authChoice_.height());
  encChoice_.setSize(encChoice_.width() + grow, encChoice_.height());
  content->moveChild(&configureButton_,
                     content->getChildPosition(&configureButton_).translate(rfb::Point(grow, 0)));
  int cw, ch;
  content->getPreferredSize(&cw, &ch);
  content->setSize(cw, ch);
  securityBox_.getPreferredSize(&w, &h);
  securityBox_.setSize(w, h);
}

void ConnDlgBase::setSecurityEnabled(bool enabled) {
  securityBox_.setEnabled(enabled);
  authLabel_.setEnabled(enabled);
  encLabel_.setEnabled(enabled);
  authChoice_.setEnabled(enabled);
  encChoice_.setEnabled(enabled);
  configureButton_.setEnabled(enabled && SecuritySettings::configureEnabled(authenticationId()));
}

void ConnDlgBase::setParameter(plat::ConfigParameter* parameter, const char* value) {
  if (!parameter->setParam(value, writePriority_))
    vlog.error("Cannot set %s to %s", parameter->getName(), value);
}

bool ConnDlgBase::onAttach(wvw::Widget* source) {
  // The page shown last receives the users dialog's end.
  if (usersDialog_)
    usersDialog_->setCallback(this);
  if (source == &authChoice_) {
    loadSecurity();
  } else if (source == &actionChoice_) {
    bool query = queryConnect_->getValueInt() != 0;
    bool loggedOn = queryOnlyIfLoggedOn_ && queryOnlyIfLoggedOn_->getValueInt() != 0;
    int timeout = connNotifyTimeout_->getValueInt();
    Loading loading(&loading_);
    actionChoice_.setSelectedId(int32_t(zav::ConnAction::fromSettings(query, loggedOn, timeout)));
  }
  return ui::WConfigLayout::onAttach(source);
}

void ConnDlgBase::storeSecurity() {
  int authentication = authenticationId();
  plat::String forward, reverse, verifier;
  if (!makeSecurityTypes(encryptionId(), authentication, &forward, &reverse, &verifier))
    return;
  setParameter(securityTypes_, forward.c_str());
  setParameter(reverseSecurityTypes_, reverse.c_str());
  setParameter(userPasswdVerifier_, verifier.c_str());
  configureButton_.setEnabled(authentication != SecuritySettings::authNone);
}

void ConnDlgBase::storeAction() {
  int32_t action = actionChoice_.getSelectedId();
  if (action < 0 || action > int32_t(zav::ConnAction::Nothing))
    return;
  bool query = false, loggedOn = false;
  int timeout = 0;
  zav::ConnAction::toSettings(unsigned(action), &query, &loggedOn, &timeout);
  setParameter(queryConnect_, query ? "1" : "0");
  if (queryOnlyIfLoggedOn_)
    setParameter(queryOnlyIfLoggedOn_, loggedOn ? "1" : "0");
  char text[16];
  snprintf(text, sizeof text, "%d", timeout);
  setParameter(connNotifyTimeout_, text);
}

bool ConnDlgBase::onClick(wvw::Widget* source) {
  if (source == encChoice_.getTextField() || source == authChoice_.getTextField())
    storeSecurity();
  else if (source == actionChoice_.getTextField())
    storeAction();
  else if (source == &configureButton_)
    configure();
  return wvw::Widget::onClick(source);
}

// The arrow keys step through a choice's items without a click: what the
// choice shows is stored all the same. Loading the page stores nothing.
bool ConnDlgBase::onChange(wvw::Widget* source) {
  if (!loading_) {
    if (source == &encChoice_ || source == &authChoice_)
      storeSecurity();
    else if (source == &actionChoice_)
      storeAction();
  }
  return ui::WConfigLayout::onChange(source);
}

void ConnDlgBase::configure() {
  hideTooltip();
  switch (authenticationId()) {
  case SecuritySettings::authZav:
    passwordDialog_->show();
    break;
  case SecuritySettings::authUnix:
  case SecuritySettings::authSso:
    if (!usersDialog_)
      return;
    usersDialog_->show();
    break;
  default:
    return;
  }
  owner_->setInputDisabled(true);
}

void ConnDlgBase::dialogFinished(TXDialog* dialog, bool) {
  owner_->setInputDisabled(false);
  if (dialog == noPasswordBox_.get())
    configure();
}

bool ConnDlgBase::validate() {
  if (authenticationId() != SecuritySettings::authZav)
    return true;
  const char* hasPassword = callback_ ? callback_->getStatusParam("has_zav_passwd") : nullptr;
  if (SecuritySettings::passwordPresent(SecuritySettings::authZav, hasPassword))
    return true;
  noPasswordBox_->show();
  owner_->setInputDisabled(true);
  return false;
}

void ConnDlgBase::closeSubDialogs() {
  if (passwordDialog_->isMapped())
    passwordDialog_->deleteWindow(passwordDialog_.get());
  if (usersDialog_ && usersDialog_->isMapped())
    usersDialog_->deleteWindow(usersDialog_);
}

} // namespace serverconfig
