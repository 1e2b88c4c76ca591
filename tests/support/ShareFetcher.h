// A stand-in for the share downloader in tests and benchmarks: it fetches
// every share that becomes the extension's active share into a folder,
// folders first, then up to eight files at a time through file streams
// registered with the share's download manager; failures are collected as
// texts, and so are the reasons of shares refused. Borrows the extension,
// which must outlive it; holds one reference to the last share.
#pragma once

#include "ft/DownloadManager.h"
#include "ft/Extension.h"
#include "ft/ShareProxy.h"
#include "ft/unix/FileStream.h"
#include "plat/Exception.h"

#include <algorithm>
#include <deque>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace testing_support {

class ShareFetcher : public ft::Extension::ShareCallback, public ft::FileStream::Callback {
public:
  ShareFetcher(ft::Extension* ext_, const std::string& dir_) : ext(ext_), dir(dir_) {
    ext->addShareCallback(this);
  }
  ~ShareFetcher() override {
    ext->removeShareCallback(this);
    if (share)
      share->unref();
  }

  void shareAdvertised(std::uint32_t, std::uint32_t) override {}
  void shareDeactivated(ft::ShareProxy*) override {}
  void shareRefused(std::uint32_t, const char* reason) override { refusals.push_back(reason); }
  void shareActivated(ft::ShareProxy* s) override {
    if (share)
      share->unref();
    share = s;
    share->ref();
    for (std::uint32_t i = 0; i < share->size(); i++) {
      const ft::ShareEntry* e = (*share)[i];
      if (e->isDirectory())
        mkdir((dir + "/" + e->name).c_str(), 0700);
      else
        waiting.push_back(i);
    }
    while (running.size() < 8 && startNext()) {
    }
  }

  void progress(ft::FileStream* s, std::uint64_t) override {
    if (pauseFirst && !paused) {
      paused = s;
      s->paused = true;
    }
    ext->scheduleWriteMsg(share->getManager()->getConnection());
  }
  void writeFailed(ft::FileStream*, const char* message) override {
    failures.push_back(std::string("write ") + message);
  }
  void complete(ft::FileStream* s) override {
    running.erase(std::find(running.begin(), running.end(), s));
    completed++;
    startNext();
  }
  void failed(ft::FileStream* s, const char* message) override {
    running.erase(std::find(running.begin(), running.end(), s));
    failures.push_back(message);
  }

  void resume() {
    ft::FileStream* s = paused;
    s->paused = false;
    if (s->flushBuffer())
      share->getManager()->renewLimits();
  }
  bool done() const { return share && waiting.empty() && running.empty(); }
  // Gives the share's folders their modes, deepest first, once their files
  // are written.
  void setFolderModes() {
    for (std::uint32_t i = share->size(); i-- > 0;) {
      const ft::ShareEntry* e = (*share)[i];
      if (e->isDirectory())
        ft::FileStream::setFolderMode((dir + "/" + e->name).c_str(), e);
    }
  }

  ft::Extension* ext;
  std::string dir;
  ft::ShareProxy* share = nullptr;
  std::deque<std::uint32_t> waiting;
  std::vector<ft::FileStream*> running;
  std::vector<std::string> failures;
  std::vector<std::string> refusals;
  int completed = 0;
  bool pauseFirst = false;
  ft::FileStream* paused = nullptr;

private:
  bool startNext() {
    if (waiting.empty() || !share->getManager())
      return false;
    std::uint32_t i = waiting.front();
    waiting.pop_front();
    const ft::ShareEntry* e = (*share)[i];
    std::string path = dir + "/" + e->name;
    try {
      ft::FileStream* s = new ft::FileStream(path.c_str(), e, this);
      running.push_back(s);
      ft::FileId id{share->getShareId(), i};
      share->getManager()->addStream(id, s);
      share->getManager()->addFileRequest(id, e->getName(), 0, ~std::uint64_t(0));
      share->getManager()->sendFileRequests();
    } catch (plat::Exception& ex) {
      failures.push_back(std::string(e->getName()) + ": " + ex.str());
    }
    return true;
  }
};

} // namespace testing_support
