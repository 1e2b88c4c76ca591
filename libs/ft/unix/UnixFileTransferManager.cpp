#include "ft/unix/UnixFileTransferManager.h"

#include "ft/DownloadManager.h"
#include "ft/Extension.h"
#include "ft/UnixAttribute.h"

namespace ft {

UnixFileTransferManager::UnixFileTransferManager(Extension* extension_)
    : extension(extension_), upload(extension_) {
  extension->setConnectionManager(this);
  ShareEntry::setAttributeFilter(this);
}

UnixFileTransferManager::~UnixFileTransferManager() {
  if (ShareEntry::getAttributeFilter() == this)
    ShareEntry::setAttributeFilter(nullptr);
  if (extension)
    extension->setConnectionManager(nullptr);
}

void UnixFileTransferManager::extensionDestroyed(Extension* gone) {
  if (gone == extension)
    extension = nullptr;
}

UploadManager* UnixFileTransferManager::getUploadManager(Extension*, ConnectionId) {
  return &upload;
}

DownloadManager* UnixFileTransferManager::newDownloadManager(Extension* ext,
                                                             ConnectionId connection) {
  return new DownloadManager(ext, connection);
}

void UnixFileTransferManager::releaseConnection(UploadManager*, DownloadManager* download) {
  delete download;
}

bool UnixFileTransferManager::accept(const FileAttributes* attribute) {
  return isUnixAttribute(attribute);
}

} // namespace ft
