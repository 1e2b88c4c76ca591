#include "chat/ChatWindowImpl.h"

#include "chat/ChatHistory.h"
#include "chat/ChatState.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "wvw/WMenuGroup.h"
#include "wvw/WMenuItem.h"

#include <pwd.h>
#include <unistd.h>

#include <string>

static plat::LogWriter vlog("ChatWindowImpl");

namespace chat {

namespace {

// The login name of the real user; empty when the user database has none.
std::string loginName() {
  struct passwd* pw = getpwuid(getuid());
  return pw && pw->pw_name ? pw->pw_name : "";
}

} // namespace

ChatWindowImpl::ChatWindowImpl(Display* dpy, ChatOptions* options, const char* configFile)
    : TXDialog(dpy, 400, 500, "Chat - Zav Server", false, true, nullptr), toolsMenu_(nullptr),
      optionsItem_(nullptr), urgency_(this), transcriptStyle_(*wvw::Widget::getDefaultStyle()),
      transcript_(&viewport_, &urgency_), input_(maxLineLength),
      optionsDlg_(dpy, options, this, configFile), localLabel_(loginName() + " (Local)") {
  toolsMenu_ = menuBar_.addMenu("&Tools");
  optionsItem_ = toolsMenu_->addItem("&Options...");
  transcriptStyle_.background = transcriptStyle_.fieldBackground;
  transcript_.setStyle(&transcriptStyle_);
  viewport_.setChild(&transcript_);
  viewport_.setViewportChild(&transcript_);
  optionsDlg_.setCallback(this);

  content_.addChild(&menuBar_);
  content_.addChild(&viewport_);
  content_.addChild(&input_);
  setMinSize(180, 120);
  layOut();
  menuBar_.setInputHandler(this);
  content_.setInputHandler(this);
  addEventMask(FocusChangeMask);
}

ChatWindowImpl::~ChatWindowImpl() {
  // The controls leave while this window can still hear of it.
  if (isMapped())
    TXWParent::unmap();
  content_.setInputHandler(nullptr);
  menuBar_.setInputHandler(nullptr);
  content_.removeChild(&input_);
  content_.removeChild(&viewport_);
  content_.removeChild(&menuBar_);
  viewport_.setViewportChild(nullptr);
  viewport_.setChild(nullptr);
}

void ChatWindowImpl::layOut() {
  const int mx = xPad, my = yPad;
  const int W = content_.width(), H = content_.height();
  int w, hm, ht;
  menuBar_.getPreferredSize(&w, &hm);
  input_.getPreferredSize(&w, &ht);
  content_.setChildRect(&menuBar_, rfb::Rect::at(rfb::Point(mx, my), W - 2 * mx, hm));
  content_.setChildRect(&input_, rfb::Rect::at(rfb::Point(mx, H - my - ht), W - 2 * mx, ht));
  content_.setChildRect(&viewport_,
                        rfb::Rect::at(rfb::Point(mx, my + hm), W - 2 * mx, H - 3 * my - ht - hm));
}

void ChatWindowImpl::show() {
  // A window that the window manager frames is raised where it is:
  // unmapping it first could leave it withdrawn.
  bool raiseOnly = isMapped() && isManaged();
  if (isMapped() && !raiseOnly)
    TXWParent::unmap();
  if (state_) {
    try {
      state_->notifyChatVisible(true);
    } catch (plat::Exception&) {
      if (isMapped())
        TXWParent::unmap();
      throw;
    }
  }
  TXDialog::show();
  // What the user types goes into the entry field.
  input_.takeFocus();
}

void ChatWindowImpl::handleEvent(TXWindow* window, XEvent* event) {
  if (event->type == FocusIn || event->type == FocusOut) {
    bool in = event->type == FocusIn;
    if (in)
      TXWindow::setUrgent(false);
    if (state_) {
      try {
        state_->notifyChatFocus(in);
      } catch (plat::Exception& e) {
        vlog.debug("notifyChatFocus exception: %s", e.str());
      }
    }
  }
  TXDialog::handleEvent(window, event);
}

void ChatWindowImpl::deleteWindow(TXWindow*) {
  TXWParent::unmap();
  if (state_) {
    // Without a chat connection the peer hears of the close when one comes
    // (the state is kept); the user is told, and the close goes on so that
    // nothing typed is lost.
    try {
      state_->notifyChatVisible(false);
    } catch (plat::Exception& e) {
      vlog.error("%s", e.str());
      errorBox_.show(e.str());
    }
  }
  if (history_) {
    try {
      history_->save();
    } catch (plat::Exception& e) {
      vlog.error("Error saving Chat log: %s", e.str());
      errorBox_.show((std::string("The chat history could not be saved. ") + e.str()).c_str());
    }
  }
  transcript_.clear();
  if (history_)
    history_->redisplay();
}

bool ChatWindowImpl::onAttach(wvw::Widget*) {
  return false;
}

bool ChatWindowImpl::onSizeChange(wvw::Widget* source) {
  if (source != &content_)
    return false;
  layOut();
  return true;
}

bool ChatWindowImpl::onKey(uint32_t keysym, bool down, wvw::Widget* source) {
  if (source != &input_ || down || keysym != XK_Return)
    return false;
  submit();
  return true;
}

void ChatWindowImpl::submit() {
  std::string line = input_.getText();
  if (history_)
    history_->addMessage(localLabel_.c_str(), nullptr, line.c_str());
  input_.setText("");
}

bool ChatWindowImpl::onClick(wvw::Widget* source) {
  if (source != optionsItem_)
    return false;
  toolsMenu_->popdown();
  setInputDisabled(true);
  optionsDlg_.show();
  return true;
}

void ChatWindowImpl::dialogFinished(TXDialog*, bool) {
  setInputDisabled(false);
}

} // namespace chat
