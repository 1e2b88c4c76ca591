// The bodies of "SingleSignOn" requests as the unprivileged core could write
// them, served by the co-process's single sign-on module over the scripted
// stand-in GSS-API library (each token is its script). As in the
// co-process, the library comes from the configuration, never from a
// request. The contexts an input leaves are released after it.
#include "PipeSource.h"
#include "rdr/MemInStream.h"
#include "rdr/MemOutStream.h"
#include "x0zavserver/unix/GssApi.h"
#include "x0zavserver/unix/GssRootCode.h"

#include <cstdint>
#include <string>

namespace {

std::string u32(std::uint32_t v) {
  return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

// Serves one whole request of the module; its reply.
std::string serve(const std::string& request) {
  rdr::MemInStream in(request.data(), static_cast<int>(request.size()));
  rdr::MemOutStream out;
  gssapi::GssRootCode::instance().handle(in, out);
  return std::string(reinterpret_cast<const char*>(out.data()), out.length());
}

// The id the next context gets (a context is made and released for it).
std::uint32_t nextId() {
  std::string reply = serve(std::string(1, '\0') + u32(0));
  if (reply.size() != 5 || reply[0] != gssapi::GssRootCode::Ok)
    return 0;
  std::uint32_t id = 0;
  for (int i = 1; i < 5; i++)
    id = id << 8 | static_cast<std::uint8_t>(reply[i]);
  serve("\x01" + u32(id));
  return id + 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  static bool once = [] {
    gssapi::GssRootCode::instance().useRootConfiguration();
    gssapi::GssApi::dllPath.setParam(ZAV_GSS_STANDIN, 0);
    return true;
  }();
  (void)once;
  std::uint32_t first = nextId();
  PipeSource in(data, size);
  rdr::MemOutStream out;
  try {
    for (;;) {
      gssapi::GssRootCode::instance().handle(in, out);
      in.checkpoint();
    }
  } catch (plat::Exception&) {
  }
  std::uint32_t last = nextId();
  for (std::uint32_t id = first; id < last; id++)
    serve("\x01" + u32(id));
  return 0;
}
