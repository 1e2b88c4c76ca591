#include "ft/ShareProxy.h"

#include "ft/DownloadManager.h"
#include "ft/Extension.h"
#include "ft/Farewell.h"
#include "plat/Assert.h"
#include "plat/LogWriter.h"

#include <cinttypes>
#include <cstdio>

static plat::LogWriter vlog("ShareProxy");

namespace ft {

ShareProxy::ShareProxy(DownloadManager* manager_, Extension* extension_)
    : manager(manager_), extension(extension_), shareFlags(0), shareId(0) {
  PLAT_ASSERT(manager);
  manager->handOverEntries(this);
  shareFlags = manager->getShareFlags();
  shareId = manager->getShareId();
  extension->setActiveShare(this);
}

ShareProxy::~ShareProxy() {
  if (manager) {
    manager->listingReleased(*this);
    manager->queueRelease(shareId);
    // The release stays queued when the peer cannot take it now.
    farewell(vlog, "Releasing a share", [this] { manager->sendReleases(); });
  }
  extension->removeShare(this);
}

void ShareProxy::unref() {
  PLAT_ASSERT(refCount > 0);
  if (--refCount == 0)
    delete this;
}

std::string ShareProxy::sizeText(std::uint64_t size) {
  char text[64];
  const double s = static_cast<double>(size);
  if (size > (std::uint64_t(1) << 40))
    snprintf(text, sizeof(text), "%.2f Tb", s / static_cast<double>(std::uint64_t(1) << 40));
  else if (size > (std::uint64_t(1) << 30))
    snprintf(text, sizeof(text), "%.2f Gb", s / static_cast<double>(std::uint64_t(1) << 30));
  else if (size > (std::uint64_t(1) << 20))
    snprintf(text, sizeof(text), "%.2f Mb", s / static_cast<double>(std::uint64_t(1) << 20));
  else if (size > 1024)
    snprintf(text, sizeof(text), "%.2f Kb", s / 1024);
  else
    snprintf(text, sizeof(text), "%" PRIu64 " bytes", size);
  return text;
}

const char* ShareProxy::describe() {
  std::uint64_t total = 0;
  unsigned long files = 0;
  std::string common;
  bool same = true;
  for (std::size_t i = 0; i < size(); i++) {
    const ShareEntry* e = (*this)[i];
    total += e->size;
    if (!e->isDirectory())
      files++;
    std::string first = e->name.substr(0, e->name.find('/'));
    if (i == 0)
      common = first;
    else if (first != common)
      same = false;
  }
  std::string sizeStr = sizeText(total);
  char text[1200];
  if (size() == 1)
    snprintf(text, sizeof(text), "%s (%s)", (*this)[0]->getName(), sizeStr.c_str());
  else
    snprintf(text, sizeof(text), "%s (%s in %lu file%s)",
             same && size() > 0 ? common.c_str() : "multiple files", sizeStr.c_str(), files,
             files == 1 ? "" : "s");
  description = text;
  return description.c_str();
}

} // namespace ft
