// A throw-away Kerberos realm for tests: a KDC database, stash and log in a
// directory of the test, and a KDC of MIT Kerberos listening on a free
// loopback port. The KDC is started directly (its own process id is kept) and
// stopped when the object goes. Client commands run with the realm's
// krb5.conf through KRB5_CONFIG; nothing outside the directory is written.
#pragma once

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

class KerberosRealm {
public:
  // Why the machine cannot host a realm (the MIT KDC programs are missing),
  // or empty.
  static std::string unsupportedReason() {
    for (const char* tool : {"krb5kdc", "kdb5_util", "kadmin.local", "kinit"})
      if (std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) != 0 &&
          access(("/usr/sbin/" + std::string(tool)).c_str(), X_OK) != 0)
        return std::string("needs ") + tool + " (krb5-kdc, krb5-admin-server, krb5-user)";
    return std::string();
  }

  // dir must exist and belong to the test.
  KerberosRealm(const std::string& dir, const std::string& realm) : dir_(dir), realm_(realm) {
    port_ = freePort();
    std::ofstream(dir_ + "/kdc.conf")
        << "[kdcdefaults]\n kdc_listen = 127.0.0.1:" << port_
        << "\n kdc_tcp_listen = 127.0.0.1:" << port_ << "\n[realms]\n " << realm_
        << " = {\n  database_name = " << dir_ << "/principal\n  key_stash_file = " << dir_
        << "/stash\n  acl_file = " << dir_ << "/kadm5.acl\n }\n[logging]\n kdc = FILE:" << dir_
        << "/kdc.log\n";
    std::ofstream(dir_ + "/krb5.conf") << krb5Conf();
    EXPECT_EQ(run("kdb5_util create -s -r " + realm_ + " -P zav-master-key >/dev/null"), 0);
    start();
  }

  ~KerberosRealm() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status;
      waitpid(pid_, &status, 0);
    }
  }
  KerberosRealm(const KerberosRealm&) = delete;
  KerberosRealm& operator=(const KerberosRealm&) = delete;

  // A krb5.conf naming this realm's KDC, for clients and acceptors.
  std::string krb5Conf() const {
    std::ostringstream s;
    s << "[libdefaults]\n default_realm = " << realm_
      << "\n dns_lookup_kdc = false\n dns_lookup_realm = false\n rdns = false\n"
      << " dns_canonicalize_hostname = false\n[realms]\n " << realm_
      << " = {\n  kdc = 127.0.0.1:" << port_ << "\n }\n";
    return s.str();
  }

  void addPrincipal(const std::string& name, const std::string& password) {
    EXPECT_EQ(kadmin("addprinc -pw " + password + " " + name), 0) << name;
  }
  // A principal with a random key, its keys written to the keytab.
  void addService(const std::string& name, const std::string& keytab) {
    EXPECT_EQ(kadmin("addprinc -randkey " + name), 0) << name;
    EXPECT_EQ(kadmin("ktadd -k " + keytab + " " + name), 0) << name;
  }
  // Gets a ticket-granting ticket into the credentials cache.
  bool kinit(const std::string& principal, const std::string& password,
             const std::string& cache) const {
    return run("echo '" + password + "' | KRB5CCNAME=FILE:" + cache + " kinit " + principal +
               " >/dev/null") == 0;
  }
  // Runs a shell command with the realm's configuration in its environment.
  int run(const std::string& cmd) const {
    // The KDC programs live in /usr/sbin, which a test's path may lack.
    std::string full = "export PATH=\"$PATH:/usr/sbin\" KRB5_CONFIG=" + dir_ +
                       "/krb5.conf KRB5_KDC_PROFILE=" + dir_ + "/kdc.conf; (" + cmd + ") 2>>" +
                       dir_ + "/commands.log";
    int st = std::system(full.c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  }
  // The first line of output of a command run like run(), or empty on
  // failure.
  std::string output(const std::string& cmd) const {
    std::string file = dir_ + "/output";
    if (run(cmd + " >" + file) != 0)
      return std::string();
    std::ifstream f(file);
    std::string text;
    std::getline(f, text);
    return text;
  }

  const std::string& realm() const { return realm_; }
  int port() const { return port_; }

private:
  int kadmin(const std::string& query) const {
    return run("kadmin.local -r " + realm_ + " -q \"" + query + "\" >/dev/null");
  }

  static int freePort() {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(a);
    int port = -1;
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
      port = ntohs(a.sin_port);
    close(s);
    return port;
  }

  void start() {
    std::string conf = dir_ + "/krb5.conf", profile = dir_ + "/kdc.conf";
    pid_ = fork();
    if (pid_ == 0) {
      setenv("KRB5_CONFIG", conf.c_str(), 1);
      setenv("KRB5_KDC_PROFILE", profile.c_str(), 1);
      int null = open("/dev/null", O_RDWR);
      dup2(null, 0);
      dup2(null, 1);
      dup2(null, 2);
      execlp("krb5kdc", "krb5kdc", "-n", "-r", realm_.c_str(), static_cast<char*>(nullptr));
      execl("/usr/sbin/krb5kdc", "krb5kdc", "-n", "-r", realm_.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    // Ready once it accepts connections on its TCP port.
    for (int i = 0; i < 500; i++) {
      int s = socket(AF_INET, SOCK_STREAM, 0);
      struct sockaddr_in a = {};
      a.sin_family = AF_INET;
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      a.sin_port = htons(static_cast<uint16_t>(port_));
      bool up = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0;
      close(s);
      if (up)
        return;
      int status;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        ADD_FAILURE() << "krb5kdc ended at start; see " << dir_ << "/kdc.log";
        return;
      }
      usleep(20000);
    }
    ADD_FAILURE() << "krb5kdc did not come up on port " << port_;
  }

  std::string dir_, realm_;
  int port_ = -1;
  pid_t pid_ = -1;
};

} // namespace testing_support
