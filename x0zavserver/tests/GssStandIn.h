// The stand-in GSS-API libraries copied into a test's own directory, owned by
// the test's user with mode 0755, so that they pass the checks root makes on
// a library path whatever directory the build lies in. The input token of
// each accept step scripts what the library answers (see
// tests/core/gss_standin.c).
#pragma once

#include "TempDir.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <string>
#include <sys/stat.h>

namespace testing_support {

class GssStandIn {
public:
  GssStandIn() {
    mkdir(dir.file("lib").c_str(), 0755);
    chmod(dir.path().c_str(), 0755);
    copy(ZAV_GSS_STANDIN, library);
    copy(ZAV_GSS_STANDIN_NOSTATUS, withoutStatus);
    char buf[PATH_MAX];
    if (realpath(dir.path().c_str(), buf))
      resolvedDir = buf;
  }

  // What the library handed out and has not yet been given back; -1 when it
  // is not loaded.
  int liveObjects() const {
    void* h = dlopen(library.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!h)
      return -1;
    auto fn = reinterpret_cast<int (*)()>(dlsym(h, "standin_live_objects"));
    int n = fn ? fn() : -1;
    dlclose(h);
    return n;
  }

  TempDir dir;
  std::string library = dir.file("lib/libgss_standin.so");
  std::string withoutStatus = dir.file("lib/libgss_nostatus.so");
  std::string resolvedDir;

private:
  static void copy(const std::string& from, const std::string& to) {
    std::string cmd = "install -m 0755 '" + from + "' '" + to + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  }
};

} // namespace testing_support
