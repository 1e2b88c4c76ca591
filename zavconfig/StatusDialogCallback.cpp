#include "zavconfig/StatusDialogCallback.h"

#include "chat/ChatWindow.h"
#include "plat/ConfigParameter.h"
#include "plat/ConfigurationFile.h"
#include "plat/DString.h"
#include "plat/DirName.h"
#include "plat/Exception.h"
#include "plat/FileOps.h"
#include "plat/LogWriter.h"
#include "plat/ParameterSet.h"
#include "plat/StringUtils.h"
#include "plat/XmlConfig.h"
#include "plat/unix/AppInit.h"
#include "zavconfig/zavext.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

static plat::LogWriter vlog("XzavConfig");

namespace zavconfig {

namespace {

// The text the server knows a connection by: "%s+%s" of address and suffix,
// or the address alone when the server sent no suffix, so that the text goes
// back as it came.
plat::String addressAndSuffix(const StatusDialogCallback::Entry& entry) {
  if (entry.suffix.isNull())
    return entry.address;
  plat::DString text;
  text.appendFormat("%s+%s", entry.address.c_str(), entry.suffix.c_str());
  return text.str();
}

} // namespace

const char* const StatusDialogCallback::chatUnavailableText =
    "Chat unavailable. Please ensure only one instance of zavconfig is running.";

StatusDialogCallback::StatusDialogCallback(Display* dpy, ft::UploadManager* uploadManager)
    : dpy_(dpy), uploadManager_(uploadManager) {
  serverMode_ = plat::strDecimal(getStatusParam("is_module"), 0) != 0 ? 1 : 3;
}

StatusDialogCallback::~StatusDialogCallback() = default;

const char* StatusDialogCallback::sendParam(const char* name, const char* value) {
  plat::DString text;
  text.appendFormat("%s=%s", name, value);
  if (size_t(text.length()) > zavext::maxTextLength)
    return "the value is too long: name and value may have 255 bytes at most";
  if (!zavext::setParam(dpy_, text.c_str()))
    return "the server refused the value";
  return nullptr;
}

void StatusDialogCallback::setParam(const char* name, const char* value) {
  if (sendParam(name, value))
    vlog.status("setting %s failed", name);
}

const char* StatusDialogCallback::getParam(const char* name) {
  char* value;
  int length;
  if (!zavext::getParam(dpy_, name, &value, &length)) {
    value_.reset();
    return nullptr;
  }
  value_ = plat::String(value, length);
  XFree(value);
  return value_.c_str();
}

const char* StatusDialogCallback::getStatusParam(const char* name) {
  return zavext::getStatusParam(dpy_, name);
}

void StatusDialogCallback::connectToViewer(const char* address) {
  if (!zavext::connect(dpy_, address))
    throw plat::ExceptionFmt("Failed to connect to %s", address);
}

bool StatusDialogCallback::disconnectAll() {
  return zavext::connect(dpy_, "");
}

void StatusDialogCallback::iconify() {
  if (windows_)
    windows_->iconify();
}

void StatusDialogCallback::openChat() {
  try {
    if (!chat_)
      throw plat::Exception("no chat window");
    chat_->show();
  } catch (plat::Exception& e) {
    vlog.debug("%s", e.str());
    if (windows_)
      windows_->showMessage(chatUnavailableText);
  }
}

bool StatusDialogCallback::disconnect(const Entry& entry) {
  return zavext::disconnect(dpy_, entry.user.c_str(), addressAndSuffix(entry).c_str());
}

bool StatusDialogCallback::setAccess(const Entry& entry, std::uint16_t rights) {
  char text[16];
  snprintf(text, sizeof(text), "%d", int(rights));
  return zavext::setAccess(dpy_, entry.user.c_str(), addressAndSuffix(entry).c_str(), text);
}

bool StatusDialogCallback::listConnections(std::vector<Entry>& list) {
  int count;
  char** texts = zavext::listConnections(dpy_, &count);
  if (!texts)
    return false;
  for (int i = 0; i < count; i++) {
    Entry entry;
    entry.user = texts[3 * i];
    plat::strSplit(texts[3 * i + 1], '+', &entry.address, &entry.suffix);
    entry.rights = std::uint16_t(strtoul(texts[3 * i + 2], nullptr, 10));
    list.push_back(entry);
  }
  zavext::freeList(texts);
  return true;
}

void StatusDialogCallback::notifyChanges(const std::vector<Entry>& added,
                                         const std::vector<Entry>& gone) {
  // Without windows (command mode) there is nobody to tell.
  if (!windows_)
    return;
  int seconds =
      int(std::clamp<long>(plat::strDecimal(getParam("ConnNotifyTimeout"), 4), INT_MIN, INT_MAX));
  for (const Entry& entry : gone)
    windows_->notifyConnect(entry, false, seconds);
  for (const Entry& entry : added)
    windows_->notifyConnect(entry, true, seconds);
}

void StatusDialogCallback::applyOptions(plat::ParameterSet* changed, plat::ParameterSet* server) {
  // The settings the server did not take, each with why; the server set
  // mirrors the server, so they keep their old values there.
  std::set<std::string> notApplied;
  plat::DString report;
  for (plat::ParameterSet* set = changed; set; set = set->getNext()) {
    for (plat::ConfigParameter* p = set->getFirst(); p; p = p->getNext()) {
      plat::String now = p->getValueStr();
      plat::ConfigParameter* old = server->find(p->getName());
      plat::String before = old ? old->getValueStr() : plat::String();
      bool same =
          before.isNull() ? now.isNull() : !now.isNull() && strcmp(before.get(), now.get()) == 0;
      if (same) {
        vlog.debug("%s unchanged", p->getName());
        continue;
      }
      vlog.status("%s: %s -> %s", p->getName(), before.isNull() ? "(none)" : before.get(),
                  now.c_str());
      if (const char* why = sendParam(p->getName(), now.c_str())) {
        vlog.error("%s not applied: %s", p->getName(), why);
        notApplied.insert(p->getName());
        report.appendFormat("\n%s: %s", p->getName(), why);
      }
    }
  }
  for (plat::ConfigParameter* p = changed->getFirst(); p; p = p->getNext()) {
    plat::ConfigParameter* mine = server->find(p->getName());
    if (mine && !notApplied.count(p->getName()))
      mine->setParam(p->getValueStr().c_str(), p->getPriority());
  }
  if (!notApplied.empty() && windows_) {
    plat::DString text;
    text.appendFormat("These settings were not applied:\n%s", report.c_str());
    windows_->showMessage(text.c_str());
  }
  AppInit* app = AppInit::instance();
  if (!app)
    return;
  try {
    // The per-user configuration folder may not exist yet: make it, private.
    plat::DirName dir(app->getUserConfigFile());
    plat::mkDirWithParents(dir.c_str(), true, false);
    plat::ConfigurationFile::setValue(
        app->getUserConfigFile(), serverconfig::OptionsDialog::advancedParam.getName(),
        serverconfig::OptionsDialog::advancedParam.getValue() ? "1" : "0");
  } catch (plat::Exception& e) {
    vlog.error("%s", e.str());
  }
}

void StatusDialogCallback::reloadParams(plat::ParameterSet* set) {
  char* xml = zavext::getParamsXml(dpy_);
  if (!xml)
    return;
  try {
    plat::loadXmlConfigText(set, xml);
  } catch (plat::Exception& e) {
    vlog.error("server parameters: %s", e.str());
  }
  XFree(xml);
}

} // namespace zavconfig
