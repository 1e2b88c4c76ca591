#include "serverconfig/unix/AccessControlDlg.h"

#include "serverconfig/RuleDialogLayout.h"

#include "plat/Assert.h"
#include "plat/LogWriter.h"
#include "plat/ParameterSet.h"

#include <algorithm>

static plat::LogWriter vlog("AccessControlDlg");

namespace serverconfig {

AccessControlDlg::AccessControlDlg(Display* dpy)
    : TXDialog(dpy, baseWidth, 400, "IP Address Filter Rules", false, true), ui::TooltipHandler(
                                                                                 content()),
      explanation_("For each incoming connection, the source IP address is checked against the "
                   "list below from top to bottom and the first matching rule is actioned."),
      add_("Add..."), edit_("Edit..."), remove_("Remove"), up_("U"), down_("D"), ok_("OK"),
      cancel_("Cancel"), adding_(false), config_(nullptr), defaultDlg_(new IpFilterDlg(dpy, true)),
      ruleDlg_(new IpFilterDlg(dpy, false)) {
  defaultDlg_->setCallback(this);
  ruleDlg_->setCallback(this);
  layOut();
  content_.setInputHandler(this);
}

AccessControlDlg::~AccessControlDlg() {
  hideTooltip();
  content_.setInputHandler(nullptr);
  defaultDlg_.reset();
  ruleDlg_.reset();
}

void AccessControlDlg::layOut() {
  int p = xPad, q = yPad;
  int w, h;
  int y = q;

  y += placeWrappedText(&content_, &explanation_, p, y, baseWidth - 4 * p) + 2 * q;

  list_.setSize(baseWidth, listHeight);
  content_.addChildAt(&list_, rfb::Point(p, y));
  y += listHeight + 2 * q;

  // "Add...", "Edit..." and "Remove" share one size, "U" and "D" another.
  auto shareSize = [](std::initializer_list<wvw::WLabelButton*> buttons) {
    int widest = 0, height = 0;
    for (wvw::WLabelButton* b : buttons) {
      int bw, bh;
      b->getPreferredSize(&bw, &bh);
      widest = std::max(widest, bw);
      if (b == *buttons.begin())
        height = bh;
    }
    for (wvw::WLabelButton* b : buttons)
      b->setSize(widest + 8, height + 4);
  };
  shareSize({&add_, &edit_, &remove_});
  shareSize({&up_, &down_});
  int x = p, rowHeight = 0;
  for (wvw::WLabelButton* b : {&add_, &edit_, &remove_, &up_, &down_}) {
    content_.addChildAt(b, rfb::Point(x, y));
    x += b->width() + 2 * p;
    rowHeight = std::max(rowHeight, b->height());
  }
  y += rowHeight + 2 * q;

  placeOkCancel(&content_, &ok_, &cancel_, baseWidth - 2 * p, y, 2 * p);

  // As wide as the list with its margin on both sides.
  content_.getPreferredSize(&w, &h);
  setContentSize(w + p, h + 2 * q);
  setFixedSize(true);
}

void AccessControlDlg::showFor(plat::ParameterSet* c) {
  if (!isMapped()) {
    config_ = c;
    rules_.load(*config_);
  } else {
    PLAT_CHECK(config_ == c);
  }
  show();
}

void AccessControlDlg::initDialog() {
  setTooltip(&add_, "Add a new rule.", 320);
  setTooltip(&edit_, "Edit the selected rule.", 320);
  setTooltip(&remove_, "Remove the selected rule.", 320);
  setTooltip(&up_, "Move the selected rule higher up in the order of precedence.", 320);
  setTooltip(&down_, "Move the selected rule lower down in the order of precedence.", 320);
  refreshList();
}

int AccessControlDlg::getItemCount(wvw::WListBox*) {
  return rules_.count();
}

const char* AccessControlDlg::getItemText(wvw::WListBox*, int index) {
  PLAT_CHECK((index >= 0) && (index < rules_.count()));
  return rules_.entry(index).display();
}

void AccessControlDlg::refreshList() {
  int selected = rules_.selected();
  list_.setItemGetter(this);
  rules_.select(selected);
  list_.setSelected(rules_.selected());
  updateButtons();
}

void AccessControlDlg::updateButtons() {
  edit_.setEnabled(rules_.canEdit());
  remove_.setEnabled(rules_.canRemove());
  up_.setEnabled(rules_.canMoveUp());
  down_.setEnabled(rules_.canMoveDown());
}

void AccessControlDlg::openRuleDialog(const AccessControlEntry& entry) {
  hideTooltip();
  IpFilterDlg* dialog = entry.isDefault() ? defaultDlg_.get() : ruleDlg_.get();
  setInputDisabled(true);
  dialog->editEntry(entry);
}

bool AccessControlDlg::onClick(wvw::Widget* source) {
  if (source == &add_) {
    adding_ = true;
    openRuleDialog(AccessControlEntry());
  } else if (source == &edit_) {
    if (!rules_.canEdit())
      return true;
    adding_ = false;
    openRuleDialog(rules_.entry(rules_.selected()));
  } else if (source == &remove_) {
    rules_.remove();
    refreshList();
  } else if (source == &up_) {
    rules_.moveUp();
    refreshList();
  } else if (source == &down_) {
    rules_.moveDown();
    refreshList();
  } else if (source == &ok_) {
    rules_.store(*config_);
    vlog.debug("Hosts set to %s", rules_.joined().c_str());
    endDialog(true);
  } else if (source == &cancel_) {
    endDialog(false);
  } else if (source == &list_) {
    rules_.select(list_.getSelected());
    updateButtons();
  } else {
    return false;
  }
  return true;
}

void AccessControlDlg::dialogFinished(TXDialog* dialog, bool result) {
  if (result) {
    const AccessControlEntry& entry = static_cast<IpFilterDlg*>(dialog)->entry();
    if (adding_)
      rules_.add(entry);
    else
      rules_.edit(entry);
    refreshList();
  }
  setInputDisabled(false);
}

} // namespace serverconfig
