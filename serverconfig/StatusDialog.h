// The server status window's two interfaces: Callback, through which the
// window and the dialogs it owns reach the server, and IconCallback, the tray
// icon (or the window menu that stands in for it) that the window keeps
// informed. Texts that the callback returns belong to it.
#pragma once

namespace ft {
class Extension;
class UploadManager;
} // namespace ft

namespace serverconfig {

class StatusDialog {
public:
  class Callback {
  public:
    virtual ~Callback() = default;
    // Sets a server parameter.
    virtual void setParam(const char* name, const char* value) = 0;
    // A server parameter's value, valid until the next call, or null when
    // the server has none.
    virtual const char* getParam(const char* name) = 0;
    // A status value of the server ("is_module", "ip_addrs",
    // "total_connections" ...), valid until the next call, or null.
    virtual const char* getStatusParam(const char* name) = 0;
    // Connects the server to a listening viewer at host[:port]; throws
    // plat::Exception when the server refuses.
    virtual void connectToViewer(const char* address) = 0;
    // Drops every viewer; false when the server refused.
    virtual bool disconnectAll() = 0;
    virtual void iconify() = 0;
    // Shows the chat window; a failure is shown to the user, not thrown.
    virtual void openChat() = 0;
    // The file-transfer objects, not owned; null when there are none.
    virtual ft::Extension* getFtExtension() = 0;
    virtual ft::UploadManager* getUploadManager() = 0;
  };

  class IconCallback {
  public:
    virtual ~IconCallback() = default;
    virtual void setTooltip(const char* text) = 0;
    virtual void enableGuestLogin(bool enable) = 0;
    virtual void tickGuestLogin(bool tick) = 0;
    // 0 normal, 1 users connected, 2 not accepting connections, 3 a
    // problem, 4 hidden.
    virtual void setIcon(unsigned state) = 0;
    // Hides or iconifies the status window when it is closed.
    virtual void checkVisibility() = 0;
    virtual void enableFileTransfer(bool enable) = 0;
    virtual void enableChat(bool enable) = 0;
  };
};

} // namespace serverconfig
