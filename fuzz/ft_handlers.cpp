// The file-transfer handlers themselves on a temp dir: a peer's framed
// messages reach the real extension with its upload manager (serving a
// share of real files, id 1), a download manager per connection, and the
// auto-downloader, whose share downloader writes pushed shares with received
// file writers into the temp dir. The first input byte picks the size of the
// pieces the input arrives in, how much the connection's output takes and
// the teardown order; the rest is the byte stream of the peer. A message the
// reader refuses ends the connection, as the socket server does; nothing may
// crash, leak or write outside the temp dir.
#include "FramedConnection.h"
#include "TempDir.h"
#include "ft/ActiveShareAutoDownloader.h"
#include "ft/UploadManager.h"
#include "ft/proxy/Extension.h"
#include "ft/unix/FileProxyUnixFile.h"
#include "ft/unix/UnixFileTransferManager.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "plat/ParameterSet.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace {

void writeFile(const std::string& path, const char* text) {
  if (FILE* f = fopen(path.c_str(), "wb")) {
    fputs(text, f);
    fclose(f);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 1)
    return 0;
  static bool quiet = [] {
    plat::LogWriter::setLogParams("*::-1");
    return true;
  }();
  (void)quiet;
  const std::uint8_t options = data[0];
  const size_t chunk = 1 + (options & 0x1f) * 8;
  testing_support::TempDir dir;
  mkdir(dir.file("shared").c_str(), 0700);
  mkdir(dir.file("shared/d").c_str(), 0700);
  writeFile(dir.file("shared/a"), "contents of a");
  writeFile(dir.file("shared/d/b"), "contents of b, a little longer than a");
  mkdir(dir.file("fetch").c_str(), 0700);
  plat::ParameterSet::global().find("FetchDir")->setParam(dir.file("fetch").c_str(), 0);

  testing_support::FramedConnection conn;
  // Some runs find the connection's output full now and then.
  if (options & 0x20)
    conn.out.space = 200;
  auto ext = std::make_unique<ft::proxy::Extension>();
  auto manager = std::make_unique<ft::UnixFileTransferManager>(ext.get());
  auto fetcher = std::make_unique<ft::ActiveShareAutoDownloader>(ext.get(), nullptr);
  ext->extensionEnabled(&conn, "FileTransfer");
  ft::ConnectionId id = ft::Extension::idOf(&conn);
  ft::UploadManager* upload = ext->getUploadManager(id);
  upload->newShare(1, 0);
  try {
    upload->addEntry(new ft::FileProxyUnixFile(dir.file("shared/a").c_str(), "a"));
    upload->addEntry(new ft::FileProxyUnixFile(dir.file("shared/d").c_str(), "d"));
    upload->addEntry(new ft::FileProxyUnixFile(dir.file("shared/d/b").c_str(), "d/b"));
  } catch (plat::Exception&) {
    return 0;
  }
  upload->setComplete();
  ext->advertiseShare(upload);

  testing_support::FramedPump pump;
  bool open = true;
  for (size_t at = 1; at < size && open; at += chunk) {
    pump.in.feed(data + at, std::min(chunk, size - at));
    try {
      pump.run(ext.get(), &conn);
      for (int turn = 0; turn < 4; turn++)
        ext->checkOutput(id);
    } catch (plat::Exception&) {
      ext->extensionDisabled(&conn, "FileTransfer");
      open = false;
    }
    if (options & 0x20)
      conn.out.space += 100;
  }
  if (options & 0x40) {
    manager.reset();
    fetcher.reset();
    ext.reset();
  } else {
    fetcher.reset();
    ext.reset();
    manager.reset();
  }
  plat::ParameterSet::global().find("FetchDir")->unsetParam(0);
  return 0;
}
