// The co-process's modules by name, and the request loop that serves them.
// The registry does not own the modules. Every byte the loop reads comes from
// the unprivileged core and is treated as hostile: anything malformed ends
// the co-process rather than being guessed at.
#pragma once

#include "x0zavserver/unix/RootCode.h"

#include <cstring>
#include <map>

namespace os {

class ModuleRegistry {
public:
  // Registers the module under its name; a second module of the same name
  // replaces the first.
  void add(RootCode* module);
  RootCode* find(const char* name) const;

  // Serves requests until the core closes the request stream between two
  // requests or closes the reply stream (a reply fails with EPIPE). Throws
  // plat::Exception "Unknown module: %s" for a name that is not registered,
  // and the stream's or the module's exception for a request that is
  // malformed or cut short.
  void serve(rdr::InStream& in, rdr::OutStream& out) const;

private:
  struct NameLess {
    bool operator()(const char* a, const char* b) const {
      if (!a || !b)
        return !a && b;
      return strcmp(a, b) < 0;
    }
  };
  std::map<const char*, RootCode*, NameLess> modules_;
};

} // namespace os
