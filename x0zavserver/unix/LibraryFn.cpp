#include "x0zavserver/unix/LibraryFn.h"

#include "plat/LogWriter.h"

#include <cstring>
#include <dlfcn.h>
#include <string>

static plat::LogWriter vlog("LibraryFn");

namespace zav {

namespace {

// The file names one alternative of a specification stands for, in order.
void fileNames(const std::string& alternative, std::string out[], int& count, int max) {
  size_t open = alternative.find('[');
  if (open == std::string::npos) {
    if (count < max)
      out[count++] = "lib" + alternative + ".so";
    return;
  }
  std::string base = alternative.substr(0, open);
  size_t close = alternative.find(']', open);
  std::string versions = alternative.substr(open + 1, close == std::string::npos
                                                          ? std::string::npos
                                                          : close - open - 1);
  size_t start = 0;
  while (start <= versions.size() && count < max) {
    size_t comma = versions.find(',', start);
    std::string v = versions.substr(start, comma == std::string::npos ? std::string::npos
                                                                      : comma - start);
    out[count++] = "lib" + base + ".so." + v;
    if (comma == std::string::npos)
      break;
    start = comma + 1;
  }
}

// Splits at commas that are not inside brackets.
void alternatives(const char* spec, std::string out[], int& count, int max) {
  std::string current;
  int depth = 0;
  for (const char* p = spec; *p; p++) {
    if (*p == '[')
      depth++;
    else if (*p == ']')
      depth--;
    if (*p == ',' && depth == 0) {
      if (count < max)
        out[count++] = current;
      current.clear();
    } else {
      current += *p;
    }
  }
  if (!current.empty() && count < max)
    out[count++] = current;
}

} // namespace

LibraryBinding::LibraryBinding(const char* spec, const char* symbol) {
  std::string alts[8];
  int nAlts = 0;
  alternatives(spec, alts, nAlts, 8);
  for (int i = 0; i < nAlts && !address_; i++) {
    std::string files[8];
    int nFiles = 0;
    fileNames(alts[i], files, nFiles, 8);
    for (int j = 0; j < nFiles && !address_; j++) {
      void* lib = dlopen(files[j].c_str(), RTLD_LAZY | RTLD_GLOBAL);
      if (!lib) {
        vlog.debug("%s", dlerror());
        continue;
      }
      void* sym = dlsym(lib, symbol);
      if (sym) {
        library_ = lib;
        address_ = sym;
      } else {
        dlclose(lib);
      }
    }
  }
}

LibraryBinding::~LibraryBinding() {
  if (library_)
    dlclose(library_);
}

} // namespace zav
