#include "serverconfig/ConnectionsDialog.h"

#include "plat/StringUtils.h"

#include <algorithm>
#include <string>

namespace serverconfig {

const char* const ConnectionsDialog::title = "Active connections";

ConnectionsDialog::ConnectionsDialog(Display* dpy, ConnectionsList::Callback* callback)
    : TXDialog(dpy, 200, 170, title, false, false), connections_(callback),
      user_("User: mmmmmmmmmmmmmmmm", 0), access_("Access: View only", 0),
      disconnect_("Disconnect"), layoutTimer(this) {
  user_.setWordWrap(false);
  access_.setWordWrap(false);
  int w, h;
  user_.getPreferredSize(&w, &h);
  user_.setSize(w, h);
  access_.getPreferredSize(&w, &h);
  access_.setSize(w, h);
  disconnect_.getPreferredSize(&w, &h);
  disconnect_.setSize(w + 8, h + 2);
  content_.addChild(&list_);
  content_.addChild(&user_);
  content_.addChild(&disconnect_);
  content_.addChild(&access_);
  content_.setInputHandler(this);
  relayout();
}

ConnectionsDialog::~ConnectionsDialog() {
  content_.setInputHandler(nullptr);
  list_.setItemGetter(nullptr);
  content_.removeChild(&access_);
  content_.removeChild(&disconnect_);
  content_.removeChild(&user_);
  content_.removeChild(&list_);
}

void ConnectionsDialog::initDialog() {
  // 200 pixels wide unless the layout's narrowest width is wider: a wider
  // "Disconnect" button would otherwise open cut off at the right.
  setContentSize(std::max(200, 3 * xPad + 110 + disconnect_.width()), 170);
  selected = -1;
  refresh();
}

void ConnectionsDialog::refresh() {
  connections_.refresh();
  int count = static_cast<int>(connections_.count());
  if (selected < 0)
    selected = 0;
  if (selected >= count)
    selected = count - 1;
  int keep = selected;
  list_.setItemGetter(this);
  list_.setSelected(keep);
  updateDetails();
}

void ConnectionsDialog::updateDetails() {
  selected = list_.getSelected();
  std::string user = "User: ";
  std::string access = "Access: ";
  if (selected >= 0 && selected < static_cast<int>(connections_.count())) {
    const ConnectionsList::Entry& e = connections_.getEntries()[static_cast<size_t>(selected)];
    user += plat::strOneLine(e.user.c_str());
    access += e.accessText();
  }
  user_.setText(user.c_str());
  access_.setText(access.c_str());
  disconnect_.setEnabled(selected >= 0);
}

const char* ConnectionsDialog::getItemText(wvw::WListBox*, int index) {
  if (index < 0 || index >= static_cast<int>(connections_.count()))
    return "";
  return connections_.getEntries()[static_cast<size_t>(index)].address.c_str();
}

int ConnectionsDialog::getItemCount(wvw::WListBox*) {
  return static_cast<int>(connections_.count());
}

bool ConnectionsDialog::onChange(wvw::Widget* source) {
  if (source == &list_)
    updateDetails();
  return false;
}

bool ConnectionsDialog::onClick(wvw::Widget* source) {
  if (source == &disconnect_ && selected >= 0 && selected < static_cast<int>(connections_.count()))
    connections_.disconnect(static_cast<size_t>(selected));
  return false;
}

bool ConnectionsDialog::onSizeChange(wvw::Widget* source) {
  if (source == &content_)
    layoutTimer.start(10);
  return false;
}

bool ConnectionsDialog::timerCallback(plat::Timer* timer) {
  if (timer != &layoutTimer)
    return TXDialog::timerCallback(timer);
  relayout();
  return false;
}

void ConnectionsDialog::relayout() {
  const int pad = xPad;
  int bw = disconnect_.width(), bh = disconnect_.height();
  int u = user_.height(), a = access_.height();
  int w = std::max(3 * pad + 110 + bw, content_.width());
  int k = a + bh + 7 * pad;
  int h = std::max(k + 6 + 2 * u, content_.height());

  content_.setChildRect(&list_, rfb::Rect(pad, pad, w - pad, pad + (h - k)));
  rfb::Rect frame = list_.getChildRect(list_.getFocusFrame());
  content_.setChildRect(&list_, rfb::Rect(pad, pad, w - pad, pad + frame.height()));

  int accessY = h - a - 3 * pad;
  // The access line lies below the button, so it may take the whole width:
  // "Access: Custom" does not fit beside the button in the narrowest window.
  content_.setChildRect(&access_, rfb::Rect(pad, accessY, w - pad, accessY + a));
  int buttonY = accessY - bh - pad;
  content_.moveChild(&disconnect_, rfb::Point(w - pad - bw, buttonY));
  int userY = buttonY + std::max(0, (bh - u) / 2);
  content_.setChildRect(&user_, rfb::Rect(pad, userY, pad + (w - 3 * pad - bw), userY + u));
}

} // namespace serverconfig
