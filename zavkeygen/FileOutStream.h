// An output stream writing a stdio file through a buffer. The stream owns the
// file when it opened it or was told so. Writers that must know the data
// reached the disk call sync() and close(), which report every failure; the
// destructor only does its best.
#pragma once

#include "plat/File.h"
#include "rdr/BufferedOutStream.h"

#include <cstdio>

namespace rdr {

class FileOutStream : public BufferedOutStream {
public:
  // Opens path for writing ("w", or "a" when appending, plus "b" when
  // binary; nothing for a null path). A failure throws
  // plat::SystemExceptionFmt "fileOpen(%s)".
  FileOutStream(const char* path, bool binary, bool append);
  // Writes an open file, closing it at the end when owned.
  FileOutStream(FILE* file, bool owned);
  // Flushes (unless a write has failed already) and closes an owned file;
  // failures are only logged here. Wipes the buffer.
  ~FileOutStream() override;

  // Writes out the buffer, empties the stdio buffer and waits until the
  // system has the data on disk. Failures throw plat::SystemException
  // "writing to file failed" or "syncing file failed".
  void sync();
  // Writes out the buffer and closes an owned file (a borrowed one is only
  // emptied). Failures throw plat::SystemException "writing to file failed"
  // or "closing file failed"; the file is closed in any case.
  void close();

protected:
  // The whole block or plat::SystemException "writing to file failed".
  int writeData(const std::uint8_t* data, int length, bool wait) override;

private:
  // A plat::File that can hand its stream over for a close whose result
  // counts.
  class ClosableFile : public plat::File {
  public:
    using plat::File::File;
    using plat::File::release;
  };

  ClosableFile file_;
  bool writeFailed_ = false;
};

} // namespace rdr
