#include "serverconfig/IpFilterDlg.h"

#include "serverconfig/RuleDialogLayout.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include "ui/PlaceCheckBox.h"

static plat::LogWriter vlog("IpFilterDlg");

namespace serverconfig {

namespace {

const int fieldHeight = 25;
const int notesHeight = 100;

const char* const defaultHeading = "When a Zav Viewer connects from an IP address that does not "
                                   "match any of the existing filters, Zav Server should:";
const char* const ruleHeading = "When a Zav Viewer connects from the following IP address:";
const char* const notesText =
    "You can match a single IPv4 address, or a range of addresses using subnets.\n\n"
    "For example:\n"
    "  - Match on IPv4 address: 192.168.0.1\n"
    "  - Match an IPv4 subnet: 192.168.0.0/24\n";

} // namespace

IpFilterDlg::IpFilterDlg(Display* dpy, bool forDefault)
    : TXDialog(dpy, baseWidth, 400, forDefault ? "Edit Rule" : "", false, true),
      forDefault_(forDefault), heading_(forDefault ? defaultHeading : ruleHeading),
      address_(maxAddressLength), shouldLabel_("Zav Server should:"),
      accept_("Accept the connection", false), reject_("Reject the connection", false),
      query_("Ask the Zav Server user what to do", false), notes_("Notes"), notesLabel_(notesText),
      ok_("OK"), cancel_("Cancel"),
      errorBox_(dpy, "Error", TXMsgBox::OK | TXMsgBox::IconError, nullptr, false, this) {
  errorBox_.setCallback(this);
  layOut();
  content_.setInputHandler(this);
}

IpFilterDlg::~IpFilterDlg() {
  content_.setInputHandler(nullptr);
}

void IpFilterDlg::layOut() {
  int p = xPad, q = yPad;
  int w, h;
  int y = q;

  y += placeWrappedText(&content_, &heading_, p, y, baseWidth - 4 * p) + 2 * q;

  if (!forDefault_) {
    address_.setSize(baseWidth - 8 * p, fieldHeight);
    content_.addChildAt(&address_, rfb::Point(5 * p, y));
    y += fieldHeight + 2 * q;

    shouldLabel_.setWordWrap(false);
    shouldLabel_.getPreferredSize(&w, &h);
    shouldLabel_.setSize(w, h);
    content_.addChildAt(&shouldLabel_, rfb::Point(p, y));
    y += h + 2 * q;
  }

  for (wvw::WLabelCheckBox* box : {&accept_, &reject_, &query_}) {
    ui::placeCheckBox(&content_, box, 3 * p, y, true);
    y += box->height() + 2 * q;
  }

  if (!forDefault_) {
    notesLabel_.setWordWrap(true);
    notesLabel_.setAlignment(0, 0);
    notesLabel_.setSize(baseWidth - 6 * p, notesHeight);
    notes_.getContent()->addChildAt(&notesLabel_, rfb::Point(p, 2 * q));
    notes_.getPreferredSize(&w, &h);
    notes_.setSize(w, h);
    content_.addChildAt(&notes_, rfb::Point(p, y));
    y += h + 2 * q;
  }

  placeOkCancel(&content_, &ok_, &cancel_, baseWidth - 2 * p, y, 2 * p);

  content_.getPreferredSize(&w, &h);
  setContentSize(w + 2 * p, h + 2 * q);
  setFixedSize(true);
}

void IpFilterDlg::editEntry(const AccessControlEntry& entry) {
  setName(entry.hasAction() ? "Edit Rule" : "Add Rule");
  if (!isMapped()) {
    entry_ = entry;
    if (!entry_.isDefault())
      address_.setText(entry_.pattern());
  }
  show();
}

void IpFilterDlg::initDialog() {
  switch (entry_.action()) {
  case AccessControlEntry::Accept:
    checkOnly(&accept_);
    break;
  case AccessControlEntry::Reject:
    checkOnly(&reject_);
    break;
  case AccessControlEntry::Query:
    checkOnly(&query_);
    break;
  default:
    checkOnly(nullptr);
    break;
  }
}

void IpFilterDlg::checkOnly(wvw::WLabelCheckBox* box) {
  for (wvw::WLabelCheckBox* b : {&accept_, &reject_, &query_})
    b->getCheckBox()->setChecked(b == box);
}

AccessControlEntry::Action IpFilterDlg::chosenAction() {
  if (accept_.getCheckBox()->isChecked())
    return AccessControlEntry::Accept;
  if (reject_.getCheckBox()->isChecked())
    return AccessControlEntry::Reject;
  if (query_.getCheckBox()->isChecked())
    return AccessControlEntry::Query;
  return AccessControlEntry().action();
}

bool IpFilterDlg::onClick(wvw::Widget* source) {
  for (wvw::WLabelCheckBox* b : {&accept_, &reject_, &query_}) {
    if (source == b->getCheckBox()) {
      // A second click on the chosen one leaves it chosen.
      checkOnly(b);
      return true;
    }
  }
  if (source == &cancel_) {
    endDialog(false);
    return true;
  }
  if (source != &ok_)
    return false;

  entry_.setAction(chosenAction());
  // The field is the rule's whole address: an emptied field is an empty
  // pattern, refused below, not the old address kept.
  if (!entry_.isDefault())
    entry_.setPattern(address_.getText());
  try {
    entry_.validate();
  } catch (plat::Exception& e) {
    vlog.debug("rule refused: %s", e.str());
    errorBox_.setText(e.str(), 1, 1);
    setInputDisabled(true);
    errorBox_.show();
    return true;
  }
  endDialog(true);
  return true;
}

void IpFilterDlg::dialogFinished(TXDialog*, bool) {
  setInputDisabled(false);
}

} // namespace serverconfig
