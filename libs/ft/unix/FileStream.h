// Writes one downloaded file to disk. Received bytes go straight to the file;
// a ring buffer of "FileTransferBufferSize" bytes holds what cannot be
// written at once, in particular while the download is paused, and the byte
// limit the stream grants the source is exactly what that buffer can still
// absorb. The file is created exclusively (never overwriting anything) and
// removed again when the download fails. Owned by the download manager's
// stream map from addStream until finish(), after which it deletes itself;
// the callback is borrowed.
#pragma once

#include "ft/DownloadManager.h"
#include "ft/OpenFileBudget.h"
#include "plat/FileDescriptor.h"
#include "rdr/CircularInStream.h"

#include <cstdint>
#include <string>

namespace ft {

class ShareEntry;

class FileStream : public DownloadManager::Stream {
public:
  class Callback {
  public:
    virtual ~Callback() = default;
    // onDisk: the bytes of the file written so far.
    virtual void progress(FileStream* stream, std::uint64_t onDisk) = 0;
    // A write to the file failed; the stream stays until its owner ends it.
    virtual void writeFailed(FileStream* stream, const char* message) = 0;
    virtual void complete(FileStream* stream) = 0;
    // The download failed; its file is gone.
    virtual void failed(FileStream* stream, const char* message) = 0;
  };

  // Creates path (mode 0600, exclusively), then gives it the entry's mode as
  // permittedMode() makes it. Throws plat::SystemException "open" when the
  // file exists or cannot be made. The ticket counts the file in its budget
  // of open files; it goes back once the file is closed and the stream gone.
  FileStream(const char* path, const ShareEntry* entry, Callback* callback,
             OpenFileBudget::Ticket ticket = OpenFileBudget::Ticket());
  ~FileStream() override;

  // A received mode as it may be applied here: permission bits only (no
  // set-id or sticky bits), less the process's umask.
  static std::uint32_t permittedMode(std::uint32_t mode);

  // Gives a downloaded folder the entry's mode, as permittedMode() makes it,
  // through a descriptor of the folder (a symbolic link put in its place is
  // not followed). Call it once the folder's contents are written: a folder
  // without write permission must not fail its own children. Throws
  // plat::SystemException "open" or "fchmod".
  static void setFolderMode(const char* path, const ShareEntry* entry);

  // DownloadManager::Stream
  // 0 while paused, else total + free buffer space.
  std::uint64_t getLimit() override;
  // Takes every byte, or throws plat::Exception when the source sends more
  // than it was granted or than the file's announced size.
  int write(const std::uint8_t* bytes, int length) override;
  // "" completes the file (once the buffer is written out; deferred while
  // paused), unless fewer bytes came than the entry announced: the file is
  // then as incomplete as with any other message, which fails it and removes
  // the file at once.
  void finish(const char* message) override;

  // Writes buffered bytes; true when the buffer is empty and no finish is
  // pending. A pending finish runs once the buffer is empty, and the stream
  // is then gone (the result is false); so is a stream that the owner ended
  // from a progress or write failure report.
  bool flushBuffer();
  // One write to the file; the count written (0 while paused or on failure,
  // which is logged and reported through writeFailed).
  int writeToFile(const std::uint8_t* bytes, int length);

  const char* getPath() const { return path.c_str(); }
  std::uint64_t getTotal() const { return total; }
  int getBuffered() const { return buffered; }

  bool paused = false;

private:
  // One write to the file without a progress report; 0 while paused or on
  // failure (logged and reported through writeFailed).
  int writeFile(const std::uint8_t* bytes, int length);
  // Writes buffered bytes until the file takes no more; true when any went.
  // Stops at once when the owner ended the stream from a write failure
  // report.
  bool drainBuffer();
  void fail(const char* message);

  Callback* callback;
  std::string path;
  // Given back after the file is closed (members go in reverse order).
  OpenFileBudget::Ticket ticket;
  plat::FileDescriptor file;
  int capacity;
  rdr::CircularInStream buffer;
  int buffered = 0;
  std::uint64_t announcedSize;
  std::uint64_t total = 0;
  bool finishPending = false;
  std::string pendingMessage;
};

} // namespace ft
