#include "ft/unix/FileStream.h"

#include "ft/ShareEntry.h"
#include "ft/UnixAttribute.h"
#include "plat/Assert.h"
#include "plat/FileOps.h"
#include "plat/IntParameter.h"
#include "plat/LogWriter.h"
#include "plat/StringUtils.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

static plat::LogWriter vlog("FileStream");

plat::IntParameter ftBufSize("FileTransferBufferSize",
                             "The size of the internal file transfer buffer", 262144);

namespace ft {

namespace {

// A buffer of no bytes could not take anything; one byte still works.
int bufferCapacity() {
  return std::max(1, static_cast<int>(ftBufSize));
}

} // namespace

FileStream::FileStream(const char* path_, const ShareEntry* entry, Callback* callback_,
                       OpenFileBudget::Ticket ticket_)
    : callback(callback_), path(path_), ticket(std::move(ticket_)), file(path_),
      capacity(bufferCapacity()), buffer(capacity), announcedSize(entry->size) {
  PLAT_ASSERT_MSG(callback, "callback");
  // Applied to the open descriptor: the path may have been replaced since
  // the file was made, and a viewer's mode must not plant set-id or
  // world-writable files.
  if (fchmod(file.get(), permittedMode(unixModeOf(entry))) != 0) {
    plat::SystemException e("setAttributes", errno);
    fprintf(stderr, "setPermissions: %s\n", e.str());
  }
}

FileStream::~FileStream() = default;

std::uint32_t FileStream::permittedMode(std::uint32_t mode) {
  mode_t mask = umask(0);
  umask(mask);
  return mode & 0777 & ~static_cast<std::uint32_t>(mask);
}

void FileStream::setFolderMode(const char* path, const ShareEntry* entry) {
  int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0)
    throw plat::SystemException("open", errno);
  int result = fchmod(fd, permittedMode(unixModeOf(entry)));
  int err = errno;
  close(fd);
  if (result != 0)
    throw plat::SystemException("fchmod", err);
}

std::uint64_t FileStream::getLimit() {
  if (paused)
    return 0;
  return total + static_cast<std::uint64_t>(capacity - buffered);
}

int FileStream::write(const std::uint8_t* bytes, int length) {
  if (length <= 0)
    return 0;
  const std::uint64_t after = total + static_cast<std::uint64_t>(length);
  if (after > announcedSize)
    throw plat::Exception("The source sent more data than the file's announced size");
  if (after > limit)
    throw plat::Exception("The source sent more data than it was granted");
  // A failed write's report may let the owner end the download, and with it
  // this stream; the bytes are then taken as the ended download's.
  std::weak_ptr<const bool> alive = lifeToken();
  bool wrote = drainBuffer();
  if (alive.expired())
    return length;
  int direct = 0;
  if (buffered == 0) {
    direct = writeFile(bytes, length);
    if (alive.expired())
      return length;
  }
  if (direct < length) {
    buffer.addData(bytes + direct, length - direct);
    buffered += length - direct;
  }
  total = after;
  // Reported once every byte is accounted for: what the callback does
  // (scheduling output on a stream that may have failed) can throw.
  if (wrote || direct > 0)
    callback->progress(this, total - static_cast<std::uint64_t>(buffered));
  return length;
}

int FileStream::writeToFile(const std::uint8_t* bytes, int length) {
  int count = writeFile(bytes, length);
  if (count > 0)
    callback->progress(this, total - static_cast<std::uint64_t>(buffered) +
                                 static_cast<std::uint64_t>(count));
  return count;
}

int FileStream::writeFile(const std::uint8_t* bytes, int length) {
  if (paused || length <= 0)
    return 0;
  try {
    return static_cast<int>(file.write(bytes, static_cast<size_t>(length)));
  } catch (plat::Exception& e) {
    vlog.error("%s", e.str());
    callback->writeFailed(this, e.str());
    return 0;
  }
}

bool FileStream::drainBuffer() {
  std::weak_ptr<const bool> alive = lifeToken();
  bool wrote = false;
  while (buffered > 0) {
    if (buffer.avail() == 0)
      buffer.overrun(false, 1);
    int chunk = std::min(capacity, buffer.avail());
    PLAT_ASSERT_MSG(chunk != 0, "contiguous != 0");
    int written = writeFile(buffer.getptr(), chunk);
    if (alive.expired())
      return wrote;
    buffer.skip(written);
    buffer.checkpoint();
    buffered -= written;
    wrote = wrote || written > 0;
    if (written < chunk)
      break;
  }
  return wrote;
}

bool FileStream::flushBuffer() {
  // The owner may end the download from a report, and with it this stream
  // (or, once its end is held, end it directly).
  std::weak_ptr<const bool> alive = lifeToken();
  bool wrote = drainBuffer();
  if (alive.expired())
    return false;
  if (wrote) {
    callback->progress(this, total - static_cast<std::uint64_t>(buffered));
    if (alive.expired())
      return false;
  }
  if (buffered > 0)
    return false;
  if (!finishPending)
    return true;
  std::string message = pendingMessage;
  finishPending = false;
  finish(message.c_str());
  return false;
}

void FileStream::finish(const char* message) {
  if (message && *message) {
    fail(message);
    return;
  }
  // A complete file ends only once every buffered byte is on disk.
  if (paused || buffered > 0) {
    finishPending = true;
    pendingMessage.clear();
    if (!paused)
      flushBuffer();
    return;
  }
  if (total < announcedSize) {
    // The source ended the file early: what arrived is not the file.
    plat::ExceptionFmt e("The file ended after %llu of its %llu bytes",
                         static_cast<unsigned long long>(total),
                         static_cast<unsigned long long>(announcedSize));
    vlog.error("%s: %s", plat::strOneLine(path.c_str()).c_str(), e.str());
    fail(e.str());
    return;
  }
  callback->complete(this);
  delete this;
}

void FileStream::fail(const char* message) {
  callback->failed(this, message);
  file.close();
  plat::fileTryRemove(path.c_str());
  delete this;
}

} // namespace ft
