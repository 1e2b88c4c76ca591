// Turns the bytes of one connection's file-transfer stream into calls of the
// extension's handler operations, one message at a time. A message that
// arrives in pieces is resumed where it stopped: the stream rewinds to the
// last checkpoint and the reader keeps which step it was in. Every field is
// taken as hostile: strings are capped before allocation, counts are bounded
// by the bytes present, and inflated data is bounded per message. Owned by the
// connection's record in ft::Extension; the handler is borrowed.
#pragma once

#include "ft/FileId.h"

#include <cstdint>
#include <vector>
#include <zlib.h>

namespace rdr {
class FramedInStream;
}

namespace ft {

class Extension;

class MsgReader {
public:
  // Longest text (path, file name, error message) accepted from a peer.
  static constexpr int maxStringLength = 1024;
  // Most bytes one CompressedFileData message may inflate to: a sender takes
  // fewer input bytes than its 65535-byte output room for each message.
  static constexpr int maxInflatedPerMsg = 65535;
  static constexpr int inflateChunk = 4096;

  // Throws plat::Exception "MsgReader: inflateInit failed".
  MsgReader(ConnectionId connection, Extension* handler);
  ~MsgReader();
  MsgReader(const MsgReader&) = delete;
  MsgReader& operator=(const MsgReader&) = delete;

  // Runs the next step; true when a whole message was handled.
  // rdr::BlockException: call again when more data has arrived. Any other
  // plat::Exception fails the message: the reader then expects a new header
  // and the stream is back at its last checkpoint.
  bool readMsg(rdr::FramedInStream* is);
  // Ends the inflate stream and starts a fresh one.
  void resetCompression();

  bool readHeader(rdr::FramedInStream* is);
  bool readShareCtrl(rdr::FramedInStream* is);
  bool readShareReq(rdr::FramedInStream* is);
  bool readShareData(rdr::FramedInStream* is);
  bool readFileReq(rdr::FramedInStream* is);
  bool readByteLimit(rdr::FramedInStream* is);
  bool readFileData(rdr::FramedInStream* is);
  bool readFileError(rdr::FramedInStream* is);
  bool readFileAbort(rdr::FramedInStream* is);
  bool readShareRelease(rdr::FramedInStream* is);
  bool readCompressedFileData(rdr::FramedInStream* is);

private:
  using Step = bool (MsgReader::*)(rdr::FramedInStream*);

  // Reads the ids and length of a data message and marks it under way.
  void startData(rdr::FramedInStream* is);
  void inflatePayload();
  void initInflate();
  void endInflate();

  Step next;
  ConnectionId connection;
  Extension* handler;
  bool underWay = false;
  std::uint32_t shareId = 0;
  std::uint32_t entryCount = 0;
  std::uint32_t entryIndex = 0;
  FileId dataId;
  std::uint16_t dataLenPending = 0;
  std::vector<std::uint8_t> compressed;
  z_stream zs;
};

} // namespace ft
