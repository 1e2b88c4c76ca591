// An input stream reading a stdio file through a buffer. The stream owns the
// file when it opened it or was told so. It cannot rewind: the key store
// reads its file once from the start.
#pragma once

#include "plat/File.h"
#include "rdr/BufferedInStream.h"

#include <cstdio>

namespace rdr {

class FileInStream : public BufferedInStream {
public:
  // Opens path for reading ("r", plus "b" when binary; nothing for a null
  // path), without a stdio buffer. A failure throws
  // plat::SystemExceptionFmt "fileOpen(%s)".
  FileInStream(const char* path, bool binary);
  // Reads an open file, closing it at the end when owned.
  FileInStream(FILE* file, bool owned);
  // Wipes the buffer.
  ~FileInStream() override;

protected:
  // End of file with nothing read throws EndOfStream; a read error throws
  // plat::SystemException "reading from file failed".
  int readData(std::uint8_t* buffer, int length) override;

private:
  plat::File file_;
};

} // namespace rdr
