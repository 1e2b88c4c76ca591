#include "x0zavserver/unix/ModuleRegistry.h"

#include "plat/LogWriter.h"
#include "plat/StringUtils.h"
#include "rdr/Exception.h"
#include "rdr/InStream.h"
#include "rdr/OutStream.h"

#include <cerrno>

static plat::LogWriter vlog("ModuleRegistry");

namespace os {

void ModuleRegistry::add(RootCode* module) {
  modules_[module->name()] = module;
}

RootCode* ModuleRegistry::find(const char* name) const {
  auto it = modules_.find(name);
  return it == modules_.end() ? nullptr : it->second;
}

void ModuleRegistry::serve(rdr::InStream& in, rdr::OutStream& out) const {
  for (;;) {
    int n;
    try {
      n = in.readU8();
    } catch (rdr::EndOfStream&) {
      // The core closed its end between two requests: the normal way out.
      return;
    }
    // A request cut short after its first byte is malformed: the
    // EndOfStream passes up like any other failure.
    char name[RootCode::maxNameLength + 1];
    in.readBytes(name, n);
    name[n] = '\0';
    // A name with a NUL inside is not the name of any module.
    RootCode* module = memchr(name, '\0', n) ? nullptr : find(name);
    if (!module)
      throw plat::ExceptionFmt("Unknown module: %s", plat::strLoggable(name, 64).c_str());
    vlog.debug("request for %s", name);
    module->handle(in, out);
    in.checkpoint();
    try {
      out.flush();
    } catch (plat::SystemException& e) {
      // The core closed the reply pipe: it has gone like a core that
      // closed the request pipe.
      if (e.getErrno() != EPIPE)
        throw;
      vlog.debug("the core no longer reads replies");
      return;
    }
  }
}

} // namespace os
