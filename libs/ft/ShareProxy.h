// A share that a peer offered, as received: copies of its entries, its id
// and flags, and the download manager of the connection it came on (none once
// that manager is gone). Reference counted: it starts with one reference,
// which the extension takes over as its active share, and deletes itself when
// the last one is released.
#pragma once

#include "ft/ManagedVector.h"
#include "ft/ShareEntry.h"

#include <cstdint>
#include <string>

namespace ft {

class DownloadManager;
class Extension;

class ShareProxy : public ManagedVector<ShareEntry> {
public:
  // Takes over the manager's listing (not a copy: a listing may be big) and
  // becomes the extension's active share.
  ShareProxy(DownloadManager* manager, Extension* extension);

  void ref() { refCount++; }
  void unref();
  // "name (size)" for one entry, else "name (size in N files)".
  const char* describe();

  DownloadManager* getManager() const { return manager; }
  void setManager(DownloadManager* m) { manager = m; }
  std::uint32_t getShareFlags() const { return shareFlags; }
  std::uint32_t getShareId() const { return shareId; }
  std::uint32_t getRefCount() const { return refCount; }

  // "%.2f Tb", "%.2f Gb", "%.2f Mb", "%.2f Kb" or "%lu bytes", each unit
  // used only above its size.
  static std::string sizeText(std::uint64_t size);

private:
  // Releases the share on its connection and leaves the extension.
  ~ShareProxy() override;

  DownloadManager* manager;
  Extension* extension;
  std::uint32_t shareFlags;
  std::uint32_t shareId;
  std::uint32_t refCount = 1;
  std::string description;
};

} // namespace ft
