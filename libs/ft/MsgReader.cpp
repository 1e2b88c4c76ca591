#include "ft/MsgReader.h"

#include "ft/Extension.h"
#include "ft/MsgType.h"
#include "ft/ShareEntry.h"
#include "ft/U64.h"
#include "plat/ConfigParameter.h"
#include "plat/LogWriter.h"
#include "plat/ParameterSet.h"
#include "rdr/FramedInStream.h"

#include <algorithm>
#include <memory>

static plat::LogWriter vlog("FTMsgReader");

namespace ft {

MsgReader::MsgReader(ConnectionId connection_, Extension* handler_)
    : next(&MsgReader::readHeader), connection(connection_), handler(handler_) {
  compressed.reserve(1024);
  initInflate();
}

MsgReader::~MsgReader() {
  vlog.debug("uncompressed: %i, compressed: %i", static_cast<int>(zs.total_out),
             static_cast<int>(zs.total_in));
  inflateEnd(&zs);
}

void MsgReader::initInflate() {
  zs = z_stream();
  if (inflateInit(&zs) != Z_OK)
    throw plat::Exception("MsgReader: inflateInit failed");
}

void MsgReader::resetCompression() {
  vlog.debug("uncompressed: %i, compressed: %i", static_cast<int>(zs.total_out),
             static_cast<int>(zs.total_in));
  inflateEnd(&zs);
  initInflate();
}

bool MsgReader::readMsg(rdr::FramedInStream* is) {
  bool complete;
  try {
    complete = (this->*next)(is);
  } catch (rdr::BlockException&) {
    throw;
  } catch (plat::Exception&) {
    // The message failed: forget it, so that the next call starts with a
    // header, and leave the stream at its last checkpoint.
    next = &MsgReader::readHeader;
    underWay = false;
    compressed.clear();
    is->rewind();
    throw;
  }
  if (complete)
    next = &MsgReader::readHeader;
  return complete;
}

bool MsgReader::readHeader(rdr::FramedInStream* is) {
  static const Step steps[] = {
      nullptr,
      &MsgReader::readShareCtrl,
      &MsgReader::readShareReq,
      &MsgReader::readShareData,
      &MsgReader::readFileReq,
      &MsgReader::readByteLimit,
      &MsgReader::readFileData,
      &MsgReader::readFileError,
      &MsgReader::readFileAbort,
      &MsgReader::readShareRelease,
      &MsgReader::readCompressedFileData,
  };
  std::uint32_t type = is->readU32();
  if (type == 0 || type > msgCompressedFileData)
    throw plat::ExceptionFmt("Unexpected PDU type: %lu", static_cast<unsigned long>(type));
  is->checkpoint();
  next = steps[type];
  return (this->*next)(is);
}

bool MsgReader::readShareCtrl(rdr::FramedInStream* is) {
  std::uint32_t sid = is->readU32();
  std::uint8_t code = is->readU8();
  std::uint32_t flags = 0;
  if (!is->atEndOfMsg()) {
    try {
      flags = is->readU32();
    } catch (rdr::EndOfMsg&) {
      // Fewer than four bytes of flags: treated as absent.
      flags = 0;
    }
  }
  handler->handleShareCtrl(connection, sid, code, flags);
  return true;
}

bool MsgReader::readShareReq(rdr::FramedInStream* is) {
  std::uint32_t sid = is->readU32();
  std::unique_ptr<char[]> path;
  std::uint32_t depth = 0;
  try {
    path.reset(is->readString(maxStringLength));
    depth = is->readU32();
  } catch (rdr::EndOfMsg&) {
    vlog.notice("Using defaults for relName/depth\n");
    depth = 0;
  }
  handler->handleShareReq(connection, sid, path ? path.get() : "", depth);
  return true;
}

bool MsgReader::readShareData(rdr::FramedInStream* is) {
  if (!underWay) {
    shareId = is->readU32();
    entryCount = is->readU32();
    entryIndex = 0;
    is->checkpoint();
    underWay = true;
  }
  if (entryCount == 0) {
    underWay = false;
    handler->handleShareEOF(connection, shareId);
    return true;
  }
  while (entryIndex < entryCount) {
    std::unique_ptr<ShareEntry> entry(new ShareEntry());
    try {
      entry->unmarshal(is);
      entry->validate();
    } catch (rdr::EndOfMsg&) {
      vlog.error("Bad numFiles: %lu received, %lu expected", static_cast<unsigned long>(entryIndex),
                 static_cast<unsigned long>(entryCount));
      underWay = false;
      return true;
    } catch (rdr::BlockException&) {
      throw;
    } catch (plat::Exception& e) {
      vlog.error("Unexpected error reading file list: %s", e.str());
      throw;
    }
    handler->handleShareEntry(connection, shareId, entry.release());
    is->checkpoint();
    entryIndex++;
  }
  underWay = false;
  return true;
}

bool MsgReader::readFileReq(rdr::FramedInStream* is) {
  std::unique_ptr<char[]> name(is->readString(maxStringLength));
  FileId id;
  id.shareId = is->readU32();
  id.fileId = is->readU32();
  std::uint64_t window = readU64(is);
  std::uint64_t start = 0;
  std::uint64_t end = ~std::uint64_t(0);
  std::uint8_t flags = 0;
  try {
    start = readU64(is);
    end = readU64(is);
    flags = is->readU8();
  } catch (rdr::EndOfMsg&) {
    vlog.notice("Using defaults for start/end/flags\n");
  }
  if (vlog.enabled(100)) {
    plat::ConfigParameter* bias = plat::ParameterSet::global().find("FileTransferBias");
    if (bias)
      vlog.debug("Beginning upload at %i%% capacity", bias->getValueInt());
    else
      vlog.debug("Beginning upload at unknown capacity");
  }
  handler->handleFileReq(connection, name.get(), id, window, start, end, flags);
  return true;
}

bool MsgReader::readByteLimit(rdr::FramedInStream* is) {
  FileId id;
  id.shareId = is->readU32();
  id.fileId = is->readU32();
  std::uint64_t limit = readU64(is);
  handler->handleByteLimit(connection, id, limit);
  return true;
}

void MsgReader::startData(rdr::FramedInStream* is) {
  FileId id;
  id.shareId = is->readU32();
  id.fileId = is->readU32();
  std::uint16_t length = is->readU16();
  is->checkpoint();
  dataId = id;
  dataLenPending = length;
  underWay = true;
}

bool MsgReader::readFileData(rdr::FramedInStream* is) {
  if (!underWay) {
    startData(is);
    if (dataLenPending == 0) {
      underWay = false;
      handler->handleFileEOF(connection, dataId);
      return true;
    }
  }
  while (dataLenPending > 0) {
    if (is->avail() == 0 && !is->overrun(false, 1))
      return false;
    int n = std::min<int>(is->avail(), dataLenPending);
    const std::uint8_t* bytes = is->getptr();
    // The pointer stays valid during the call: nothing reads the stream.
    handler->handleFileData(connection, dataId, bytes, n);
    is->setPtr(bytes + n);
    is->checkpoint();
    dataLenPending = static_cast<std::uint16_t>(dataLenPending - n);
  }
  underWay = false;
  return true;
}

bool MsgReader::readCompressedFileData(rdr::FramedInStream* is) {
  if (!underWay) {
    startData(is);
    if (dataLenPending == 0)
      underWay = false;
    PLAT_CHECK(dataLenPending != 0);
    compressed.clear();
  }
  while (dataLenPending > 0) {
    if (is->avail() == 0 && !is->overrun(false, 1))
      return false;
    int n = std::min<int>(is->avail(), dataLenPending);
    compressed.insert(compressed.end(), is->getptr(), is->getptr() + n);
    is->setPtr(is->getptr() + n);
    is->checkpoint();
    dataLenPending = static_cast<std::uint16_t>(dataLenPending - n);
  }
  inflatePayload();
  compressed.clear();
  underWay = false;
  return true;
}

void MsgReader::inflatePayload() {
  std::uint8_t out[inflateChunk];
  zs.next_in = compressed.data();
  zs.avail_in = static_cast<uInt>(compressed.size());
  int total = 0;
  for (;;) {
    zs.next_out = out;
    zs.avail_out = sizeof(out);
    int result = inflate(&zs, Z_SYNC_FLUSH);
    int produced = static_cast<int>(sizeof(out) - zs.avail_out);
    if (produced > 0) {
      total += produced;
      if (total > maxInflatedPerMsg)
        throw plat::ExceptionFmt("ft::MsgReader: compressed data inflates beyond %d bytes",
                                 maxInflatedPerMsg);
      handler->handleFileData(connection, dataId, out, produced);
    }
    if (result == Z_BUF_ERROR)
      break;
    if (result != Z_OK)
      throw plat::ExceptionFmt("ft::MsgReader: inflate failed: %i", result);
  }
  zs.next_in = nullptr;
  zs.avail_in = 0;
}

bool MsgReader::readFileError(rdr::FramedInStream* is) {
  FileId id;
  id.shareId = is->readU32();
  id.fileId = is->readU32();
  std::unique_ptr<char[]> text(is->readString(maxStringLength));
  handler->handleFileError(connection, id, text.get());
  return true;
}

bool MsgReader::readFileAbort(rdr::FramedInStream* is) {
  FileId id;
  id.shareId = is->readU32();
  id.fileId = is->readU32();
  handler->handleFileAbort(connection, id);
  return true;
}

bool MsgReader::readShareRelease(rdr::FramedInStream* is) {
  std::uint32_t sid = is->readU32();
  handler->handleShareRelease(connection, sid);
  return true;
}

} // namespace ft
