// A server as the status window sees it through its callbacks: parameters,
// status values and connections that the test sets, and counts of the
// commands the window sends (disconnect all, iconify, open chat).
#pragma once

#include "serverconfig/ConnectionsList.h"
#include "serverconfig/StatusDialog.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

struct FakeStatusServer : serverconfig::StatusDialog::Callback,
                          serverconfig::ConnectionsList::Callback {
  using Entry = serverconfig::ConnectionsList::Entry;

  void setParam(const char* name, const char* value) override {
    params[name] = value;
    paramsSet.push_back(std::string(name) + "=" + value);
  }
  const char* getParam(const char* name) override {
    auto it = params.find(name);
    return it == params.end() ? nullptr : it->second.c_str();
  }
  const char* getStatusParam(const char* name) override {
    auto it = status.find(name);
    return it == status.end() ? nullptr : it->second.c_str();
  }
  void connectToViewer(const char*) override {}
  bool disconnectAll() override {
    disconnects++;
    return true;
  }
  void iconify() override { iconified++; }
  void openChat() override { chats++; }
  ft::Extension* getFtExtension() override { return extension; }
  ft::UploadManager* getUploadManager() override { return nullptr; }
  bool disconnect(const Entry&) override { return true; }
  bool setAccess(const Entry&, std::uint16_t) override { return true; }
  void list(std::vector<Entry>& out) override { out = connections; }
  void notify(const std::vector<Entry>&, const std::vector<Entry>&) override {}

  std::map<std::string, std::string> params = {{"rfbPort", "5901"}, {"InTransports", "IPv4"}};
  std::map<std::string, std::string> status = {{"ip_addrs", "127.0.0.1,192.168.0.5"},
                                               {"public_key_signature", "aa-bb"}};
  std::vector<Entry> connections;
  // "name=value" of each setParam, in order.
  std::vector<std::string> paramsSet;
  int iconified = 0;
  int disconnects = 0;
  int chats = 0;
  // The file-transfer extension the window is given, not owned.
  ft::Extension* extension = nullptr;
};

} // namespace testing_support
