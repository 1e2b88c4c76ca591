// Feeds arbitrary bytes, in chunks whose size the first byte picks, to the
// file-transfer message reader through version-4 framing, the way the
// file-transfer socket server reads them. A bad message must be a
// plat::Exception, never a crash, an overflow or an unbounded allocation;
// after one the rest of its framed message is skipped and reading goes on.
#include "ReleasedSource.h"
#include "ft/Extension.h"
#include "ft/ShareEntry.h"
#include "rdr/Exception.h"
#include "rdr/InStreamV4.h"
#include "rfb/MsgHandler.h"

#include <cstdint>
#include <cstring>
#include <memory>

namespace {

// Touches what every handler is given, so that a bad pointer shows.
class SinkExtension : public ft::Extension {
public:
  const char* getName() const override { return "FileTransfer"; }
  bool acceptMessage(ft::ConnectionId) override { return true; }
  bool useCompression(ft::ConnectionId) override { return false; }
  void handleShareCtrl(ft::ConnectionId, std::uint32_t, std::uint8_t, std::uint32_t) override {}
  void handleShareReq(ft::ConnectionId, std::uint32_t, const char* path, std::uint32_t) override {
    sum += std::strlen(path);
  }
  void handleShareEOF(ft::ConnectionId, std::uint32_t) override {}
  void handleShareEntry(ft::ConnectionId, std::uint32_t, ft::ShareEntry* entry) override {
    std::unique_ptr<ft::ShareEntry> owned(entry);
    sum += entry->name.size() + entry->attributes.size();
  }
  void handleFileReq(ft::ConnectionId, const char* name, ft::FileId, std::uint64_t, std::uint64_t,
                     std::uint64_t, std::uint8_t) override {
    sum += std::strlen(name);
  }
  void handleByteLimit(ft::ConnectionId, ft::FileId, std::uint64_t) override {}
  void handleFileData(ft::ConnectionId, ft::FileId, const std::uint8_t* bytes, int count) override {
    for (int i = 0; i < count; i++)
      sum += bytes[i];
  }
  void handleFileEOF(ft::ConnectionId, ft::FileId) override {}
  void handleFileError(ft::ConnectionId, ft::FileId, const char* message) override {
    sum += std::strlen(message);
  }
  void handleFileAbort(ft::ConnectionId, ft::FileId) override {}
  void handleShareRelease(ft::ConnectionId, std::uint32_t) override {}
  size_t sum = 0;
};

class NoWriter : public rfb::MsgHandler {
public:
  rfb::MsgWriter* getWriter() override { return nullptr; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 1)
    return 0;
  int chunk = 1 + data[0] % 64;
  ReleasedSource source(data + 1, size - 1, chunk);
  rdr::InStreamV4 in(&source);
  SinkExtension ext;
  NoWriter conn;
  ext.addConnection(&conn);
  int state = 0;
  int stalls = 0;
  while (stalls < 3) {
    try {
      if (state == 0) {
        in.startMsg();
        state = 1;
      }
      if (state == 1) {
        if (!ext.readMsg(&in, &conn))
          throw rdr::BlockException();
        in.checkpoint();
        state = 2;
      }
      in.skipToEndOfMsg();
      in.endMsg();
      state = 0;
      stalls = 0;
    } catch (rdr::BlockException&) {
      if (source.exhausted())
        stalls++;
      source.release(static_cast<size_t>(chunk));
    } catch (plat::Exception&) {
      // A failed message: the rest of it is skipped, as a reader that goes
      // on would. Broken framing ends the run.
      if (state != 1)
        break;
      state = 2;
    }
  }
  ext.removeConnection(&conn);
  return 0;
}
