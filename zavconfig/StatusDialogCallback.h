// The one place where the status dialog, the connections model and the
// options dialog reach the server: each of their operations becomes a request
// of the extension "ZAV-EXTENSION" on the display. What it shows on screen
// (iconifying the main window, connect notices, the "chat unavailable" box)
// goes to its Windows; the display, the windows, the chat window and the
// file-transfer objects are not owned.
#pragma once

#include "serverconfig/ConnectionsList.h"
#include "serverconfig/OptionsDialog.h"
#include "serverconfig/StatusDialog.h"

#include "plat/String.h"

#include <X11/Xlib.h>

namespace chat {
class ChatWindow;
}

namespace zavconfig {

class StatusDialogCallback : public serverconfig::StatusDialog::Callback,
                             public serverconfig::ConnectionsList::Callback,
                             public serverconfig::OptionsDialog::Callback {
public:
  using Entry = serverconfig::ConnectionsList::Entry;

  // The windows the callback drives.
  class Windows {
  public:
    virtual ~Windows() = default;
    // Iconifies the main window.
    virtual void iconify() = 0;
    // The connect or disconnect notice of one connection, shown for seconds
    // (0: not shown).
    virtual void notifyConnect(const Entry& entry, bool connected, int seconds) = 0;
    // A message box with one "OK" button.
    virtual void showMessage(const char* text) = 0;
  };

  static const char* const chatUnavailableText;

  // Reads the server mode from the status value "is_module".
  StatusDialogCallback(Display* dpy, ft::UploadManager* uploadManager);
  ~StatusDialogCallback() override;
  StatusDialogCallback(const StatusDialogCallback&) = delete;
  StatusDialogCallback& operator=(const StatusDialogCallback&) = delete;

  void setWindows(Windows* windows) { windows_ = windows; }
  void setChat(chat::ChatWindow* chat) { chat_ = chat; }
  // The file-transfer extension that the upload manager works for.
  void setFtExtension(ft::Extension* extension) { ftExtension_ = extension; }

  // serverconfig::StatusDialog::Callback
  void setParam(const char* name, const char* value) override;
  // Null whenever the server gives no value, so callers use their defaults.
  const char* getParam(const char* name) override;
  const char* getStatusParam(const char* name) override;
  // Throws plat::ExceptionFmt "Failed to connect to %s".
  void connectToViewer(const char* address) override;
  bool disconnectAll() override;
  void iconify() override;
  void openChat() override;
  ft::Extension* getFtExtension() override { return ftExtension_; }
  ft::UploadManager* getUploadManager() override { return uploadManager_; }

  // serverconfig::ConnectionsList::Callback and its continuation
  bool disconnect(const Entry& entry) override;
  bool setAccess(const Entry& entry, std::uint16_t rights) override;
  // False when the request failed: nothing is added, which the model shows
  // as no connections.
  bool listConnections(std::vector<Entry>& list);
  void notifyChanges(const std::vector<Entry>& added, const std::vector<Entry>& gone);

  // serverconfig::OptionsDialog::Callback and its continuation
  void applyOptions(plat::ParameterSet* changed, plat::ParameterSet* server) override;
  void reloadParams(plat::ParameterSet* set) override;
  // 1 service mode, 3 virtual mode.
  unsigned getServerMode() const { return serverMode_; }

private:
  void list(std::vector<Entry>& list) override { listConnections(list); }
  void notify(const std::vector<Entry>& added, const std::vector<Entry>& removed) override {
    notifyChanges(added, removed);
  }
  unsigned getMode() override { return getServerMode(); }
  // Sets a server parameter: null when the server took it, else why not.
  const char* sendParam(const char* name, const char* value);

  Display* dpy_;
  ft::UploadManager* uploadManager_;
  ft::Extension* ftExtension_ = nullptr;
  chat::ChatWindow* chat_ = nullptr;
  Windows* windows_ = nullptr;
  // The last value getParam returned.
  plat::String value_;
  unsigned serverMode_;
};

} // namespace zavconfig
