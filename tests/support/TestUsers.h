// Real users and groups for system tests, made with the shadow tools and
// removed again when the object goes. Names carry the process id so tests
// running side by side do not meet. Where the machine allows it, the test
// process first moves into a private mount namespace whose /etc is a copy of
// the host's on a memory file system: the users exist only for this process
// and its children, and a test that crashes leaves nothing in the host's user
// database. Elsewhere, users and groups that earlier runs left behind (their
// process gone) are removed first.
#pragma once

#include "PrivateMounts.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sched.h>
#include <signal.h>
#include <string>
#include <sys/mount.h>
#include <unistd.h>
#include <vector>

namespace testing_support {

class TestUsers {
public:
  // The comment field of every user made here, which marks leftovers.
  static constexpr const char* marker = "zav system test";

  TestUsers() { privateUserDatabase(); }
  TestUsers(const TestUsers&) = delete;
  TestUsers& operator=(const TestUsers&) = delete;
  ~TestUsers() {
    for (auto it = users_.rbegin(); it != users_.rend(); ++it)
      run("userdel -f " + *it + " 2>/dev/null");
    for (auto it = groups_.rbegin(); it != groups_.rend(); ++it)
      run("groupdel " + *it + " 2>/dev/null");
  }

  // A name unique to this process: prefix, then the process id.
  static std::string unique(const std::string& prefix) { return prefix + std::to_string(getpid()); }

  std::string addGroup(const std::string& prefix) {
    std::string name = unique(prefix);
    EXPECT_EQ(runRetrying("groupadd " + name), 0) << name;
    groups_.push_back(name);
    return name;
  }

  // A user with its own primary group (same name), the given secondary
  // groups ("a,b") and password (none when empty).
  std::string addUser(const std::string& prefix, const std::string& password,
                      const std::string& secondary = "") {
    std::string name = unique(prefix);
    std::string cmd = std::string("useradd -M -U -d /nonexistent -s /bin/sh -c '") + marker + "'";
    if (!secondary.empty())
      cmd += " -G " + secondary;
    // Each process's private copy of the database would hand out the same
    // next user id, and the shadow tools refuse to change a user whose id
    // another test's process runs as: ids unique to the process instead
    // (kept out of the login records, which are shared).
    if (isolated())
      cmd += " -l -u " + std::to_string(200000 + (getpid() % 100000) * 16 + users_.size());
    EXPECT_EQ(runRetrying(cmd + " " + name), 0) << name;
    users_.push_back(name);
    groups_.push_back(name);
    if (!password.empty()) {
      EXPECT_EQ(runRetrying("echo '" + name + ":" + password + "' | chpasswd"), 0);
    }
    return name;
  }

  // Sets the password field of the user database entry itself ("" or a hash).
  void setPasswdField(const std::string& user, const std::string& field) {
    EXPECT_EQ(runRetrying("usermod -p '" + field + "' " + user), 0);
  }

  static int run(const std::string& cmd) {
    int st = std::system(cmd.c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  }

  // True once this process has its own copy of the user database.
  static bool& isolated() {
    static bool value = false;
    return value;
  }

private:
  // Once per process: a private copy of /etc, or else the removal of what
  // crashed earlier runs left behind.
  static void privateUserDatabase() {
    static const bool done = [] {
      isolated() = copyEtcIntoPrivateNamespace();
      if (!isolated())
        removeLeftovers();
      return true;
    }();
    (void)done;
  }

  // Moves this process into a mount namespace of its own whose /etc is a
  // copy on a memory file system. The shadow tools replace files by renaming
  // inside /etc, so the whole directory is replaced, not single files.
  static bool copyEtcIntoPrivateNamespace() {
    if (!privateMountsUnsupported().empty())
      return false;
    if (unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
      return false;
    char dir[] = "/tmp/zavusers.XXXXXX";
    if (!mkdtemp(dir))
      return false;
    std::string copy = std::string(dir) + "/etc";
    bool ok = mount("zavusers", dir, "tmpfs", 0, "mode=0755") == 0 &&
              run("cp -a /etc " + copy) == 0 &&
              mount(copy.c_str(), "/etc", nullptr, MS_BIND, nullptr) == 0;
    // The bind mount keeps the memory file system alive without its first
    // mount point, which can then go.
    umount2(dir, MNT_DETACH);
    rmdir(dir);
    return ok;
  }

  // Names of the form <prefix><process id> whose process is gone.
  static bool leftover(const std::string& name) {
    static const std::regex form("zav[a-z]+([0-9]+)");
    std::smatch m;
    if (!std::regex_match(name, m, form))
      return false;
    long pid = std::strtol(m[1].str().c_str(), nullptr, 10);
    return pid > 0 && pid != getpid() && kill(pid_t(pid), 0) != 0 && errno == ESRCH;
  }

  // Users carry the marker in their comment; groups are known by their name.
  static void removeLeftovers() {
    if (geteuid() != 0)
      return;
    std::ifstream passwd("/etc/passwd");
    for (std::string line; std::getline(passwd, line);) {
      std::string name = line.substr(0, line.find(':'));
      if (line.find(std::string(":") + marker + ":") != std::string::npos && leftover(name))
        runRetrying("userdel -f " + name);
    }
    std::ifstream group("/etc/group");
    for (std::string line; std::getline(group, line);) {
      std::string name = line.substr(0, line.find(':'));
      if (leftover(name))
        runRetrying("groupdel " + name);
    }
  }

  // The shadow tools refuse while another instance holds the database lock.
  static int runRetrying(const std::string& cmd) {
    int rc = -1;
    for (int i = 0; i < 50; i++) {
      rc = run(cmd + " 2>/dev/null");
      if (rc != 10 && rc != 1) // 10: cannot lock the group file, 1: cannot lock passwd
        break;
      usleep(20000 * (i + 1));
    }
    return rc;
  }

  std::vector<std::string> users_;
  std::vector<std::string> groups_;
};

} // namespace testing_support
