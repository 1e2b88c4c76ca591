// zavconfig's command mode, run as a program against the stand-in server in
// front of a real Xvfb: the arguments, the requests the stand-in decoded, the
// output on stdout and stderr, and the exit status.
#include <gtest/gtest.h>

#include "XzavDouble.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using testing_support::XzavDouble;

namespace {

struct Result {
  std::string out;
  std::string err;
  int status = -1;
};

// Runs the program with argv[0] "zavconfig"; DISPLAY is set to display unless
// that is empty, HOME is home; whileRunning is called with its pid once it is
// started. Gives up (and kills it) after 30 seconds.
Result runZavconfig(const std::vector<std::string>& args, const std::string& display,
                    const std::string& home,
                    const std::function<void(pid_t)>& whileRunning = nullptr) {
  std::string exe = std::string(ZAV_BINARY_DIR) + "/zavconfig/zavconfig";
  int outPipe[2], errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid == 0) {
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    if (display.empty())
      unsetenv("DISPLAY");
    else
      setenv("DISPLAY", display.c_str(), 1);
    setenv("HOME", home.c_str(), 1);
    std::vector<char*> argv = {const_cast<char*>("zavconfig")};
    for (const std::string& a : args)
      argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  if (whileRunning)
    whileRunning(pid);
  Result r;
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&r.out, &r.err};
  int open = 2;
  for (int waited = 0; open > 0 && waited < 300;) {
    int n = poll(fds, 2, 100);
    if (n == 0) {
      waited++;
      continue;
    }
    for (int i = 0; i < 2; i++) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
        continue;
      char buf[4096];
      ssize_t got = read(fds[i].fd, buf, sizeof(buf));
      if (got > 0) {
        sinks[i]->append(buf, size_t(got));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        open--;
      }
    }
  }
  if (open > 0)
    kill(pid, SIGKILL);
  for (pollfd& p : fds)
    if (p.fd >= 0)
      close(p.fd);
  int status;
  waitpid(pid, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return r;
}

// A display number that nothing serves.
std::string unusedDisplay() {
  for (int n = 990; n > 900; n--) {
    struct stat st;
    if (stat(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), &st) != 0 &&
        stat(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), &st) != 0)
      return ":" + std::to_string(n);
  }
  throw std::runtime_error("no unused display number");
}

void expectUsage(const std::string& out) {
  EXPECT_EQ(out.rfind("Zav(R) Configuration Tool", 0), 0u) << out; // the banner first
  EXPECT_NE(out.find("\nusage: zavconfig [parameters]\n"
                     "       zavconfig [parameters] -connect <host>[:<port>]\n"
                     "       zavconfig [parameters] -disconnect\n"
                     "       zavconfig [parameters] [-set] <Xzav-param>=<value> ...\n"
                     "       zavconfig [parameters] -list\n"
                     "       zavconfig [parameters] -listconnections\n"
                     "       zavconfig [parameters] -get <param>\n"
                     "       zavconfig [parameters] -desc <param>\n"
                     "\nParameters can be turned on with -<param> or off with -<param>=0\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Parameter names are case-insensitive.\nThe parameters are:\n\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("  display        - The X display (default=)\n"), std::string::npos) << out;
}

const std::string QE = "QueryExtension \"ZAV-EXTENSION\" present";
const std::string desktop = "Xzav demo desktop";
const std::string paramNames = "Desktop\nrfbPort\nAllowRfb\nHosts\nAcceptCutText\nSendCutText\n"
                               "EnableChat\nConnNotifyTimeout\n";
const std::string allStatus = "is_module=0\nactive_listener_error_number=0\n"
                              "passive_listener_error_number=0\nip_addrs=127.0.0.1\n"
                              "has_zav_passwd=1\npublic_key_signature=3a-5c-11-0e-92-7f-d4-08\n"
                              "total_connections=0\n";

// One connection of each access text; carol's address has no suffix.
const std::string fourConnections =
    "{\"cmd\": \"set\", \"connections\": ["
    "{\"user\": \"alice\", \"address\": \"10.0.0.1\", \"suffix\": \"1\", \"rights\": 65535}, "
    "{\"user\": \"bob\", \"address\": \"10.0.0.2\", \"suffix\": \"2\", \"rights\": 1023}, "
    "{\"user\": \"carol\", \"address\": \"10.0.0.3\", \"suffix\": null, \"rights\": 1}, "
    "{\"user\": \"\", \"address\": \"[fe80::1]\", \"suffix\": \"4\", \"rights\": 7}]}";
const std::string connectionLines = "alice@10.0.0.1 Full\nbob@10.0.0.2 Default\n"
                                    "carol@10.0.0.3 View only\n@[fe80::1] Custom\n";

std::string fault(const std::string& op, const std::string& kind) {
  return "{\"cmd\": \"fault\", \"op\": \"" + op + "\", \"kind\": \"" + kind + "\"}";
}

struct Case {
  Case(const char* what, std::vector<std::string> setup, std::vector<std::string> args,
       std::vector<std::string> requests, std::string out = "", std::string err = "",
       int status = 0, bool usage = false, bool noDisplayEnv = false,
       std::function<void(const std::string&)> checkOut = nullptr)
      : what(what), setup(std::move(setup)), args(std::move(args)), requests(std::move(requests)),
        out(std::move(out)), err(std::move(err)), status(status), usage(usage),
        noDisplayEnv(noDisplayEnv), checkOut(std::move(checkOut)) {}

  const char* what;
  std::vector<std::string> setup; // control commands before the run
  std::vector<std::string> args;  // "$D" stands for the stand-in's display
  std::vector<std::string> requests;
  std::string out;
  std::string err;
  int status;
  bool usage;        // stdout is the usage text, not `out`
  bool noDisplayEnv; // DISPLAY unset
  std::function<void(const std::string&)> checkOut;
};

TEST(ZavconfigCommandMode, EveryCommandAgainstTheServer) {
  XzavDouble server;
  const std::string x247(247, 'x'), x248(248, 'x'), n256(256, 'n');
  const std::string nowhere = unusedDisplay();
  std::vector<Case> cases = {
      {"get a parameter", {}, {"-get", "Desktop"}, {QE, "getParam \"Desktop\""}, desktop + "\n"},
      {"display given as a parameter",
       {},
       {"-display", "$D", "-get", "Desktop"},
       {QE, "getParam \"Desktop\""},
       desktop + "\n",
       "",
       0,
       false,
       true},
      {"display given as name=value",
       {},
       {"display=$D", "-get", "rfbPort"},
       {QE, "getParam \"rfbPort\""},
       "5901\n",
       "",
       0,
       false,
       true},
      {"booleans of zavconfig are parameters, not commands",
       {},
       {"-nowin", "iconic=1", "--nowin=0", "-get", "Desktop"},
       {QE, "getParam \"Desktop\""},
       desktop + "\n"},
      {"chat settings are parameters, not commands",
       {},
       {"ExpiryDays=7", "-ExpiryMessages", "50", "--KeepHistory", "-ChatLogFile=/nowhere/chat.xml",
        "-get", "Desktop"},
       {QE, "getParam \"Desktop\""},
       desktop + "\n"},
      {"an unacceptable chat setting starts the commands",
       {},
       {"ExpiryDays=many", "-get", "Desktop"},
       {QE, "getParam \"ExpiryDays\""},
       "",
       "ExpiryDays: many is not a number\n",
       1,
       true},
      {"a switch of zavconfig with a bad value: the one reason line",
       {},
       {"-nowin=2"},
       {QE},
       "",
       "nowin: 2 is not a valid value\n",
       1,
       true},
      {"a parameter of zavconfig without its value",
       {},
       {"-display"},
       {QE},
       "",
       "-display needs a value\n",
       1,
       true},
      {"an unknown dashed word",
       {},
       {"-nosuch"},
       {QE, "getParam \"nosuch\""},
       "",
       "-nosuch: no such command or parameter\n",
       1,
       true},
      {"the bare name of a switch of zavconfig",
       {},
       {"nowin"},
       {QE},
       "",
       "nowin needs a dash or a value\n",
       1,
       true},
      {"a word that is no command",
       {},
       {"word"},
       {QE},
       "",
       "word: not a command or a parameter setting\n",
       1,
       true},
      {"get a parameter the server lacks",
       {},
       {"-get", "NoSuch"},
       {QE, "getParam \"NoSuch\""},
       "",
       "getting param NoSuch failed\n",
       1},
      {"get as the last argument", {}, {"-get"}, {QE}, "", "-get needs a value\n", 1, true},
      {"get # lists every status value", {}, {"-get", "#"}, {QE, "getStatus"}, allStatus},
      {"get #name gives one status value",
       {},
       {"-get", "#ip_addrs"},
       {QE, "getStatus"},
       "127.0.0.1\n"},
      {"get #name of a missing status value",
       {},
       {"-get", "#nosuch"},
       {QE, "getStatus"},
       "",
       "getting status param #nosuch failed\n",
       1},
      {"get # when the server fails",
       {fault("getStatus", "fail")},
       {"-get", "#"},
       {QE, "getStatus"},
       "",
       "getting status param # failed\n",
       1},
      {"describe a parameter",
       {},
       {"-desc", "rfbPort"},
       {QE, "getParamDesc \"rfbPort\""},
       "TCP port on which viewers connect\n"},
      {"describe a parameter the server lacks",
       {},
       {"-desc", "NoSuch"},
       {QE, "getParamDesc \"NoSuch\""},
       "",
       "getting description for param NoSuch failed\n",
       1},
      {"desc as the last argument", {}, {"-desc"}, {QE}, "", "-desc needs a value\n", 1, true},
      {"list parameters", {}, {"-list"}, {QE, "listParams"}, paramNames},
      // A failure reply reads as an empty list: the request has no success
      // byte.
      {"list fails silently", {fault("listParams", "fail")}, {"-list"}, {QE, "listParams"}},
      {"list with a count beyond the data fails, the next still runs",
       {fault("listParams", "overlong")},
       {"-list", "-get", "Desktop"},
       {QE, "listParams", "getParam \"Desktop\""},
       desktop + "\n",
       "listing the parameters failed\n",
       1},
      {"set then get",
       {},
       {"-set", "rfbPort=5999", "-get", "rfbPort"},
       {QE, "setParam \"rfbPort=5999\"", "getParam \"rfbPort\""},
       "5999\n"},
      {"set refused",
       {},
       {"-set", "rfbPort=abc"},
       {QE, "setParam \"rfbPort=abc\""},
       "",
       "setting param rfbPort=abc failed\n",
       1},
      {"a failed command fails the run, the next still runs",
       {},
       {"-set", "NoSuch=1", "-get", "Desktop"},
       {QE, "setParam \"NoSuch=1\"", "getParam \"Desktop\""},
       desktop + "\n",
       "setting param NoSuch=1 failed\n",
       1},
      {"set as the last argument", {}, {"-set"}, {QE}, "", "-set needs a value\n", 1, true},
      {"bare name=value the server takes",
       {},
       {"Desktop=abc", "-get", "Desktop"},
       {QE, "getParam \"Desktop\"", "setParam \"Desktop=abc\"", "getParam \"Desktop\""},
       "abc\n",
       "set parameter Desktop=abc\n"},
      {"bare name=value the server refuses",
       {},
       {"NoSuch=abc", "-get", "Desktop"},
       {QE, "getParam \"NoSuch\""},
       "",
       "NoSuch: the server has no such parameter\n",
       1,
       true},
      {"bare name= whose empty value the server refuses",
       {},
       {"rfbPort="},
       {QE, "getParam \"rfbPort\"", "setParam \"rfbPort=\"", "getParam \"rfbPort\""},
       "",
       "rfbPort: the server does not take an empty value\n",
       1,
       true},
      {"bare name=value whose value the server refuses",
       {},
       {"rfbPort=abc"},
       {QE, "getParam \"rfbPort\"", "setParam \"rfbPort=abc\"", "getParam \"rfbPort\""},
       "",
       "rfbPort: the server does not take the value abc\n",
       1,
       true},
      {"text of 255 bytes is sent",
       {},
       {"-set", "Desktop=" + x247, "-get", "Desktop"},
       {QE, "setParam \"Desktop=" + x247 + "\"", "getParam \"Desktop\""},
       x247 + "\n"},
      {"text of 256 bytes fails without a request",
       {},
       {"-set", "Desktop=" + x248},
       {QE},
       "",
       "setting param Desktop=" + x248 + " failed\n",
       1},
      {"bare name=value of 256 bytes",
       {},
       {"Desktop=" + x248},
       {QE, "getParam \"Desktop\"", "getParam \"Desktop\""},
       "",
       "Desktop: the server does not take the value " + x248 + "\n",
       1,
       true},
      {"name of 256 bytes",
       {},
       {"-get", n256},
       {QE},
       "",
       "getting param " + n256 + " failed\n",
       1},
      {"connect to a listening viewer",
       {},
       {"-connect", "viewer.example:5500"},
       {QE, "connect \"viewer.example:5500\""}},
      {"connect refused",
       {fault("connect", "fail")},
       {"-connect", "viewer.example"},
       {QE, "connect \"viewer.example\""},
       "",
       "connecting to viewer.example failed\n",
       1},
      {"connect as the last argument",
       {},
       {"-connect"},
       {QE},
       "",
       "-connect needs a value\n",
       1,
       true},
      {"disconnect every viewer", {}, {"-disconnect"}, {QE, "connect \"\""}},
      {"list the connections with their access",
       {fourConnections},
       {"-listconnections"},
       {QE, "getStatus", "listConnections"},
       connectionLines},
      {"a viewer's name with line breaks stays on its connection's line",
       {"{\"cmd\": \"set\", \"connections\": [{\"user\": \"eve\\nmallory\", \"address\": "
        "\"10.0.0.9\", \"suffix\": \"1\", \"rights\": 1}, {\"user\": \"x\\r\\u007f\\u001b\", "
        "\"address\": \"10.0.0.8\", \"suffix\": \"2\", \"rights\": 1}]}"},
       {"-listconnections"},
       {QE, "getStatus", "listConnections"},
       "eve?mallory@10.0.0.9 View only\nx???@10.0.0.8 View only\n"},
      {"list the connections and end, whatever follows",
       {fourConnections},
       {"-listconnections", "-list", "-get", "Desktop"},
       {QE, "getStatus", "listConnections"},
       connectionLines},
      {"commands before the list still run",
       {fourConnections},
       {"-get", "Desktop", "-listconnections", "-disconnect"},
       {QE, "getParam \"Desktop\"", "getStatus", "listConnections"},
       desktop + "\n" + connectionLines},
      {"no connections print nothing",
       {},
       {"-listconnections", "-list"},
       {QE, "getStatus", "listConnections"}},
      {"a failing list prints nothing",
       {fourConnections, fault("listConnections", "fail")},
       {"-listconnections"},
       {QE, "getStatus", "listConnections"}},
      {"a list whose count runs past its data fails",
       {fourConnections, fault("listConnections", "overlong")},
       {"-listconnections"},
       {QE, "getStatus", "listConnections"},
       "",
       "listing the connections failed\n",
       1},
      {"a list refused by the server fails",
       {fourConnections, fault("listConnections", "badrequest")},
       {"-get", "Desktop", "-listconnections", "-list"},
       {QE, "getParam \"Desktop\"", "getStatus", "listConnections"},
       desktop + "\n",
       "listing the connections failed\n",
       1},
      {"a command failed before the list fails the run",
       {fourConnections},
       {"-get", "NoSuch", "-listconnections"},
       {QE, "getParam \"NoSuch\"", "getStatus", "listConnections"},
       connectionLines,
       "getting param NoSuch failed\n",
       1},
      {"disconnect refused",
       {fault("connect", "fail")},
       {"-disconnect"},
       {QE, "connect \"\""},
       "",
       "disconnecting all clients failed\n",
       1},
      {"dump the parameters as XML",
       {},
       {"-dumpxml"},
       {QE, "getParamsXml"},
       "",
       "",
       0,
       false,
       false,
       [](const std::string& out) {
         EXPECT_EQ(out.rfind("<?xml version=\"1.0\"?>\n<config>\n<string name=\"Desktop\"", 0), 0u)
             << out;
         EXPECT_EQ(out.substr(out.size() - 11), "</config>\n\n");
       }},
      {"dumpxml fails",
       {fault("getParamsXml", "faildata")},
       {"-dumpxml"},
       {QE, "getParamsXml"},
       "",
       "getting the parameters as XML failed\n",
       1},
      {"reload", {}, {"-reload"}, {QE, "reloadConfig"}},
      {"reload rejected, message without a line end",
       {fault("reloadConfig", "badrequest")},
       {"-reload"},
       {QE, "reloadConfig"},
       "",
       "Could not reload server configuration.",
       1},
      {"BadRequest fails one command, the next still runs",
       {fault("getParam", "badrequest")},
       {"-get", "Desktop", "-list"},
       {QE, "getParam \"Desktop\"", "listParams"},
       paramNames,
       "getting param Desktop failed\n",
       1},
      {"failure reply with data does not break the next command",
       {fault("getParam", "faildata")},
       {"-get", "Desktop", "-get", "Desktop"},
       {QE, "getParam \"Desktop\"", "getParam \"Desktop\""},
       desktop + "\n",
       "getting param Desktop failed\n",
       1},
      {"text length shorter than the reply",
       {fault("getParam", "shortlen")},
       {"-get", "Desktop", "-desc", "Desktop"},
       {QE, "getParam \"Desktop\"", "getParamDesc \"Desktop\""},
       "Xzav dem\nName of the desktop shown to viewers\n"},
      {"commands run in order",
       {},
       {"-get", "Desktop", "-get", "#has_zav_passwd", "-list"},
       {QE, "getParam \"Desktop\"", "getStatus", "listParams"},
       desktop + "\n1\n" + paramNames},
      {"help", {}, {"--help"}, {}, "", "", 1, true},
      // An argument with a dash is never sent to the server, which has no
      // such names; the reason says how it is written instead.
      {"a command given its value after =",
       {},
       {"-connect=viewer.example"},
       {QE},
       "",
       "-connect takes its value as the next argument\n",
       1,
       true},
      {"get with =",
       {},
       {"-get=rfbPort"},
       {QE},
       "",
       "-get takes its value as the next argument\n",
       1,
       true},
      {"set with =",
       {},
       {"-set=rfbPort=5"},
       {QE},
       "",
       "-set takes its value as the next argument\n",
       1,
       true},
      {"desc with =",
       {},
       {"-desc=rfbPort"},
       {QE},
       "",
       "-desc takes its value as the next argument\n",
       1,
       true},
      {"a command without a value given one",
       {},
       {"-list=5"},
       {QE},
       "",
       "-list takes no value\n",
       1,
       true},
      {"a server parameter as -name=value",
       {},
       {"-rfbPort=5901", "-get", "rfbPort"},
       {QE, "getParam \"rfbPort\""},
       "",
       "-rfbPort=5901: the server's parameter is set as rfbPort=5901\n",
       1,
       true},
      {"a server parameter as --name=value",
       {},
       {"--rfbPort=5901"},
       {QE, "getParam \"rfbPort\""},
       "",
       "--rfbPort=5901: the server's parameter is set as rfbPort=5901\n",
       1,
       true},
      {"a server parameter as -name value",
       {},
       {"-Desktop", "office"},
       {QE, "getParam \"Desktop\""},
       "",
       "-Desktop: the server's parameter is set as Desktop=office\n",
       1,
       true},
      {"a server parameter as -name alone",
       {},
       {"-Desktop"},
       {QE, "getParam \"Desktop\""},
       "",
       "-Desktop: the server's parameter is set as Desktop=<value>\n",
       1,
       true},
      {"a dashed name=value the server lacks",
       {},
       {"-NoSuch=1"},
       {QE, "getParam \"NoSuch\""},
       "",
       "-NoSuch=1: no such command or parameter\n",
       1,
       true},
      // The whole line is checked before any command runs: with a bad
      // argument anywhere nothing is set or printed but the reason and the
      // usage. Only names are asked of the server.
      {"a bad argument after a setting: nothing is set",
       {},
       {"-set", "Desktop=x", "-frobnicate"},
       {QE, "getParam \"frobnicate\""},
       "",
       "-frobnicate: no such command or parameter\n",
       1,
       true},
      {"a word after a listing: nothing is listed",
       {},
       {"-list", "extra"},
       {QE},
       "",
       "extra: not a command or a parameter setting\n",
       1,
       true},
      {"a command without its value after others",
       {},
       {"-get", "Desktop", "-disconnect", "-set"},
       {QE},
       "",
       "-set needs a value\n",
       1,
       true},
      {"a setting of a name the server lacks after one it has",
       {},
       {"Desktop=x", "-get", "Desktop", "NoSuch=1"},
       {QE, "getParam \"Desktop\"", "getParam \"NoSuch\""},
       "",
       "NoSuch: the server has no such parameter\n",
       1,
       true},
      {"a bad argument after the connections list",
       {fourConnections},
       {"-listconnections", "-frobnicate"},
       {QE, "getParam \"frobnicate\""},
       "",
       "-frobnicate: no such command or parameter\n",
       1,
       true},
      {"a setting without a name",
       {},
       {"=x"},
       {QE},
       "",
       "=x: not a command or a parameter setting\n",
       1,
       true},
      // A bad argument is named before the display is opened.
      {"a bad argument without a display",
       {},
       {"-frobnicate"},
       {},
       "",
       "-frobnicate: no such command or parameter\n",
       1,
       true,
       true},
      {"a command without its value without a display",
       {},
       {"-list", "-get"},
       {},
       "",
       "-get needs a value\n",
       1,
       true,
       true},
      {"a bad value of zavconfig's own parameter without a display",
       {},
       {"-list", "iconic=2"},
       {},
       "",
       "iconic: 2 is not a valid value\n",
       1,
       true,
       true},
      {"a bad argument on a display without the extension",
       {"{\"cmd\": \"set\", \"extension\": false}"},
       {"-list", "extra"},
       {},
       "",
       "extra: not a command or a parameter setting\n",
       1,
       true},
      {"help after parameters", {}, {"-nowin", "-?"}, {}, "", "", 1, true},
      {"no extension on the display",
       {"{\"cmd\": \"set\", \"extension\": false}"},
       {"-get", "Desktop"},
       {},
       "",
       "No ZAV extension on display $D\n",
       1},
      {"parameter value that is not UTF-8",
       {},
       {"-display", "\xff", "-get", "Desktop"},
       {},
       "",
       "zavconfig: Invalid UTF-8 encoding for display\n",
       1},
      {"no display",
       {},
       {"-display", nowhere, "-get", "Desktop"},
       {},
       "",
       "zavconfig: unable to open display \"" + nowhere + "\"\n",
       1},
      {"no display named at all",
       {},
       {"-list"},
       {},
       "",
       "zavconfig: unable to open display \"\"\n",
       1,
       false,
       true},
  };

  auto substitute = [&](std::string s) {
    for (size_t p; (p = s.find("$D")) != std::string::npos;)
      s.replace(p, 2, server.display());
    return s;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server.reset();
    for (const std::string& cmd : c.setup)
      server.control(cmd);
    std::vector<std::string> args;
    for (const std::string& a : c.args)
      args.push_back(substitute(a));
    Result r = runZavconfig(args, c.noDisplayEnv ? "" : server.display(), server.dir());
    server.waitIdle();
    EXPECT_EQ(server.log(), c.requests);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, substitute(c.err));
    if (c.usage)
      expectUsage(r.out);
    else if (c.checkOut)
      c.checkOut(r.out);
    else
      EXPECT_EQ(r.out, c.out);
  }
}

} // namespace

namespace {

TEST(ZavconfigCommandMode, PerUserConfigurationFileIsReadBeforeTheCommandLine) {
  XzavDouble server;
  std::string configDir = server.dir() + "/.zav/config.d";
  ASSERT_EQ(system(("mkdir -p '" + configDir + "'").c_str()), 0);
  {
    std::ofstream config(configDir + "/zavconfig");
    // A broken line after it is logged and start-up goes on.
    config << "display=" << server.display() << "\nnowin=bad\\q\n";
  }
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::string out;
    std::string err;
    int status;
  } cases[] = {
      {"the file names the display", {"-get", "Desktop"}, desktop + "\n", "", 0},
      {"the command line wins over the file",
       {"-display", unusedDisplay(), "-get", "Desktop"},
       "",
       "zavconfig: unable to open display \"" + unusedDisplay() + "\"\n",
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Result r = runZavconfig(c.args, "", server.dir());
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, c.status);
  }
}

} // namespace

namespace {

TEST(ZavconfigCommandMode, ChatConfigurationFileIsReadAndItsFailuresOnlyLogged) {
  XzavDouble server;
  std::string configDir = server.dir() + "/.zav/config.d";
  ASSERT_EQ(system(("mkdir -p '" + configDir + "'").c_str()), 0);
  {
    std::ofstream config(configDir + "/chat");
    config << "ExpiryDays=3\nKeepHistory=bad\\q\n";
  }
  {
    // The log setting must be in force before the chat file is read.
    std::ofstream config(configDir + "/zavconfig");
    config << "Log=zavconfig:stderr:100\n";
  }
  Result r = runZavconfig({"-get", "Desktop"}, server.display(), server.dir());
  EXPECT_EQ(r.out, desktop + "\n");
  EXPECT_NE(r.err.find("bad escape code in Value!"), std::string::npos) << r.err;
  EXPECT_EQ(r.status, 0);
}

TEST(ZavconfigCommandMode, TerminationSignalEndsTheProgramWithStatus1) {
  // A display that accepts the connection and never answers, so the program
  // is still starting up when the signal comes.
  std::string display = unusedDisplay();
  int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr = {};
  addr.sun_family = AF_UNIX;
  std::string name = "/tmp/.X11-unix/X" + display.substr(1);
  memcpy(addr.sun_path + 1, name.data(), name.size()); // abstract name
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr),
                 socklen_t(offsetof(sockaddr_un, sun_path) + 1 + name.size())),
            0);
  ASSERT_EQ(listen(listener, 1), 0);
  char home[] = "/tmp/zavsignal.XXXXXX";
  ASSERT_NE(mkdtemp(home), nullptr);

  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(sig);
    int conn = -1;
    Result r = runZavconfig({"-Log=zavconfig:stderr:30", "-get", "Desktop"}, display, home,
                            [&](pid_t pid) {
                              // Other tests probing for free displays may
                              // connect too: only zavconfig's own
                              // connection counts.
                              pollfd p = {listener, POLLIN, 0};
                              while (conn < 0 && poll(&p, 1, 20000) == 1) {
                                conn = accept(listener, nullptr, nullptr);
                                ucred peer = {};
                                socklen_t len = sizeof(peer);
                                if (conn >= 0 &&
                                    (getsockopt(conn, SOL_SOCKET, SO_PEERCRED, &peer, &len) != 0 ||
                                     peer.pid != pid)) {
                                  close(conn);
                                  conn = -1;
                                }
                              }
                              char setup[12];
                              if (conn >= 0 && read(conn, setup, sizeof(setup)) > 0)
                                kill(pid, sig);
                            });
    if (conn >= 0)
      close(conn);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("CleanupSignalHandler called"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  close(listener);
  ASSERT_EQ(system(("rm -rf '" + std::string(home) + "'").c_str()), 0);
}

} // namespace
