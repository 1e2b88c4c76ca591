// zavconfig's window mode, run as a program against the stand-in server in
// front of a real Xvfb, with real X clients on the other side: xclip reads
// and writes the selections, xdotool clicks the connection prompt, xwd takes
// the pictures. What reaches the server is read from the stand-in's state.
#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "DescriptorLimit.h"
#include "FileContents.h"
#include "LoopbackTestService.h"
#include "OptionsServerParams.h"
#include "TrayHost.h"
#include "XzavChatPeer.h"
#include "XzavDouble.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using testing_support::TrayHost;
using testing_support::XzavDouble;
namespace child = testing_support::child;

namespace {

// Runs a shell command with DISPLAY set; its stdout and exit status.
std::string shell(const std::string& display, const std::string& cmd, int* status = nullptr) {
  std::string full = "DISPLAY=" + display + " timeout 10 sh -c '" + cmd + "' 2>/dev/null";
  FILE* p = popen(full.c_str(), "r");
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), p)) > 0)
    out.append(buf, n);
  int s = pclose(p);
  if (status)
    *status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
  return out;
}

bool waitFor(const std::function<bool()>& done, int seconds = 15) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (done())
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return done();
}

std::string fileText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// An end "at once" after a signal takes under a second, half of it the
// tray icon child's grace (bench/zavconfig_exit.sh measures it); a hang was
// 15 seconds or for ever. The bound tells the two apart with room for a busy
// machine.
const long endBoundMs = 5000;

// zavconfig in window mode on the stand-in's display, stopped by the
// destructor when the test has not stopped it.
class WindowMode {
public:
  // env: further "NAME=value" settings of the program's environment; ready:
  // the request in the server's log that shows the program is far enough.
  explicit WindowMode(XzavDouble& server, const std::vector<std::string>& args = {},
                      const std::vector<std::string>& env = {},
                      const std::string& ready = "selectInput")
      : server_(server) {
    errPath_ = server.dir() + "/zavconfig.err";
    home_ = server.dir() + "/home";
    mkdir(home_.c_str(), 0700);
    std::string exe = std::string(ZAV_BINARY_DIR) + "/zavconfig/zavconfig";
    std::vector<std::string> argv = {"env", "DISPLAY=" + server.display(), "HOME=" + home_};
    argv.insert(argv.end(), env.begin(), env.end());
    argv.insert(argv.end(), {exe, "-Log", "*:stderr:100"});
    argv.insert(argv.end(), args.begin(), args.end());
    int out;
    pid_ = child::spawn(argv, &out, 1, errPath_);
    close(out);
    // Ready by default once the main window has chosen its extension events.
    if (!waitFor([&] { return log().find(ready) != std::string::npos; }))
      throw std::runtime_error("window mode did not start: " + err());
  }
  ~WindowMode() { child::stop(pid_); }
  WindowMode(const WindowMode&) = delete;
  WindowMode& operator=(const WindowMode&) = delete;

  // Sends the signal and gives the exit status (or 128 + the fatal signal,
  // or -1 when it has not ended within 15 seconds); how long the program
  // took to end after it, in elapsedMs.
  int stopWith(int sig, long* elapsedMs = nullptr) {
    auto start = std::chrono::steady_clock::now();
    kill(pid_, sig);
    int status = 0;
    bool ended = waitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; });
    if (elapsedMs)
      *elapsedMs = long(std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count());
    // One that hangs is left to the destructor, which kills it.
    if (!ended)
      return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  // Waits for the program to end by itself; its exit status (or 128 + the
  // fatal signal), or -1 when it is still running after the time.
  int waitForEnd(int seconds = 15) {
    int status = 0;
    if (!waitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, seconds))
      return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  std::string log() {
    std::string all;
    for (const std::string& line : server_.log())
      all += line + "\n";
    return all;
  }
  std::string state() { return server_.control("{\"cmd\": \"state\"}"); }
  std::string err() { return fileText(errPath_); }
  pid_t pid() const { return pid_; }
  void event(const std::string& name, long b = 0) {
    server_.control("{\"cmd\": \"event\", \"event\": \"" + name +
                    "\", \"b\": " + std::to_string(b) + "}");
  }

private:
  XzavDouble& server_;
  std::string errPath_;
  std::string home_;
  pid_t pid_ = -1;
};

const std::string utf8Text = "h\xc3\xa9llo w\xc3\xb6rld";
const std::string latin1Text = "h\xe9llo w\xf6rld";

void expectCleanExit(WindowMode& zavconfig) {
  std::string err = zavconfig.err();
  EXPECT_EQ(err.find("Sanitizer"), std::string::npos) << err;
  EXPECT_EQ(err.find("runtime error"), std::string::npos) << err;
}

// A viewer's text reaches the desktop's selections, and the desktop's text
// reaches the server, with XFIXES (server selection events not selected)
// and without it (selected, and needed to notice a change).
TEST(ZavconfigWindowMode, ClipboardBothWaysWithAndWithoutXfixes) {
  for (bool withXfixes : {true, false}) {
    SCOPED_TRACE(withXfixes ? "with XFIXES" : "without XFIXES");
    XzavDouble server;
    if (!withXfixes)
      server.control("{\"cmd\": \"hide_extension\", \"name\": \"XFIXES\"}");
    WindowMode zavconfig(server);
    EXPECT_NE(zavconfig.log().find(withXfixes ? "mask=13" : "mask=15"), std::string::npos)
        << zavconfig.log();

    server.control("{\"cmd\": \"set\", \"client_cut_text\": \"h\\u00e9llo w\\u00f6rld\"}");
    zavconfig.event("cut");
    std::string d = server.display();
    EXPECT_TRUE(waitFor([&] { return shell(d, "xclip -o -selection clipboard") == utf8Text; }));
    EXPECT_EQ(shell(d, "xclip -o -selection primary -target UTF8_STRING"), utf8Text);
    EXPECT_EQ(shell(d, "xclip -o -selection primary -target STRING"), latin1Text);

    shell(d, "printf \"from the desktop\" | xclip -i -selection primary >/dev/null");
    if (!withXfixes) {
      // xclip takes the selection in a child after its command has returned:
      // the server tells of the new owner only once it owns it.
      ASSERT_TRUE(
          waitFor([&] { return shell(d, "xclip -o -selection primary") == "from the desktop"; }));
      zavconfig.event("selection", 1 /* PRIMARY */);
    }
    EXPECT_TRUE(waitFor([&] {
      return zavconfig.state().find("\"server_cut_text\": \"from the desktop\"") !=
             std::string::npos;
    })) << zavconfig.err();
    EXPECT_EQ(zavconfig.stopWith(SIGTERM), 1);
    expectCleanExit(zavconfig);
  }
}

// "SendPrimary" off prefers CLIPBOARD; "poll" fetches without any event.
TEST(ZavconfigWindowMode, SendPrimaryAndPoll) {
  XzavDouble server;
  server.control("{\"cmd\": \"hide_extension\", \"name\": \"XFIXES\"}");
  WindowMode zavconfig(server, {"SendPrimary=0", "poll=200"});
  std::string d = server.display();
  // The fetch at start takes what the selections hold then as old, not to be
  // sent: the desktop's selections come once it has found them empty.
  ASSERT_TRUE(waitFor([&] {
    return zavconfig.err().find("no CLIPBOARD selection timestamp") != std::string::npos;
  })) << zavconfig.err();
  shell(d, "printf primary | xclip -i -selection primary >/dev/null");
  shell(d, "printf clipboard | xclip -i -selection clipboard >/dev/null");
  // No selection event: only the poll timer can notice.
  EXPECT_TRUE(waitFor([&] {
    return zavconfig.state().find("\"server_cut_text\": \"clipboard\"") != std::string::npos;
  })) << zavconfig.state();
  EXPECT_EQ(zavconfig.stopWith(SIGTERM), 1);
  expectCleanExit(zavconfig);
}

std::string approvals(WindowMode& zavconfig) {
  std::string s = zavconfig.state();
  size_t at = s.find("\"approvals\": [");
  return s.substr(at + 14, s.find(']', at) - at - 14);
}

// The prompt's answers reach the server with their rights: clicked with
// xdotool on the choices, and at the time-out the server's
// "QueryTimeoutRights" as it is then.
TEST(ZavconfigWindowMode, QueryPromptAnswers) {
  XzavDouble server;
  WindowMode zavconfig(server);
  std::string d = server.display();
  struct Case {
    const char* what;
    int row; // -1: let it time out
    const char* rights;
  };
  // The choices stand right of the logo (58) and the message (250) inside
  // the 1-pixel border; rows in the prompt's font: Accept, View-only, Reject.
  const int choicesX = 1 + 58 + 250 + 20;
  const int rowY[] = {20, 42, 64};
  const Case cases[] = {{"accept", 0, "65535"}, {"view-only", 1, "1"}, {"reject", 2, "0"}};
  int id = 10;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    id++;
    server.control("{\"cmd\": \"set\", \"query\": {\"user\": \"eve\", \"timeout\": 30, \"id\": " +
                   std::to_string(id) + "}}");
    zavconfig.event("query");
    ASSERT_TRUE(waitFor([&] {
      return !shell(d, "xdotool search --onlyvisible --name \"Connection query\"").empty();
    }));
    shell(d, "xdotool search --onlyvisible --name \"Connection query\" mousemove --sync "
             "--window %1 " +
                 std::to_string(choicesX) + " " + std::to_string(rowY[c.row]) + " click 1");
    std::string want = "{\"id\": " + std::to_string(id) + ", \"rights\": " + c.rights + "}";
    EXPECT_TRUE(waitFor([&] { return approvals(zavconfig).find(want) != std::string::npos; }))
        << approvals(zavconfig);
    // The answered prompt hides.
    EXPECT_TRUE(waitFor([&] {
      return shell(d, "xdotool search --onlyvisible --name \"Connection query\"").empty();
    }));
  }

  // Time-out: the rights are asked again when time runs out.
  server.control("{\"cmd\": \"put_param\", \"name\": \"QueryTimeoutRights\", \"value\": \"\"}");
  server.control("{\"cmd\": \"set\", \"query\": {\"user\": \"eve\", \"timeout\": 1, \"id\": 99}}");
  zavconfig.event("query");
  ASSERT_TRUE(waitFor([&] {
    return !shell(d, "xdotool search --onlyvisible --name \"Connection query\"").empty();
  }));
  server.control("{\"cmd\": \"put_param\", \"name\": \"QueryTimeoutRights\", \"value\": \"v\"}");
  EXPECT_TRUE(waitFor([&] {
    return approvals(zavconfig).find("{\"id\": 99, \"rights\": 1}") != std::string::npos;
  })) << approvals(zavconfig);
  EXPECT_EQ(zavconfig.stopWith(SIGTERM), 1);
  expectCleanExit(zavconfig);
}

// "nowin" maps no main window but still serves the extension's events;
// "iconic" asks to start iconified.
TEST(ZavconfigWindowMode, NowinAndIconic) {
  XzavDouble server;
  {
    WindowMode zavconfig(server, {"-nowin"});
    std::string d = server.display();
    EXPECT_EQ(shell(d, "xdotool search --onlyvisible --name \"Zav Server\""), "");
    server.control(
        "{\"cmd\": \"set\", \"query\": {\"user\": \"eve\", \"timeout\": 30, \"id\": 5}}");
    zavconfig.event("query");
    EXPECT_TRUE(waitFor([&] {
      return !shell(d, "xdotool search --onlyvisible --name \"Connection query\"").empty();
    }));
    EXPECT_EQ(zavconfig.stopWith(SIGTERM), 1);
  }
  server.reset();
  {
    WindowMode zavconfig(server, {"-iconic"});
    std::string d = server.display();
    std::string hints = shell(d, "xprop -id $(xdotool search --name \"^Zav Server\" | head -1) "
                                 "WM_HINTS");
    EXPECT_NE(hints.find("Initial state is Iconic"), std::string::npos) << hints;
    EXPECT_EQ(zavconfig.stopWith(SIGINT), 1);
    expectCleanExit(zavconfig);
  }
}

// The status window shows the server's state and follows its status-change
// events; the pictures go into the build tree for a look.
TEST(ZavconfigWindowMode, StatusWindowFollowsTheServer) {
  XzavDouble server;
  WindowMode zavconfig(server);
  std::string d = server.display();
  std::string dir = std::string(ZAV_BINARY_DIR) + "/screenshots";
  mkdir(dir.c_str(), 0755);
  std::string win = "$(xdotool search --onlyvisible --name \"Zav Server\" | head -1)";
  int status;
  shell(d, "xwd -silent -id " + win + " | convert xwd:- " + dir + "/status-normal.png", &status);
  EXPECT_EQ(status, 0);
  std::string before = shell(d, "xwd -silent -id " + win + " | md5sum");
  // The product icon in its three sizes.
  std::string icon = shell(d, "xprop -id " + win + " _NET_WM_ICON");
  for (const char* size : {"(16 x 16)", "(32 x 32)", "(48 x 48)"})
    EXPECT_NE(icon.find(size), std::string::npos) << size << icon.substr(0, 200);

  server.control("{\"cmd\": \"put_param\", \"name\": \"AllowRfb\", \"value\": \"0\"}");
  server.control("{\"cmd\": \"set\", \"connections\": [{\"user\": \"alice\", \"address\": "
                 "\"10.0.0.1\", \"suffix\": \"1\", \"rights\": 65535}]}");
  zavconfig.event("status");
  EXPECT_TRUE(waitFor([&] { return shell(d, "xwd -silent -id " + win + " | md5sum") != before; }));
  shell(d, "xwd -silent -id " + win + " | convert xwd:- " + dir + "/status-disabled.png");
  shell(d, "xwd -silent -root | convert xwd:- " + dir + "/status-disabled-screen.png");
  EXPECT_EQ(zavconfig.stopWith(SIGTERM), 1);
  expectCleanExit(zavconfig);
}

// Opens the status window's "Commands" menu (left of "Close" in its button
// row), whose first item has the focus, and chooses the item that `downs`
// presses of Down reach (greyed items are skipped).
void chooseCommand(const std::string& d, int downs) {
  std::string win = "$(xdotool search --onlyvisible --name \"Zav Server\" | head -1)";
  std::string geometry = shell(d, "xdotool getwindowgeometry --shell " + win);
  int height = std::stoi(geometry.substr(geometry.find("HEIGHT=") + 7));
  shell(d, "xdotool mousemove --sync --window " + win + " 246 " + std::to_string(height - 18) +
               " click 1");
  std::string keys;
  for (int i = 0; i < downs; i++)
    keys += " Down";
  std::string dir = std::string(ZAV_BINARY_DIR) + "/screenshots";
  mkdir(dir.c_str(), 0755);
  shell(d, "xwd -silent -root | convert xwd:- " + dir + "/status-commands-menu.png");
  shell(d, "xdotool key" + keys + " Return");
}

// Opens the options from the status window's Commands menu and waits for
// them; the window as an xdotool argument.
std::string openOptions(const std::string& d, WindowMode& zavconfig) {
  chooseCommand(d, 0);
  std::string options = "xdotool search --onlyvisible --name \"^Options \\(\"";
  EXPECT_TRUE(waitFor([&] { return !shell(d, options).empty(); })) << zavconfig.err();
  return "$(" + options + " | head -1)";
}

// Clicks "Apply", at the bottom right of the options window.
void clickApply(const std::string& d, const std::string& win) {
  std::string geometry = shell(d, "xdotool getwindowgeometry --shell " + win);
  int width = std::stoi(geometry.substr(geometry.find("WIDTH=") + 6));
  int height = std::stoi(geometry.substr(geometry.find("HEIGHT=") + 7));
  shell(d, "xdotool mousemove --sync --window " + win + " " + std::to_string(width - 40) + " " +
               std::to_string(height - 12) + " click 1");
}

// The lines of text that hold both parts.
int linesWith(const std::string& text, const std::string& a, const std::string& b) {
  std::istringstream lines(text);
  int n = 0;
  for (std::string line; std::getline(lines, line);)
    n += line.find(a) != std::string::npos && line.find(b) != std::string::npos;
  return n;
}

// The inodes of the sockets a process holds.
std::set<std::string> socketsOf(pid_t pid) {
  std::set<std::string> found;
  std::string dir = "/proc/" + std::to_string(pid) + "/fd";
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      char target[256] = {};
      ssize_t n = readlink((dir + "/" + e->d_name).c_str(), target, sizeof target - 1);
      if (n > 0 && std::string(target, n).compare(0, 7, "socket:") == 0)
        found.insert(std::string(target, n));
    }
    closedir(d);
  }
  return found;
}

// The process ids of a process's children.
std::vector<pid_t> childrenOf(pid_t pid) {
  std::istringstream ids(
      fileText("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children"));
  std::vector<pid_t> found;
  for (pid_t id; ids >> id;)
    found.push_back(id);
  return found;
}

int count(const std::vector<std::string>& lines, const std::string& line) {
  int n = 0;
  for (const std::string& l : lines)
    n += l == line;
  return n;
}

// The tray icon runs with "nowin" too: it embeds in the tray, and its menu
// reaches the server and the status window: "Disconnect Zav Viewers" drops
// the viewers, "Guest Login" sets the server's parameter once, "Status..."
// shows the window that "nowin" left unmapped.
TEST(ZavconfigWindowMode, TrayIconRunsWithNowinAndItsMenuActs) {
  XzavDouble server;
  server.control("{\"cmd\": \"put_param\", \"name\": \"GuestAccess\", \"value\": \"v\"}");
  TrayHost tray(server.display());
  WindowMode zavconfig(server, {"-nowin"});
  std::string d = server.display();
  std::string icon = tray.iconWindow();
  ASSERT_FALSE(icon.empty()) << zavconfig.err();
  // The child keeps none of the parent's sockets (the X connection, the
  // file-transfer stream), so the server sees them close with the parent.
  std::vector<pid_t> child = childrenOf(zavconfig.pid());
  ASSERT_EQ(child.size(), 1u);
  std::set<std::string> parentSockets = socketsOf(zavconfig.pid());
  EXPECT_GE(parentSockets.size(), 2u);
  for (const std::string& socket : socketsOf(child[0]))
    EXPECT_EQ(parentSockets.count(socket), 0u) << socket;

  ASSERT_TRUE(tray.chooseMenuItem(icon, 3));
  EXPECT_TRUE(waitFor([&] {
    return zavconfig.state().find("\"connect_requests\": [\"\"]") != std::string::npos;
  })) << zavconfig.state();

  ASSERT_TRUE(tray.chooseMenuItem(icon, 4));
  const std::string toggle = "setParam \"EnableGuestLogin=1\"";
  EXPECT_TRUE(waitFor([&] { return count(server.log(), toggle) == 1; }));

  EXPECT_EQ(shell(d, "xdotool search --onlyvisible --name \"Zav Server\""), "");
  ASSERT_TRUE(tray.chooseMenuItem(icon, 1));
  EXPECT_TRUE(waitFor(
      [&] { return !shell(d, "xdotool search --onlyvisible --name \"Zav Server\"").empty(); }));
  // With the icon in the tray the window offers "Options..." instead.
  std::string dir = std::string(ZAV_BINARY_DIR) + "/screenshots";
  mkdir(dir.c_str(), 0755);
  shell(d, "xwd -silent -root | convert xwd:- " + dir + "/status-with-tray-icon.png");
  // The tick that followed the toggle sent nothing back.
  EXPECT_EQ(count(server.log(), toggle), 1);
  EXPECT_EQ(zavconfig.err().find("zavconfig: "), std::string::npos) << zavconfig.err();
  EXPECT_EQ(zavconfig.stopWith(SIGTERM), 1);
  expectCleanExit(zavconfig);
}

// A tray icon whose co-process dies: the failure is logged once on
// "zavconfig", the pipe is no longer watched (no busy loop, no second
// line), and the clipboard bridge and the connection prompt run on.
TEST(ZavconfigWindowMode, BrokenTrayIconIsLoggedOnceAndTheRestRunsOn) {
  XzavDouble server;
  TrayHost tray(server.display());
  WindowMode zavconfig(server);
  std::string d = server.display();
  ASSERT_FALSE(tray.iconWindow().empty()) << zavconfig.err();
  std::vector<pid_t> icon = childrenOf(zavconfig.pid());
  ASSERT_EQ(icon.size(), 1u);
  // The child does not keep the parent's handler, which would only write
  // to the parent's signal pipe: SIGTERM ends it.
  kill(icon[0], SIGTERM);
  EXPECT_TRUE(waitFor([&] {
    return linesWith(zavconfig.err(), "zavconfig:", "End of stream") == 1;
  })) << zavconfig.err();
  // The child was collected.
  EXPECT_TRUE(waitFor([&] { return childrenOf(zavconfig.pid()).empty(); }));
  // The status window is back on its "Commands" menu.
  chooseCommand(d, 2);
  EXPECT_TRUE(waitFor([&] {
    return zavconfig.state().find("\"connect_requests\": [\"\"]") != std::string::npos;
  })) << zavconfig.state();

  server.control("{\"cmd\": \"set\", \"query\": {\"user\": \"eve\", \"timeout\": 30, \"id\": 3}}");
  zavconfig.event("query");
  EXPECT_TRUE(waitFor([&] {
    return !shell(d, "xdotool search --onlyvisible --name \"Connection query\"").empty();
  }));
  shell(d, "printf \"after the icon\" | xclip -i -selection primary >/dev/null");
  EXPECT_TRUE(waitFor([&] {
    return zavconfig.state().find("\"server_cut_text\": \"after the icon\"") != std::string::npos;
  }));
  EXPECT_EQ(linesWith(zavconfig.err(), "zavconfig:", "End of stream"), 1);
  EXPECT_EQ(linesWith(zavconfig.err(), "zavconfig:", ""), 1) << zavconfig.err();
  EXPECT_EQ(zavconfig.stopWith(SIGTERM), 1);
  expectCleanExit(zavconfig);
}

// Without GTK the co-process reports why, once, and ends with status 0; the
// status window keeps its "Commands" menu.
TEST(ZavconfigWindowMode, WithoutGtkTheIconReportsOnceAndTheProgramRunsOn) {
  XzavDouble server;
  TrayHost tray(server.display());
  // An empty file in front of the real library: it cannot be loaded.
  std::string noGtk = server.dir() + "/nogtk";
  mkdir(noGtk.c_str(), 0700);
  std::ofstream(noGtk + "/libgtk-x11-2.0.so.0").close();
  WindowMode zavconfig(server, {}, {"LD_LIBRARY_PATH=" + noGtk});
  EXPECT_TRUE(waitFor([&] {
    return linesWith(zavconfig.err(), "zavconfig:", "failed to load gtk_init_check") == 1;
  })) << zavconfig.err();
  EXPECT_TRUE(waitFor([&] { return childrenOf(zavconfig.pid()).empty(); }));
  EXPECT_TRUE(tray.windows().empty());
  chooseCommand(server.display(), 2);
  EXPECT_TRUE(waitFor([&] {
    return zavconfig.state().find("\"connect_requests\": [\"\"]") != std::string::npos;
  })) << zavconfig.state();
  server.control("{\"cmd\": \"set\", \"query\": {\"user\": \"eve\", \"timeout\": 30, \"id\": 4}}");
  zavconfig.event("query");
  EXPECT_TRUE(waitFor([&] {
    return !shell(server.display(), "xdotool search --onlyvisible --name \"Connection query\"")
                .empty();
  }));
  EXPECT_EQ(linesWith(zavconfig.err(), "zavconfig:", ""), 1) << zavconfig.err();
  EXPECT_EQ(zavconfig.stopWith(SIGTERM), 1);
  expectCleanExit(zavconfig);
}

// Without a tray nothing embeds: the status window keeps its "Commands"
// menu, whose items act on the server.
TEST(ZavconfigWindowMode, WithoutATrayTheStatusWindowOffersItsCommandsMenu) {
  XzavDouble server;
  WindowMode zavconfig(server);
  std::string d = server.display();
  ASSERT_TRUE(waitFor(
      [&] { return !shell(d, "xdotool search --onlyvisible --name \"Zav Server\"").empty(); }));
  chooseCommand(d, 2);
  EXPECT_TRUE(waitFor([&] {
    return zavconfig.state().find("\"connect_requests\": [\"\"]") != std::string::npos;
  })) << zavconfig.state();
  EXPECT_EQ(zavconfig.stopWith(SIGTERM), 1);
  expectCleanExit(zavconfig);
}

// Gives the stand-in the parameters that the option pages edit.
void putOptionsParams(XzavDouble& server) {
  for (const auto& p : testing_support::optionsServerParams)
    server.control(std::string("{\"cmd\": \"put_param\", \"name\": \"") + p[0] +
                   "\", \"value\": \"" + p[2] + "\", \"kind\": \"" + p[1] + "\"}");
}

// The status window's "Commands" menu opens the dialogs it owns, each in a
// fresh run: the options over the server's parameters, the connect-to-viewer
// dialog and, over the file-transfer stream, the file-transfer window.
TEST(ZavconfigWindowMode, CommandsMenuOpensTheStatusWindowsDialogs) {
  struct Case {
    int downs; // greyed "Guest Login" is skipped
    const char* window;
    const char* picture;
  };
  const Case cases[] = {
      {0, "^Options \\(", "options"},
      {1, "^Connect to Listening Zav Viewer$", "connect-to-viewer"},
      {4, "^File Transfer - Zav Server$", "file-transfer"},
  };
  std::string dir = std::string(ZAV_BINARY_DIR) + "/screenshots";
  mkdir(dir.c_str(), 0755);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.window);
    XzavDouble server;
    putOptionsParams(server);
    WindowMode zavconfig(server);
    std::string d = server.display();
    ASSERT_TRUE(waitFor(
        [&] { return !shell(d, "xdotool search --onlyvisible --name \"Zav Server\"").empty(); }));
    std::string find = std::string("xdotool search --onlyvisible --name \"") + c.window + "\"";
    EXPECT_EQ(shell(d, find), "");
    chooseCommand(d, c.downs);
    EXPECT_TRUE(waitFor([&] { return !shell(d, find).empty(); })) << zavconfig.err();
    shell(d, "xwd -silent -root | convert xwd:- " + dir + "/status-" + c.picture + ".png");
    EXPECT_EQ(zavconfig.err().find("not available"), std::string::npos) << zavconfig.err();
    EXPECT_EQ(zavconfig.stopWith(SIGTERM), 1);
    expectCleanExit(zavconfig);
  }
}

// The demo's stand-in server has every parameter that window mode reads:
// the options open from the "Commands" menu with nothing reported missing.
TEST(ZavconfigWindowMode, TheDemoServerServesTheOptions) {
  XzavDouble server(std::string(ZAV_SOURCE_DIR) + "/tests/xzav/demo_server.json");
  WindowMode zavconfig(server);
  std::string d = server.display();
  ASSERT_TRUE(waitFor(
      [&] { return !shell(d, "xdotool search --onlyvisible --name \"Zav Server\"").empty(); }));
  chooseCommand(d, 0);
  EXPECT_TRUE(waitFor([&] {
    return !shell(d, "xdotool search --onlyvisible --name \"^Options \\(\"").empty();
  })) << zavconfig.err();
  EXPECT_EQ(zavconfig.err().find("not available"), std::string::npos) << zavconfig.err();
  EXPECT_EQ(zavconfig.stopWith(SIGTERM), 1);
  expectCleanExit(zavconfig);
}

// The options that the status window opens send what changed: the switch
// of the basic page turned off and "Apply" set the server's listeners off
// once, and the per-user configuration file keeps the dialog's
// "AdvancedOptions".
TEST(ZavconfigWindowMode, OptionsApplySendsTheChangedParameters) {
  XzavDouble server;
  putOptionsParams(server);
  // A user without a configuration folder yet: applying makes it.
  mkdir((server.dir() + "/home").c_str(), 0700);
  WindowMode zavconfig(server);
  std::string d = server.display();
  ASSERT_TRUE(waitFor(
      [&] { return !shell(d, "xdotool search --onlyvisible --name \"Zav Server\"").empty(); }));
  std::string win = openOptions(d, zavconfig);
  ASSERT_FALSE(testing::Test::HasFailure());
  // The switch at the top of the page, then "Apply".
  shell(d, "xdotool mousemove --sync --window " + win + " 32 121 click 1");
  clickApply(d, win);
  EXPECT_TRUE(waitFor([&] { return count(server.log(), "setParam \"AllowRfb=0\"") == 1; }))
      << zavconfig.log();
  std::string dir = std::string(ZAV_BINARY_DIR) + "/screenshots";
  shell(d, "xwd -silent -root | convert xwd:- " + dir + "/status-options-applied.png");
  EXPECT_TRUE(waitFor([&] {
    return fileText(server.dir() + "/home/.zav/config.d/zavconfig").find("AdvancedOptions") !=
           std::string::npos;
  })) << zavconfig.err();
  EXPECT_EQ(testing_support::fileMode(server.dir() + "/home/.zav/config.d"), 0700);
  EXPECT_EQ(zavconfig.stopWith(SIGTERM), 1);
  expectCleanExit(zavconfig);
}

// Without the server's parameters window mode ends at once with status 0.
TEST(ZavconfigWindowMode, NoServerParametersEndsWithStatusZero) {
  XzavDouble server;
  server.control(
      "{\"cmd\": \"fault\", \"op\": \"getParamsXml\", \"kind\": \"fail\", \"count\": -1}");
  std::string exe = std::string(ZAV_BINARY_DIR) + "/zavconfig/zavconfig";
  int status;
  std::string out = shell(server.display(), exe + " 2>&1", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("Could not get configuration parameters from X Server."), std::string::npos)
      << out;
}

// The chat stream comes up with window mode: the server's messages bring the
// chat window up with their lines, and the history, loaded at start, is
// written back when the loop ends (here by a signal) with the new lines.
TEST(ZavconfigWindowMode, ChatWindowComesUpAndTheHistoryIsSavedAtTheEnd) {
  XzavDouble server;
  testing_support::XzavChatPeer peer(server);
  std::string home = server.dir() + "/home";
  mkdir(home.c_str(), 0700);
  mkdir((home + "/.zav").c_str(), 0700);
  std::string historyFile = home + "/.zav/zavchat.xml";
  {
    std::ofstream out(historyFile);
    out << "<?xml version=\"1.0\"?>\n<chat>\n  <message text=\"from before\" time=\""
        << time(nullptr) - 60 << "\" user=\"ann\" endpoint=\"10.0.0.1\"/>\n</chat>\n";
  }
  peer.set("{\"send\": [" + testing_support::XzavChatPeer::joinLeave(true, "bob", "10.0.0.2") +
           ", " + testing_support::XzavChatPeer::line("bob", "10.0.0.2", "hello desktop") +
           ", {\"type\": 2}]}");
  WindowMode zavconfig(server);
  std::string d = server.display();
  std::string chat = "xdotool search --onlyvisible --name \"Chat - Zav Server\"";
  ASSERT_TRUE(waitFor([&] { return !shell(d, chat).empty(); })) << zavconfig.err();
  EXPECT_TRUE(waitFor([&] { return peer.received() == "[[0, 0], [1, 0], [1, 1]]"; }))
      << peer.received();
  std::string dir = std::string(ZAV_BINARY_DIR) + "/screenshots";
  mkdir(dir.c_str(), 0755);
  shell(d, "sleep 0.3; xwd -silent -id $(" + chat + " | head -1) | convert xwd:- " + dir +
               "/window-mode-chat.png");

  EXPECT_EQ(zavconfig.stopWith(SIGTERM), 1);
  expectCleanExit(zavconfig);
  std::string saved = fileText(historyFile);
  size_t before = saved.find("from before"), hello = saved.find("hello desktop");
  EXPECT_NE(before, std::string::npos) << saved;
  EXPECT_NE(hello, std::string::npos) << saved;
  EXPECT_LT(before, hello) << saved;
}

// The chat lines of a session as a viewer sends them: ann joins and says
// the lines.
std::string chatLines(const std::vector<std::string>& lines) {
  std::string send =
      "{\"send\": [" + testing_support::XzavChatPeer::joinLeave(true, "ann", "10.0.0.1");
  for (const std::string& line : lines)
    send += ", " + testing_support::XzavChatPeer::line("ann", "10.0.0.1", line);
  return send + ", {\"type\": 2}]}";
}

// The end of the desktop session: the X server goes away under the program,
// which must end. The viewer's lines of the session are in the history file.
TEST(ZavconfigWindowMode, TheEndOfTheXSessionKeepsTheSessionsChatLines) {
  XzavDouble server;
  testing_support::XzavChatPeer peer(server);
  std::string historyFile = server.dir() + "/home/.zav/zavchat.xml";
  peer.set(chatLines({"hello desktop", "the session ends now"}));
  WindowMode zavconfig(server);
  // The chat window came up: the lines before it were handled.
  ASSERT_TRUE(waitFor([&] { return peer.received() == "[[0, 0], [1, 0], [1, 1]]"; }))
      << peer.received() << zavconfig.err();
  server.endServer();
  EXPECT_EQ(zavconfig.waitForEnd(), 1);
  expectCleanExit(zavconfig);
  std::string saved = fileText(historyFile);
  EXPECT_NE(saved.find("hello desktop"), std::string::npos) << saved << zavconfig.err();
  EXPECT_NE(saved.find("the session ends now"), std::string::npos) << saved;
  EXPECT_NE(zavconfig.err().find("The connection to the display"), std::string::npos)
      << zavconfig.err();
}

// New lines are saved within seconds of their arrival: a program killed
// after that loses none of them.
TEST(ZavconfigWindowMode, ChatLinesAreSavedWithinSecondsSoAKillLosesNone) {
  XzavDouble server;
  testing_support::XzavChatPeer peer(server);
  std::string historyFile = server.dir() + "/home/.zav/zavchat.xml";
  peer.set(chatLines({"kept through a kill"}));
  WindowMode zavconfig(server);
  // Saved within seconds (bounded at ten times the delay).
  EXPECT_TRUE(waitFor(
      [&] { return fileText(historyFile).find("kept through a kill") != std::string::npos; }, 30))
      << zavconfig.err();
  EXPECT_EQ(zavconfig.stopWith(SIGKILL), 128 + SIGKILL);
  EXPECT_NE(fileText(historyFile).find("kept through a kill"), std::string::npos);
}

// Two instances in one session (a second login, or a restart while the
// first ends) keep one history: each adds its own lines, and neither drops
// the other's, whichever ends last.
TEST(ZavconfigWindowMode, TwoInstancesKeepEachOthersChatLines) {
  XzavDouble first, second;
  std::string home = first.dir() + "/home";
  mkdir(home.c_str(), 0700);
  std::string historyFile = home + "/.zav/zavchat.xml";
  testing_support::XzavChatPeer peer1(first), peer2(second);
  peer1.set(chatLines({"to the first instance"}));
  peer2.set(chatLines({"to the second instance"}));
  WindowMode one(first, {}, {"HOME=" + home});
  WindowMode two(second, {}, {"HOME=" + home});
  ASSERT_TRUE(waitFor([&] { return peer1.received() == "[[0, 0], [1, 0], [1, 1]]"; }));
  ASSERT_TRUE(waitFor([&] { return peer2.received() == "[[0, 0], [1, 0], [1, 1]]"; }));
  EXPECT_EQ(one.stopWith(SIGTERM), 1);
  EXPECT_EQ(two.stopWith(SIGTERM), 1);
  expectCleanExit(one);
  expectCleanExit(two);
  std::string saved = fileText(historyFile);
  EXPECT_NE(saved.find("to the first instance"), std::string::npos) << saved;
  EXPECT_NE(saved.find("to the second instance"), std::string::npos) << saved;
}

// Whether the process is gone altogether (ended and collected).
bool processGone(pid_t pid) {
  return access(("/proc/" + std::to_string(pid)).c_str(), F_OK) != 0;
}

// A chat history file whose time is the epoch: one that is saved again gets
// a new time.
std::string oldHistoryFile(XzavDouble& server) {
  std::string home = server.dir() + "/home";
  mkdir(home.c_str(), 0700);
  mkdir((home + "/.zav").c_str(), 0700);
  std::string path = home + "/.zav/zavchat.xml";
  std::ofstream(path) << "<?xml version=\"1.0\"?>\n<chat>\n  <message text=\"from before\" time=\""
                      << time(nullptr) - 60 << "\" user=\"ann\" endpoint=\"10.0.0.1\"/>\n</chat>\n";
  struct timespec times[2] = {{0, 0}, {0, 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
  return path;
}

bool savedAgain(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && st.st_mtime != 0 &&
         fileText(path).find("from before") != std::string::npos;
}

// A tray icon child that is stopped (the user's ^Z, a debugger) hears neither
// the end of its stream nor a request to end: the program still ends on a
// signal, having killed and collected it.
TEST(ZavconfigWindowMode, AStoppedTrayIconChildDoesNotHoldUpTheEnd) {
  XzavDouble server;
  TrayHost tray(server.display());
  WindowMode zavconfig(server);
  ASSERT_FALSE(tray.iconWindow().empty()) << zavconfig.err();
  std::vector<pid_t> icon = childrenOf(zavconfig.pid());
  ASSERT_EQ(icon.size(), 1u);
  ASSERT_EQ(kill(icon[0], SIGSTOP), 0);
  ASSERT_TRUE(waitFor([&] {
    std::string stat = fileText("/proc/" + std::to_string(icon[0]) + "/stat");
    size_t end = stat.rfind(')');
    return end != std::string::npos && stat.compare(end, 3, ") T") == 0;
  }));
  long ms = 0;
  EXPECT_EQ(zavconfig.stopWith(SIGTERM, &ms), 1) << zavconfig.err();
  EXPECT_LT(ms, endBoundMs);
  EXPECT_TRUE(processGone(icon[0]));
  if (!processGone(icon[0]))
    kill(icon[0], SIGKILL);
  expectCleanExit(zavconfig);
}

// A signal while start-up waits for the server to connect a loopback stream
// back ends the program at once with status 1. During the chat stream's wait
// the history is loaded and the tray icon's child runs: the history is saved
// and the child is gone, as after a signal in the main loop.
TEST(ZavconfigWindowMode, ASignalDuringTheConnectBackEndsTheProgramAtOnce) {
  struct Case {
    const char* stream;
    const char* request;
    int sig;
  };
  const Case cases[] = {
      {"ft", "requestFileTransferStream", SIGTERM},
      {"chat", "requestChatStream", SIGHUP},
      {"chat", "requestChatStream", SIGINT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.stream) + " " + strsignal(c.sig));
    XzavDouble server;
    server.control(std::string("{\"cmd\": \"stream\", \"kind\": \"") + c.stream +
                   "\", \"set\": {\"cookie\": \"none\"}}");
    std::string history = oldHistoryFile(server);
    WindowMode zavconfig(server, {}, {}, c.request);
    std::vector<pid_t> children = childrenOf(zavconfig.pid());
    EXPECT_EQ(children.size(), std::string(c.stream) == "chat" ? 1u : 0u);
    long ms = 0;
    EXPECT_EQ(zavconfig.stopWith(c.sig, &ms), 1);
    EXPECT_LT(ms, endBoundMs);
    expectCleanExit(zavconfig);
    EXPECT_NE(zavconfig.err().find("CleanupSignalHandler called"), std::string::npos)
        << zavconfig.err();
    for (pid_t child : children)
      EXPECT_TRUE(processGone(child));
    EXPECT_EQ(savedAgain(history), std::string(c.stream) == "chat");
  }
}

// A signal while a modal box runs its own loop (the question before
// disabling mouse and keyboard input) ends the program at once with status
// 1, after saving the chat history and ending the tray icon's child.
TEST(ZavconfigWindowMode, ASignalDuringAModalBoxEndsTheProgramAtOnce) {
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(sig));
    XzavDouble server;
    putOptionsParams(server);
    for (const char* name : {"AcceptKeyEvents", "AcceptPointerEvents"})
      server.control(std::string("{\"cmd\": \"put_param\", \"name\": \"") + name +
                     "\", \"value\": \"0\", \"kind\": \"bool\"}");
    std::string history = oldHistoryFile(server);
    mkdir((server.dir() + "/home/.zav/config.d").c_str(), 0700);
    std::ofstream(server.dir() + "/home/.zav/config.d/zavconfig") << "AdvancedOptions=1\n";
    WindowMode zavconfig(server);
    std::string d = server.display();
    ASSERT_TRUE(waitFor(
        [&] { return !shell(d, "xdotool search --onlyvisible --name \"Zav Server\"").empty(); }));
    std::vector<pid_t> children = childrenOf(zavconfig.pid());
    EXPECT_EQ(children.size(), 1u);
    std::string win = openOptions(d, zavconfig);
    ASSERT_FALSE(testing::Test::HasFailure());
    // The "Inputs" page, then "Apply".
    shell(d, "xdotool mousemove --sync --window " + win + " 100 100 key ctrl+Tab");
    std::string windows = shell(d, "xdotool search --onlyvisible --name .");
    clickApply(d, win);
    // The question is up: one more window.
    ASSERT_TRUE(waitFor([&] {
      return shell(d, "xdotool search --onlyvisible --name .").size() > windows.size();
    })) << zavconfig.err();
    std::string dir = std::string(ZAV_BINARY_DIR) + "/screenshots";
    mkdir(dir.c_str(), 0755);
    shell(d, "xwd -silent -root | convert xwd:- " + dir + "/signal-during-modal-box.png");
    long ms = 0;
    EXPECT_EQ(zavconfig.stopWith(sig, &ms), 1);
    EXPECT_LT(ms, endBoundMs);
    expectCleanExit(zavconfig);
    EXPECT_NE(zavconfig.err().find("CleanupSignalHandler called"), std::string::npos)
        << zavconfig.err();
    for (pid_t child : children)
      EXPECT_TRUE(processGone(child));
    EXPECT_TRUE(savedAgain(history));
  }
}

// The descriptors a process has open.
int descriptorsOf(pid_t pid) {
  int n = 0;
  if (DIR* d = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str())) {
    while (dirent* e = readdir(d))
      n += e->d_name[0] != '.';
    closedir(d);
  }
  return n;
}

// A number of the file-transfer stream's status at the stand-in.
long ftStatusNumber(XzavDouble& server, const std::string& key) {
  std::string st = server.control(R"({"cmd": "stream", "kind": "ft", "status": true})");
  size_t at = st.find("\"" + key + "\": ");
  return at == std::string::npos ? -1 : std::stol(st.substr(at + key.size() + 4));
}

// A viewer that pushes 200 shares of 8 files and never sends their data, to
// the program under the usual descriptor limit of 1,024: the files held open
// for it stay bounded (the rest wait their turn), the program lives on with
// descriptors to spare, and the chat lines of the session before the shares
// are in the history after SIGTERM.
TEST(ZavconfigWindowMode, SilentPushedSharesLeaveDescriptorsForTheHistory) {
  XzavDouble server;
  testing_support::XzavChatPeer peer(server);
  std::string home = server.dir() + "/home", fetch = server.dir() + "/fetch";
  mkdir(home.c_str(), 0700);
  mkdir((home + "/.zav").c_str(), 0700);
  mkdir(fetch.c_str(), 0700);
  peer.set("{\"send\": [" + testing_support::XzavChatPeer::joinLeave(true, "bob", "10.0.0.2") +
           ", " + testing_support::XzavChatPeer::line("bob", "10.0.0.2", "first line") + ", " +
           testing_support::XzavChatPeer::line("bob", "10.0.0.2", "second line") + ", " +
           testing_support::XzavChatPeer::line("bob", "10.0.0.2", "third line") +
           ", {\"type\": 2}]}");
  testing_support::DescriptorLimit limit(1024, testing_support::DescriptorLimit::Exactly);
  if (!limit.allowed())
    GTEST_SKIP() << "the descriptor limit cannot be set to 1024";
  WindowMode zavconfig(server, {"-FetchDir", fetch});
  ASSERT_TRUE(waitFor([&] { return peer.received() == "[[0, 0], [1, 0], [1, 1]]"; }))
      << peer.received() << zavconfig.err();

  server.control(R"({"cmd": "stream", "kind": "ft", "series": )"
                 R"({"shares": 200, "files": 8, "silent": true}})");
  ASSERT_TRUE(waitFor([&] { return ftStatusNumber(server, "listings") == 200; }, 120))
      << ftStatusNumber(server, "listings") << zavconfig.err();
  // The last share's download has started and waits: as many files were
  // asked for as may be open.
  EXPECT_TRUE(waitFor([&] { return ftStatusNumber(server, "unanswered") == 64; }))
      << ftStatusNumber(server, "unanswered");
  int status = 0;
  EXPECT_EQ(waitpid(zavconfig.pid(), &status, WNOHANG), 0);
  EXPECT_LE(descriptorsOf(zavconfig.pid()), 200);
  EXPECT_EQ(ftStatusNumber(server, "unanswered"), 64);

  EXPECT_EQ(zavconfig.stopWith(SIGTERM), 1);
  expectCleanExit(zavconfig);
  std::string saved = fileText(home + "/.zav/zavchat.xml");
  for (const char* line : {"first line", "second line", "third line"})
    EXPECT_NE(saved.find(line), std::string::npos) << line << "\n" << saved;
}

// Shares of 400,000 entries each that the viewer never sends: their
// listings add up, and the third, which takes them past a million entries
// together, is refused, released at the viewer and the user told; the
// program lives on.
TEST(ZavconfigWindowMode, ListingsOfSilentSharesAreBoundedTogether) {
  XzavDouble server;
  std::string fetch = server.dir() + "/fetch";
  mkdir(fetch.c_str(), 0700);
  server.control(R"({"cmd": "stream", "kind": "ft", "set": )"
                 R"({"shares": 3, "files": 400000, "silent": true}})");
  testing_support::DescriptorLimit limit(1024, testing_support::DescriptorLimit::Exactly);
  if (!limit.allowed())
    GTEST_SKIP() << "the descriptor limit cannot be set to 1024";
  WindowMode zavconfig(server, {"-FetchDir", fetch});
  auto released = [&] {
    return server.control(R"({"cmd": "stream", "kind": "ft", "status": true})")
               .find("\"released\": [3]") != std::string::npos;
  };
  ASSERT_TRUE(waitFor(released, 300)) << zavconfig.err();
  // The log wraps the reason.
  std::string err = zavconfig.err();
  size_t refused = err.find("Share 3 refused: The files offered could not be received:");
  ASSERT_NE(refused, std::string::npos);
  EXPECT_NE(err.find("together with the files still being received", refused), std::string::npos)
      << err.substr(refused, 400);
  int status = 0;
  EXPECT_EQ(waitpid(zavconfig.pid(), &status, WNOHANG), 0);
  EXPECT_LE(descriptorsOf(zavconfig.pid()), 200);
  EXPECT_EQ(zavconfig.stopWith(SIGTERM), 1);
  expectCleanExit(zavconfig);
}

// The centre of each run of link-coloured pixels in a window's picture, one
// per line of text, from the top down.
std::vector<std::pair<int, int>> linksOf(const std::string& d, const std::string& win) {
  std::istringstream pixels(
      shell(d, "xwd -silent -id " + win + " | convert xwd:- txt:- | grep -i \"#0000C8\""));
  std::vector<std::vector<int>> lines; // x min, x max, y min, y max
  for (std::string line; std::getline(pixels, line);) {
    int x = 0, y = 0;
    if (sscanf(line.c_str(), "%d,%d:", &x, &y) != 2)
      continue;
    if (lines.empty() || y > lines.back()[3] + 3)
      lines.push_back({x, x, y, y});
    std::vector<int>& l = lines.back();
    l = {std::min(l[0], x), std::max(l[1], x), l[2], std::max(l[3], y)};
  }
  std::vector<std::pair<int, int>> centres;
  for (const auto& l : lines)
    centres.emplace_back((l[0] + l[1]) / 2, (l[2] + l[3]) / 2);
  return centres;
}

// A signal while the Connection Test window's Start waits for the test
// service to answer the connect (a service on loopback whose accept queue is
// full, named by the program's resolver through nss_wrapper) ends the
// program at once with status 1, as from any other wait.
TEST(ZavconfigWindowMode, ASignalDuringTheConnectionTestsConnectEndsTheProgramAtOnce) {
  XzavDouble server;
  // An IPv4 listener with an address: the status text offers "test" beside
  // the address.
  server.control(R"({"cmd": "put_param", "name": "InTransports", "value": "ipv4"})");
  server.control(R"({"cmd": "set", "status": ["is_module=0", "active_listener_error_number=0", )"
                 R"("passive_listener_error_number=0", "ip_addrs=10.0.0.5", "has_zav_passwd=1", )"
                 R"("public_key_signature=3a-5c-11-0e-92-7f-d4-08", "total_connections=0"]})");
  testing_support::SilentTestService service("127.41.0.1", 80);
  std::string hosts = server.dir() + "/hosts";
  std::ofstream(hosts) << "127.41.0.1 nettest.halbrin.example\n";
  const char* asan = getenv("ASAN_OPTIONS");
  std::string history = oldHistoryFile(server);
  WindowMode zavconfig(
      server, {},
      {"LD_PRELOAD=libnss_wrapper.so", "NSS_WRAPPER_DISABLE_DEEPBIND=1",
       "NSS_WRAPPER_HOSTS=" + hosts,
       std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":verify_asan_link_order=0"});
  std::string d = server.display();
  std::string status = "$(xdotool search --onlyvisible --name \"Zav Server\" | head -1)";
  ASSERT_TRUE(waitFor(
      [&] { return !shell(d, "xdotool search --onlyvisible --name \"Zav Server\"").empty(); }));
  // The links from the top: the summary's, then "test" beside the address
  // first in the details.
  std::vector<std::pair<int, int>> links;
  ASSERT_TRUE(waitFor([&] {
    links = linksOf(d, status);
    return links.size() >= 3;
  })) << links.size();
  std::pair<int, int> test = links[1];
  shell(d, "xdotool mousemove --sync --window " + status + " " + std::to_string(test.first) + " " +
               std::to_string(test.second) + " click 1");
  std::string connTest = "xdotool search --onlyvisible --name \"^Connection Test$\"";
  ASSERT_TRUE(waitFor([&] { return !shell(d, connTest).empty(); })) << zavconfig.err();
  // "Start", left of "Close" at the bottom right.
  std::string win = "$(" + connTest + " | head -1)";
  std::string geometry = shell(d, "xdotool getwindowgeometry --shell " + win);
  int width = std::stoi(geometry.substr(geometry.find("WIDTH=") + 6));
  int height = std::stoi(geometry.substr(geometry.find("HEIGHT=") + 7));
  shell(d, "xdotool mousemove --sync --window " + win + " " + std::to_string(width - 120) + " " +
               std::to_string(height - 17) + " click 1");
  // The connect waits: the kernel holds its attempt to 127.41.0.1:80 (in
  // /proc/net/tcp as 0100297F:0050) unanswered.
  EXPECT_TRUE(waitFor([&] {
    std::istringstream table(fileText("/proc/net/tcp"));
    for (std::string line; std::getline(table, line);) {
      std::istringstream fields(line);
      std::string slot, local, remote, state;
      fields >> slot >> local >> remote >> state;
      if (remote == "0100297F:0050" && state == "02")
        return true;
    }
    return false;
  })) << zavconfig.err();
  std::string dir = std::string(ZAV_BINARY_DIR) + "/screenshots";
  mkdir(dir.c_str(), 0755);
  shell(d, "xwd -silent -root | convert xwd:- " + dir + "/signal-during-connection-test.png");
  long ms = 0;
  EXPECT_EQ(zavconfig.stopWith(SIGTERM, &ms), 1);
  EXPECT_LT(ms, endBoundMs);
  expectCleanExit(zavconfig);
  EXPECT_NE(zavconfig.err().find("CleanupSignalHandler called"), std::string::npos)
      << zavconfig.err();
  EXPECT_TRUE(savedAgain(history));
}

// One run meets, in turn, what the server may send that once ended or froze
// the program: notice times that are negative or overflow milliseconds, a
// query time-out beyond an int, and a viewer's cut text longer than the X
// server's largest request. It lives through all of them and still ends at
// once on a signal.
TEST(ZavconfigWindowMode, OneRunLivesThroughTheServersOddValuesInTurn) {
  XzavDouble server;
  putOptionsParams(server);
  WindowMode zavconfig(server);
  std::string d = server.display();
  ASSERT_TRUE(waitFor(
      [&] { return !shell(d, "xdotool search --onlyvisible --name \"Zav Server\"").empty(); }));
  // A setting the server refuses is named in a message box and not taken
  // as applied.
  server.control(R"({"cmd": "fault", "op": "setParam", "kind": "fail", "count": 1})");
  std::string options = openOptions(d, zavconfig);
  ASSERT_FALSE(testing::Test::HasFailure());
  shell(d, "xdotool mousemove --sync --window " + options + " 32 121 click 1");
  std::string windows = shell(d, "xdotool search --onlyvisible --name .");
  clickApply(d, options);
  EXPECT_TRUE(waitFor([&] {
    return zavconfig.err().find(" not applied: the server refused") != std::string::npos &&
           shell(d, "xdotool search --onlyvisible --name .").size() > windows.size();
  })) << zavconfig.err();
  // The box takes the keys while the pointer is in it.
  shell(d, "xdotool search --onlyvisible --name \"^Zav Configuration Tool$\" | head -1 | "
           "xargs -I{} xdotool mousemove --sync --window {} 10 10; xdotool key Return");
  EXPECT_TRUE(waitFor([&] {
    return shell(d, "xdotool search --onlyvisible --name .").size() == windows.size();
  })) << "the message box stayed up";
  std::string notice = "xdotool search --onlyvisible --name \"^Connection notice$\"";
  auto connections = [&](const char* list) {
    server.control(std::string("{\"cmd\": \"set\", \"connections\": [") + list + "]}");
    zavconfig.event("status");
  };
  // A negative time shows the notice for a second instead of for good.
  server.control(R"({"cmd": "put_param", "name": "ConnNotifyTimeout", "value": "-5"})");
  connections(R"({"user": "alice", "address": "10.0.0.1", "suffix": "1", "rights": 1})");
  EXPECT_TRUE(waitFor([&] { return !shell(d, notice).empty(); })) << zavconfig.err();
  EXPECT_TRUE(waitFor([&] { return shell(d, notice).empty(); })) << "the notice stayed up";
  // 3,000,000 seconds are more milliseconds than an int holds.
  server.control(R"({"cmd": "put_param", "name": "ConnNotifyTimeout", "value": "3000000"})");
  connections("");
  EXPECT_TRUE(waitFor([&] { return !shell(d, notice).empty(); })) << zavconfig.err();

  // A query time-out of 2^32 - 1 seconds counts down from the largest int.
  server.control(R"({"cmd": "set", "query": {"user": "eve", "timeout": 4294967295, "id": 3}})");
  zavconfig.event("query");
  std::string prompt = "xdotool search --onlyvisible --name \"^Connection query$\"";
  EXPECT_TRUE(waitFor([&] { return !shell(d, prompt).empty(); })) << zavconfig.err();

  // 17,000,000 ASCII bytes: more than a 16 MB request of the X server
  // carries. The desktop is offered as much as fits.
  std::string text(17000000, 'x');
  server.control("{\"cmd\": \"set\", \"client_cut_text\": \"" + text + "\"}");
  zavconfig.event("cut");
  std::string size;
  EXPECT_TRUE(waitFor([&] {
    size = shell(d, "xclip -o -selection clipboard | wc -c");
    return !size.empty() && std::stol(size) > 16000000;
  })) << size
      << zavconfig.err();
  EXPECT_LT(std::stol(size), 17000000L);

  long ms = 0;
  EXPECT_EQ(zavconfig.stopWith(SIGTERM, &ms), 1) << zavconfig.err();
  EXPECT_LT(ms, endBoundMs);
  expectCleanExit(zavconfig);
}

} // namespace
