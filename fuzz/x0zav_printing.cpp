// The bodies of "Printing" requests as the unprivileged core could write
// them, served by the co-process's printing module over the recording
// stand-in printing library (nothing reaches a print server). PPD paths are
// opened with the rights of the user nobody and only read. The first input
// byte chooses: 0 a stream of requests, 1 the check of a PPD's content.
#include "FakeCups.h"
#include "PipeSource.h"
#include "plat/unix/Passwd.h"
#include "rdr/MemOutStream.h"
#include "x0zavserver/unix/PpdCheck.h"
#include "x0zavserver/unix/RootCodePrinting.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  static bool once = [] {
    os::Passwd nobody("nobody");
    if (nobody.isValid())
      os::RootCode::uid = nobody.getUid();
    return true;
  }();
  (void)once;
  if (size == 0)
    return 0;
  if (data[0] == 1) {
    print::ppdRefusal(reinterpret_cast<const char*>(data + 1), size - 1);
    return 0;
  }
  fake_reset();
  PipeSource in(data + 1, size - 1);
  rdr::MemOutStream out;
  // Made afresh for each input: its queues go with it.
  print::RootCodePrinting printing;
  try {
    for (;;) {
      printing.handle(in, out);
      in.checkpoint();
    }
  } catch (plat::Exception&) {
  }
  return 0;
}
