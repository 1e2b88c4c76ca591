// Builds the file-transfer messages of one connection, each as one framed
// message, no larger than the connection's free output space allows: a
// message takes at most "FileTransferBias" percent of that space and at most
// 16384 bytes, unless its smallest form is larger. A write that finds no room
// (or no writer) writes nothing and returns 0, so the caller keeps its work
// for the next output turn. Owned by the connection's record in ft::Extension;
// the connection and the extension are borrowed.
#pragma once

#include "ft/FileId.h"

#include <cstdint>
#include <zlib.h>

namespace rdr {
class InStream;
}
namespace rfb {
class Extension;
class MsgHandler;
class MsgWriter;
} // namespace rfb

namespace ft {

class ShareEntry;

class MsgWriter {
public:
  static constexpr int maxAllowance = 16384;
  static constexpr int dataHeaderSize = 14;
  static constexpr int minFileDataSize = 114;

  // The entries of a share listing, one at a time.
  class ShareEnum {
  public:
    virtual ~ShareEnum() = default;
    // The entry at the current position, or nullptr at the end.
    virtual const ShareEntry* current() = 0;
    virtual void next() = 0;
  };

  // Throws plat::Exception "MsgWriter: deflateInit failed".
  MsgWriter(rfb::MsgHandler* connection, rfb::Extension* extension);
  ~MsgWriter();
  MsgWriter(const MsgWriter&) = delete;
  MsgWriter& operator=(const MsgWriter&) = delete;

  void resetCompression();

  // The bytes one message may take with free space S and a message whose
  // smallest form is minSize: 0 when S < minSize, else the larger of minSize
  // and the smaller of 16384 and S x bias / 100 (bias limited to 0..95).
  static int allowance(int space, int minSize, int bias);
  // Most input bytes one compressed message takes for an output room of
  // capacity bytes, so that even data that does not shrink fits the room
  // with its sync-flush marker and a byte to spare: deflate's output is then
  // known to be complete (some room left), and no byte of it spills into the
  // next message, which may belong to another file.
  static int maxCompressedInput(int capacity) {
    return capacity - 5 * ((capacity + 16383) / 16384) - 8;
  }
  // True when deflating the bytes at the default level gives fewer than nine
  // tenths of them.
  static bool isCompressible(const std::uint8_t* bytes, int count);

  int writeShareCtrl(std::uint32_t shareId, std::uint8_t code, std::uint32_t flags);
  int writeReqShare(std::uint32_t shareId, const char* path, std::uint32_t depth);
  // Writes as many whole entries as fit; returns how many, leaving the
  // enumerator at the first entry not sent.
  int writeShareData(std::uint32_t shareId, ShareEnum* entries);
  int writeShareDataEOF(std::uint32_t shareId);
  int writeReqFile(const char* name, FileId id, std::uint64_t window, std::uint64_t start,
                   std::uint64_t end, std::uint8_t flags);
  int writeUpdateByteLimit(FileId id, std::uint64_t limit);
  // Sends data buffered in is, at most maxLength bytes, compressed when asked
  // and "FtCompress" is on. Returns the input bytes consumed (skipped in is).
  // Stream failures of is pass on (rdr::EndOfStream at its end).
  int writeFileData(FileId id, rdr::InStream* is, int maxLength, bool compress);
  int writeFileEOF(FileId id);
  int writeFileError(FileId id, const char* message);
  int writeAbortFile(FileId id);
  int writeReleaseShare(std::uint32_t shareId);

private:
  // The connection's writer and the allowance for a message of at least
  // minSize bytes; 0 (and a log line naming op) when nothing can be written.
  rfb::MsgWriter* writerFor(const char* op);
  int allowanceFor(rfb::MsgWriter* writer, int minSize);
  void initDeflate();

  rfb::MsgHandler* connection;
  rfb::Extension* extension;
  z_stream zs;
};

} // namespace ft
