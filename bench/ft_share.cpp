// Serving a big share: the upload manager lists a share of N files (100
// files a folder) to a peer, at depth 1 and then whole, and serves a file
// request for every file, through the real extension and message writer
// into memory. The reference is the same work on a share of 10,000 files:
// the time per file of the 100,000-file share over that of the 10,000-file
// one shows whether the work grows linearly (ratio near 1) or faster.
#include "FramedConnection.h"
#include "ft/FileProxy.h"
#include "ft/UploadManager.h"
#include "ft/proxy/Extension.h"
#include "ft/unix/UnixFileTransferManager.h"
#include "rdr/MemInStream.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

const char fileData[] = "sixteen bytes...";

// A shared file whose contents are in memory, so that the benchmark times
// the manager rather than the file system.
class MemoryFile : public ft::FileProxy {
public:
  explicit MemoryFile(const std::string& name)
      : ft::FileProxy(name.c_str(), 0, sizeof(fileData) - 1, 0, 0, 0) {}
  rdr::InStream* open(std::uint64_t, ft::ConnectionId, ft::UploadManager*) override {
    return new rdr::MemInStream(fileData, sizeof(fileData) - 1);
  }
};

class Folder : public ft::FileProxy {
public:
  explicit Folder(const std::string& name)
      : ft::FileProxy(name.c_str(), ft::ShareEntry::flagDirectory, 0, 0, 0, 0) {}
  rdr::InStream* open(std::uint64_t, ft::ConnectionId, ft::UploadManager*) override {
    return nullptr;
  }
};

// Output turns until the manager has nothing left to send.
void drain(ft::Extension& ext, ft::UploadManager& upload, ft::ConnectionId id) {
  while (upload.listingPending(id) || upload.uploadReady(id))
    ext.checkOutput(id);
}

void serveShare(benchmark::State& state) {
  const int files = static_cast<int>(state.range(0));
  for (auto _ : state) {
    ft::proxy::Extension ext;
    ft::UnixFileTransferManager manager(&ext);
    testing_support::FramedConnection conn;
    ext.extensionEnabled(&conn, "FileTransfer");
    ft::ConnectionId id = ft::Extension::idOf(&conn);
    ft::UploadManager& upload = *ext.getUploadManager(id);
    std::uint32_t sid = upload.newShare(0, 0);
    std::vector<std::string> names;
    for (int i = 0; i < files; i++) {
      std::string folder = "folder" + std::to_string(i / 100);
      if (i % 100 == 0)
        upload.addEntry(new Folder(folder));
      names.push_back(folder + "/file" + std::to_string(i));
      upload.addEntry(new MemoryFile(names.back()));
    }
    upload.setComplete();
    upload.advertise(id);
    for (std::uint32_t depth : {1u, 0u}) {
      upload.handleShareRequest(id, sid, "", depth);
      drain(ext, upload, id);
    }
    for (int i = 0; i < files; i++) {
      upload.handleFileRequest(id, names[i].c_str(), ft::FileId{sid, static_cast<std::uint32_t>(i)},
                               1000, 0, ~std::uint64_t(0), false);
      drain(ext, upload, id);
    }
    ext.closeConnection(&conn);
  }
  state.SetItemsProcessed(state.iterations() * files);
  state.counters["time_per_file"] = benchmark::Counter(
      static_cast<double>(state.iterations() * files),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::OneK::kIs1000);
}

} // namespace

BENCHMARK(serveShare)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
