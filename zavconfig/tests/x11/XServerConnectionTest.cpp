// The loopback file-transfer stream against the stand-in server in front of a
// real Xvfb: the stand-in connects back with the cookie (in several ways, and
// wrongly) and plays the viewer, pushing files that are downloaded into a
// fetch folder and fetching a share that the program offers; and the stand-in
// as a hostile viewer: flooding file requests, pushing a listing beyond the
// bound, fetching a shared file that was swapped meanwhile, and resetting
// the stream in the middle of a download.
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "zavconfig/XServerConnectionFT.h"
#include "zavconfig/zavext.h"

#include "CaptureLogger.h"
#include "FileContents.h"
#include "OpenDescriptors.h"
#include "ShareFetcher.h"
#include "TempDir.h"
#include "ft/ActiveShareAutoDownloader.h"
#include "ft/ShareProxy.h"
#include "ft/unix/FileStream.h"
#include "ft/unix/ShareWriter.h"
#include "net/SelectSocketManager.h"
#include "net/io/FdSelectManager.h"
#include "plat/Exception.h"
#include "plat/StringParameter.h"
#include "plat/TimerManager.h"
#include "zavconfig/tests/x11/XzavTestServer.h"

#include <X11/Xlib.h>

#include <arpa/inet.h>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <regex>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using Fetcher = testing_support::ShareFetcher;
using testing_support::fileExists;
using testing_support::fileMode;
using testing_support::ScopedCapture;
using testing_support::TempDir;
using testing_support::XzavDouble;

namespace {

testing_support::XzavSharedDisplay& shared() {
  return testing_support::XzavTestServer::withExtension();
}

void writeBytes(const std::string& path, const std::string& data, int mode = 0644) {
  testing_support::writeFile(path, data);
  chmod(path.c_str(), static_cast<mode_t>(mode));
}

std::string pattern(size_t n, unsigned seed) {
  std::string s(n, '\0');
  unsigned x = seed * 2654435761u + 1;
  for (size_t i = 0; i < n; i++) {
    x = x * 1103515245u + 12345u;
    s[i] = static_cast<char>(x >> 23);
  }
  return s;
}

class XServerConnectionTest : public ::testing::Test {
protected:
  XServerConnectionTest() : server(*shared().server), dpy(shared().dpy) { server.reset(); }
  ~XServerConnectionTest() override {
    // The stream goes before the objects that serve it.
    sockets.reset();
    connection.reset();
  }

  // A new connection and socket manager in place of the old ones.
  void fresh() {
    sockets.reset();
    connection.reset(new zavconfig::XServerConnectionFT);
    sockets.reset(new net::SelectSocketManager);
  }
  void set(const std::string& settings) {
    server.control("{\"cmd\": \"stream\", \"kind\": \"ft\", \"set\": " + settings + "}");
  }
  std::string status() {
    return server.control("{\"cmd\": \"stream\", \"kind\": \"ft\", \"status\": true}");
  }
  void connect(int timeoutMs = 5000) { connection->connect(dpy, sockets.get(), timeoutMs); }
  // Serves the stream until pred holds or the time is up.
  bool runUntil(const std::function<bool()>& pred, int seconds = 60) {
    for (int i = 0; i < seconds * 100; i++) {
      if (pred())
        return true;
      timers.processTimers();
      sockets->getSelectManager()->doSelect(0, nullptr, nullptr, nullptr, 10);
    }
    return pred();
  }
  std::string q(const std::string& s) { return "\"" + s + "\""; }
  // A number of the stream's status ("file_errors", "sent_file_bytes").
  long statusNumber(const std::string& key) {
    std::smatch m;
    std::string st = status();
    return std::regex_search(st, m, std::regex("\"" + key + "\": ([0-9]+)")) ? std::stol(m[1]) : -1;
  }
  // Offers the path to the viewer as the program's share.
  void offer(const std::string& path) {
    ft::ShareWriter writer(connection->getManager()->getUploadManager(), 1);
    writer.addPath(path.c_str());
  }

  XzavDouble& server;
  Display* dpy;
  TempDir dir;
  plat::TimerManager timers;
  std::unique_ptr<zavconfig::XServerConnectionFT> connection{new zavconfig::XServerConnectionFT};
  std::unique_ptr<net::SelectSocketManager> sockets{new net::SelectSocketManager};
};

TEST_F(XServerConnectionTest, TheStreamComesUpWithTheCookieHoweverItArrives) {
  const char* modes[] = {"big", "split", "with_message", "wrong_first"};
  for (const char* mode : modes) {
    SCOPED_TRACE(mode);
    server.reset();
    fresh();
    TempDir fetch;
    std::string data = pattern(5000, 1);
    writeBytes(dir.file("note.txt"), data);
    set("{\"cookie\": " + q(mode) + ", \"push\": " + q(dir.file("note.txt")) + "}");
    ScopedCapture log("ServerConnection", 100);
    Fetcher fetcher(connection->getExtension(), fetch.path());
    connect();
    EXPECT_EQ(connection->getCookie(), 0u);
    EXPECT_EQ(log.logger.contains("X Server authentication failed"),
              std::string(mode) == "wrong_first");
    ASSERT_TRUE(runUntil([&] { return fetcher.completed == 1; }, 20));
    EXPECT_EQ(testing_support::readFile(fetch.file("note.txt")), data);
  }
}

// A local process that connects to the port first, before the server
// connects back, and sends fewer than the four cookie bytes.
class ConnectedFirst : public zavconfig::XServerConnectionFT {
public:
  explicit ConnectedFirst(const std::string& sends_) : sends(sends_) {}
  ~ConnectedFirst() override {
    if (intruder >= 0)
      close(intruder);
  }
  bool request(Display* dpy, int port, std::uint32_t cookie) override {
    intruder = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(intruder, reinterpret_cast<sockaddr*>(&to), sizeof(to)), 0);
    EXPECT_EQ(send(intruder, sends.data(), sends.size(), 0), static_cast<ssize_t>(sends.size()));
    return XServerConnectionFT::request(dpy, port, cookie);
  }
  // Whether the program has closed the intruder's connection (waits a
  // little for it).
  bool intruderClosed() {
    pollfd p = {intruder, POLLIN, 0};
    char byte;
    return poll(&p, 1, 5000) == 1 && recv(intruder, &byte, 1, 0) <= 0;
  }

  std::string sends;
  int intruder = -1;
};

TEST_F(XServerConnectionTest, AConnectionThatSendsTooLittleDoesNotHoldUpTheServers) {
  for (const std::string& sends : {std::string(), std::string("\x01\x02\x03", 3)}) {
    SCOPED_TRACE(sends.size());
    server.reset();
    sockets.reset();
    ConnectedFirst* first = new ConnectedFirst(sends);
    connection.reset(first);
    sockets.reset(new net::SelectSocketManager);
    TempDir fetch;
    writeBytes(dir.file("note.txt"), "came through");
    set("{\"push\": " + q(dir.file("note.txt")) + "}");
    Fetcher fetcher(connection->getExtension(), fetch.path());
    // Held up, the wait would last until its deadline; the bound tells that
    // from "at once" with room for a busy machine.
    auto begin = std::chrono::steady_clock::now();
    connect(30000);
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - begin);
    EXPECT_LT(took.count(), 5000);
    EXPECT_EQ(connection->getCookie(), 0u);
    EXPECT_TRUE(first->intruderClosed());
    ASSERT_TRUE(runUntil([&] { return fetcher.completed == 1; }, 20));
    EXPECT_EQ(testing_support::readFile(fetch.file("note.txt")), "came through");
  }
}

// A local process that opens many connections to the port while the
// program waits for the server's: a child process connects them one after
// the other, sending nothing, and counts how many the program closes while
// they wait.
class Crowded : public zavconfig::XServerConnectionFT {
public:
  static constexpr int crowd = 100;
  ~Crowded() override {
    if (report >= 0)
      close(report);
    if (child > 0)
      waitpid(child, nullptr, 0);
  }
  bool request(Display* dpy, int port, std::uint32_t cookie) override {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    child = fork();
    if (child == 0) {
      // Only the pipe stays: a listener left open here would take connects
      // that the program can no longer accept.
      for (int fd = 3; fd < 4096; fd++)
        if (fd != fds[1])
          close(fd);
      std::vector<int> socks;
      sockaddr_in to = {};
      to.sin_family = AF_INET;
      to.sin_port = htons(static_cast<std::uint16_t>(port));
      to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      // Paced, so that the listener's short queue is never full (a full
      // queue drops a connect for a second).
      for (int i = 0; i < crowd; i++) {
        int s = socket(AF_INET, SOCK_STREAM, 0);
        if (::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof(to)) == 0)
          socks.push_back(s);
        else
          close(s);
        usleep(10000);
      }
      // The connections the program closes while they wait read as ended.
      int closed = 0;
      for (int round = 0; round < 300 && closed < crowd - int(maxPending); round++) {
        usleep(10000);
        closed = 0;
        for (int s : socks) {
          char byte;
          closed += recv(s, &byte, 1, MSG_DONTWAIT | MSG_PEEK) == 0;
        }
      }
      ssize_t ignored = write(fds[1], &closed, sizeof(closed));
      (void)ignored;
      _exit(0);
    }
    close(fds[1]);
    report = fds[0];
    return XServerConnectionFT::request(dpy, port, cookie);
  }
  // How many of its connections the child saw closed.
  int closedByProgram() {
    int closed = -1;
    return read(report, &closed, sizeof(closed)) == sizeof(closed) ? closed : -1;
  }

  pid_t child = -1;
  int report = -1;
};

// Any local process may connect to the port while the program waits for the
// server: beyond a few dozen waiting at once, the oldest are closed, so that
// they cannot use up the program's descriptors.
TEST_F(XServerConnectionTest, ConnectionsWaitingForTheCookieAreBounded) {
  sockets.reset();
  Crowded* crowded = new Crowded;
  connection.reset(crowded);
  sockets.reset(new net::SelectSocketManager);
  set("{\"cookie\": \"none\"}");
  ScopedCapture log("ServerConnection", 0);
  EXPECT_THROW(connect(8000), plat::Exception);
  EXPECT_EQ(crowded->closedByProgram(),
            Crowded::crowd - int(zavconfig::XServerConnection::maxPending));
  EXPECT_TRUE(log.logger.contains("Too many connections wait to authenticate"));
}

TEST_F(XServerConnectionTest, AWrongCookieOrNoConnectBackFailsCleanly) {
  for (const char* mode : {"little", "none"}) {
    SCOPED_TRACE(mode);
    server.reset();
    set("{\"cookie\": " + q(mode) + "}");
    ScopedCapture log("ServerConnection", 100);
    EXPECT_THROW(connect(700), plat::Exception);
    EXPECT_EQ(log.logger.contains("X Server authentication failed"), std::string(mode) == "little");
  }
  server.control(R"({"cmd": "fault", "op": "requestFileTransferStream", "kind": "fail"})");
  try {
    connect(700);
    ADD_FAILURE() << "connected";
  } catch (plat::Exception& e) {
    EXPECT_STREQ(e.str(), "Can't establish file transfer connection to X Server");
  }
}

TEST_F(XServerConnectionTest, AFolderOfAThousandFilesDownloadsIntactWithMaskedModes) {
  TempDir fetch;
  mkdir(dir.file("push").c_str(), 0755);
  mkdir(dir.file("push/many").c_str(), 0777);
  for (int i = 0; i < 1000; i++)
    writeBytes(dir.file("push/many/f" + std::to_string(i)), pattern(100 + i * 37, i),
               i == 0 ? 06777 : 0666);
  // A folder that nobody may write to still receives its files.
  mkdir(dir.file("push/locked").c_str(), 0755);
  writeBytes(dir.file("push/locked/inside.txt"), "in");
  chmod(dir.file("push/locked").c_str(), 0555);
  // A file of the same name already in the fetch folder stays as it was.
  writeBytes(dir.file("push/keep.txt"), "theirs");
  mkdir(fetch.file("push").c_str(), 0700);
  writeBytes(fetch.file("push/keep.txt"), "mine");
  set("{\"push\": " + q(dir.file("push")) + "}");
  Fetcher fetcher(connection->getExtension(), fetch.path());
  mode_t old = umask(022);
  connect();
  bool done = runUntil([&] { return fetcher.done(); }, 300);
  if (done)
    fetcher.setFolderModes();
  umask(old);
  ASSERT_TRUE(done);
  EXPECT_EQ(fetcher.completed, 1001);
  EXPECT_EQ(testing_support::readFile(fetch.file("push/locked/inside.txt")), "in");
  EXPECT_EQ(fileMode(fetch.file("push/locked")), 0555);
  EXPECT_EQ(fileMode(fetch.file("push/many")), 0755);
  ASSERT_EQ(fetcher.failures.size(), 1u);
  EXPECT_NE(fetcher.failures[0].find("push/keep.txt: open"), std::string::npos)
      << fetcher.failures[0];
  EXPECT_EQ(testing_support::readFile(fetch.file("push/keep.txt")), "mine");
  for (int i = 0; i < 1000; i++) {
    std::string name = "push/many/f" + std::to_string(i);
    ASSERT_EQ(testing_support::readFile(fetch.file(name)), pattern(100 + i * 37, i)) << name;
    ASSERT_EQ(fileMode(fetch.file(name)), i == 0 ? 0755 : 0644) << name;
  }
}

TEST_F(XServerConnectionTest, A200MegabyteFileDownloadsIntact) {
  TempDir fetch;
  std::string big = pattern(200u << 20, 7);
  writeBytes(dir.file("big.bin"), big, 04755);
  set("{\"push\": " + q(dir.file("big.bin")) + "}");
  Fetcher fetcher(connection->getExtension(), fetch.path());
  mode_t old = umask(022);
  connect();
  bool done = runUntil([&] { return fetcher.done(); }, 300);
  umask(old);
  ASSERT_TRUE(done);
  EXPECT_TRUE(fetcher.failures.empty());
  EXPECT_TRUE(testing_support::readFile(fetch.file("big.bin")) == big);
  EXPECT_EQ(fileMode(fetch.file("big.bin")), 0755);
}

// A file whose data ends before the size its listing announced is not
// complete: the download fails with the reason and leaves no file.
TEST_F(XServerConnectionTest, AFileShorterThanAnnouncedIsAFailedDownload) {
  TempDir fetch;
  writeBytes(dir.file("short.bin"), pattern(5000, 4));
  set("{\"push\": " + q(dir.file("short.bin")) + ", \"announce_extra\": 100}");
  Fetcher fetcher(connection->getExtension(), fetch.path());
  connect();
  ASSERT_TRUE(runUntil([&] { return !fetcher.failures.empty() || fetcher.completed > 0; }, 30));
  EXPECT_EQ(fetcher.completed, 0);
  EXPECT_EQ(fetcher.failures,
            std::vector<std::string>({"The file ended after 5000 of its 5100 bytes"}));
  EXPECT_FALSE(fileExists(fetch.file("short.bin")));
}

TEST_F(XServerConnectionTest, AViewerThatVanishesMidFileLeavesNoPartialFile) {
  TempDir fetch;
  writeBytes(dir.file("big.bin"), pattern(3u << 20, 3));
  set("{\"push\": " + q(dir.file("big.bin")) + ", \"vanish_after\": 1000000}");
  Fetcher fetcher(connection->getExtension(), fetch.path());
  connect();
  ASSERT_TRUE(runUntil([&] { return !fetcher.failures.empty(); }, 30));
  // Ended with the connection (or with the failure to answer on it), never
  // as a failed write of the file.
  EXPECT_NE(fetcher.failures[0].rfind("write ", 0), 0u) << fetcher.failures[0];
  EXPECT_FALSE(fileExists(fetch.file("big.bin")));
}

TEST_F(XServerConnectionTest, PauseAndResumeLoseNothing) {
  TempDir fetch;
  std::string data = pattern(5u << 20, 5);
  writeBytes(dir.file("data.bin"), data);
  set("{\"push\": " + q(dir.file("data.bin")) + ", \"chunk\": 4000}");
  Fetcher fetcher(connection->getExtension(), fetch.path());
  fetcher.pauseFirst = true;
  connect();
  ASSERT_TRUE(runUntil([&] { return fetcher.paused != nullptr; }, 30));
  // While paused the source may send only what it was already granted.
  runUntil([] { return false; }, 1);
  ft::FileStream* s = fetcher.paused;
  EXPECT_LE(s->getTotal(), s->limit);
  EXPECT_GT(s->getBuffered(), 0);
  fetcher.resume();
  ASSERT_TRUE(runUntil([&] { return fetcher.completed == 1; }, 60));
  EXPECT_TRUE(fetcher.failures.empty());
  EXPECT_TRUE(testing_support::readFile(fetch.file("data.bin")) == data);
}

TEST_F(XServerConnectionTest, AnUploadReachesTheViewerIntact) {
  TempDir fetched;
  mkdir(dir.file("out").c_str(), 0755);
  std::string a = pattern(3u << 20, 11), b = pattern(777, 12);
  writeBytes(dir.file("out/a.bin"), a);
  writeBytes(dir.file("out/b.txt"), b);
  set("{\"fetch_dir\": " + q(fetched.path()) + "}");
  connect();
  {
    ft::ShareWriter writer(connection->getManager()->getUploadManager(), 1);
    writer.addPath(dir.file("out").c_str());
  }
  ASSERT_TRUE(runUntil(
      [&] {
        std::string st = status();
        return st.find("b.txt\"") != std::string::npos && st.find("a.bin\"") != std::string::npos;
      },
      60))
      << status();
  EXPECT_TRUE(testing_support::readFile(fetched.file("out/a.bin")) == a);
  EXPECT_EQ(testing_support::readFile(fetched.file("out/b.txt")), b);
}

// A viewer asking for the same file a thousand times at once, granting no
// bytes: 64 are opened and held, the rest refused, each refusal reaching the
// viewer; the program's descriptors stay bounded.
TEST_F(XServerConnectionTest, AFloodOfFileRequestsHoldsAtMostSixtyFourFilesOpen) {
  const int flood = 1000;
  TempDir fetched;
  writeBytes(dir.file("a.txt"), "alpha");
  set("{\"fetch_dir\": " + q(fetched.path()) + ", \"flood\": " + std::to_string(flood) + "}");
  ScopedCapture log("UploadManager", 100);
  size_t before = testing_support::openDescriptors().size();
  connect();
  offer(dir.file("a.txt"));
  auto handled = [&] {
    int n = 0;
    for (const testing_support::CaptureLogger::Line& l : log.logger.lines)
      n += l.text.rfind("Request received for file", 0) == 0 ||
           l.text.rfind("Too many files requested at once", 0) == 0;
    return n;
  };
  ASSERT_TRUE(runUntil([&] { return handled() == flood; })) << handled();
  size_t held = testing_support::openDescriptors().size() - before;
  // The 64 files, the stream and its listener.
  EXPECT_GE(held, 64u);
  EXPECT_LE(held, 64u + 4);
  ASSERT_TRUE(runUntil([&] { return statusNumber("file_errors") == flood - 64; }))
      << statusNumber("file_errors");
  EXPECT_NE(status().find("Too many files requested at once (at most 64): a.txt"),
            std::string::npos);
}

// A pushed listing one entry beyond a million is refused with the reason,
// released at the viewer, and the stream goes on: the next share arrives.
TEST_F(XServerConnectionTest, APushedListingBeyondTheBoundIsRefusedAndTheStreamKept) {
  TempDir fetch;
  set("{\"listed\": 1000001}");
  Fetcher fetcher(connection->getExtension(), fetch.path());
  connect();
  ASSERT_TRUE(runUntil([&] { return !fetcher.refusals.empty(); }, 300));
  EXPECT_EQ(fetcher.refusals, std::vector<std::string>({"The files offered could not be "
                                                        "received: their list is longer than "
                                                        "1000000 entries or 256 MB of names."}));
  EXPECT_EQ(fetcher.share, nullptr);
  ASSERT_TRUE(runUntil([&] { return status().find("\"released\": [1]") != std::string::npos; }))
      << status();
  writeBytes(dir.file("next.txt"), "after the refusal");
  server.control("{\"cmd\": \"stream\", \"kind\": \"ft\", \"push\": " + q(dir.file("next.txt")) +
                 "}");
  ASSERT_TRUE(runUntil([&] { return fetcher.completed == 1; }, 60));
  EXPECT_EQ(testing_support::readFile(fetch.file("next.txt")), "after the refusal");
}

// A shared file replaced after sharing and before the viewer fetches it is
// refused with a file error; nothing of the replacement is sent, and a pipe
// does not hold up the program.
TEST_F(XServerConnectionTest, ASharedFileSwappedBeforeTheFetchIsRefused) {
  struct Case {
    const char* name;
    std::function<void(const std::string& path, const std::string& secret)> swap;
    const char* error;
  } cases[] = {
      {"a link to a private file",
       [](const std::string& path, const std::string& secret) {
         unlink(path.c_str());
         ASSERT_EQ(symlink(secret.c_str(), path.c_str()), 0);
       },
       "open: "},
      {"a pipe",
       [](const std::string& path, const std::string&) {
         unlink(path.c_str());
         ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
       },
       "shared.txt is no longer the file that was shared"},
      {"another file",
       [](const std::string& path, const std::string& secret) {
         std::string other = path + ".new";
         writeBytes(other, testing_support::readFile(secret));
         ASSERT_EQ(rename(other.c_str(), path.c_str()), 0);
       },
       "shared.txt is no longer the file that was shared"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server.reset();
    fresh();
    TempDir shared, fetched;
    writeBytes(shared.file("secret"), "private contents", 0600);
    mkdir(shared.file("out").c_str(), 0755);
    writeBytes(shared.file("out/shared.txt"), "shared contents");
    set("{\"fetch_dir\": " + q(fetched.path()) + "}");
    connect();
    offer(shared.file("out"));
    // The viewer asks for the file only once the program serves the stream.
    c.swap(shared.file("out/shared.txt"), shared.file("secret"));
    ASSERT_TRUE(runUntil([&] { return statusNumber("file_errors") == 1; }, 30)) << status();
    EXPECT_NE(status().find(c.error), std::string::npos) << status();
    EXPECT_EQ(statusNumber("sent_file_bytes"), 0);
    EXPECT_NE(testing_support::readFile(fetched.file("out/shared.txt")), "private contents");
  }
}

// The viewer's side resets the stream in the middle of a download, and the
// program ends its downloader before it has read of it: the farewells to the
// peer fail, are logged, and the program goes on.
TEST_F(XServerConnectionTest, AStreamResetDuringADownloadIsLoggedAndTheProgramGoesOn) {
  TempDir fetch;
  writeBytes(dir.file("big.bin"), pattern(20u << 20, 9));
  set("{\"push\": " + q(dir.file("big.bin")) + ", \"chunk\": 4000}");
  ft::ActiveShareAutoDownloader::fetchDir.setParam(fetch.path().c_str(), 60);
  std::unique_ptr<ft::ActiveShareAutoDownloader> downloader(
      new ft::ActiveShareAutoDownloader(connection->getExtension(), nullptr));
  connect();
  bool started = runUntil([&] {
    struct stat st;
    return stat(fetch.file("big.bin").c_str(), &st) == 0 && st.st_size > 0;
  });
  ft::ActiveShareAutoDownloader::fetchDir.unsetParam(60);
  ASSERT_TRUE(started);
  EXPECT_EQ(downloader->downloadCount(), 1u);
  server.control(R"({"cmd": "stream", "kind": "ft", "close": "reset"})");
  {
    ScopedCapture log("ShareDownloader", 0);
    EXPECT_NO_THROW(downloader.reset());
    EXPECT_TRUE(log.logger.contains("Aborting a file failed: ")) << log.logger.lines.size();
  }
  // The rest of the stream's objects go as well, and a new stream serves.
  server.reset();
  fresh();
  writeBytes(dir.file("next.txt"), "served");
  set("{\"push\": " + q(dir.file("next.txt")) + "}");
  Fetcher fetcher(connection->getExtension(), fetch.path());
  connect();
  ASSERT_TRUE(runUntil([&] { return fetcher.completed == 1; }, 30));
  EXPECT_EQ(testing_support::readFile(fetch.file("next.txt")), "served");
}

} // namespace
