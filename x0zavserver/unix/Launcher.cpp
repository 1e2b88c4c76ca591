#include "x0zavserver/unix/Launcher.h"

#include "plat/DString.h"
#include "plat/Exception.h"
#include "plat/unix/Passwd.h"
#include "rdr/FdInStream.h"
#include "rdr/FdOutStream.h"
#include "x0zavserver/unix/GssRootCode.h"
#include "x0zavserver/unix/ModuleRegistry.h"
#include "x0zavserver/unix/RootCode.h"
#include "x0zavserver/unix/RootCodeEtcPasswd.h"
#include "x0zavserver/unix/RootCodePAM.h"
#include "x0zavserver/unix/RootCodePrinting.h"
#include "x0zavserver/unix/RootOnlyFile.h"
#include "x0zavserver/unix/ScrubbingFdInStream.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace os {

const char* const serverCorePath = "/etc/zav/x0zavserver-core";

namespace {

// How the user started the launcher, for messages.
const char* programName = "x0zavserver";

// A closed standard descriptor would be taken by the first pipe, and every
// later message to standard error would land in it.
void openStandardDescriptors() {
  for (int fd = 0; fd <= 2; fd++) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
      continue;
    int null = open("/dev/null", O_RDWR);
    if (null < 0)
      throw plat::SystemException("open(/dev/null)", errno);
    if (null != fd) {
      // Lower descriptors are open, so open() took the lowest free one.
      close(null);
      throw plat::Exception("Unable to open the standard descriptors");
    }
  }
}

// The co-process keeps only its two pipe ends and the standard descriptors
// of what the user handed the launcher.
void closeOtherDescriptors(int keep1, int keep2) {
  // Every descriptor above 2 but the two pipes is closed, whatever the user
  // left open across the exec; there is no path on which one survives.
  int lo = keep1 < keep2 ? keep1 : keep2;
  int hi = keep1 < keep2 ? keep2 : keep1;
  auto closeSpan = [](int first, int last) {
    if (first < 3)
      first = 3;
    if (first > last)
      return;
    if (close_range(first, last, 0) == 0)
      return;
    long max = sysconf(_SC_OPEN_MAX);
    int top = max > 0 && max < last ? static_cast<int>(max) - 1 : last;
    for (int fd = first; fd <= top; fd++)
      close(fd);
  };
  closeSpan(3, lo - 1);
  closeSpan(lo + 1, hi - 1);
  closeSpan(hi + 1, INT_MAX);
}

void ignorePipeSignal(int) {
}

// Signal dispositions and the mask come from the user across the exec; a
// blocked or ignored signal must not change how the root process behaves.
void resetSignals() {
  struct sigaction dfl = {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  for (int sig = 1; sig < NSIG; sig++) {
    if (sig == SIGKILL || sig == SIGSTOP)
      continue;
    sigaction(sig, &dfl, nullptr); // fails only for numbers the kernel reserves
  }
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  // A write past a file size limit that could not be lifted fails with
  // EFBIG, which the blacklist reports, instead of killing the process.
  signal(SIGXFSZ, SIG_IGN);
  // A write to a core that has gone, or to a standard error nobody reads,
  // fails with EPIPE instead of killing the process, so that it ends in its
  // own way. A handler rather than SIG_IGN: programs that PAM modules run
  // start with the default again.
  struct sigaction pipe = {};
  pipe.sa_handler = ignorePipeSignal;
  pipe.sa_flags = SA_RESTART;
  sigemptyset(&pipe.sa_mask);
  sigaction(SIGPIPE, &pipe, nullptr);
}

// Raises a limit the user who started the launcher may have lowered to at
// least wanted (RLIM_INFINITY: no limit). Where the hard limit cannot be
// raised (no CAP_SYS_RESOURCE) the soft limit goes up to it.
void raiseLimit(int resource, const char* name, rlim_t wanted) {
  struct rlimit current;
  if (getrlimit(resource, &current) != 0)
    throw plat::SystemException("getrlimit", errno);
  if (current.rlim_cur >= wanted)
    return;
  struct rlimit raised = {wanted, current.rlim_max > wanted ? current.rlim_max : wanted};
  if (setrlimit(resource, &raised) == 0)
    return;
  current.rlim_cur = current.rlim_max;
  if (setrlimit(resource, &current) != 0)
    throw plat::SystemException(name, errno);
}

// A file size limit could stop the blacklist from growing (where it cannot
// be lifted the blacklist refuses attempts it cannot record); limits on
// processor time and memory would let the user end the root process at a
// moment of their choosing (SIGXCPU, a failed allocation), before it removes
// the queues it added. The stack gets at least the usual 8 MiB. Core dumps
// of a process that holds passwords are never wanted.
void resetLimits() {
  raiseLimit(RLIMIT_FSIZE, "setrlimit(RLIMIT_FSIZE)", RLIM_INFINITY);
  raiseLimit(RLIMIT_CPU, "setrlimit(RLIMIT_CPU)", RLIM_INFINITY);
  raiseLimit(RLIMIT_DATA, "setrlimit(RLIMIT_DATA)", RLIM_INFINITY);
  raiseLimit(RLIMIT_AS, "setrlimit(RLIMIT_AS)", RLIM_INFINITY);
  raiseLimit(RLIMIT_STACK, "setrlimit(RLIMIT_STACK)", 8 * 1024 * 1024);
  struct rlimit none = {0, 0};
  if (setrlimit(RLIMIT_CORE, &none) != 0)
    throw plat::SystemException("setrlimit(RLIMIT_CORE)", errno);
}

// Says why the launcher runs as the user: its file is not set-user-id root,
// or it is and the kernel did not honour that. The running file is the one
// looked at, whatever path started it.
[[noreturn]] void throwNotRoot() {
  const unsigned uid = static_cast<unsigned>(geteuid());
  struct stat st;
  if (stat("/proc/self/exe", &st) != 0 || !(st.st_mode & S_ISUID) || st.st_uid != 0)
    throw plat::ExceptionFmt(
        "%s must be installed set-user-id root (owner root, mode 4755) to check "
        "passwords and set up printers; it runs as user %u",
        programName, uid);
  const char* why = "the system did not run it as root";
  struct statvfs fs;
  if (statvfs("/proc/self/exe", &fs) == 0 && (fs.f_flag & ST_NOSUID))
    why = "its file system is mounted nosuid";
  else if (prctl(PR_GET_NO_NEW_PRIVS, 0, 0, 0, 0) == 1)
    why = "it was started with no_new_privs set, which keeps it from becoming root";
  throw plat::ExceptionFmt("%s is set-user-id root, but %s: it runs as user %u and cannot check "
                           "passwords or set up printers",
                           programName, why, uid);
}

void becomeRoot() {
  // Not root, the launcher runs as the user: nothing below could work.
  if (geteuid() != 0)
    throwNotRoot();
  if (setgroups(0, nullptr) != 0)
    throw plat::SystemException("setgroups", errno);
  if (setresgid(0, 0, 0) != 0)
    throw plat::SystemException("setresgid", errno);
  if (setresuid(0, 0, 0) != 0)
    throw plat::SystemException("setresuid", errno);
  uid_t r, e, s;
  gid_t gr, ge, gs;
  if (getresuid(&r, &e, &s) != 0 || getresgid(&gr, &ge, &gs) != 0 || r != 0 || e != 0 || s != 0 ||
      gr != 0 || ge != 0 || gs != 0)
    throw plat::Exception("Unable to become root");
}

void dropToRealUser() {
  uid_t uid = getuid();
  gid_t gid = getgid();
  if (setresgid(gid, gid, gid) != 0)
    throw plat::SystemException("Unable to drop privileges: setresgid", errno);
  if (setresuid(uid, uid, uid) != 0)
    throw plat::SystemException("Unable to drop privileges: setresuid", errno);
  uid_t r, e, s;
  gid_t gr, ge, gs;
  if (getresuid(&r, &e, &s) != 0 || getresgid(&gr, &ge, &gs) != 0 || r != uid || e != uid ||
      s != uid || gr != gid || ge != gid || gs != gid)
    throw plat::Exception("Unable to drop privileges");
}

// What makes an entry on the core's path unsafe, in words.
std::string unsafeEntry(const RootOnlyFile::Refused& e) {
  using Fault = RootOnlyFile::Fault;
  std::string what = e.isFile ? "it" : "the folder " + e.entry;
  char mode[8];
  snprintf(mode, sizeof(mode), "%04o", static_cast<unsigned>(e.mode & 07777));
  switch (e.fault) {
  case Fault::Link:
    if (e.isFile)
      return "it is a symbolic link; the core itself must be installed there";
    return e.entry + " is a symbolic link; the core must be reached without links";
  case Fault::NotRegular:
    return "it is not a regular file";
  case Fault::NotRoot: {
    struct passwd* pw = getpwuid(e.owner);
    std::string owner =
        pw && pw->pw_name ? std::string("user ") + pw->pw_name : "user " + std::to_string(e.owner);
    return what + " belongs to " + owner + ", not to root";
  }
  case Fault::Writable:
    break;
  }
  return what + " can be changed by users other than root (mode " + mode + ")";
}

// Opens the core for root, refusing one that anyone but root could have
// changed: its code would run as every user who starts the launcher, with
// their channel to the root co-process.
RootOnlyFile openServerCore() {
  try {
    return RootOnlyFile(serverCorePath);
  } catch (RootOnlyFile::Refused& e) {
    throw plat::ExceptionFmt("%s: the server core %s is not run: %s", programName, serverCorePath,
                             unsafeEntry(e).c_str());
  } catch (plat::SystemException& e) {
    if (e.getErrno() == ENOENT)
      throw plat::ExceptionFmt("%s: the server core %s is missing; it must be installed there",
                               programName, serverCorePath);
    throw plat::SystemExceptionFmt("%s: cannot run the server core %s", e.getErrno(), programName,
                                   serverCorePath);
  }
}

} // namespace

int launcherMain(int argc, char** argv) {
  if (argc > 0 && argv[0] && *argv[0])
    programName = argv[0];
  try {
    os::Passwd::setMissingEntryThrows(true);
    openStandardDescriptors();
    int request[2], reply[2];
    if (pipe(request) != 0)
      throw plat::SystemException("pipe() failed", errno);
    if (pipe(reply) != 0)
      throw plat::SystemException("pipe() failed", errno);
    pid_t pid = fork();
    if (pid < 0)
      throw plat::SystemException("fork", errno);
    if (pid == 0) {
      close(request[1]);
      close(reply[0]);
      runRootCoprocess(request[0], reply[1]);
      return 0;
    }
    close(request[0]);
    close(reply[1]);
    execServerCore(argc, argv, reply[0], request[1]);
  } catch (plat::Exception& e) {
    fprintf(stderr, "%s\n", e.str());
  }
  return 1;
}

void execServerCore(int argc, char** argv, int readFd, int writeFd) {
  // Opened and checked while still root; what runs below is this very file.
  RootOnlyFile core = openServerCore();
  dropToRealUser();
  plat::DString readArg, writeArg;
  readArg.appendFormat("_privReadFd=%i", readFd);
  writeArg.appendFormat("_privWriteFd=%i", writeFd);
  std::vector<char*> args;
  args.push_back(const_cast<char*>(serverCorePath));
  for (int i = 1; i < argc; i++)
    args.push_back(argv[i]);
  args.push_back(const_cast<char*>(readArg.c_str()));
  args.push_back(const_cast<char*>(writeArg.c_str()));
  args.push_back(nullptr);
  fexecve(core.fd(), args.data(), environ);
  int err = errno;
  // The file is there, held open. A script cannot be run from a descriptor
  // that closes on exec (its interpreter could not open it), and a program
  // whose loader is missing fails the same way.
  if (err == ENOENT)
    throw plat::ExceptionFmt("%s: cannot run the server core %s: it must be a compiled program, "
                             "not a script, and the program loader it names must be installed",
                             programName, serverCorePath);
  throw plat::SystemExceptionFmt("%s: cannot run the server core %s", err, programName,
                                 serverCorePath);
}

void runRootCoprocess(int readFd, int writeFd) {
  clearenv();
  RootCode::uid = getuid();
  becomeRoot();
  resetLimits();
  resetSignals();
  // Out of the user's terminal: ^C, ^\ or a hang-up there signal the
  // terminal's process group and session, which would end the co-process
  // with its queues still in place. It ends when the core closes its pipe.
  if (setsid() < 0)
    throw plat::SystemException("setsid", errno);
  umask(077);
  if (chdir("/") != 0)
    throw plat::SystemException("chdir(/)", errno);
  closeOtherDescriptors(readFd, writeFd);

  gssapi::GssRootCode::instance().useRootConfiguration();

  // The printing module lives as long as the request loop: when the core
  // has gone it removes every queue it added.
  print::RootCodePrinting printing;
  ModuleRegistry registry;
  registry.add(&gssapi::GssRootCode::instance());
  registry.add(&printing);
  registry.add(&zav::RootCodeEtcPasswd::instance());
  registry.add(&zav::RootCodePAM::instance());

  ScrubbingFdInStream in(readFd, -1, 0, false, true);
  rdr::FdOutStream out(writeFd, -1, 0);
  registry.serve(in, out);
}

} // namespace os
