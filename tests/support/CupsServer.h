// A private print server for tests: cupsd run as root on a Unix socket in a
// directory of its own, with its configuration, state, spool and logs all
// there, and a stand-in "zav" backend that records each job (its arguments
// and data) under jobs/ (the same again as "other", for queues that are not
// the product's), and a filter of the server's own that converts PostScript
// to a stage type by passing it on. Also a minimal PPD whose filter line passes
// PostScript straight to the backend. cupsd is started directly (its own
// process id is kept), waited for until it accepts connections, and stopped
// when the object goes. Client commands run with CUPS_SERVER naming the
// socket; client.conf in the directory names it for clients that clear their
// environment.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

class CupsServer {
public:
  // Why this machine cannot run the server (root and the cups-daemon and
  // cups-client packages are needed), or empty.
  static std::string unsupportedReason() {
    if (geteuid() != 0)
      return "needs root to run cupsd";
    for (const char* path : {"/usr/sbin/cupsd", "/usr/lib/cups/daemon/cups-exec",
                             "/usr/sbin/lpadmin", "/usr/bin/lpstat"})
      if (access(path, X_OK) != 0)
        return std::string("needs ") + path + " (cups-daemon, cups-client)";
    return std::string();
  }

  CupsServer() {
    char tmpl[] = "/tmp/zavcups.XXXXXX";
    EXPECT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    chmod(dir_.c_str(), 0755);
    for (const char* d : {"/root", "/bin", "/bin/backend", "/bin/daemon", "/bin/filter", "/state",
                          "/cache", "/spool", "/log", "/jobs"})
      mkdir((dir_ + d).c_str(), 0755);
    sh("cp /usr/lib/cups/daemon/cups-exec " + dir_ + "/bin/daemon/");
    sh("cp /usr/share/cups/mime/*.types " + dir_ +
       "/root/ 2>/dev/null; cp "
       "/usr/share/cups/mime/*.convs " +
       dir_ + "/root/ 2>/dev/null; true");
    std::ofstream(dir_ + "/bin/backend/zav")
        << "#!/bin/sh\n"
           "# Without arguments a backend lists its devices.\n"
           "if [ $# -eq 0 ]; then echo 'direct zav \"Unknown\" \"zav stand-in\"'; exit 0; fi\n"
           "out="
        << dir_
        << "/jobs/job$1\n"
           "echo \"$DEVICE_URI|$2|$3|$4\" > $out.tmp\n"
           "if [ -n \"$6\" ]; then cat \"$6\" > $out.data; else cat > $out.data; fi\n"
           "mv $out.tmp $out.args\n";
    chmod((dir_ + "/bin/backend/zav").c_str(), 0700);
    // One conversion of the server's own, as a print server with filters
    // installed has: PostScript to a stage type, by a root filter that passes
    // the data on.
    std::ofstream(dir_ + "/bin/filter/zavstage") << "#!/bin/sh\n"
                                                    "if [ -n \"$6\" ]; then exec cat \"$6\"; fi\n"
                                                    "exec cat\n";
    chmod((dir_ + "/bin/filter/zavstage").c_str(), 0755);
    std::ofstream(dir_ + "/root/zavstage.types") << stageType() << "\n";
    std::ofstream(dir_ + "/root/zavstage.convs")
        << "application/postscript " << stageType() << " 0 zavstage\n";
    // A backend of another name, for queues that are not the product's.
    sh("cp -p " + dir_ + "/bin/backend/zav " + dir_ + "/bin/backend/other");
    std::ofstream(dir_ + "/cupsd.conf")
        << "Listen " << socket() << "\n"
        << "LogLevel debug\n"
           "WebInterface No\n"
           "Browsing No\n"
           "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
           "<Policy default>\n"
           "  <Limit CUPS-Add-Modify-Printer CUPS-Delete-Printer CUPS-Add-Modify-Class "
           "CUPS-Delete-Class CUPS-Set-Default CUPS-Get-Devices>\n"
           "    AuthType Default\n    Require user @SYSTEM\n    Order deny,allow\n"
           "  </Limit>\n"
           "  <Limit All>\n    Order deny,allow\n  </Limit>\n"
           "</Policy>\n";
    std::ofstream(dir_ + "/cups-files.conf")
        << "ServerRoot " << dir_ << "/root\nServerBin " << dir_ << "/bin\nStateDir " << dir_
        << "/state\nCacheDir " << dir_ << "/cache\nRequestRoot " << dir_ << "/spool\nTempDir "
        << dir_ << "/spool\nErrorLog " << dir_ << "/log/error_log\nAccessLog " << dir_
        << "/log/access_log\nPageLog " << dir_ << "/log/page_log\n"
        << "DataDir /usr/share/cups\nSystemGroup root\n";
    std::ofstream(dir_ + "/client.conf") << "ServerName " << socket() << "\n";
    std::ofstream(ppd()) << "*PPD-Adobe: \"4.3\"\n"
                            "*FormatVersion: \"4.3\"\n"
                            "*FileVersion: \"1.0\"\n"
                            "*LanguageVersion: English\n"
                            "*LanguageEncoding: ISOLatin1\n"
                            "*PCFileName: \"ZAVTEST.PPD\"\n"
                            "*Manufacturer: \"Zav\"\n"
                            "*Product: \"(Zav Test)\"\n"
                            "*ModelName: \"Zav Test\"\n"
                            "*ShortNickName: \"Zav Test\"\n"
                            "*NickName: \"Zav Test\"\n"
                            "*PSVersion: \"(3010.000) 0\"\n"
                            "*cupsFilter: \"application/postscript 0 -\"\n"
                            "*OpenUI *PageSize: PickOne\n"
                            "*DefaultPageSize: A4\n"
                            "*PageSize A4/A4: \"<</PageSize[595 842]>>setpagedevice\"\n"
                            "*CloseUI: *PageSize\n"
                            "*DefaultImageableArea: A4\n"
                            "*ImageableArea A4/A4: \"0 0 595 842\"\n"
                            "*DefaultPaperDimension: A4\n"
                            "*PaperDimension A4/A4: \"595 842\"\n";
    chmod(ppd().c_str(), 0644);
    start();
  }

  ~CupsServer() {
    stop();
    sh("rm -rf '" + dir_ + "'");
  }
  CupsServer(const CupsServer&) = delete;
  CupsServer& operator=(const CupsServer&) = delete;

  const std::string& dir() const { return dir_; }
  std::string socket() const { return dir_ + "/cups.sock"; }
  std::string ppd() const { return dir_ + "/test.ppd"; }
  std::string clientConf() const { return dir_ + "/client.conf"; }
  // The type that the server's own filter "zavstage" makes of PostScript.
  static const char* stageType() { return "application/vnd.zav-stage"; }

  // Runs a client command (lpstat, lpadmin, lp) against this server and
  // answers its standard output.
  std::string client(const std::string& cmd) const {
    std::string full = "export CUPS_SERVER='" + socket() + "'; " + cmd + " 2>&1";
    std::string out;
    if (FILE* p = popen(full.c_str(), "r")) {
      char buf[512];
      size_t n;
      while ((n = fread(buf, 1, sizeof(buf), p)) > 0)
        out.append(buf, n);
      pclose(p);
    }
    return out;
  }

  // The queues the server has, one name a line, sorted.
  std::string queues() const { return client("lpstat -e | sort"); }

  // Waits (at most about 20 seconds) for the backend to have recorded the
  // job with that id; answers "<device uri>|<user>|<title>|<copies>" or "".
  std::string waitForJob(int id, std::string* data = nullptr) const {
    std::string base = dir_ + "/jobs/job" + std::to_string(id);
    for (int i = 0; i < 400; i++) {
      std::ifstream args(base + ".args");
      std::string line;
      if (std::getline(args, line)) {
        if (data) {
          std::ifstream d(base + ".data");
          std::stringstream ss;
          ss << d.rdbuf();
          *data = ss.str();
        }
        return line;
      }
      usleep(50000);
    }
    return std::string();
  }

  // Stops the server, which writes out the configuration it holds, and
  // starts it again, which reads it back.
  void restart() {
    stop();
    start();
  }

  // The configuration of the queues as the server last wrote it.
  std::string printersConf() const { return client("cat " + dir_ + "/root/printers.conf"); }

  // The server's error log, for failure messages.
  std::string errorLog() const { return client("tail -n 40 " + dir_ + "/log/error_log"); }

  static int sh(const std::string& cmd) {
    int st = std::system(cmd.c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  }

private:
  void start() {
    pid_ = fork();
    if (pid_ == 0) {
      int null = open("/dev/null", O_RDWR);
      dup2(null, 0);
      dup2(null, 1);
      execl("/usr/sbin/cupsd", "cupsd", "-f", "-c", (dir_ + "/cupsd.conf").c_str(), "-s",
            (dir_ + "/cups-files.conf").c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    // Ready when the socket accepts a connection.
    for (int i = 0; i < 400; i++) {
      int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      struct sockaddr_un addr = {};
      addr.sun_family = AF_UNIX;
      snprintf(addr.sun_path, sizeof(addr.sun_path), "%s", socket().c_str());
      bool up = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
      close(fd);
      if (up)
        return;
      int status;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        ADD_FAILURE() << "cupsd ended at start-up:\n" << errorLog();
        return;
      }
      usleep(25000);
    }
    ADD_FAILURE() << "cupsd did not come up:\n" << errorLog();
  }

  void stop() {
    if (pid_ <= 0)
      return;
    kill(pid_, SIGTERM);
    int status;
    for (int i = 0; i < 200; i++) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return;
      }
      usleep(25000);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }

  std::string dir_;
  pid_t pid_ = -1;
};

} // namespace testing_support
