// Fetches every share that a viewer pushes to the desktop user (one
// advertised with the fetch-at-once flag) as soon as it becomes the
// extension's active share: into "FetchDir", or, when that is "?", into the
// folder its get-folder callback answers with later. It is itself the share
// downloader doing the work. The extension and the callback are borrowed;
// one reference is held to each share waiting for a folder.
#pragma once

#include "ft/Extension.h"
#include "ft/ShareDownloader.h"

#include <list>
#include <string>

namespace plat {
class StringParameter;
}

namespace ft {

class ActiveShareAutoDownloader : public Extension::ShareCallback, public ShareDownloader {
public:
  class GetDirCallback {
  public:
    virtual ~GetDirCallback() = default;
    // Asks where to save the share; the answer comes through fetchTo or
    // decline.
    virtual void getDir(ShareProxy* share) = 0;
  };

  static plat::StringParameter fetchDir;

  ActiveShareAutoDownloader(Extension* extension, GetDirCallback* getDirCallback);
  ~ActiveShareAutoDownloader() override;

  // "<home>/Desktop" of the user running the program. Throws plat::Exception
  // when the user database has no entry for it.
  static std::string defaultFetchDir();
  static bool askEveryTime();
  // "FetchDir", or defaultFetchDir() when it is empty.
  static std::string getFetchDir();

  // Throws plat::Exception "The files are no longer available." when the
  // share's peer has gone.
  void fetchTo(ShareProxy* share, const char* folder);
  void decline(ShareProxy* share);
  size_t pendingCount() const { return pending.size(); }
  // The window that asks for folders, when it is made after this.
  void setGetDirCallback(GetDirCallback* callback) { getDirCallback = callback; }
  GetDirCallback* getGetDirCallback() const { return getDirCallback; }

  // Extension::ShareCallback
  void shareAdvertised(std::uint32_t, std::uint32_t) override {}
  void shareActivated(ShareProxy* share) override;
  void shareDeactivated(ShareProxy*) override {}
  void shareRefused(std::uint32_t shareId, const char* reason) override;

private:
  Extension* extension;
  GetDirCallback* getDirCallback;
  std::list<ShareProxy*> pending;
};

} // namespace ft
