#include "x0zavserver/unix/PpdCheck.h"

#include "cups/CupsApi.h"
#include "cups/FilterPrograms.h"
#include "cups/LoadFailed.h"
#include "plat/Exception.h"
#include "plat/unix/OwnedFd.h"
#include "x0zavserver/unix/WriteAll.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <grp.h>
#include <memory>
#include <new>
#include <poll.h>
#include <strings.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// Whether the address sanitizer is built in: gcc says so with
// __SANITIZE_ADDRESS__, older clang only through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define ZAV_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZAV_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef ZAV_ADDRESS_SANITIZER
#define ZAV_ADDRESS_SANITIZER 0
#endif

namespace print {

namespace {

// What a keyword is to the print server, compared without case as its
// reader's look-ups compare.
enum class KeywordKind { Harmless, Filter, Filter2, OtherFilter, Refused };

KeywordKind keywordKind(const char* keyword) {
  if (strcasecmp(keyword, "cupsFilter") == 0)
    return KeywordKind::Filter;
  if (strcasecmp(keyword, "cupsFilter2") == 0)
    return KeywordKind::Filter2;
  if (strncasecmp(keyword, "cupsFilter", strlen("cupsFilter")) == 0)
    return KeywordKind::OtherFilter;
  // Keywords that name a program or another file for the print server, its
  // filters and drivers, or the desktop's printing tools: each as a prefix,
  // so that the variants a driver family uses are refused with it.
  static const char* const refused[] = {"cupsPreFilter",     "cupsPortMonitor",
                                        "cupsBackend",       "cupsICCProfile",
                                        "Foomatic",          "Include",
                                        "APDialogExtension", "APPrinterUtility",
                                        "APAutoSetupTool",   "APPrinterLowInkTool",
                                        "APPrinterIconPath", "APScanAppPath",
                                        "APScanAppBundleID", "APHelpBook",
                                        "APICADriver",       "APCustomColorMatchingProfile"};
  for (const char* prefix : refused)
    if (strncasecmp(keyword, prefix, strlen(prefix)) == 0)
      return KeywordKind::Refused;
  return KeywordKind::Harmless;
}

std::string filterRefusal(const char* keyword) {
  return std::string("a filter program (*") + keyword + ")";
}

std::string programRefusal(const char* keyword) {
  return std::string("a program or file for the print server (*") + keyword + ")";
}

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

// A filter line's value, quoted on one line: "<type> <cost> <program>", or
// "<source> <destination> <cost> <program>" for the second form. The reader
// takes everything after the cost as the program, blanks included, so only
// the exact form whose program is the single word "-", which runs nothing,
// is accepted.
bool quotedFilterRunsNothing(const std::string& line, std::size_t words) {
  size_t colon = line.find(':');
  if (colon == std::string::npos)
    return false;
  size_t open = line.find('"', colon);
  if (open == std::string::npos)
    return false;
  size_t close = line.find('"', open + 1);
  if (close == std::string::npos)
    return false; // a value that goes on past the line is not a plain filter
  std::vector<std::string> value;
  size_t at = open + 1;
  while (at < close) {
    if (isBlank(line[at])) {
      at++;
      continue;
    }
    size_t end = at;
    while (end < close && !isBlank(line[end]))
      end++;
    value.push_back(line.substr(at, end - at));
    at = end;
  }
  if (value.size() != words || value.back() != "-")
    return false;
  const std::string& cost = value[words - 2];
  return std::all_of(cost.begin(), cost.end(),
                     [](char c) { return isdigit(static_cast<unsigned char>(c)) != 0; });
}

// The keyword of a line that begins with "*": up to a blank, ":" or "/".
std::string keywordOf(const std::string& line) {
  size_t end = 1;
  while (end < line.size() && !isBlank(line[end]) && line[end] != ':' && line[end] != '/')
    end++;
  return line.substr(1, end - 1);
}

std::string lineRefusal(const std::string& line) {
  size_t first = 0;
  while (first < line.size() && isBlank(line[first]))
    first++;
  if (first == line.size() || line[first] != '*')
    return std::string();
  std::string text = line.substr(first);
  std::string keyword = keywordOf(text);
  KeywordKind kind = keywordKind(keyword.c_str());
  switch (kind) {
  case KeywordKind::Filter:
  case KeywordKind::Filter2:
    if (quotedFilterRunsNothing(text, kind == KeywordKind::Filter2 ? 4 : 3))
      return std::string();
    return filterRefusal(keyword.c_str());
  case KeywordKind::OtherFilter:
    return filterRefusal(keyword.c_str());
  case KeywordKind::Refused:
    return programRefusal(keyword.c_str());
  case KeywordKind::Harmless:
    break;
  }
  return std::string();
}

} // namespace

std::string ppdRefusal(const char* data, std::size_t length) {
  if (length > maxPpdSize)
    return "larger than " + std::to_string(maxPpdSize) + " bytes";
  static const char magic[] = "*PPD-Adobe:";
  if (length < sizeof(magic) - 1 || memcmp(data, magic, sizeof(magic) - 1) != 0)
    return "not a PPD file (it must begin with \"*PPD-Adobe:\")";
  // The print server's reader drops Ctrl-Z wherever it stands, so that
  // "*cups<Ctrl-Z>Filter" is a filter line to it: the lines are checked as
  // the reader sees them. No other control character has a place in a PPD;
  // rather than guess how a reader takes one, the file is refused.
  std::string text;
  text.reserve(length);
  for (size_t i = 0; i < length; i++) {
    unsigned char c = static_cast<unsigned char>(data[i]);
    if (c == 0x1a)
      continue;
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f') {
      char code[8];
      snprintf(code, sizeof code, "0x%02X", c);
      return std::string("holds a control character (") + code + ")";
    }
    text.push_back(static_cast<char>(c));
  }
  // The print server ends a line at a carriage return as well as at a line
  // feed.
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos)
      end = text.size();
    std::string refusal = lineRefusal(text.substr(start, end - start));
    if (!refusal.empty())
      return "names " + refusal;
    start = end + 1;
  }
  return std::string();
}

std::string ppdReaderRefusal(cups::ppd_file_t* ppd) {
  // Every attribute as the reader keeps it, whatever the line looked like.
  for (int i = 0; i < ppd->num_attrs; i++) {
    const cups::ppd_attr_t* attr = ppd->attrs[i];
    switch (keywordKind(attr->name)) {
    case KeywordKind::Filter:
    case KeywordKind::Filter2:
      if (cups::filterRunsNothing(attr->value))
        break;
      return "names " + filterRefusal(attr->name);
    case KeywordKind::OtherFilter:
      return "names " + filterRefusal(attr->name);
    case KeywordKind::Refused:
      return "names " + programRefusal(attr->name);
    case KeywordKind::Harmless:
      break;
    }
  }
  // The filter list the print server takes its filters from.
  for (int i = 0; i < ppd->num_filters; i++)
    if (!cups::filterRunsNothing(ppd->filters[i]))
      return "names " + filterRefusal("cupsFilter");
  return std::string();
}

namespace {

struct ClosePpd {
  void operator()(cups::ppd_file_t* ppd) const { cups::ppdClose(ppd); }
};

// The process that reads the user's PPD: it takes the user's ids for good,
// cannot be traced or gain anything by executing, and is bounded in CPU
// time and memory; it reports 'V' and the refusal (empty: accepted), or 'L'
// and the function of the library that could not be bound.
[[noreturn]] void judgeAsUser(int out, const char* path, uid_t uid, gid_t gid) {
  // Not open to the user's tracing at any moment: the change of ids sets the
  // flag to the system's setting, so it is cleared again below.
  if (prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0 || setgroups(0, nullptr) != 0 ||
      setresgid(gid, gid, gid) != 0 || setresuid(uid, uid, uid) != 0 ||
      (uid != 0 && setuid(0) == 0))
    _exit(3);
  struct rlimit cpu = {ppdReaderCpuSeconds, ppdReaderCpuSeconds + 1};
  struct rlimit none = {0, 0};
  if (prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0 || prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
      setrlimit(RLIMIT_CPU, &cpu) != 0 || setrlimit(RLIMIT_CORE, &none) != 0)
    _exit(3);
#if !ZAV_ADDRESS_SANITIZER
  // The address sanitizer reserves far more address space than it uses.
  struct rlimit memory = {ppdReaderMemory, ppdReaderMemory};
  if (setrlimit(RLIMIT_AS, &memory) != 0)
    _exit(3);
#endif
  std::string report;
  try {
    std::string refusal = ppdLayoutRefusal();
    if (refusal.empty())
      refusal = ppdReaderRefusal(path);
    report = "V" + refusal;
  } catch (cups::LoadFailed& e) {
    report = std::string("L") + e.str();
  } catch (std::bad_alloc&) {
    _exit(4);
  } catch (plat::Exception& e) {
    report = std::string("Vit could not be read (") + e.str() + ")";
  }
  _exit(os::writeAll(out, report) ? 0 : 3);
}

long msUntil(const struct timespec& deadline) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (deadline.tv_sec - now.tv_sec) * 1000 + (deadline.tv_nsec - now.tv_nsec) / 1000000;
}

} // namespace

std::string ppdLayoutRefusal() {
  static const char probe[] = "*PPD-Adobe: \"4.3\"\n"
                              "*cupsFilter: \"application/vnd.zav-probe 0 -\"\n"
                              "*ZavProbe Option/Text: \"value\"\n";
  os::OwnedFd fd(memfd_create("zav-ppd-probe", MFD_CLOEXEC));
  if (fd.get() < 0 || !os::writeAll(fd.get(), probe))
    return std::string("the printing library could not be checked (") + strerror(errno) + ")";
  std::string path = "/proc/self/fd/" + std::to_string(fd.get());
  std::unique_ptr<cups::ppd_file_t, ClosePpd> ppd(cups::ppdOpenFile(path.c_str()));
  // Each record is looked into only once what leads to it has proved right.
  const cups::ppd_attr_t* found = ppd ? cups::ppdFindAttr(ppd.get(), "ZavProbe", nullptr) : nullptr;
  if (!found || strcmp(found->name, "ZavProbe") != 0 || strcmp(found->spec, "Option") != 0 ||
      strcmp(found->text, "Text") != 0 || !found->value || strcmp(found->value, "value") != 0 ||
      ppd->num_attrs != 2 || !ppd->attrs || ppd->attrs[1] != found || ppd->num_filters != 1 ||
      !ppd->filters || !ppd->filters[0] ||
      strcmp(ppd->filters[0], "application/vnd.zav-probe 0 -") != 0)
    return "the installed printing library does not lay out its PPD records as this program "
           "reads them";
  return std::string();
}

std::string ppdReaderRefusalAsUser(const char* path, uid_t uid, gid_t gid) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0)
    return std::string("it could not be read (pipe: ") + strerror(errno) + ")";
  pid_t pid = fork();
  if (pid < 0) {
    int err = errno;
    close(fds[0]);
    close(fds[1]);
    return std::string("it could not be read (fork: ") + strerror(err) + ")";
  }
  if (pid == 0) {
    close(fds[0]);
    judgeAsUser(fds[1], path, uid, gid);
  }
  close(fds[1]);
  os::OwnedFd in(fds[0]);
  struct timespec deadline;
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += ppdReaderWaitSeconds;
  std::string report;
  bool late = false;
  for (;;) {
    long left = msUntil(deadline);
    if (left <= 0) {
      late = true;
      break;
    }
    struct pollfd p = {in.get(), POLLIN, 0};
    int n = poll(&p, 1, static_cast<int>(left));
    if (n < 0 && errno != EINTR) {
      late = true;
      break;
    }
    if (n <= 0)
      continue;
    char buf[4096];
    ssize_t got = read(in.get(), buf, sizeof buf);
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      break;
    if (report.size() < 65536)
      report.append(buf, static_cast<size_t>(got));
  }
  if (late)
    kill(pid, SIGKILL);
  int status = 0;
  struct rusage usage = {};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  if (late)
    return "reading it took more than " + std::to_string(ppdReaderWaitSeconds) + " seconds";
  // Past the soft limit the process gets SIGXCPU, past the hard one SIGKILL.
  if (WIFSIGNALED(status) &&
      (WTERMSIG(status) == SIGXCPU ||
       (WTERMSIG(status) == SIGKILL &&
        usage.ru_utime.tv_sec + usage.ru_stime.tv_sec >= static_cast<long>(ppdReaderCpuSeconds))))
    return "reading it took more than " + std::to_string(ppdReaderCpuSeconds) +
           " seconds of processor time";
  if (WIFSIGNALED(status))
    return std::string("reading it failed (") + strsignal(WTERMSIG(status)) + ")";
  if (WIFEXITED(status) && WEXITSTATUS(status) == 4)
    return "reading it took more memory than allowed";
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || report.empty())
    return "it could not be read with the user's rights";
  static const char loadFailed[] = "failed to load ";
  if (report[0] == 'L')
    throw cups::LoadFailed(report.compare(1, sizeof(loadFailed) - 1, loadFailed) == 0
                               ? report.c_str() + sizeof(loadFailed)
                               : report.c_str() + 1);
  return report.substr(1);
}

std::string ppdReaderRefusal(const char* path) {
  std::unique_ptr<cups::ppd_file_t, ClosePpd> ppd(cups::ppdOpenFile(path));
  if (!ppd) {
    int line = 0;
    cups::ppd_status_t status = cups::ppdLastError(&line);
    const char* why = cups::ppdErrorString(status);
    return std::string("the print server cannot read it (") + (why ? why : "unknown error") +
           " on line " + std::to_string(line) + ")";
  }
  return ppdReaderRefusal(ppd.get());
}

} // namespace print
