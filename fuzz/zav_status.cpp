// Feeds arbitrary bytes to the server status record reader, as they come
// from another process. A bad record must end in a stream exception, never a
// crash or an allocation the bytes do not pay for; a record that reads must
// give texts whose mark-up always parses (data carets doubled), and must
// write back to a record that reads to the same texts.
#include "zav/status/ServerStatus.h"

#include "plat/Exception.h"
#include "plat/MarkUp.h"
#include "rdr/MemInStream.h"
#include "rdr/MemOutStream.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void check(bool ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "%s\n", what);
    abort();
  }
}

// Every capability, and popups that must parse too.
class AllLinks : public zav::ServerStatus::HLCallback {
public:
  unsigned getCapabilities() override { return 0x73; }
  void showPopup(const char*, const char* markup) override { plat::MarkUp::Stripper s(markup); }
  void copyText(const char*) override {}
  void openUrl(const char*) override {}
  plat::String portOwner(int) override { return plat::String("own^er"); }
  void showOptions(int) override {}
  void showUsers(int) override {}
  void runTest(int) override {}
};

std::string texts(zav::ServerStatus& s) {
  std::string all = s.summaryMarkup().c_str();
  all += s.detailsMarkup().c_str();
  all += s.tooltipText(true);
  return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  AllLinks links;
  zav::ServerStatus status(&links);
  rdr::MemInStream in(data, int(size));
  try {
    status.read(in);
  } catch (plat::Exception&) {
    return 0;
  }
  std::string first = texts(status);
  try {
    plat::MarkUp::Stripper summary(status.summaryMarkup().c_str());
    plat::MarkUp::Stripper details(status.detailsMarkup().c_str());
  } catch (plat::Exception& e) {
    check(false, e.str());
  }
  for (int link = 4; link <= 19; link++) {
    try {
      status.linkClicked(link);
    } catch (plat::Exception& e) {
      check(false, e.str());
    }
  }

  rdr::MemOutStream out;
  status.write(out);
  zav::ServerStatus again(&links);
  rdr::MemInStream back(out.data(), int(out.length()));
  again.read(back);
  check(texts(again) == first, "record does not read back to the same texts");
  return 0;
}
