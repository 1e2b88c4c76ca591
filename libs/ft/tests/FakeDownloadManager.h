// Test doubles for the file-transfer extension: a download manager that
// records what it is asked and holds streams the test adds, a stream that
// records its bytes (and can fail), and a connection manager that hands out
// one upload manager and such download managers.
#pragma once

#include "ft/ConnectionManager.h"
#include "ft/DownloadManager.h"
#include "ft/Extension.h"
#include "ft/UploadManager.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ft_test {

class FakeStream : public ft::DownloadManager::Stream {
public:
  explicit FakeStream(std::vector<std::string>* log_) : log(log_) {}
  std::uint64_t getLimit() override { return 1000; }
  int write(const std::uint8_t* bytes, int length) override {
    if (failWith == 1)
      throw CancelledException();
    if (failWith == 2)
      throw plat::Exception("disk full");
    data.append(reinterpret_cast<const char*>(bytes), length);
    return length;
  }
  void finish(const char* message) override {
    log->push_back("finish '" + std::string(message) + "' " + data);
    delete this;
  }
  std::vector<std::string>* log;
  std::string data;
  int failWith = 0;
};

class FakeDownloadManager : public ft::DownloadManager {
public:
  FakeDownloadManager(ft::Extension* ext_, ft::ConnectionId conn)
      : ft::DownloadManager(ext_, conn), ext(ext_), connection(conn) {}
  ~FakeDownloadManager() override {
    connection = 0;
    for (auto& s : streams)
      s.second->finish("Connection closed");
    ext->orphanShares(this);
  }

  ft::ConnectionId getConnection() const override { return connection; }
  void setShare(std::uint32_t sid, std::uint32_t flags) override {
    log.push_back("setShare " + std::to_string(sid) + " " + std::to_string(flags));
    shareId = sid;
    shareFlags = flags;
  }
  void addEntry(ft::ShareEntry* entry) override { entries.push_back(entry); }
  void ready(std::uint32_t sid) override { log.push_back("ready " + std::to_string(sid)); }
  void withdrawn(std::uint32_t sid) override { log.push_back("withdrawn " + std::to_string(sid)); }
  Stream* getStream(ft::FileId id) override {
    auto it = streams.find(key(id));
    return it == streams.end() ? nullptr : it->second;
  }
  bool closeStream(ft::FileId id, const char* message) override {
    auto it = streams.find(key(id));
    if (it == streams.end())
      return false;
    Stream* s = it->second;
    streams.erase(it);
    s->finish(message);
    return true;
  }
  void queueAbort(ft::FileId id) override {
    log.push_back("queueAbort " + std::to_string(id.fileId));
  }
  void queueRelease(std::uint32_t sid) override {
    log.push_back("queueRelease " + std::to_string(sid));
  }
  bool hasPending() const override { return !streams.empty(); }
  const ft::ManagedVector<ft::ShareEntry>& getEntries() const override { return entries; }
  void handOverEntries(ft::ManagedVector<ft::ShareEntry>* to) override { to->takeAll(entries); }
  std::uint32_t getShareId() const override { return shareId; }
  std::uint32_t getShareFlags() const override { return shareFlags; }
  bool sendAborts() override { return step("sendAborts"); }
  bool sendReleases() override { return step("sendReleases"); }
  bool sendShareRequest() override { return step("sendShareRequest"); }
  bool sendFileRequests() override { return step("sendFileRequests"); }
  bool renewLimits() override { return step("renewLimits"); }

  FakeStream* addStream(ft::FileId id) {
    FakeStream* s = new FakeStream(&log);
    streams[key(id)] = s;
    return s;
  }

  ft::Extension* ext;
  ft::ConnectionId connection;
  std::vector<std::string> log;
  std::map<std::uint64_t, Stream*> streams;
  ft::ManagedVector<ft::ShareEntry> entries;
  std::uint32_t shareId = 0;
  std::uint32_t shareFlags = 0;
  bool stepsHaveWork = false;

private:
  static std::uint64_t key(ft::FileId id) {
    return (static_cast<std::uint64_t>(id.shareId) << 32) | id.fileId;
  }
  bool step(const char* name) {
    log.push_back(name);
    return stepsHaveWork;
  }
};

class FakeConnectionManager : public ft::ConnectionManager {
public:
  explicit FakeConnectionManager(ft::Extension* ext_) : ext(ext_), upload(ext_) {
    ext->setConnectionManager(this);
  }
  ~FakeConnectionManager() override { ext->setConnectionManager(nullptr); }
  ft::UploadManager* getUploadManager(ft::Extension*, ft::ConnectionId) override { return &upload; }
  ft::DownloadManager* newDownloadManager(ft::Extension* e, ft::ConnectionId c) override {
    lastDownload = new FakeDownloadManager(e, c);
    return lastDownload;
  }
  void releaseConnection(ft::UploadManager*, ft::DownloadManager* d) override { delete d; }

  ft::Extension* ext;
  ft::UploadManager upload;
  FakeDownloadManager* lastDownload = nullptr;
};

} // namespace ft_test
