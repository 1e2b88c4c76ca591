// The server's tray icon, run in a forked child of the configuration tool
// that binds GTK at run time, shows the icon and its menu and runs the GTK
// main loop, while the parent stays free of GTK. Parent and child exchange
// small messages over two pipes: a 32-bit big-endian type and its payload.
// In the parent the object is the status window's icon callback, turning
// each call into a message, and turns the child's messages into actions on
// the status window through its Window interface (not owned). In the child
// the same object drives the GTK icon and menu.
#pragma once

#include "gtk/Menu.h"
#include "gtk/TrayIcon.h"
#include "plat/unix/Coprocess.h"
#include "serverconfig/StatusDialog.h"

#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>

namespace serverconfig {

class StatusIcon : public gtk::Menu::Callback,
                   public os::Coprocess,
                   public StatusDialog::IconCallback {
public:
  // The message types.
  enum : std::uint32_t {
    IconEmbedded = 0,
    PutAway = 1,
    Failure = 2,
    ShowStatus = 3,
    Hide = 4,
    SetIcon = 5,
    SetTooltip = 6,
    OpenFileTransfer = 7,
    EnableFileTransfer = 8,
    EnableGuestLogin = 9,
    Connect = 10,
    DisconnectAll = 11,
    ToggleGuestLogin = 12,
    TickGuestLogin = 13,
    OpenChat = 14,
    EnableChat = 15,
    CheckVisibility = 16,
  };

  // What the messages of the icon do to the status window in the parent.
  class Window {
  public:
    virtual ~Window() = default;
    // The icon the window reports to from now on; null for its fallback.
    virtual void setIconCallback(StatusDialog::IconCallback* icon) = 0;
    virtual void setTrayIconEmbedded(bool embedded) = 0;
    // Puts the window away (iconifies it).
    virtual void iconify() = 0;
    // De-iconifies the window and brings it up in front.
    virtual void showStatus() = 0;
    // Unmaps the window; the tray icon brings it back.
    virtual void hideStatus() = 0;
    virtual void showFileTransfer() = 0;
    virtual void openAddClientDialog() = 0;
    virtual void disconnectAll() = 0;
    // Toggles the server's guest login and refreshes the icon state.
    virtual void setGuestLogin() = 0;
    virtual void showChat() = 0;
    // The options dialog (offered by the window's own fallback menu).
    virtual void showOptions() = 0;
  };

  // Forks the child, whose GTK opens the given X display (the configuration
  // tool's own, not necessarily $DISPLAY). Throws plat::SystemException when
  // the pipes or the child cannot be made.
  StatusIcon(Window& window, const char* display);
  ~StatusIcon() override;

  // The parent's descriptor to watch for the child's messages.
  int getFd() const { return getInStream()->getFd(); }
  pid_t childPid() const { return child_; }
  // The child's wait status once it was collected, else -1.
  int childStatus() const { return childStatus_; }

  // Reads and acts on every message in the in-stream (the side's table).
  // In the parent, a failure report, the child's end or an action of the
  // window that fails throws plat::Exception after ending the child (see
  // endChild): the caller logs it and stops watching the descriptor.
  void handleRequest();

  // The child's channel watch: always keeps the watch.
  static gtk::gboolean handleRequestStatic(gtk::GIOChannel* channel, gtk::GIOCondition condition,
                                           gtk::gpointer data);

  // gtk::Menu::Callback, in the child.
  void onCommand(std::uint32_t id) override;

  // StatusDialog::IconCallback.
  void setTooltip(const char* text) override;
  void enableGuestLogin(bool enable) override;
  void tickGuestLogin(bool tick) override;
  void setIcon(unsigned state) override;
  void checkVisibility() override;
  void enableFileTransfer(bool enable) override;
  void enableChat(bool enable) override;

  // Sends "show status" to the parent (child).
  void showStatus();
  // Falls back to the window's own icon and collects the child if it ended.
  void reapChild();
  // Falls back to the window's own icon and ends the child, whose tray icon
  // would otherwise stay on screen with a menu that does nothing: its pipes
  // are closed and it is collected. Nothing is read from or written to it
  // afterwards (getFd() is no longer valid).
  void endChild();

protected:
  void run() override;

private:
  class Icon : public gtk::TrayIcon {
  public:
    explicit Icon(StatusIcon& owner) : owner_(owner) {}
    void onActivate() override;
    void onChanged() override;
    bool isEmbedded() const { return embedded_; }

  private:
    StatusIcon& owner_;
    bool embedded_ = false;
  };

  // Writes one message (type and the payload already built) and flushes.
  void send(std::uint32_t type);
  void sendFlag(std::uint32_t type, bool flag);
  void sendText(std::uint32_t type, const char* text);
  // In the parent: a write that failed means the child is gone.
  void parentSend(const std::function<void()>& write);
  void handleParent(std::uint32_t type);
  void handleChild(std::uint32_t type);
  void closeOtherDescriptors();
  // The window's own icon and menu take over from the tray icon.
  void fallBack();
  // Closes the pipes, ends the child and collects it, unless it was.
  void stopChild();
  // Collects the child, polling for up to ms milliseconds: its pid, 0 while
  // it runs on, -1 when it cannot be collected.
  pid_t waitForChild(int ms, int* status);
  // How long a child may take to end by itself before it is told to.
  static constexpr int stopGraceMs = 500;
  // How long it may take to end once told to, and once killed.
  static constexpr int killGraceMs = 200;
  std::string readText();

  Window& window_;
  std::string display_;
  std::uint32_t connectId_ = 0, disconnectId_ = 0, guestLoginId_ = 0, chatId_ = 0,
                fileTransferId_ = 0, statusId_ = 0;
  Icon icon_;
  bool guestLoginTicked_ = false;
  pid_t child_ = -1;
  bool childGone_ = false;
  int childStatus_ = -1;
};

} // namespace serverconfig
