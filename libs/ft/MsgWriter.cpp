#include "ft/MsgWriter.h"

#include "ft/MsgType.h"
#include "ft/ShareEntry.h"
#include "ft/U64.h"
#include "plat/BoolParameter.h"
#include "plat/IntParameter.h"
#include "plat/LogWriter.h"
#include "rdr/InStream.h"
#include "rdr/MemOutStream.h"
#include "rdr/OutStream.h"
#include "rfb/Extension.h"
#include "rfb/MsgHandler.h"
#include "rfb/MsgWriter.h"

#include <algorithm>
#include <cstring>
#include <memory>

static plat::LogWriter vlog("FTMsgWriter");

static plat::IntParameter
    fileTransferBias("FileTransferBias",
                     "The approximate percentage of bandwidth to use for file transfers (0-95)",
                     25);
static plat::BoolParameter ftCompress("FtCompress",
                                      "Compress file transfer for uncompressed file types.", true);

namespace ft {

MsgWriter::MsgWriter(rfb::MsgHandler* connection_, rfb::Extension* extension_)
    : connection(connection_), extension(extension_) {
  initDeflate();
}

MsgWriter::~MsgWriter() {
  vlog.debug("uncompressed: %i, compressed: %i", static_cast<int>(zs.total_in),
             static_cast<int>(zs.total_out));
  deflateEnd(&zs);
}

void MsgWriter::initDeflate() {
  zs = z_stream();
  if (deflateInit(&zs, Z_DEFAULT_COMPRESSION) != Z_OK)
    throw plat::Exception("MsgWriter: deflateInit failed");
}

void MsgWriter::resetCompression() {
  vlog.debug("uncompressed: %i, compressed: %i", static_cast<int>(zs.total_in),
             static_cast<int>(zs.total_out));
  deflateEnd(&zs);
  initDeflate();
}

int MsgWriter::allowance(int space, int minSize, int bias) {
  if (space < minSize)
    return 0;
  float f = std::min(std::max(bias, 0), 95) / 100.0f;
  int share = static_cast<int>(static_cast<float>(space) * f);
  return std::max(minSize, std::min(maxAllowance, share));
}

bool MsgWriter::isCompressible(const std::uint8_t* bytes, int count) {
  if (count <= 0)
    return false;
  z_stream test = z_stream();
  if (deflateInit(&test, Z_DEFAULT_COMPRESSION) != Z_OK)
    return false;
  std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[count]);
  test.next_in = const_cast<std::uint8_t*>(bytes);
  test.avail_in = static_cast<uInt>(count);
  test.next_out = out.get();
  test.avail_out = static_cast<uInt>(count);
  deflate(&test, Z_SYNC_FLUSH);
  long consumed = count - static_cast<long>(test.avail_in);
  long produced = count - static_cast<long>(test.avail_out);
  deflateEnd(&test);
  return produced < consumed * 9 / 10;
}

rfb::MsgWriter* MsgWriter::writerFor(const char* op) {
  rfb::MsgWriter* writer = connection->getWriter();
  if (!writer)
    vlog.notice("%s: no writer for connection", op);
  return writer;
}

int MsgWriter::allowanceFor(rfb::MsgWriter* writer, int minSize) {
  return allowance(writer->namedMsgSpace(extension->getName()), minSize, fileTransferBias);
}

int MsgWriter::writeShareCtrl(std::uint32_t shareId, std::uint8_t code, std::uint32_t flags) {
  rfb::MsgWriter* writer = writerFor("writeShareCtrl");
  if (!writer || allowanceFor(writer, 13) == 0)
    return 0;
  rdr::OutStream* os = writer->startNamedMsg(extension->getName());
  os->writeU32(msgShareCtrl);
  os->writeU32(shareId);
  os->writeU8(code);
  os->writeU32(flags);
  writer->endMsg();
  vlog.status("%s share %lu, flags 0x%x", code ? "Withdrew" : "Advertised",
              static_cast<unsigned long>(shareId), flags);
  return 13;
}

int MsgWriter::writeReqShare(std::uint32_t shareId, const char* path, std::uint32_t depth) {
  rfb::MsgWriter* writer = writerFor("writeReqShare");
  if (!writer || allowanceFor(writer, 8) == 0)
    return 0;
  rdr::OutStream* os = writer->startNamedMsg(extension->getName());
  os->writeU32(msgShareReq);
  os->writeU32(shareId);
  os->writeString(path ? path : "");
  os->writeU32(depth);
  writer->endMsg();
  vlog.status("Requesting '%s' of share %lu to depth %lu", path ? path : "",
              static_cast<unsigned long>(shareId), static_cast<unsigned long>(depth));
  return 8;
}

int MsgWriter::writeShareData(std::uint32_t shareId, ShareEnum* entries) {
  rfb::MsgWriter* writer = writerFor("writeShareData");
  if (!writer)
    return 0;
  rdr::MemOutStream scratch(1024);
  int allowed = 0;
  int taken = 0;
  int takenBytes = 0;
  for (;;) {
    const ShareEntry* entry = entries->current();
    if (!entry)
      break;
    entry->marshal(&scratch);
    int marshalled = static_cast<int>(scratch.length());
    if (taken == 0)
      allowed = allowanceFor(writer, marshalled + 12);
    if (allowed == 0 || marshalled + 12 > allowed)
      break;
    entries->next();
    taken++;
    takenBytes = marshalled;
  }
  vlog.status("Sent %i filename(s), marshalled=%i", taken, static_cast<int>(scratch.length()));
  if (taken == 0)
    return 0;
  rdr::OutStream* os = writer->startNamedMsg(extension->getName());
  os->writeU32(msgShareData);
  os->writeU32(shareId);
  os->writeU32(static_cast<std::uint32_t>(taken));
  os->writeBytes(scratch.data(), takenBytes);
  writer->endMsg();
  return taken;
}

int MsgWriter::writeShareDataEOF(std::uint32_t shareId) {
  rfb::MsgWriter* writer = writerFor("writeShareDataEOF");
  if (!writer || allowanceFor(writer, 12) == 0)
    return 0;
  rdr::OutStream* os = writer->startNamedMsg(extension->getName());
  os->writeU32(msgShareData);
  os->writeU32(shareId);
  os->writeU32(0);
  writer->endMsg();
  vlog.status("Sent EOF share %lu", static_cast<unsigned long>(shareId));
  return 12;
}

int MsgWriter::writeReqFile(const char* name, FileId id, std::uint64_t window, std::uint64_t start,
                            std::uint64_t end, std::uint8_t flags) {
  rfb::MsgWriter* writer = writerFor("writeReqFile");
  int nameLength = static_cast<int>(std::strlen(name));
  if (!writer || allowanceFor(writer, 24 + nameLength) == 0)
    return 0;
  if (!ftCompress)
    flags &= static_cast<std::uint8_t>(~fileReqCompressed);
  rdr::OutStream* os = writer->startNamedMsg(extension->getName());
  os->writeU32(msgFileReq);
  os->writeString(name);
  os->writeU32(id.shareId);
  os->writeU32(id.fileId);
  writeU64(os, window);
  writeU64(os, start);
  writeU64(os, end);
  os->writeU8(flags);
  writer->endMsg();
  return 24 + nameLength;
}

int MsgWriter::writeUpdateByteLimit(FileId id, std::uint64_t limit) {
  rfb::MsgWriter* writer = writerFor("writeUpdateByteLimit");
  if (!writer || allowanceFor(writer, 20) == 0)
    return 0;
  rdr::OutStream* os = writer->startNamedMsg(extension->getName());
  os->writeU32(msgByteLimit);
  os->writeU32(id.shareId);
  os->writeU32(id.fileId);
  writeU64(os, limit);
  writer->endMsg();
  return 20;
}

int MsgWriter::writeFileData(FileId id, rdr::InStream* is, int maxLength, bool compress) {
  rfb::MsgWriter* writer = writerFor("writeFileData");
  if (!writer)
    return 0;
  int allowed = allowanceFor(writer, minFileDataSize);
  if (allowed == 0)
    return 0;
  int capacity = std::min(65535, allowed - dataHeaderSize);
  if (is->avail() == 0 && !is->overrun(false, 1))
    return 0;
  int wanted = std::min(maxLength & 0xFFFF, is->avail());
  if (wanted == 0)
    return 0;

  if (compress && ftCompress) {
    int take = std::min(wanted, maxCompressedInput(capacity));
    std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[capacity]);
    zs.next_in = const_cast<std::uint8_t*>(is->getptr());
    zs.avail_in = static_cast<uInt>(take);
    zs.next_out = out.get();
    zs.avail_out = static_cast<uInt>(capacity);
    // Deflate before the message is started, so that a failure leaves no
    // framed message open on the connection.
    int result = deflate(&zs, Z_SYNC_FLUSH);
    int consumed = take - static_cast<int>(zs.avail_in);
    int produced = capacity - static_cast<int>(zs.avail_out);
    zs.next_in = nullptr;
    zs.avail_in = 0;
    if (result != Z_OK)
      throw plat::ExceptionFmt("ft::MsgWriter: deflate failed: %i", result);
    if (zs.avail_out == 0)
      throw plat::Exception("ft::MsgWriter: compressed data does not fit its message");
    rdr::OutStream* os = writer->startNamedMsg(extension->getName());
    os->writeU32(msgCompressedFileData);
    os->writeU32(id.shareId);
    os->writeU32(id.fileId);
    os->writeU16(static_cast<std::uint16_t>(produced));
    os->writeBytes(out.get(), produced);
    is->skip(consumed);
    is->checkpoint();
    writer->endMsg();
    return consumed;
  }

  int n = std::min(wanted, capacity);
  rdr::OutStream* os = writer->startNamedMsg(extension->getName());
  os->writeU32(msgFileData);
  os->writeU32(id.shareId);
  os->writeU32(id.fileId);
  os->writeU16(static_cast<std::uint16_t>(n));
  os->writeBytes(is->getptr(), n);
  is->skip(n);
  is->checkpoint();
  writer->endMsg();
  return n;
}

int MsgWriter::writeFileEOF(FileId id) {
  rfb::MsgWriter* writer = writerFor("writeFileEOF");
  if (!writer || allowanceFor(writer, 14) == 0)
    return 0;
  rdr::OutStream* os = writer->startNamedMsg(extension->getName());
  os->writeU32(msgFileData);
  os->writeU32(id.shareId);
  os->writeU32(id.fileId);
  os->writeU16(0);
  writer->endMsg();
  return 1;
}

int MsgWriter::writeFileError(FileId id, const char* message) {
  rfb::MsgWriter* writer = writerFor("writeFileError");
  const char* text = message ? message : "";
  if (!writer || allowanceFor(writer, 16 + static_cast<int>(std::strlen(text))) == 0)
    return 0;
  rdr::OutStream* os = writer->startNamedMsg(extension->getName());
  os->writeU32(msgFileError);
  os->writeU32(id.shareId);
  os->writeU32(id.fileId);
  os->writeString(text);
  writer->endMsg();
  vlog.status("Source aborting (%lu,%lu): %s", static_cast<unsigned long>(id.shareId),
              static_cast<unsigned long>(id.fileId), text);
  return 1;
}

int MsgWriter::writeAbortFile(FileId id) {
  rfb::MsgWriter* writer = writerFor("writeAbortFile");
  if (!writer || allowanceFor(writer, 12) == 0)
    return 0;
  rdr::OutStream* os = writer->startNamedMsg(extension->getName());
  os->writeU32(msgFileAbort);
  os->writeU32(id.shareId);
  os->writeU32(id.fileId);
  writer->endMsg();
  vlog.status("Sink aborting (%lu,%lu)", static_cast<unsigned long>(id.shareId),
              static_cast<unsigned long>(id.fileId));
  return 1;
}

int MsgWriter::writeReleaseShare(std::uint32_t shareId) {
  rfb::MsgWriter* writer = writerFor("writeReleaseShare");
  if (!writer || allowanceFor(writer, 8) == 0)
    return 0;
  rdr::OutStream* os = writer->startNamedMsg(extension->getName());
  os->writeU32(msgShareRelease);
  os->writeU32(shareId);
  writer->endMsg();
  vlog.debug("Local releasing %lu", static_cast<unsigned long>(shareId));
  return 8;
}

} // namespace ft
