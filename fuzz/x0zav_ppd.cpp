// A user's PPD judged by the co-process's check and, side by side, by the
// printing library's own reader (the system's libcups.so.2, bound at run
// time as the co-process binds it; nothing is installed or printed). The
// reader's view decides what the print server would run: whenever it holds a
// filter whose program is not "-", or a keyword that names a program or file
// for the print server, the check must refuse the input, and a file the
// reader cannot read must be refused as well. Anything else is a finding.
#include "cups/CupsApi.h"
#include "cups/FilterPrograms.h"
#include "x0zavserver/unix/PpdCheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// What the reader's view names for the print server, found through the
// library's own look-ups where they exist; empty when nothing.
std::string readerNames(cups::ppd_file_t* ppd) {
  for (int i = 0; i < ppd->num_filters; i++)
    if (!cups::filterRunsNothing(ppd->filters[i]))
      return std::string("filter list: ") + ppd->filters[i];
  for (const char* keyword : {"cupsFilter", "cupsFilter2"})
    for (cups::ppd_attr_t* attr = cups::ppdFindAttr(ppd, keyword, nullptr); attr;
         attr = cups::ppdFindNextAttr(ppd, keyword, nullptr))
      if (!cups::filterRunsNothing(attr->value))
        return std::string(keyword) + ": " + (attr->value ? attr->value : "(no value)");
  static const char* const programs[] = {
      "cupsPreFilter",     "cupsPortMonitor",     "cupsBackend",       "cupsICCProfile",
      "Include",           "APDialogExtension",   "APPrinterUtility",  "APAutoSetupTool",
      "APPrinterIconPath", "APPrinterLowInkTool", "APScanAppPath",     "FoomaticRIPCommandLine",
      "FoomaticRIPCommandLinePDF", "FoomaticRIPPostPipe"};
  for (const char* keyword : programs)
    if (cups::ppdFindAttr(ppd, keyword, nullptr))
      return keyword;
  // The library looks up whole keywords only: families by their beginning.
  for (int i = 0; i < ppd->num_attrs; i++)
    for (const char* family : {"Foomatic", "cupsFilter"})
      if (strncasecmp(ppd->attrs[i]->name, family, strlen(family)) == 0 &&
          strcasecmp(ppd->attrs[i]->name, "cupsFilter") != 0 &&
          strcasecmp(ppd->attrs[i]->name, "cupsFilter2") != 0)
        return ppd->attrs[i]->name;
  return std::string();
}

[[noreturn]] void finding(const char* what, const std::string& detail) {
  fprintf(stderr, "FINDING: %s: %s\n", what, detail.c_str());
  abort();
}

} // namespace

// The system's library itself leaves a few bytes behind on some files it
// refuses (a second "*OpenUI" before the first is closed); that is not what
// this target looks for.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libcups.so.2\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  // One file for every input, rewritten each time; the reader opens it by
  // name as the co-process opens its copy.
  static int fd = memfd_create("ppd", MFD_CLOEXEC);
  static std::string path = "/proc/self/fd/" + std::to_string(fd);
  if (fd < 0 || ftruncate(fd, 0) != 0 ||
      pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
    abort();
  // The text check runs for its own faults; the reader's layer of the check
  // must refuse on its own what the reader's view shows, whatever the text
  // check made of it.
  print::ppdRefusal(reinterpret_cast<const char*>(data), size);
  std::string readerRefusal = print::ppdReaderRefusal(path.c_str());

  cups::ppd_file_t* ppd = cups::ppdOpenFile(path.c_str());
  if (!ppd) {
    if (readerRefusal.empty())
      finding("the reader cannot read it, yet the check accepts it", "");
    return 0;
  }
  std::string names = readerNames(ppd);
  cups::ppdClose(ppd);
  if (!names.empty() && readerRefusal.empty())
    finding("the reader's view names a program, yet the check accepts it", names);
  return 0;
}
