// Single sign-on through the launcher: the stand-in core drives the root
// co-process, which loads the GSS-API library that root's own configuration
// names. One run goes against a real Kerberos realm; the others use the
// stand-in library whose answers the tokens script.
#include "KerberosRealm.h"
#include "LauncherRig.h"
#include "TestUsers.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fstream>
#include <link.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testing_support::KerberosRealm;
using testing_support::LauncherRig;
using testing_support::TestUsers;

std::string hexOf(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}
std::string u16(uint16_t v) {
  return std::string{char(v >> 8), char(v)};
}
std::string u32(uint32_t v) {
  return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
std::string str(const std::string& s) {
  return u32(uint32_t(s.size())) + s;
}
std::string frame(const std::string& kind) {
  return "\x0cSingleSignOn" + kind;
}

std::vector<std::string> linesWith(const std::string& text, const std::string& prefix) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line))
    if (line.compare(0, prefix.size(), prefix) == 0)
      out.push_back(line);
  return out;
}

bool hasLine(const std::string& text, const std::string& line) {
  std::istringstream in(text);
  std::string l;
  while (std::getline(in, l))
    if (l == line)
      return true;
  return false;
}

std::string hostName() {
  char host[257] = {};
  gethostname(host, sizeof(host) - 1);
  return host;
}

class SingleSignOnTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!LauncherRig::unsupportedReason().empty())
      GTEST_SKIP() << LauncherRig::unsupportedReason();
    user = users.addUser("zavsu", "");
    for (const char* d : {"/etcup/zav/gss", "/etcup/zav/config.d", "/etcup/zav/open"})
      mkdir((rig.dir + d).c_str(), 0755);
    chmod((rig.dir + "/etcup/zav/open").c_str(), 0777);
    install(ZAV_GSS_STANDIN, "/etc/zav/gss/libgss_standin.so", 0755);
    install(ZAV_GSS_STANDIN_NOSTATUS, "/etc/zav/gss/libgss_nostatus.so", 0755);
  }

  // Installs a file of the test tree at a path of the namespace's /etc.
  void install(const std::string& from, const std::string& etcPath, int mode,
               const std::string& owner = "root") {
    std::string to = rig.dir + "/etcup" + etcPath.substr(4);
    char m[8];
    snprintf(m, sizeof(m), "%o", mode);
    ASSERT_EQ(LauncherRig::sh("install -o " + owner + " -m " + m + " '" + from + "' '" + to + "'"),
              0);
  }
  // root's configuration for the co-process.
  void configure(const std::string& text, int mode = 0644) {
    std::string path = rig.dir + "/etcup/zav/config.d/common";
    std::ofstream(path) << text;
    chmod(path.c_str(), mode);
  }

  static std::string exchange(const std::vector<std::string>& tokens) {
    std::string args = "sso " + std::to_string(tokens.size());
    for (const std::string& t : tokens)
      args += " " + hexOf(t);
    return args;
  }
  static std::vector<std::string> split(const std::string& args) {
    std::vector<std::string> out;
    std::istringstream in(args);
    std::string a;
    while (in >> a)
      out.push_back(a);
    return out;
  }

  TestUsers users;
  LauncherRig rig;
  std::string user;
};

TEST_F(SingleSignOnTest, KerberosEndToEnd) {
  if (!KerberosRealm::unsupportedReason().empty())
    GTEST_SKIP() << KerberosRealm::unsupportedReason();
  // The system's GSS-API library, by the path it was found at.
  void* gss = dlopen("libgssapi_krb5.so.2", RTLD_LAZY);
  if (!gss)
    GTEST_SKIP() << "needs libgssapi_krb5.so.2";
  struct link_map* map = nullptr;
  ASSERT_EQ(dlinfo(gss, RTLD_DI_LINKMAP, &map), 0);
  std::string gssPath = map->l_name;
  dlclose(gss);

  std::string krb = rig.dir + "/krb";
  mkdir(krb.c_str(), 0700);
  KerberosRealm realm(krb, "ZAV.TEST");
  std::string service = "host/" + hostName();
  realm.addService(service, rig.dir + "/etcup/krb5.keytab");
  chmod((rig.dir + "/etcup/krb5.keytab").c_str(), 0600);
  std::ofstream(rig.dir + "/etcup/krb5.conf") << realm.krb5Conf();
  std::string viewer = TestUsers::unique("zavkv");
  realm.addPrincipal(viewer, "Viewer-pw-1");
  ASSERT_TRUE(realm.kinit(viewer, "Viewer-pw-1", krb + "/viewer.cc"));
  std::string token = realm.output("KRB5CCNAME=FILE:" + krb + "/viewer.cc python3 " +
                                   ZAV_GSS_CLIENT + " " + service + "@ZAV.TEST");
  ASSERT_FALSE(token.empty()) << LauncherRig::read(krb + "/commands.log");

  // Only root's configuration names the library; the core's own choice is
  // not taken.
  configure("SSOLib=" + gssPath + "\n");
  std::string name = viewer + "@ZAV.TEST";
  std::string group = TestUsers::unique("zavkg");
  LauncherRig::Options opt;
  // The acceptor's replay cache lives in /var/tmp; a group names the viewer.
  opt.extraShell = "mount -t tmpfs tmpfs /var/tmp\n"
                   "echo '" +
                   group + ":x:64321:" + name + "' >>/etc/group";
  // First a token of the wire's greatest length that the library refuses:
  // it is read to its end, and the real token after it is served.
  std::string junk(65535, '\x60');
  auto r =
      rig.run(user,
              {"AllowedUsers=" + viewer + ":v", "AllowedGroups=" + group + ":k",
               "SSOLib=/nonexistent/core.so", "sso", "1", hexOf(junk), "sso", "1", token, "finish"},
              opt);
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> sso = linesWith(r.out, "sso ");
  ASSERT_EQ(sso.size(), 2u) << r.out << r.err;
  EXPECT_EQ(sso[0].compare(0, 29, "sso error accept_sec_context:"), 0) << sso[0];
  EXPECT_EQ(sso[1], "sso 0 " + name + "|vk|View KeyEvents ") << r.err;
  EXPECT_TRUE(hasLine(r.out, "coprocess exit 0")) << r.out;
  std::vector<std::string> log = rig.syslogLines();
  EXPECT_TRUE(LauncherRig::hasLine(log, name + ": Session started: View KeyEvents access"));
  EXPECT_TRUE(LauncherRig::hasLine(log, name + ": Session ended"));

  // A token for another service, whose key the acceptor lacks, fails with
  // the library's own texts.
  realm.addService("host/elsewhere.invalid", krb + "/other.keytab");
  token = realm.output("KRB5CCNAME=FILE:" + krb +
                       "/viewer.cc python3 " ZAV_GSS_CLIENT " host/elsewhere.invalid@ZAV.TEST");
  ASSERT_FALSE(token.empty());
  r = rig.run(user, {"sso", "1", token, "finish"}, opt);
  sso = linesWith(r.out, "sso ");
  ASSERT_EQ(sso.size(), 1u) << r.out << r.err;
  EXPECT_EQ(sso[0].compare(0, 32, "sso error accept_sec_context: Un"), 0) << sso[0];
}

TEST_F(SingleSignOnTest, StandInExchangesThroughTheCoprocess) {
  configure("SSOLib=/etc/zav/gss/libgss_standin.so\n");
  struct Case {
    std::vector<std::string> tokens;
    std::vector<std::string> lines;
  } cases[] = {
      {{"name=erin@ZAV.TEST;out=ok"}, {"sso 0 erin@ZAV.TEST|v|View " + hexOf("ok#1")}},
      {{"major=1;out=one", "major=1;out=two", "name=erin@ZAV.TEST"},
       {"sso more " + hexOf("one#1"), "sso more " + hexOf("two#2"), "sso 0 erin@ZAV.TEST|v|View "}},
      {{"major=10000;minor=3"},
       {"sso error accept_sec_context: gss-10000: mech-3 (00010000:00000003)"}},
      {{"major=1000000;minor=bad"},
       {"sso error accept_sec_context: gss-1000000: <unknown> (01000000:00000bad)"}},
      {{"name=erin;dnmajor=20000"}, {"sso error display_name: gss-20000 (00020000:00000000)"}},
      {{"name=" + std::string(257, 'n')}, {"sso error client name too long"}},
  };
  std::vector<std::string> args = {"AllowedUsers=erin:v", "SSOLib=relative/not/used.so"};
  std::vector<std::string> expected;
  for (const Case& c : cases) {
    std::vector<std::string> more = split(exchange(c.tokens));
    args.insert(args.end(), more.begin(), more.end());
    expected.insert(expected.end(), c.lines.begin(), c.lines.end());
  }
  args.push_back("finish");
  auto r = rig.run(user, args);
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> got = linesWith(r.out, "sso ");
  for (std::string& l : got)
    while (!l.empty() && l.back() == '\r')
      l.pop_back();
  EXPECT_EQ(got, expected) << r.err;
  EXPECT_TRUE(hasLine(r.out, "coprocess exit 0")) << r.out;
}

TEST_F(SingleSignOnTest, ContextsTheCoreNeverReleasesAreBounded) {
  // Each context is held in root's process: a core that makes them without
  // end is refused past the limit, and the co-process goes on serving.
  configure("SSOLib=/etc/zav/gss/libgss_standin.so\n");
  std::vector<std::string> args = {"ssohold", "300"};
  std::vector<std::string> more = split(exchange({"name=erin@ZAV.TEST"}));
  args.insert(args.end(), more.begin(), more.end());
  args.push_back("finish");
  auto r = rig.run(user, args);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(hasLine(r.out, "ssohold 256 made, too many security contexts")) << r.out << r.err;
  EXPECT_TRUE(hasLine(r.out, "sso error too many security contexts")) << r.out;
  EXPECT_TRUE(hasLine(r.out, "coprocess exit 0")) << r.out;
}

TEST_F(SingleSignOnTest, LibraryPathChecksInTheCoprocess) {
  install(ZAV_GSS_STANDIN, "/etc/zav/gss/gw.so", 0775);
  install(ZAV_GSS_STANDIN, "/etc/zav/gss/theirs.so", 0755, user);
  install(ZAV_GSS_STANDIN, "/etc/zav/open/in-open-dir.so", 0755);
  ASSERT_EQ(
      symlink("/etc/zav/gss/libgss_standin.so", (rig.dir + "/etcup/zav/open/link.so").c_str()), 0);
  const std::string weak = ": permissions are not restrictive enough";
  struct Case {
    std::string config;
    int mode;
    std::string line;
  } cases[] = {
      {"SSOLib=/etc/zav/gss/libgss_standin.so", 0644, "sso 0 x|v|View "},
      {"SSOLib=/etc/zav/gss/gw.so", 0644, "sso error /etc/zav/gss/gw.so" + weak},
      {"SSOLib=/etc/zav/gss/theirs.so", 0644, "sso error /etc/zav/gss/theirs.so" + weak},
      {"SSOLib=/etc/zav/open/in-open-dir.so", 0644, "sso error /etc/zav/open" + weak},
      // A link anyone may replace: what it points to is checked and loaded.
      {"SSOLib=/etc/zav/open/link.so", 0644, "sso 0 x|v|View "},
      {"SSOLib=gss/libgss_standin.so", 0644,
       "sso error gss/libgss_standin.so: not an absolute path"},
      {"SSOLib=/etc/zav/gss/missing.so,/etc/zav/gss/libgss_nostatus.so,"
       "/etc/zav/gss/libgss_standin.so",
       0644, "sso 0 x|v|View "},
      {"SSOLib=/etc/zav/gss/gw.so,/etc/zav/gss/libgss_standin.so", 0644,
       "sso error /etc/zav/gss/gw.so" + weak},
      // A configuration file others may write is not root's own.
      {"SSOLib=/etc/zav/gss/libgss_standin.so", 0666, "sso error GSS-API DLL not found"},
      // Without root's configuration the core's choice is not taken.
      {"", 0644, "sso error GSS-API DLL not found"},
  };
  for (const Case& c : cases) {
    configure(c.config + "\n", c.mode);
    auto r = rig.run(user, {"AllowedUsers=x:v", "SSOLib=/etc/zav/gss/libgss_standin.so", "sso", "1",
                            hexOf("name=x"), "finish"});
    EXPECT_EQ(linesWith(r.out, "sso "), std::vector<std::string>{c.line}) << c.config << r.err;
    EXPECT_TRUE(hasLine(r.out, "coprocess exit 0")) << r.out;
    if (c.mode == 0666) {
      EXPECT_NE(
          r.err.find("Skipping config file /etc/zav/config.d/common: /etc/zav/config.d/common" +
                     weak),
          std::string::npos)
          << r.err;
    }
  }
}

TEST_F(SingleSignOnTest, FullSizeTokensBothWays) {
  // Tokens up to the wire's limit, to the co-process and back (tickets
  // that carry many groups are this large), then a plain exchange on the
  // same channel.
  configure("SSOLib=/etc/zav/gss/libgss_standin.so\n");
  std::string script = "name=erin@ZAV.TEST;outlen=65535;pad=";
  std::string full = script + std::string(65535 - script.size(), 'p');
  std::vector<std::string> args = {"AllowedUsers=erin:v"};
  for (const std::string& exchange :
       {this->exchange({full}), this->exchange({"name=erin;out=ok"})}) {
    std::vector<std::string> more = split(exchange);
    args.insert(args.end(), more.begin(), more.end());
  }
  args.push_back("finish");
  auto r = rig.run(user, args);
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> expected = {"sso 0 erin@ZAV.TEST|v|View " +
                                           hexOf(std::string(65535, 'x')),
                                       "sso 0 erin|v|View " + hexOf("ok#1")};
  std::vector<std::string> got = linesWith(r.out, "sso ");
  EXPECT_EQ(got, expected) << r.err;
  EXPECT_TRUE(hasLine(r.out, "coprocess exit 0")) << r.err;
}

TEST_F(SingleSignOnTest, RawRequestsKeepTheCoprocessServing) {
  configure("SSOLib=/etc/zav/gss/libgss_standin.so\n");
  std::string unknown = "\x05" + str("unknown request");
  std::string tooLong = "\x05" + str("String exceeds maximum length");
  std::string newContext = frame(std::string(1, '\0')) + str("ignored");
  struct Case {
    const char* what;
    std::string request, reply;
  } cases[] = {
      {"kind 9", frame("\x09"), unknown},
      {"kind 9, then a new context", frame("\x09") + newContext, unknown + "\x04" + u32(0)},
      // The path is consumed to its end; the next request is read from its
      // start.
      {"overlong path, then kind 9",
       frame(std::string(1, '\0')) + str(std::string(5000, '/')) + frame("\x09"),
       tooLong + unknown},
      {"release of a context never made", frame("\x01") + u32(77), "\x04"},
      {"accept step of an unknown context", frame("\x02") + u32(5) + u16(1) + "x",
       "\x05" + str("unknown context")},
      // Fields longer than the co-process's stream buffer: read to their
      // end all the same.
      {"path of 60000 bytes, then kind 9",
       frame(std::string(1, '\0')) + str(std::string(60000, '/')) + frame("\x09"),
       tooLong + unknown},
      {"token of 65535 bytes for an unknown context, then kind 9",
       frame("\x02") + u32(5) + u16(65535) + std::string(65535, 't') + frame("\x09"),
       "\x05" + str("unknown context") + unknown},
  };
  std::vector<std::vector<std::string>> runs;
  for (const Case& c : cases) {
    // In pieces: one argument holds at most 128 KiB.
    std::vector<std::string> args;
    for (size_t at = 0; at < c.request.size(); at += 30000)
      args.insert(args.end(), {"raw", hexOf(c.request.substr(at, 30000))});
    args.insert(args.end(), {"finish", "reply"});
    runs.push_back(args);
  }
  auto results = rig.runParallel(user, runs);
  for (size_t i = 0; i < results.size(); i++) {
    EXPECT_TRUE(hasLine(results[i].out, "reply " + hexOf(cases[i].reply)))
        << cases[i].what << "\n"
        << results[i].out << results[i].err;
    EXPECT_TRUE(hasLine(results[i].out, "coprocess exit 0")) << cases[i].what;
  }
}

TEST_F(SingleSignOnTest, CoreThatGoesMidRequestDoesNotKillTheCoprocess) {
  configure("SSOLib=/etc/zav/gss/libgss_standin.so\n");
  std::string request = frame(std::string(1, '\0')) + str("x");
  struct Case {
    const char* what;
    std::vector<std::string> args;
    int status;
  } cases[] = {
      // The reply cannot be delivered: no SIGPIPE, the co-process ends like
      // one whose core closed the request pipe.
      {"reply pipe closed, then a request", {"closereply", "raw", hexOf(request), "finish"}, 0},
      {"accept step, reply pipe closed",
       {"closereply", "raw",
        hexOf(frame(std::string(1, '\0')) + str("x")) +
            hexOf(frame("\x02") + u32(0) + u16(3) + "out"),
        "finish"},
       0},
      // Cut short in the middle of the fields: no reply is attempted.
      {"path cut short",
       {"raw", hexOf(frame(std::string(1, '\0')) + u32(10) + "/et"), "finish"},
       1},
  };
  std::vector<std::vector<std::string>> runs;
  for (const Case& c : cases)
    runs.push_back(c.args);
  auto results = rig.runParallel(user, runs);
  for (size_t i = 0; i < results.size(); i++)
    EXPECT_TRUE(hasLine(results[i].out, "coprocess exit " + std::to_string(cases[i].status)))
        << cases[i].what << "\n"
        << results[i].out << results[i].err;
}

} // namespace
