// A stand-in for the server core that the launcher executes in tests. It
// reports what it was given (arguments, ids, environment, descriptors) and
// drives the co-process through the real client classes and through raw
// byte frames. Commands come from its arguments, one after the other;
// arguments with "=" are parameters, as the real core takes them. Without
// a command it reports.
//
//   report                  arguments, ids, groups, environment, the program
//                           file, descriptors
//   costatus                the co-process's ids, signals, umask and limits
//   etc USER PASSWORD       verify through "EtcPasswdVerifier"
//   pam USER PASSWORD       verify through "PamVerifier"
//   sso N HEX...            a single sign-on exchange of N steps through a
//                           "Kerberos" acceptor, each step's token in hex
//   ssohold N               make N single sign-on contexts and keep them;
//                           prints "ssohold K made, " and the first refusal
//                           ("none refused" without one)
//   printadd NAME DEVICE FORMAT PPD
//                           add a printer queue through "Printing"
//   printremove NAME        remove a printer queue through "Printing"
//   printaddhex NAME DESCRIPTION DEVICE FORMAT PPD
//                           add a printer queue with the name, description
//                           and device id given in hex
//   printremovehex NAME     remove a printer queue whose name is given in hex
//   printcleanup            clean up the queues of sessions that have gone
//   mixed N USER            N requests, the first half password requests,
//                           the rest of every module in turn, each of which
//                           must get its expected answer: a refused name
//                           ("EtcPasswdVerifier"), USER accepted by the PAM
//                           service "zavpermit" and refused by "zavdeny", a
//                           refused queue removal, a failed single sign-on
//                           (the blacklist's refusal is right for every
//                           password request); prints "mixed N answered, K wrong" and the first
//                           wrong answer, after which the channel is out of
//                           step: only "sh" and "finish" still run
//   service NAME            the PAM service of later "pam" commands
//   cpuload SECONDS         lift the core's own processor time limit, then
//                           send the co-process requests of no work until it
//                           has used SECONDS of processor time or its channel
//                           fails; prints "cpuload reached" or "cpuload
//                           channel " and the error
//   killco SIGNAL           send the co-process a signal as the core's user;
//                           prints "killco " and the result
//   ignoreterminal          ignore SIGINT, SIGQUIT and SIGHUP from then on,
//                           as a core that handles its terminal's signals
//   sh COMMAND              run a shell command as the core's user
//   raw HEX                 write raw bytes to the request pipe
//   reply                   read the rest of the reply pipe and print it in hex
//   closereply              close the reply pipe: the core no longer listens
//   finish                  close the request pipe and wait for the co-process
#include "plat/ParameterSet.h"
#include "x0zavserver/AuthFailureException.h"
#include "x0zavserver/unix/AcceptorFactory.h"
#include "x0zavserver/unix/GssApi.h"
#include "x0zavserver/unix/GssRootCode.h"
#include "x0zavserver/unix/RootCode.h"
#include "x0zavserver/unix/RootCodePAM.h"
#include "x0zavserver/unix/RootCodePrinting.h"
#include "x0zavserver/unix/RootCodeUPV.h"
#include "x0zavserver/unix/UserPasswdVerifierEtcPasswd.h"
#include "x0zavserver/unix/UserPasswdVerifierPAM.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <grp.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

pid_t coprocessPid() {
  pid_t self = getpid();
  DIR* d = opendir("/proc");
  pid_t found = -1;
  while (struct dirent* e = d ? readdir(d) : nullptr) {
    std::ifstream stat(std::string("/proc/") + e->d_name + "/stat");
    std::string line;
    if (!std::getline(stat, line))
      continue;
    size_t close = line.rfind(')');
    if (close == std::string::npos)
      continue;
    int ppid = 0;
    char state;
    if (sscanf(line.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == self)
      found = atoi(e->d_name);
  }
  if (d)
    closedir(d);
  return found;
}

void report(int argc, char** argv) {
  for (int i = 0; i < argc; i++)
    printf("arg %s\n", argv[i]);
  uid_t r, e, s;
  gid_t gr, ge, gs;
  getresuid(&r, &e, &s);
  getresgid(&gr, &ge, &gs);
  printf("uids %u %u %u\n", unsigned(r), unsigned(e), unsigned(s));
  printf("gids %u %u %u\n", unsigned(gr), unsigned(ge), unsigned(gs));
  gid_t groups[64];
  int n = getgroups(64, groups);
  printf("groups");
  for (int i = 0; i < n; i++)
    printf(" %u", unsigned(groups[i]));
  printf("\n");
  for (char** v = environ; v && *v; v++)
    printf("env %s\n", *v);
  char exe[4096];
  ssize_t length = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
  if (length > 0)
    printf("exe %.*s\n", static_cast<int>(length), exe);
  if (DIR* d = opendir("/proc/self/fd")) {
    while (struct dirent* de = readdir(d))
      if (de->d_name[0] != '.' && atoi(de->d_name) != dirfd(d)) {
        printf("fd %s\n", de->d_name);
        char target[4096];
        ssize_t n = readlinkat(dirfd(d), de->d_name, target, sizeof(target) - 1);
        if (n > 0)
          printf("fdpath %s %.*s\n", de->d_name, static_cast<int>(n), target);
      }
    closedir(d);
  }
}

void coStatus() {
  pid_t pid = coprocessPid();
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    for (const char* key : {"Uid:", "Gid:", "Groups:", "SigBlk:", "SigIgn:", "Umask:"})
      if (line.compare(0, strlen(key), key) == 0)
        printf("co %s\n", line.c_str());
  // Soft limits, as "co limit NAME VALUE" with the kernel's names.
  std::ifstream limits("/proc/" + std::to_string(pid) + "/limits");
  while (std::getline(limits, line)) {
    // Columns of 26 and 21 characters: name, soft limit.
    if (line.compare(0, 4, "Max ") != 0 || line.size() < 26)
      continue;
    std::string key = line.substr(4, 22);
    key.erase(key.find_last_not_of(' ') + 1);
    for (char& c : key)
      if (c == ' ')
        c = '-';
    std::string soft = line.substr(26);
    soft.erase(soft.find(' ') == std::string::npos ? soft.size() : soft.find(' '));
    printf("co limit %s %s\n", key.c_str(), soft.c_str());
  }
}

// Processor time the co-process has used, in clock ticks; -1 when it is gone.
long long coprocessCpuTicks(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line))
    return -1;
  size_t close = line.rfind(')');
  if (close == std::string::npos)
    return -1;
  char state = 0;
  unsigned long long utime = 0, stime = 0;
  // Fields 3 to 15: state, then ten numbers, then utime and stime.
  if (sscanf(line.c_str() + close + 1, " %c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu",
             &state, &utime, &stime) != 3 ||
      state == 'Z')
    return -1;
  return static_cast<long long>(utime + stime);
}

// Requests of an unknown printing kind, which the co-process answers without
// work, in batches that fit the pipes both ways.
void cpuLoad(double seconds) {
  struct rlimit cpu;
  if (getrlimit(RLIMIT_CPU, &cpu) == 0) {
    cpu.rlim_cur = cpu.rlim_max;
    setrlimit(RLIMIT_CPU, &cpu);
  }
  pid_t pid = coprocessPid();
  const long long target = static_cast<long long>(seconds * sysconf(_SC_CLK_TCK));
  const std::string frame = std::string("\x08Printing\x07", 10);
  const int batch = 1000;
  std::string requests;
  for (int i = 0; i < batch; i++)
    requests += frame;
  std::string replies(3 * batch, '\0');
  for (;;) {
    long long used = coprocessCpuTicks(pid);
    if (used >= target) {
      printf("cpuload reached\n");
      return;
    }
    if (used < 0) {
      printf("cpuload channel the co-process has gone\n");
      return;
    }
    if (write(os::privWriteFd, requests.data(), requests.size()) !=
        static_cast<ssize_t>(requests.size())) {
      printf("cpuload channel %s\n", strerror(errno));
      return;
    }
    size_t got = 0;
    while (got < replies.size()) {
      ssize_t n = read(os::privReadFd, &replies[got], replies.size() - got);
      if (n <= 0) {
        printf("cpuload channel %s\n", n == 0 ? "end of stream" : strerror(errno));
        return;
      }
      got += static_cast<size_t>(n);
    }
  }
}

void verify(zav::UserPasswdVerifier& verifier, const char* user, const char* password) {
  try {
    std::unique_ptr<zav::Session> session = verifier.verify(user, password);
    printf("verify 0 %s|%s|%s\n", session->user.c_str(), session->rights.letters().c_str(),
           session->rights.names().c_str());
  } catch (zav::RootCodeUPV::NotAvailableException& e) {
    printf("verify 3 %s\n", e.str());
  } catch (rfb::AuthFailureException& e) {
    printf("verify 1 %s\n", e.str());
  } catch (plat::Exception& e) {
    printf("verify 2 %s\n", e.str());
  }
}

std::string fromHex(const char* hex) {
  std::string bytes;
  for (size_t i = 0; hex[i] && hex[i + 1]; i += 2)
    bytes += static_cast<char>(std::stoi(std::string(hex + i, 2), nullptr, 16));
  return bytes;
}

std::string toHex(const void* data, size_t length) {
  std::string hex;
  char two[3];
  for (size_t i = 0; i < length; i++) {
    snprintf(two, sizeof(two), "%02x", static_cast<const unsigned char*>(data)[i]);
    hex += two;
  }
  return hex;
}

// Prints "sso more OUTHEX" for each step that wants more, then "sso 0
// USER|letters|names OUTHEX" for the session, or "sso error MESSAGE".
void singleSignOn(char** tokens, int n) {
  try {
    std::unique_ptr<sso::Acceptor> acceptor =
        gssapi::AcceptorFactory::global.createAcceptor("Kerberos");
    for (int i = 0; i < n; i++) {
      std::string token = fromHex(tokens[i]);
      sso::OutputToken out;
      std::unique_ptr<zav::Session> session =
          acceptor->accept(static_cast<int>(token.size()), token.data(), out);
      std::string outHex = toHex(out.data.get(), out.length);
      if (!session) {
        printf("sso more %s\n", outHex.c_str());
        continue;
      }
      printf("sso 0 %s|%s|%s %s\n", session->user.c_str(), session->rights.letters().c_str(),
             session->rights.names().c_str(), outHex.c_str());
      return;
    }
  } catch (plat::Exception& e) {
    printf("sso error %s\n", e.str());
  }
}

// Contexts that the core never releases, as a core that leaks them.
void holdContexts(int n) {
  int made = 0;
  std::string refusal;
  for (int i = 0; i < n; i++) {
    try {
      gssapi::GssRootCode::instance().newContext(gssapi::GssApi::dllPath.c_str());
      made++;
    } catch (plat::Exception& e) {
      if (refusal.empty())
        refusal = e.str();
    }
  }
  printf("ssohold %d made, %s\n", made, refusal.empty() ? "none refused" : refusal.c_str());
}

// What one request of the mixed run answered, as "<code> <message>".
std::string answer(zav::UserPasswdVerifier& verifier, const char* user, const char* password) {
  try {
    verifier.verify(user, password);
    return "0";
  } catch (rfb::AuthFailureException& e) {
    return std::string("1 ") + e.str();
  } catch (plat::Exception& e) {
    return std::string("2 ") + e.str();
  }
}

// False after the first wrong answer, where the run stops.
bool mixed(int n, const char* user, zav::UserPasswdVerifier& etc, zav::UserPasswdVerifier& pam,
           print::RootCodePrinting& printing) {
  const std::string refused =
      "1 Either the username was not recognised, or the password was incorrect";
  plat::String service = zav::pamApplicationName.getValue();
  int wrong = 0;
  std::string first;
  for (int i = 0; i < n; i++) {
    std::string got, expected;
    // The first half only password requests, whose replies no client
    // operation of another module reads past.
    int kind = i < n / 2 ? i % 4 : i % 6;
    switch (kind) {
    case 0:
      got = answer(etc, "zav-no-such-user", "guess");
      expected = refused;
      break;
    case 1:
    case 3:
      zav::pamApplicationName.setParam("zavpermit", 50);
      got = answer(pam, user, "anything");
      expected = "0";
      break;
    case 2:
      zav::pamApplicationName.setParam("zavdeny", 50);
      got = answer(pam, user, "guess");
      expected = refused;
      break;
    case 4: {
      bool ok = printing.removePrinter("zav-no-such-queue");
      char text[32];
      snprintf(text, sizeof text, "%d %04x", ok ? 1 : 0, printing.lastError());
      got = text;
      expected = "0 0401";
      break;
    }
    default:
      try {
        gssapi::AcceptorFactory::global.createAcceptor("Kerberos");
        got = "accepted";
      } catch (plat::Exception& e) {
        got = std::string("error ") + e.str();
      }
      expected = "error GSS-API DLL not found";
      break;
    }
    // Once too many guesses were refused, the blacklist answers every
    // password request until a minute has passed: that is a right answer.
    bool blocked = kind < 4 && got == "1 Too many security failures";
    if (got != expected && !blocked) {
      wrong++;
      first = "request " + std::to_string(i) + ": " + got;
      break;
    }
  }
  zav::pamApplicationName.setParam(service.c_str(), 50);
  printf("mixed %d answered, %d wrong\n", n, wrong);
  if (wrong)
    printf("first wrong %s\n", first.c_str());
  return wrong == 0;
}

void writeRaw(const char* hex) {
  std::string bytes = fromHex(hex);
  if (write(os::privWriteFd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
    printf("raw failed %s\n", strerror(errno));
}

void readReply() {
  printf("reply ");
  unsigned char c;
  while (read(os::privReadFd, &c, 1) == 1)
    printf("%02x", c);
  printf("\n");
}

void finish() {
  pid_t pid = coprocessPid();
  close(os::privWriteFd);
  int status = 0;
  if (waitpid(pid, &status, 0) != pid)
    printf("coprocess unknown\n");
  else if (WIFEXITED(status))
    printf("coprocess exit %d\n", WEXITSTATUS(status));
  else
    printf("coprocess signal %d\n", WTERMSIG(status));
}

} // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  // Like the real core: a co-process that is gone is an error to report.
  signal(SIGPIPE, SIG_IGN);
  for (int i = 1; i < argc; i++)
    if (strchr(argv[i], '='))
      plat::ParameterSet::global().parseParam(argv[i], 50);
  bool anyCommand = false;
  for (int i = 1; i < argc; i++)
    anyCommand = anyCommand || !strchr(argv[i], '=');
  if (!anyCommand)
    report(argc, argv);
  zav::UserPasswdVerifierEtcPasswd etc;
  zav::UserPasswdVerifierPAM pam;
  print::RootCodePrinting printing;
  bool inStep = true;
  for (int i = 1; i < argc; i++) {
    std::string cmd = argv[i];
    if (!inStep && cmd != "sh" && cmd != "finish")
      continue;
    if (cmd == "report") {
      report(argc, argv);
    } else if (cmd == "costatus") {
      coStatus();
    } else if ((cmd == "etc" || cmd == "pam") && i + 2 < argc) {
      verify(cmd == "etc" ? static_cast<zav::UserPasswdVerifier&>(etc) : pam, argv[i + 1],
             argv[i + 2]);
      i += 2;
    } else if (cmd == "sso" && i + 1 < argc) {
      int n = std::min(atoi(argv[i + 1]), argc - i - 2);
      singleSignOn(argv + i + 2, n);
      i += 1 + n;
    } else if (cmd == "ssohold" && i + 1 < argc) {
      holdContexts(atoi(argv[++i]));
    } else if (cmd == "printadd" && i + 4 < argc) {
      bool ok = printing.addPrinter(argv[i + 1], "Viewer printer", argv[i + 4], argv[i + 2],
                                    getuid(), atoi(argv[i + 3]));
      printf("print %d %04x\n", ok ? 1 : 0, printing.lastError());
      i += 4;
    } else if (cmd == "printaddhex" && i + 5 < argc) {
      std::string name = fromHex(argv[i + 1]), description = fromHex(argv[i + 2]),
                  device = fromHex(argv[i + 3]);
      bool ok = printing.addPrinter(name.c_str(), description.c_str(), argv[i + 5], device.c_str(),
                                    getuid(), atoi(argv[i + 4]));
      printf("print %d %04x\n", ok ? 1 : 0, printing.lastError());
      i += 5;
    } else if (cmd == "printremovehex" && i + 1 < argc) {
      std::string name = fromHex(argv[++i]);
      bool ok = printing.removePrinter(name.c_str());
      printf("print %d %04x\n", ok ? 1 : 0, printing.lastError());
    } else if (cmd == "printremove" && i + 1 < argc) {
      bool ok = printing.removePrinter(argv[++i]);
      printf("print %d %04x\n", ok ? 1 : 0, printing.lastError());
    } else if (cmd == "printcleanup") {
      printing.cleanUpPrinters();
      printf("cleanup done\n");
    } else if (cmd == "mixed" && i + 2 < argc) {
      inStep = mixed(atoi(argv[i + 1]), argv[i + 2], etc, pam, printing);
      i += 2;
    } else if (cmd == "service" && i + 1 < argc) {
      zav::pamApplicationName.setParam(argv[++i], 50);
    } else if (cmd == "cpuload" && i + 1 < argc) {
      cpuLoad(atof(argv[++i]));
    } else if (cmd == "killco" && i + 1 < argc) {
      int rc = kill(coprocessPid(), atoi(argv[++i]));
      printf("killco %s\n", rc == 0 ? "sent" : strerror(errno));
    } else if (cmd == "ignoreterminal") {
      for (int sig : {SIGINT, SIGQUIT, SIGHUP})
        signal(sig, SIG_IGN);
    } else if (cmd == "sh" && i + 1 < argc) {
      fflush(stdout);
      int rc = system(argv[++i]);
      printf("sh %d\n", WIFEXITED(rc) ? WEXITSTATUS(rc) : -1);
    } else if (cmd == "raw" && i + 1 < argc) {
      writeRaw(argv[++i]);
    } else if (cmd == "reply") {
      readReply();
    } else if (cmd == "closereply") {
      close(os::privReadFd);
    } else if (cmd == "finish") {
      finish();
    }
  }
  return 0;
}
