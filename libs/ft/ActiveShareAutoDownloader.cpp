#include "ft/ActiveShareAutoDownloader.h"

#include "ft/MsgType.h"
#include "ft/ShareProxy.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "plat/StringParameter.h"
#include "plat/unix/Passwd.h"

#include <algorithm>
#include <unistd.h>

static plat::LogWriter vlog("AutoDownloader");

namespace ft {

plat::StringParameter
    ActiveShareAutoDownloader::fetchDir("FetchDir", "Directory to which to save fetched files.",
                                        "");

ActiveShareAutoDownloader::ActiveShareAutoDownloader(Extension* extension_,
                                                     GetDirCallback* getDirCallback_)
    : extension(extension_), getDirCallback(getDirCallback_) {
  if (extension)
    extension->addShareCallback(this);
}

ActiveShareAutoDownloader::~ActiveShareAutoDownloader() {
  if (extension)
    extension->removeShareCallback(this);
  for (ShareProxy* share : pending)
    share->unref();
}

std::string ActiveShareAutoDownloader::defaultFetchDir() {
  os::Passwd user(getuid());
  if (!user.isValid())
    throw plat::Exception("No user database entry for the current user");
  return std::string(user.getHomeDir()) + "/Desktop";
}

bool ActiveShareAutoDownloader::askEveryTime() {
  return std::string(fetchDir.c_str()) == "?";
}

std::string ActiveShareAutoDownloader::getFetchDir() {
  std::string value = fetchDir.c_str();
  if (value.empty())
    return defaultFetchDir();
  return value;
}

void ActiveShareAutoDownloader::fetchTo(ShareProxy* share, const char* folder) {
  share->ref();
  auto it = std::find(pending.begin(), pending.end(), share);
  if (it != pending.end()) {
    pending.erase(it);
    share->unref();
  }
  try {
    if (!share->getManager())
      throw plat::Exception("The files are no longer available.");
    download(share, folder);
  } catch (...) {
    share->unref();
    throw;
  }
  share->unref();
}

void ActiveShareAutoDownloader::decline(ShareProxy* share) {
  auto it = std::find(pending.begin(), pending.end(), share);
  if (it == pending.end())
    return;
  pending.erase(it);
  share->unref();
}

void ActiveShareAutoDownloader::shareActivated(ShareProxy* share) {
  if (!(share->getShareFlags() & shareFetchAtOnce))
    return;
  try {
    if (!askEveryTime()) {
      fetchTo(share, getFetchDir().c_str());
    } else if (getDirCallback) {
      share->ref();
      pending.push_back(share);
      getDirCallback->getDir(share);
    } else {
      throw plat::Exception("fetchDir configured for 'Ask every time' but no callback");
    }
  } catch (plat::Exception& ex) {
    vlog.error("%s", ex.str());
    decline(share);
    showMessage("No download directory is configured, and no default could be\n"
                "determined. Please configure a download directory below.");
  } catch (std::exception& ex) {
    vlog.error("%s", ex.what());
    decline(share);
    showMessage("No download directory is configured, and no default could be\n"
                "determined. Please configure a download directory below.");
  }
}

void ActiveShareAutoDownloader::shareRefused(std::uint32_t, const char* reason) {
  showMessage(reason);
}

} // namespace ft
