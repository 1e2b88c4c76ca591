// How the file-transfer extension obtains the upload side and the
// per-connection download sides of file transfer. The upload manager stays
// the connection manager's; a download manager it makes is owned by the
// extension until it is handed back with releaseConnection.
#pragma once

#include "ft/FileId.h"

namespace ft {

class DownloadManager;
class Extension;
class UploadManager;

class ConnectionManager {
public:
  virtual UploadManager* getUploadManager(Extension* extension, ConnectionId connection) = 0;
  // A new download manager for the connection.
  virtual DownloadManager* newDownloadManager(Extension* extension, ConnectionId connection) = 0;
  // The connection is gone: deletes the download manager (when there is one).
  virtual void releaseConnection(UploadManager* upload, DownloadManager* download) = 0;
  // The extension is being destroyed: it must not be called any more.
  virtual void extensionDestroyed(Extension*) {}
  virtual ~ConnectionManager() = default;
};

} // namespace ft
