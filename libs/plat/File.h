// A stdio stream with the system's error reporting. An owned stream is closed
// on reset and destruction; borrowed streams (standard input and output)
// never are.
#pragma once

#include "plat/DString.h"

#include <cstddef>
#include <cstdio>

namespace plat {

class File {
public:
  // Mode numbers of open().
  enum Mode {
    modeRead = 0,           // "r"
    modeWrite = 1,          // "w"
    modeAppend = 2,         // "a"
    modeAppendRead = 3,     // "a+"
    modeUpdate = 4,         // "r+"
    modeUpdateOrCreate = 5, // "r+", or "w+" when the file is missing
    modeReadWrite = 6,      // "w+"
  };

  File() = default;
  File(FILE* stream, bool owned);
  File(const char* path, int mode, bool binary);
  virtual ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens the path; binary appends "b" to the mode. "-" means standard input
  // for modeRead and standard output for modeWrite and modeAppend (borrowed);
  // other modes with "-" throw "Invalid mode for filename \"-\"". Other
  // failures throw "fileOpen(<path>)".
  void open(const char* path, int mode, bool binary);
  // Closes an owned stream first, then takes the given one.
  void reset(FILE* stream = nullptr, bool owned = false);

  FILE* get() const { return stream_; }
  bool isOpen() const { return stream_ != nullptr; }
  bool isOwned() const { return owned_; }

  // Reads one whole line without its newline; false at end of file with
  // nothing read. A read error throws "Error reading from file"; a line
  // holding a NUL byte is consumed and throws "NUL character in line".
  bool readLine(DString& line);
  // Writes all the bytes or throws "Error writing to file".
  void write(const void* data, size_t length);
  void writeText(const char* text);

protected:
  // Gives up the stream without closing it.
  FILE* release();

private:
  FILE* stream_ = nullptr;
  bool owned_ = false;
};

} // namespace plat
