// Real users and groups for system tests, made with the shadow tools and
// removed again when the object goes. Names carry the process id so tests
// running side by side do not meet.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace testing_support {

class TestUsers {
public:
  TestUsers() = default;
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
    std::string cmd = "useradd -M -U -d /nonexistent -s /bin/sh";
    if (!secondary.empty())
      cmd += " -G " + secondary;
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

private:
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
