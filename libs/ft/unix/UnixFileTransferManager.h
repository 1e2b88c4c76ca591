// The program's connection manager for file transfer: it owns the one upload
// manager, makes a download manager for each connection on demand (the
// extension owns it until the connection is released), and while it exists
// is the global attribute filter that keeps only the "UNIX" attribute of
// received share entries. The extension is borrowed; either may be destroyed
// first.
#pragma once

#include "ft/ConnectionManager.h"
#include "ft/ShareEntry.h"
#include "ft/UploadManager.h"

namespace ft {

class UnixFileTransferManager : public ConnectionManager, public ShareEntry::AttributeFilter {
public:
  // Registers with the extension and installs the attribute filter.
  explicit UnixFileTransferManager(Extension* extension);
  // Removes the filter and leaves the extension without a connection manager.
  ~UnixFileTransferManager() override;
  UnixFileTransferManager(const UnixFileTransferManager&) = delete;
  UnixFileTransferManager& operator=(const UnixFileTransferManager&) = delete;

  UploadManager* getUploadManager() { return &upload; }

  // ConnectionManager
  UploadManager* getUploadManager(Extension* extension, ConnectionId connection) override;
  // The caller (the extension) owns the new manager.
  DownloadManager* newDownloadManager(Extension* extension, ConnectionId connection) override;
  void releaseConnection(UploadManager* upload, DownloadManager* download) override;
  void extensionDestroyed(Extension* extension) override;

  // ShareEntry::AttributeFilter
  bool accept(const FileAttributes* attribute) override;

private:
  Extension* extension;
  UploadManager upload;
};

} // namespace ft
