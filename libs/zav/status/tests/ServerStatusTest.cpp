#include "zav/status/ServerStatus.h"

#include "rdr/Exception.h"
#include "rdr/MemInStream.h"
#include "rdr/MemOutStream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using zav::ServerStatus;
using HL = zav::ServerStatus::HLCallback;

// Records every call, with the capabilities and port owner the test gives.
class RecordingCallback : public HL {
public:
  explicit RecordingCallback(unsigned caps) : caps(caps) {}
  unsigned getCapabilities() override { return caps; }
  void showPopup(const char* title, const char* markup) override {
    calls.push_back(std::string("popup ") + title);
    lastText = markup;
  }
  void copyText(const char* text) override { calls.push_back(std::string("copy ") + text); }
  void openUrl(const char* url) override { calls.push_back(std::string("url ") + url); }
  plat::String portOwner(int port) override {
    calls.push_back("owner " + std::to_string(port));
    return owner;
  }
  void showOptions(int link) override { calls.push_back("options " + std::to_string(link)); }
  void showUsers(int link) override { calls.push_back("users " + std::to_string(link)); }
  void runTest(int link) override { calls.push_back("test " + std::to_string(link)); }

  unsigned caps;
  plat::String owner;
  std::vector<std::string> calls;
  std::string lastText;
};

const unsigned allCaps = HL::_showPopup | HL::_copy | HL::_options | HL::_users | HL::_test;

// A server that works: user mode, viewers on 5900, web on 5800, one address,
// a password and a key.
void working(ServerStatus& s) {
  s.setMode(2);
  s.setRfbPort(5900);
  s.setWebPort(5800);
  s.setAddresses({"10.0.0.1"});
  s.setSecurity(true, "zavauth");
  s.setKeySignature("3a-5c-11-0e-92-7f-d4-08");
}

bool startsWith(const std::string& text, const std::string& head) {
  return text.compare(0, head.size(), head) == 0;
}
bool endsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string summary(const ServerStatus& s) {
  return s.summaryMarkup().c_str();
}
std::string details(const ServerStatus& s) {
  return s.detailsMarkup().c_str();
}

TEST(ServerStatusModel, ModeNamesAndTitle) {
  EXPECT_STREQ(ServerStatus::modeName(1), "Service-Mode");
  EXPECT_STREQ(ServerStatus::modeName(2), "User-Mode");
  EXPECT_STREQ(ServerStatus::modeName(3), "Virtual-Mode");
  EXPECT_EQ(ServerStatus::modeName(0), nullptr);
  EXPECT_EQ(ServerStatus::modeName(4), nullptr);
  ServerStatus s;
  s.setMode(3);
  EXPECT_STREQ(s.updateTitle(), "Zav Server (Virtual-Mode)");
  s.setMode(7);
  EXPECT_STREQ(s.updateTitle(), "Zav Server");
}

TEST(ServerStatusModel, Tooltip) {
  ServerStatus s;
  s.setMode(2);
  EXPECT_STREQ(s.tooltipText(false), "Zav Server (User-Mode)");
  s.setAddresses({"10.0.0.1", "[fe80::1]"});
  EXPECT_STREQ(s.tooltipText(false), "Zav Server (User-Mode): 10.0.0.1, [fe80::1]");
  EXPECT_STREQ(s.tooltipText(true), "Zav Server (User-Mode):\n  10.0.0.1\n  [fe80::1]");
}

TEST(ServerStatusModel, Security) {
  struct Case {
    bool hasPassword;
    const char* list;
    bool notSet, noAuth;
  } cases[] = {
      {false, "ZAVAUTH,pam", true, false},
      {true, "zavauth", false, false},
      {false, "pam,zavauth", false, false},
      {false, "None", false, true},
      {true, "none,zavauth", false, true},
      {false, nullptr, false, false},
      {false, "", false, false},
      {false, "zavauthx", false, false},
  };
  for (const Case& c : cases) {
    ServerStatus s;
    s.setSecurity(true, "none");
    s.setSecurity(c.hasPassword, c.list);
    EXPECT_EQ(s.getPasswordNotSet(), c.notSet) << (c.list ? c.list : "(null)");
    EXPECT_EQ(s.getNoAuthentication(), c.noAuth) << (c.list ? c.list : "(null)");
  }
}

TEST(ServerStatusModel, KeySignature) {
  ServerStatus s;
  s.setKeySignature("");
  EXPECT_EQ(s.getKeySignature(), nullptr);
  s.setKeySignature("aa-bb");
  const char* stored = s.getKeySignature();
  s.setKeySignature("aa-bb");
  EXPECT_EQ(s.getKeySignature(), stored); // unchanged text keeps its copy
  s.setKeySignature(static_cast<const crypto::RsaKey*>(nullptr));
  EXPECT_EQ(s.getKeySignature(), nullptr);
}

TEST(ServerStatusModel, AddressZonesRemoved) {
  ServerStatus s;
  s.setAddresses({"[fe80::1%eth0]", "fe80::1%eth0", "10.0.0.1", "%", "[x%y]z"});
  std::vector<std::string> got;
  for (const plat::String& a : s.getAddresses())
    got.push_back(a.c_str());
  EXPECT_EQ(got, (std::vector<std::string>{"[fe80::1]", "fe80::1", "10.0.0.1", "", "[x]"}));
  s.setAddresses({});
  EXPECT_TRUE(s.getAddresses().empty());
}

TEST(ServerStatusModel, FilterBlocksIPv6) {
  struct Case {
    const char* hosts;
    const char* transports;
    bool filtered;
  } cases[] = {
      {"+", "IPv4,IPv6", false},
      {"+0.0.0.0/0", "IPv6", false},
      {"+10.0.0.0/8,-", "IPv4,IPv6", true},
      {"", "IPv6", true},
      {"-,+", "IPv6", true},
      {"+10.0.0.0/8", "IPv4", false},
      {nullptr, nullptr, false},
  };
  for (const Case& c : cases) {
    ServerStatus s;
    s.setFilterBlocksIPv6(c.hosts, c.transports);
    EXPECT_EQ(s.getIpv6Filtered(), c.filtered) << (c.hosts ? c.hosts : "(null)");
  }
}

TEST(ServerStatusModel, LevelAndTrayIconState) {
  struct Case {
    const char* what;
    unsigned mode, users, tray, rfbPort, rfbError, webError;
    bool key, passwordNotSet, noAuth;
    int level, tray_state;
  } cases[] = {
      {"working", 2, 0, 0, 5900, 0, 0, true, false, false, 0, 0},
      {"no key", 2, 0, 0, 5900, 0, 0, false, false, false, 3, 3},
      {"viewer error", 2, 0, 0, 5900, 98, 0, true, false, false, 3, 3},
      {"web error", 2, 0, 0, 5900, 0, 98, true, false, false, 3, 3},
      {"password not set", 2, 0, 0, 5900, 0, 0, true, true, false, 3, 3},
      {"disabled", 2, 0, 0, 0, 0, 0, true, false, false, 2, 2},
      {"no authentication", 2, 0, 0, 5900, 0, 0, true, false, true, 2, 0},
      {"one user", 2, 1, 0, 5900, 0, 0, true, false, false, 0, 1},
      {"one user, virtual", 3, 1, 0, 5900, 0, 0, true, false, false, 0, 0},
      {"two users, virtual", 3, 2, 0, 5900, 0, 0, true, false, false, 0, 1},
      {"hidden, problems", 2, 0, 1, 0, 98, 0, false, false, false, 3, 4},
      {"hidden, working", 2, 0, 2, 5900, 0, 0, true, false, false, 0, 4},
      {"hidden but users", 2, 1, 1, 5900, 0, 0, true, false, false, 0, 1},
  };
  for (const Case& c : cases) {
    ServerStatus s;
    s.setMode(c.mode);
    s.setUserCount(c.users);
    s.setTrayIconSetting(c.tray);
    s.setRfbPort(c.rfbPort);
    s.setRfbListenerError(c.rfbError);
    s.setWebListenerError(c.webError);
    if (c.key)
      s.setKeySignature("aa");
    s.setSecurity(!c.passwordNotSet, c.noAuth ? "none" : "zavauth");
    EXPECT_EQ(s.level(), c.level) << c.what;
    EXPECT_EQ(s.trayIconState(), c.tray_state) << c.what;
  }
}

TEST(ServerStatusModel, EndpointAddresses) {
  struct Case {
    const char* address;
    unsigned rfbPort, webPort;
    const char* rfb;
    const char* web;
  } cases[] = {
      {"10.0.0.1", 5900, 80, "10.0.0.1", "http://10.0.0.1"},
      {"10.0.0.1", 5901, 5800, "10.0.0.1:1", "http://10.0.0.1:5800"},
      {"10.0.0.1", 5999, 8080, "10.0.0.1:99", "http://10.0.0.1:8080"},
      {"10.0.0.1", 6000, 80, "10.0.0.1::6000", "http://10.0.0.1"},
      {"10.0.0.1", 22, 80, "10.0.0.1::22", "http://10.0.0.1"},
      {"fe80::1", 5902, 5800, "[fe80::1]:2", "http://[fe80::1]:5800"},
      {"[fe80::1]", 5900, 5800, "[fe80::1]", "http://[fe80::1]:5800"},
  };
  for (const Case& c : cases) {
    ServerStatus s;
    s.setAddresses({c.address, "10.9.9.9"});
    s.setRfbPort(c.rfbPort);
    s.setWebPort(c.webPort);
    EXPECT_STREQ(s.rfbAddress().c_str(), c.rfb);
    EXPECT_STREQ(s.webAddress().c_str(), c.web);
  }
  ServerStatus s;
  s.setRfbPort(5900);
  EXPECT_TRUE(s.rfbAddress().isNull());
  EXPECT_TRUE(s.webAddress().isNull());
  s.setAddresses({"10.0.0.1"});
  s.setRfbListenerError(98);
  s.setWebListenerError(13);
  EXPECT_TRUE(s.rfbAddress().isNull());
  EXPECT_TRUE(s.webAddress().isNull());
}

TEST(ServerStatusTexts, Summary) {
  RecordingCallback popups(HL::_showPopup);
  RecordingCallback none(0);
  struct Case {
    const char* what;
    HL* callback;
    void (*setUp)(ServerStatus&);
    const char* text;
  } cases[] = {
      {"problem", &popups, [](ServerStatus& s) { s.setWebListenerError(98); },
       "There is a problem with Zav Server"},
      {"no key", &popups, [](ServerStatus& s) { s.setKeySignature(""); },
       "There is a problem with Zav Server"},
      {"disabled", &popups, [](ServerStatus& s) { s.setRfbPort(0); }, "Zav Server is disabled"},
      {"no authentication", &none, [](ServerStatus& s) { s.setSecurity(false, "none"); },
       "Zav Server is not password-protected [ ^14{details^} ]"},
      {"no authentication, no callback", nullptr,
       [](ServerStatus& s) { s.setSecurity(false, "none"); },
       "Zav Server is not password-protected [ ^14{details^} ]"},
      {"service mode", &popups, [](ServerStatus& s) { s.setMode(1); },
       "Zav Server is working normally in Service-Mode [ ^17{what is this?^} ]"},
      {"user mode", &popups, [](ServerStatus&) {},
       "Zav Server is working normally in User-Mode [ ^18{what is this?^} ]"},
      {"virtual mode", &popups, [](ServerStatus& s) { s.setMode(3); },
       "Zav Server is working normally in Virtual-Mode [ ^19{what is this?^} ]"},
      {"without popups", &none, [](ServerStatus&) {},
       "Zav Server is working normally in User-Mode"},
      {"no callback", nullptr, [](ServerStatus&) {}, "Zav Server is working normally in User-Mode"},
      {"unnamed mode", &popups, [](ServerStatus& s) { s.setMode(0); },
       "Zav Server is working normally"},
  };
  for (const Case& c : cases) {
    ServerStatus s(c.callback);
    working(s);
    c.setUp(s);
    EXPECT_EQ(summary(s), c.text) << c.what;
  }
}

TEST(ServerStatusTexts, DetailsForEachState) {
  RecordingCallback all(allCaps);
  RecordingCallback popups(HL::_showPopup);
  RecordingCallback none(0);
  const std::string signature = "Zav Server signature: 3a-5c-11-0e-92-7f-d4-08";
  const std::string signatureLink = signature + " [ ^15{what is this?^} ]";
  struct Case {
    const char* what;
    HL* callback;
    void (*setUp)(ServerStatus&);
    std::string text;
  } cases[] = {
      {"working, every capability", &all, [](ServerStatus&) {},
       "Address: 10.0.0.1 [ ^6{copy^} | ^7{test^} ]\n\nURL: http://10.0.0.1:5800 [ ^11{copy^} ]"
       "\n\n\nNo users connected\n\n\n" +
           signatureLink},
      {"working, no callback", nullptr, [](ServerStatus&) {},
       "Address: 10.0.0.1\n\nURL: http://10.0.0.1:5800\n\n\nNo users connected\n\n\n" + signature},
      {"two addresses, popups only", &popups,
       [](ServerStatus& s) {
         s.setAddresses({"10.0.0.1", "192.168.0.5"});
       },
       "Address: 10.0.0.1 [ ^8{show all^} ]\n\nURL: http://10.0.0.1:5800"
       "\n\n\nNo users connected\n\n\n" +
           signatureLink},
      {"two addresses, IPv6 filtered, web off", &all,
       [](ServerStatus& s) {
         s.setAddresses({"10.0.0.1", "192.168.0.5"});
         s.setFilterBlocksIPv6("-", "IPv4,IPv6");
         s.setWebPort(0);
       },
       "Address: 10.0.0.1 [ ^6{copy^} | ^7{test^} | ^8{show all^} | ^9{IPv6 info^} ]\n\n"
       "Not accepting web browser connections [ ^10{details^} ]\n\n\nNo users connected\n\n\n" +
           signatureLink},
      {"no address", &all, [](ServerStatus& s) { s.setAddresses({}); },
       "Unable to determine Zav Server address [ ^4{details^} ]\n\n\nNo users connected\n\n\n" +
           signatureLink},
      {"no address, no popups", &none, [](ServerStatus& s) { s.setAddresses({}); },
       "Unable to determine Zav Server address\n\n\nNo users connected\n\n\n" + signature},
      {"viewer listener down", &all, [](ServerStatus& s) { s.setRfbListenerError(98); },
       "Not accepting connections [ ^5{details^} ]\n\n\nNo users connected\n\n\n" + signatureLink},
      {"web listener down is no viewer problem", &all,
       [](ServerStatus& s) { s.setWebListenerError(98); },
       "Address: 10.0.0.1 [ ^6{copy^} | ^7{test^} ]\n\nNot accepting web browser connections "
       "[ ^10{details^} ]\n\n\nNo users connected\n\n\n" +
           signatureLink},
      {"disabled", &popups, [](ServerStatus& s) { s.setRfbPort(0); },
       "Not accepting connections [ ^5{details^} ]\n\n\nNo users connected\n\n\n" + signatureLink},
      {"password not set", nullptr, [](ServerStatus& s) { s.setSecurity(false, "zavauth"); },
       "Not accepting connections\n\n\nNo users connected\n\n\n" + signature},
      {"no key", &all, [](ServerStatus& s) { s.setKeySignature(""); },
       "Not accepting connections [ ^5{details^} ]\n\n\nNo users connected\n\n\n"},
      {"one user", &all, [](ServerStatus& s) { s.setUserCount(1); },
       "Address: 10.0.0.1 [ ^6{copy^} | ^7{test^} ]\n\nURL: http://10.0.0.1:5800 [ ^11{copy^} ]"
       "\n\n\n1 user connected [ ^13{details^} ]\n\n\n" +
           signatureLink},
      {"three users, no users link", &popups, [](ServerStatus& s) { s.setUserCount(3); },
       "Address: 10.0.0.1\n\nURL: http://10.0.0.1:5800\n\n\n3 users connected\n\n\n" +
           signatureLink},
      {"carets in data", &none,
       [](ServerStatus& s) {
         s.setAddresses({"ho^st"});
         s.setKeySignature("^b^");
       },
       "Address: ho^^st\n\nURL: http://ho^^st:5800\n\n\nNo users connected\n\n\n"
       "Zav Server signature: ^^b^^"},
  };
  for (const Case& c : cases) {
    ServerStatus s(c.callback);
    working(s);
    c.setUp(s);
    EXPECT_EQ(details(s), c.text) << c.what;
    // Every text parses as mark-up.
    EXPECT_NO_THROW(plat::MarkUp::Stripper strip(s.detailsMarkup().c_str())) << c.what;
  }
}

TEST(ServerStatusTexts, ListenerProblems) {
  RecordingCallback all(allCaps);
  RecordingCallback none(0);
  ServerStatus s(&all);
  EXPECT_EQ(std::string(s.listenerProblemText("Zav Viewer", 98, 5900).c_str()),
            "Zav Server is unable to accept Zav Viewer connections on port 5900 because the port "
            "is in use by another program.\n\nEither close that program or click the "
            "^12{Options...^} button to change the port on which Zav Server accepts Zav Viewer "
            "connections.");
  EXPECT_EQ(all.calls, (std::vector<std::string>{"owner 5900"}));
  all.owner = "sshd^2";
  s.setNoActionLinks(true);
  EXPECT_EQ(std::string(s.listenerProblemText("web browser", 98, 80).c_str()),
            "Zav Server is unable to accept web browser connections on port 80 because the port "
            "is in use by sshd^^2.");
  EXPECT_EQ(std::string(s.listenerProblemText("web browser", 13, 80).c_str()),
            "Zav Server is unable to accept web browser connections on port 80.  The error "
            "message was ^bPermission denied (13)^n.");
  EXPECT_EQ(std::string(s.listenerProblemText("web browser", 0, 0).c_str()),
            "Zav Server has been configured not to accept web browser connections.");
  s.setNoActionLinks(false);
  EXPECT_EQ(std::string(s.listenerProblemText("Zav Viewer", 0, 0).c_str()),
            "Zav Server has been configured not to accept Zav Viewer connections.  Click the "
            "^12{Options...^} button to change the configuration settings.");
  s.setHLCallback(&none);
  EXPECT_EQ(std::string(s.listenerProblemText("Zav Viewer", 0, 0).c_str()),
            "Zav Server has been configured not to accept Zav Viewer connections.");
  // Without a callback nobody can name the port's owner.
  s.setHLCallback(nullptr);
  EXPECT_EQ(std::string(s.listenerProblemText("Zav Viewer", 98, 5900).c_str()),
            "Zav Server is unable to accept Zav Viewer connections on port 5900 because the port "
            "is in use by another program.");
}

TEST(ServerStatusLinks, EachLinkReachesTheCallback) {
  struct Case {
    int link;
    std::string call;
  } cases[] = {
      {4, "popup Unknown Zav Server address"},
      {5, "popup Not accepting Zav Viewer connections"},
      {6, "copy 10.0.0.1:1"},
      {7, "test 7"},
      {8, "popup Multiple IP addresses"},
      {9, "popup IPv6 Disabled"},
      {10, "popup Not accepting web browser connections"},
      {11, "copy http://10.0.0.1:5800"},
      {12, "options 12"},
      {13, "users 13"},
      {14, "popup Zav Server Authentication"},
      {15, "popup Zav Server Signature"},
      {17, "popup Zav Server (Service-Mode)"},
      {18, "popup Zav Server (User-Mode)"},
      {19, "popup Zav Server (Virtual-Mode)"},
  };
  for (const Case& c : cases) {
    RecordingCallback cb(allCaps);
    ServerStatus s(&cb);
    working(s);
    s.setRfbPort(5901);
    s.setAddresses({"10.0.0.1", "h^st"});
    s.linkClicked(c.link);
    ASSERT_EQ(cb.calls.size(), 1u) << c.link;
    EXPECT_EQ(cb.calls[0], c.call) << c.link;
  }
  for (int other : {0, 1, 2, 3, 16, 20, -1, 1000}) {
    RecordingCallback cb(allCaps);
    ServerStatus s(&cb);
    working(s);
    s.linkClicked(other);
    EXPECT_TRUE(cb.calls.empty()) << other;
  }
}

TEST(ServerStatusLinks, PopupTexts) {
  RecordingCallback cb(allCaps);
  ServerStatus s(&cb);
  working(s);
  s.setRfbPort(5901);
  s.setAddresses({"10.0.0.1", "h^st"});
  s.linkClicked(4);
  EXPECT_EQ(cb.lastText, "Zav Server is accepting Zav Viewer connections on port 5901 but it was "
                         "not possible to determine its address.");
  s.linkClicked(8);
  EXPECT_EQ(cb.lastText, "Your computer has more than one IP address.  Zav Server will accept "
                         "connections on any of the following IP addresses:\n    10.0.0.1\n    "
                         "h^^st");
  s.linkClicked(17);
  EXPECT_EQ(cb.lastText,
            "A system administrator can start Zav Server in Service-Mode to give Zav Viewer users "
            "access to the host computer at any time. In Service-Mode, Zav Server:\n\n"
            "  \u2022 Is available as soon as the system has started up.\n"
            "  \u2022 Is available even when no-one is logged on to the host\n"
            "     computer.\n"
            "  \u2022 Is configured with a single set of system-wide options.");
  s.linkClicked(19);
  EXPECT_PRED2(endsWith, cb.lastText,
               "accessible even if it has no\n     monitor, keyboard, or mouse.\n");

  // Link 5 explains the first thing wrong: the password, the listener, the key.
  s.setSecurity(false, "zavauth");
  s.linkClicked(5);
  EXPECT_EQ(cb.lastText, "Zav Server has been configured to use Zav Password authentication, "
                         "but you have not yet set a password.  Click the ^12{Options...^} "
                         "button to change the configuration settings.");
  s.setSecurity(true, "zavauth");
  s.setRfbListenerError(98);
  s.linkClicked(5);
  EXPECT_PRED2(startsWith, cb.lastText,
               "Zav Server is unable to accept Zav Viewer connections "
               "on port 5901 because the port is in use");
  s.setKeySignature("");
  s.linkClicked(5);
  EXPECT_PRED2(startsWith, cb.lastText, "Your secure encryption key is missing or corrupt. ");
}

TEST(ServerStatusLinksDeathTest, DetailsLinksNeedPopups) {
  ServerStatus s;
  working(s);
  EXPECT_DEATH(s.linkClicked(4), "_showPopup");
  RecordingCallback cb(HL::_copy);
  s.setHLCallback(&cb);
  EXPECT_DEATH(s.linkClicked(5), "_showPopup");
}

TEST(ServerStatusLinks, WithoutCallbackNothingHappens) {
  ServerStatus s;
  working(s);
  for (int link : {6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 17, 18, 19})
    s.linkClicked(link);
}

TEST(ServerStatusRecord, RoundTrip) {
  ServerStatus a;
  a.setSecurity(false, "zavauth");
  a.setFilterBlocksIPv6("-", "IPv6");
  a.setNoActionLinks(true);
  a.setTrayIconSetting(2);
  a.setKeySignature("aa-bb");
  a.setAddresses({"10.0.0.1", "[fe80::1]"});
  a.setRfbPort(5901);
  a.setWebPort(70000); // travels in 16 bits
  a.setRfbListenerError(98);
  a.setWebListenerError(13);
  a.setUserCount(3);
  a.setMode(3);
  rdr::MemOutStream out;
  a.write(out);
  const int expected = 7 + 5 + 6 + 4 + 9 + 10 + 2 + 2 + 4 + 4 + 4 + 1;
  ASSERT_EQ(out.length(), expected);
  for (int i = 0; i < 7; i++)
    EXPECT_EQ(out.data()[i], 0);

  ServerStatus b;
  b.setAddresses({"old"});
  rdr::MemInStream in(out.data(), int(out.length()));
  b.read(in);
  EXPECT_TRUE(b.getPasswordNotSet());
  EXPECT_FALSE(b.getNoAuthentication());
  EXPECT_TRUE(b.getIpv6Filtered());
  EXPECT_TRUE(b.getNoActionLinks());
  EXPECT_EQ(b.getTrayIconSetting(), 2u);
  EXPECT_STREQ(b.getKeySignature(), "aa-bb");
  ASSERT_EQ(b.getAddresses().size(), 2u);
  EXPECT_STREQ(b.getAddresses()[1].c_str(), "[fe80::1]");
  EXPECT_EQ(b.getRfbPort(), 5901u);
  EXPECT_EQ(b.getWebPort(), 70000u & 0xFFFF);
  EXPECT_EQ(b.getRfbError(), 98u);
  EXPECT_EQ(b.getWebError(), 13u);
  EXPECT_EQ(b.getUserCount(), 3u);
  EXPECT_EQ(b.getMode(), 3u);
}

TEST(ServerStatusRecord, LongSignatureCutAndEmptyReadsAsNone) {
  ServerStatus a;
  a.setKeySignature(std::string(300, 'x').c_str());
  rdr::MemOutStream out;
  a.write(out);
  EXPECT_EQ(out.data()[12], 255);
  ServerStatus b;
  b.setKeySignature("old");
  rdr::MemInStream in(out.data(), int(out.length()));
  b.read(in);
  EXPECT_EQ(std::string(b.getKeySignature()), std::string(255, 'x'));

  ServerStatus none;
  rdr::MemOutStream out2;
  none.write(out2);
  rdr::MemInStream in2(out2.data(), int(out2.length()));
  b.read(in2);
  EXPECT_EQ(b.getKeySignature(), nullptr);
}

TEST(ServerStatusRecord, CutShortThrowsAndKeepsWhatWasRead) {
  ServerStatus a;
  a.setSecurity(false, "none");
  a.setKeySignature("aa");
  a.setAddresses({"10.0.0.1"});
  a.setRfbPort(5900);
  rdr::MemOutStream out;
  a.write(out);
  for (int cut = 0; cut < int(out.length()); cut++) {
    ServerStatus b;
    rdr::MemInStream in(out.data(), cut);
    EXPECT_THROW(b.read(in), plat::Exception) << cut;
    if (cut > 8) {
      EXPECT_TRUE(b.getNoAuthentication()) << cut;
    }
  }
}

TEST(ServerStatusRecord, AddressCountBoundedByTheBytesPresent) {
  // A record that claims four thousand million addresses and carries two.
  std::vector<unsigned char> record(7 + 5, 0);
  record.push_back(0); // no signature
  for (unsigned char b : {0xFF, 0xFF, 0xFF, 0xFF})
    record.push_back(b);
  for (const char* address : {"a", "bc"}) {
    record.push_back(static_cast<unsigned char>(strlen(address)));
    record.insert(record.end(), address, address + strlen(address));
  }
  ServerStatus b;
  b.setAddresses({"kept"});
  rdr::MemInStream in(record.data(), int(record.size()));
  EXPECT_THROW(b.read(in), rdr::EndOfStream);
  ASSERT_EQ(b.getAddresses().size(), 1u);
  EXPECT_STREQ(b.getAddresses()[0].c_str(), "kept");
}

} // namespace
