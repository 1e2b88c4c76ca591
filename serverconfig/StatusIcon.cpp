#include "serverconfig/StatusIcon.h"

#include "gtk/Functions.h"
#include "gtk/Pixbuf.h"
#include "plat/IntParameter.h"
#include "plat/LogWriter.h"
#include "rdr/Exception.h"
#include "serverconfig/StatusIconPictures.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace serverconfig {

static plat::LogWriter vlog("StatusIcon");

static plat::IntParameter
    visibilityTimeout("VisibilityTimeout",
                      "Number of milliseconds to wait before checking the tray icon visibility.",
                      100, INT_MIN, INT_MAX);

namespace {

void setNonBlocking(int fd) {
  int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0)
    throw plat::SystemException("Unable to set non-blocking", errno);
}

} // namespace

StatusIcon::StatusIcon(Window& window, const char* display)
    : window_(window), display_(display ? display : ""), icon_(*this) {
  child_ = start();
  setNonBlocking(getInStream()->getFd());
}

StatusIcon::~StatusIcon() {
  if (!isChild())
    stopChild();
}

// Messages.

void StatusIcon::send(std::uint32_t type) {
  rdr::OutStream* out = getOutStream();
  out->writeU32(type);
  out->flush();
}

void StatusIcon::sendFlag(std::uint32_t type, bool flag) {
  rdr::OutStream* out = getOutStream();
  out->writeU32(type);
  out->writeU8(flag ? 1 : 0);
  out->flush();
}

void StatusIcon::sendText(std::uint32_t type, const char* text) {
  // A text travels as a length byte and at most 255 bytes.
  int length = static_cast<int>(std::min<size_t>(text ? strlen(text) : 0, 255));
  rdr::OutStream* out = getOutStream();
  out->writeU32(type);
  out->writeU8(static_cast<std::uint8_t>(length));
  out->writeBytes(text, length);
  out->flush();
}

std::string StatusIcon::readText() {
  char buffer[256];
  int length = getInStream()->readU8();
  getInStream()->readBytes(buffer, length);
  buffer[length] = '\0';
  return buffer;
}

void StatusIcon::parentSend(const std::function<void()>& write) {
  if (childGone_)
    return;
  try {
    write();
  } catch (const plat::Exception&) {
    // The child has gone (a broken pipe): the window falls back to its own
    // icon and nothing more is written. The reader meets the end of the
    // stream too, and the main loop logs that once.
    reapChild();
  }
}

void StatusIcon::fallBack() {
  childGone_ = true;
  window_.setIconCallback(nullptr);
  // The button row offers the fallback's "Commands" menu again: with the
  // tray icon gone, "Options..." would leave no way to its commands.
  window_.setTrayIconEmbedded(false);
}

void StatusIcon::stopChild() {
  childGone_ = true;
  closeStreams();
  if (child_ <= 0 || childStatus_ != -1)
    return;
  // The child ends when it reads the end of its stream (or has ended after
  // reporting a failure); one that is stuck would keep its icon, so it is
  // told to end once a short grace has passed. One that is stopped (the
  // user's ^Z, a debugger) hears nothing until it is continued, and one that
  // ignores the request never ends: after a second grace it is killed. The
  // whole wait stays under a second whatever the child does.
  int status = 0;
  pid_t done = waitForChild(stopGraceMs, &status);
  if (done == 0) {
    kill(child_, SIGTERM);
    kill(child_, SIGCONT);
    done = waitForChild(killGraceMs, &status);
  }
  if (done == 0) {
    kill(child_, SIGKILL);
    done = waitForChild(killGraceMs, &status);
  }
  if (done == child_)
    childStatus_ = status;
}

pid_t StatusIcon::waitForChild(int ms, int* status) {
  pid_t done = 0;
  for (int waited = 0;; waited += 10) {
    do
      done = waitpid(child_, status, WNOHANG);
    while (done < 0 && errno == EINTR);
    if (done != 0 || waited >= ms)
      return done;
    usleep(10000);
  }
}

void StatusIcon::endChild() {
  fallBack();
  stopChild();
}

void StatusIcon::reapChild() {
  fallBack();
  if (childStatus_ != -1)
    return;
  int status = 0;
  pid_t done = waitpid(child_, &status, WNOHANG);
  if (done == 0) {
    usleep(100000);
    done = waitpid(child_, &status, WNOHANG);
  }
  if (done == child_)
    childStatus_ = status;
}

void StatusIcon::handleRequest() {
  rdr::InStream* in = getInStream();
  try {
    do {
      std::uint32_t type = in->readU32();
      if (isChild())
        handleChild(type);
      else
        handleParent(type);
      in->checkpoint();
    } while (in->avail() > 0);
  } catch (const rdr::BlockException&) {
    // The rest of the message comes with the next pass.
  } catch (const plat::Exception&) {
    // In the parent the descriptor is not watched after a failure (the
    // child's end, its failure report, an action of the window that
    // failed): the child, whose icon would stay in the tray with a menu that
    // does nothing, is ended and collected, and the window's own menu takes
    // over.
    if (!isChild())
      endChild();
    throw;
  }
}

void StatusIcon::handleParent(std::uint32_t type) {
  rdr::InStream* in = getInStream();
  switch (type) {
  case IconEmbedded: {
    bool embedded = in->readU8() != 0;
    window_.setIconCallback(this);
    window_.setTrayIconEmbedded(embedded);
    break;
  }
  case PutAway:
    window_.iconify();
    break;
  case Failure: {
    std::string text = readText();
    throw plat::Exception(text.c_str());
  }
  case ShowStatus:
    window_.showStatus();
    break;
  case Hide:
    window_.hideStatus();
    break;
  case OpenFileTransfer:
    window_.showFileTransfer();
    break;
  case Connect:
    window_.openAddClientDialog();
    break;
  case DisconnectAll:
    window_.disconnectAll();
    break;
  case ToggleGuestLogin:
    window_.setGuestLogin();
    break;
  case OpenChat:
    window_.showChat();
    break;
  default:
    break;
  }
}

void StatusIcon::handleChild(std::uint32_t type) {
  rdr::InStream* in = getInStream();
  switch (type) {
  case SetIcon: {
    std::uint32_t state = in->readU32();
    try {
      if (state == 4) {
        icon_.hide();
      } else {
        icon_.show();
        icon_.setIcon(
            gtk::Pixbuf::fromData(statusIconPicture(state), false, statusIconSize, statusIconSize));
      }
    } catch (const plat::Exception& e) {
      vlog.error("setting tray icon: %s", e.str());
    }
    break;
  }
  case SetTooltip: {
    std::string text = readText();
    try {
      icon_.setTooltip(text.c_str());
    } catch (const plat::Exception& e) {
      vlog.error("setting tooltip: %s", e.str());
    }
    break;
  }
  case EnableFileTransfer: {
    bool flag = in->readU8() != 0;
    try {
      enableFileTransfer(flag);
    } catch (const plat::Exception& e) {
      vlog.error("enable/disable File Transfer: %s", e.str());
    }
    break;
  }
  case EnableGuestLogin: {
    bool flag = in->readU8() != 0;
    try {
      enableGuestLogin(flag);
    } catch (const plat::Exception& e) {
      vlog.error("enable/disable Guest Login: %s", e.str());
    }
    break;
  }
  case TickGuestLogin: {
    bool flag = in->readU8() != 0;
    try {
      tickGuestLogin(flag);
    } catch (const plat::Exception& e) {
      vlog.error("tick/untick Guest Login: %s", e.str());
    }
    break;
  }
  case EnableChat: {
    bool flag = in->readU8() != 0;
    try {
      enableChat(flag);
    } catch (const plat::Exception& e) {
      vlog.error("enable/disable Chat: %s", e.str());
    }
    break;
  }
  case CheckVisibility:
    send(icon_.isEmbedded() ? Hide : PutAway);
    break;
  default:
    break;
  }
}

// The status window's calls: messages in the parent, menu changes in the
// child.

void StatusIcon::setTooltip(const char* text) {
  parentSend([&] { sendText(SetTooltip, text); });
}

void StatusIcon::enableGuestLogin(bool enable) {
  if (isChild())
    icon_.getMenu().setSensitive(guestLoginId_, enable);
  else
    parentSend([&] { sendFlag(EnableGuestLogin, enable); });
}

void StatusIcon::tickGuestLogin(bool tick) {
  if (isChild()) {
    // Stored first: the "activate" that setting the mark raises then finds
    // both equal and reports nothing.
    guestLoginTicked_ = tick;
    icon_.getMenu().setChecked(guestLoginId_, tick);
  } else {
    parentSend([&] { sendFlag(TickGuestLogin, tick); });
  }
}

void StatusIcon::setIcon(unsigned state) {
  parentSend([&] {
    rdr::OutStream* out = getOutStream();
    out->writeU32(SetIcon);
    out->writeU32(state);
    out->flush();
  });
}

void StatusIcon::checkVisibility() {
  parentSend([&] { send(CheckVisibility); });
}

void StatusIcon::enableFileTransfer(bool enable) {
  if (isChild())
    icon_.getMenu().setSensitive(fileTransferId_, enable);
  else
    parentSend([&] { sendFlag(EnableFileTransfer, enable); });
}

void StatusIcon::enableChat(bool enable) {
  if (isChild())
    icon_.getMenu().setSensitive(chatId_, enable);
  else
    parentSend([&] { sendFlag(EnableChat, enable); });
}

void StatusIcon::showStatus() {
  send(ShowStatus);
}

// The child.

namespace {

// Ends the child: what it wrote is flushed, and none of the parent's exit
// handlers run.
[[noreturn]] void childExit(rdr::OutStream* out) {
  try {
    out->flush();
  } catch (const plat::Exception&) {
  }
  fflush(nullptr);
  _exit(0);
}

} // namespace

void StatusIcon::onCommand(std::uint32_t id) {
  try {
    if (id == connectId_) {
      send(Connect);
    } else if (id == disconnectId_) {
      send(DisconnectAll);
    } else if (id == chatId_) {
      send(OpenChat);
    } else if (id == fileTransferId_) {
      send(OpenFileTransfer);
    } else if (id == statusId_) {
      send(ShowStatus);
    } else if (id == guestLoginId_) {
      // Only a user's toggle differs from the stored state.
      if (guestLoginTicked_ != icon_.getMenu().isChecked(id)) {
        guestLoginTicked_ = !guestLoginTicked_;
        send(ToggleGuestLogin);
      }
    }
  } catch (const plat::Exception&) {
    // The parent is gone.
    childExit(getOutStream());
  }
}

void StatusIcon::Icon::onActivate() {
  try {
    owner_.showStatus();
  } catch (const plat::Exception&) {
    childExit(owner_.getOutStream());
  }
}

void StatusIcon::Icon::onChanged() {
  bool now = false;
  try {
    now = gtk::gtk_status_icon_is_embedded(statusIcon()) &&
          gtk::gtk_status_icon_get_visible(statusIcon());
  } catch (const plat::Exception& e) {
    vlog.error("checking embedded: %s", e.str());
    now = false;
  }
  if (now == embedded_)
    return;
  embedded_ = now;
  try {
    owner_.sendFlag(IconEmbedded, now);
  } catch (const plat::Exception& e) {
    vlog.error("sending icon-embedded: %s", e.str());
  }
}

void StatusIcon::closeOtherDescriptors() {
  // The child keeps standard input, output and error and its two pipe ends;
  // the parent's X connection, sockets and files are not its business.
  int keep[2] = {getInStream()->getFd(), getOutStream()->getFd()};
  std::sort(keep, keep + 2);
  unsigned from = 3;
  for (int fd : keep) {
    if (fd < 3)
      continue;
    if (static_cast<unsigned>(fd) > from)
      close_range(from, static_cast<unsigned>(fd) - 1, 0);
    from = static_cast<unsigned>(fd) + 1;
  }
  close_range(from, ~0u, 0);
}

gtk::gboolean StatusIcon::handleRequestStatic(gtk::GIOChannel*, gtk::GIOCondition condition,
                                              gtk::gpointer data) {
  StatusIcon* self = static_cast<StatusIcon*>(data);
  bool input = condition & gtk::G_IO_IN;
  bool hangUp = condition & gtk::G_IO_HUP;
  if (input) {
    try {
      self->handleRequest();
    } catch (const rdr::BlockException&) {
    } catch (const rdr::EndOfStream&) {
      // The parent went in the middle of a message.
      childExit(self->getOutStream());
    } catch (const plat::Exception& e) {
      vlog.error("Untrapped: %s", e.str());
    }
  }
  // The parent closed its end: what was left has been read.
  if (hangUp)
    childExit(self->getOutStream());
  return 1;
}

void StatusIcon::run() {
  // Handlers the parent installed act on the parent's descriptors, which the
  // child has closed (and may reuse): the child ends on these signals as a
  // plain process does.
  for (int sig : {SIGHUP, SIGINT, SIGTERM})
    signal(sig, SIG_DFL);
  try {
    closeOtherDescriptors();
    setNonBlocking(getInStream()->getFd());

    // GTK opens the configuration tool's display, which need not be
    // $DISPLAY; a display that cannot be opened is reported like any other
    // set-up failure rather than ending the child.
    char name[] = "serverconfig";
    char option[] = "--display";
    std::string display = display_;
    char* args[] = {name, option, &display[0], nullptr};
    int argc = display_.empty() ? 1 : 3;
    char** argv = args;
    if (!gtk::gtk_init_check(&argc, &argv))
      throw plat::ExceptionFmt("Unable to open display \"%s\"", display_.c_str());

    gtk::Pixbuf pixbuf =
        gtk::Pixbuf::fromData(zavconfigUnconnected.data(), false, statusIconSize, statusIconSize);
    gtk::Menu menu;
    statusId_ = menu.addItem("Status...");
    menu.addSeparator();
    connectId_ = menu.addItem("Connect to Listening Zav Viewer");
    disconnectId_ = menu.addItem("Disconnect Zav Viewers");
    guestLoginId_ = menu.addItem("Guest Login", -1, true);
    chatId_ = menu.addItem("Chat...");
    fileTransferId_ = menu.addItem("File Transfer...");
    menu.setCallback(this);
    icon_.setMenu(menu);
    icon_.setIcon(pixbuf);
    enableFileTransfer(false);
    enableChat(false);
    guestLoginTicked_ = false;

    gtk::GIOChannel* channel = gtk::g_io_channel_unix_new(getInStream()->getFd());
    gtk::g_io_add_watch(channel, gtk::G_IO_IN | gtk::G_IO_HUP, &StatusIcon::handleRequestStatic,
                        this);
    gtk::gtk_main();
    menu.release();
    pixbuf.release();
  } catch (const plat::Exception& e) {
    try {
      sendText(Failure, e.str());
    } catch (const plat::Exception&) {
    }
  }
  childExit(getOutStream());
}

} // namespace serverconfig
