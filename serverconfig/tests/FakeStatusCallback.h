// A stand-in for the server as the status window reaches it: parameters and
// status values answered by name from two tables (absent when not there),
// every action accepted and ignored. Tests derive from it to record actions.
#pragma once

#include "serverconfig/StatusDialog.h"

#include <map>
#include <string>

namespace testing_support {

struct FakeStatusCallback : serverconfig::StatusDialog::Callback {
  std::map<std::string, std::string> params, status;

  void setParam(const char*, const char*) override {}
  const char* getParam(const char* name) override { return find(params, name); }
  const char* getStatusParam(const char* name) override { return find(status, name); }
  void connectToViewer(const char*) override {}
  bool disconnectAll() override { return true; }
  void iconify() override {}
  void openChat() override {}
  ft::Extension* getFtExtension() override { return nullptr; }
  ft::UploadManager* getUploadManager() override { return nullptr; }

private:
  static const char* find(const std::map<std::string, std::string>& m, const char* name) {
    auto i = m.find(name);
    return i == m.end() ? nullptr : i->second.c_str();
  }
};

} // namespace testing_support
