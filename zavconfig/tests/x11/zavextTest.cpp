// The client of the server's X extension against the stand-in server in front
// of a real Xvfb: wire layouts (checked by the stand-in), replies, failures,
// bounded walks over malformed replies, big clipboard texts and events.
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "zavconfig/zavext.h"

#include "XzavDouble.h"
#include "XzavSharedDisplay.h"

#include <X11/Xlib.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using testing_support::XzavDouble;

namespace {

int xErrors = 0;
int countErrors(Display*, XErrorEvent*) {
  xErrors++;
  return 0;
}

struct Shared {
  XzavDouble* server = nullptr;
  Display* dpy = nullptr;
  int eventBase = 0;
  int errorBase = 0;
};

Shared& shared() {
  static Shared s;
  if (!s.server) {
    testing_support::XzavSharedDisplay& d = testing_support::XzavSharedDisplay::get();
    s.server = d.server.get();
    s.dpy = d.dpy;
    if (!zavext::queryExtension(s.dpy, &s.eventBase, &s.errorBase))
      throw std::runtime_error("no extension on the stand-in");
  }
  XSetErrorHandler(countErrors);
  return s;
}

std::string quote(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\')
      out += '\\';
    out += c;
  }
  return out + "\"";
}

class ZavExtTest : public ::testing::Test {
protected:
  void SetUp() override {
    Shared& s = shared();
    server = s.server;
    dpy = s.dpy;
    server->reset();
    // Events that earlier tests on the shared display left unread go:
    // these tests read the next event as the one they caused.
    XSync(dpy, True);
    xErrors = 0;
  }

  void fault(const std::string& op, const std::string& kind) {
    server->control("{\"cmd\": \"fault\", \"op\": " + quote(op) + ", \"kind\": " + quote(kind) +
                    "}");
  }

  // The requests the stand-in decoded so far (after a round trip, so that
  // requests without a reply are in too).
  std::vector<std::string> requests() {
    XSync(dpy, False);
    return server->log();
  }

  // One more request with a reply works: nothing of an earlier reply is left.
  void expectNextCallWorks() {
    char* value;
    int length;
    ASSERT_TRUE(zavext::getParam(dpy, "Desktop", &value, &length));
    EXPECT_STREQ(value, "Xzav demo desktop");
    XFree(value);
  }

  XzavDouble* server = nullptr;
  Display* dpy = nullptr;
};

TEST_F(ZavExtTest, QueryExtensionGivesEventAndErrorBases) {
  int eventBase, errorBase;
  ASSERT_TRUE(zavext::queryExtension(dpy, &eventBase, &errorBase));
  EXPECT_GE(eventBase, 64);
  EXPECT_LT(eventBase, 128 - 4);
  EXPECT_GE(errorBase, 128);
}

TEST_F(ZavExtTest, TextsUpTo255BytesAreSentLongerOnesFailWithoutRequest) {
  struct Case {
    const char* op;
    size_t length;
    std::function<bool(const std::string&)> call;
  };
  Display* d = dpy;
  std::vector<Case> cases = {
      {"setParam", 255, [d](const std::string& t) { return zavext::setParam(d, t.c_str()); }},
      {"setParam", 256, [d](const std::string& t) { return zavext::setParam(d, t.c_str()); }},
      {"getParam", 255,
       [d](const std::string& t) {
         char* v;
         int n;
         bool ok = zavext::getParam(d, t.c_str(), &v, &n);
         XFree(v);
         return ok;
       }},
      {"getParam", 256,
       [d](const std::string& t) {
         char* v;
         int n;
         bool ok = zavext::getParam(d, t.c_str(), &v, &n);
         EXPECT_EQ(v, nullptr);
         EXPECT_EQ(n, 0);
         return ok;
       }},
      {"getParamDesc", 256,
       [d](const std::string& t) { return zavext::getParamDesc(d, t.c_str()) != nullptr; }},
      {"connect", 255, [d](const std::string& t) { return zavext::connect(d, t.c_str()); }},
      {"connect", 256, [d](const std::string& t) { return zavext::connect(d, t.c_str()); }},
      {"disconnect", 256,
       [d](const std::string& t) { return zavext::disconnect(d, "user", t.c_str()); }},
      {"setAccess", 256,
       [d](const std::string& t) { return zavext::setAccess(d, "user", "a+b", t.c_str()); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.op) + " " + std::to_string(c.length));
    server->reset();
    // For setParam the text is a name=value the server accepts.
    std::string text = std::string(c.op) == "setParam" ? "Desktop=" : "";
    text += std::string(c.length - text.size(), 'x');
    bool ok = c.call(text);
    std::vector<std::string> log = requests();
    if (c.length > 255) {
      EXPECT_FALSE(ok);
      EXPECT_TRUE(log.empty()) << log[0];
    } else {
      ASSERT_EQ(log.size(), 1u);
      EXPECT_EQ(log[0], std::string(c.op) + " \"" + text + "\"");
      if (std::string(c.op) != "getParam") {
        EXPECT_TRUE(ok);
      }
    }
  }
}

// Every call with a reply, with its result reduced to success or failure.
struct ReplyCall {
  const char* op;
  std::function<bool(Display*)> call;
};

std::vector<ReplyCall> replyCalls() {
  return {
      {"setParam", [](Display* d) { return zavext::setParam(d, "Desktop=new"); }},
      {"getParam",
       [](Display* d) {
         char* v;
         int n;
         bool ok = zavext::getParam(d, "Desktop", &v, &n);
         XFree(v);
         return ok;
       }},
      {"getParamDesc",
       [](Display* d) {
         char* t = zavext::getParamDesc(d, "Desktop");
         XFree(t);
         return t != nullptr;
       }},
      {"listParams",
       [](Display* d) {
         int n;
         char** l = zavext::listParams(d, &n);
         EXPECT_EQ(l == nullptr, n == 0);
         zavext::freeList(l);
         return l != nullptr;
       }},
      {"getClientCutText",
       [](Display* d) {
         char* t;
         int n;
         bool ok = zavext::getClientCutText(d, &t, &n);
         XFree(t);
         return ok;
       }},
      {"connect", [](Display* d) { return zavext::connect(d, "viewer.example:5500"); }},
      {"getQueryConnect",
       [](Display* d) {
         char *a, *u;
         int timeout;
         unsigned id;
         bool ok = zavext::getQueryConnect(d, &a, &u, &timeout, &id);
         XFree(a);
         XFree(u);
         return ok;
       }},
      {"listConnections",
       [](Display* d) {
         int n;
         char** l = zavext::listConnections(d, &n);
         zavext::freeList(l);
         return l != nullptr;
       }},
      {"disconnect", [](Display* d) { return zavext::disconnect(d, "anna", "10.0.0.7+1"); }},
      {"setAccess", [](Display* d) { return zavext::setAccess(d, "anna", "10.0.0.7+1", "3"); }},
      {"getStatus",
       [](Display* d) {
         char** l = zavext::getStatus(d, nullptr);
         if (l) {
           free(l[0]);
           free(l);
         }
         return l != nullptr;
       }},
      {"requestFileTransferStream",
       [](Display* d) { return zavext::requestFileTransferStream(d, 4000, 0x1234); }},
      {"requestChatStream", [](Display* d) { return zavext::requestChatStream(d, 4001, 7); }},
      {"getParamsXml",
       [](Display* d) {
         char* t = zavext::getParamsXml(d);
         XFree(t);
         return t != nullptr;
       }},
      {"reloadConfig", [](Display* d) { return zavext::reloadConfig(d); }},
  };
}

const char* withConnection =
    "{\"cmd\": \"set\", \"connections\": [{\"user\": \"anna\", \"address\": \"10.0.0.7\", "
    "\"suffix\": \"1\", \"rights\": 31}]}";

TEST_F(ZavExtTest, EveryCallSucceedsAgainstAWellBehavedServer) {
  for (const ReplyCall& c : replyCalls()) {
    SCOPED_TRACE(c.op);
    server->reset();
    server->control(withConnection);
    EXPECT_TRUE(c.call(dpy));
    std::vector<std::string> log = requests();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].substr(0, strlen(c.op)), c.op);
  }
  EXPECT_EQ(xErrors, 0);
}

TEST_F(ZavExtTest, BadRequestFailsTheCallWithoutReachingTheErrorHandler) {
  for (const ReplyCall& c : replyCalls()) {
    SCOPED_TRACE(c.op);
    server->reset();
    server->control(withConnection);
    fault(c.op, "badrequest");
    EXPECT_FALSE(c.call(dpy));
    expectNextCallWorks();
  }
  EXPECT_EQ(xErrors, 0);
}

TEST_F(ZavExtTest, FailureRepliesCarryingDataAreConsumedWhole) {
  for (const char* kind : {"fail", "faildata"}) {
    for (const ReplyCall& c : replyCalls()) {
      if (std::string(c.op) == "reloadConfig" || std::string(c.op) == "getClientCutText" ||
          std::string(c.op) == "getQueryConnect" || std::string(c.op) == "listParams" ||
          std::string(c.op) == "listConnections")
        continue; // no success byte in their replies
      SCOPED_TRACE(std::string(c.op) + " " + kind);
      server->reset();
      server->control(withConnection);
      fault(c.op, kind);
      EXPECT_FALSE(c.call(dpy));
      expectNextCallWorks();
    }
  }
  EXPECT_EQ(xErrors, 0);
}

TEST_F(ZavExtTest, TextLengthShorterThanTheReplyGivesThatTextAndConsumesTheRest) {
  fault("getParam", "shortlen");
  char* value;
  int length;
  ASSERT_TRUE(zavext::getParam(dpy, "Desktop", &value, &length));
  EXPECT_EQ(length, 8);
  EXPECT_STREQ(value, "Xzav dem");
  XFree(value);
  expectNextCallWorks();
}

TEST_F(ZavExtTest, LengthsBeyondTheReplyDataFail) {
  for (const ReplyCall& c : replyCalls()) {
    std::string op = c.op;
    if (op != "getParam" && op != "getParamDesc" && op != "getParamsXml" &&
        op != "getClientCutText" && op != "listParams" && op != "listConnections" &&
        op != "getQueryConnect")
      continue;
    SCOPED_TRACE(op);
    server->reset();
    server->control(withConnection);
    server->control("{\"cmd\": \"set\", \"query\": {\"address\": \"10.0.0.9\", \"user\": "
                    "\"bob\", \"timeout\": 10, \"id\": 3}}");
    fault(op, "overlong");
    EXPECT_FALSE(c.call(dpy));
    expectNextCallWorks();
  }
  EXPECT_EQ(xErrors, 0);
}

TEST_F(ZavExtTest, StatusWalkStopsAtTheReplyData) {
  fault("getStatus", "overlong");
  char** list = zavext::getStatus(dpy, nullptr);
  ASSERT_NE(list, nullptr);
  std::vector<std::string> texts;
  for (int i = 0; list[i]; i++)
    texts.push_back(list[i]);
  free(list[0]);
  free(list);
  ASSERT_GE(texts.size(), 8u);
  EXPECT_LE(texts.size(), 9u); // the padding of the data may read as one empty text
  EXPECT_EQ(texts[0], "is_module=0");
  EXPECT_EQ(texts[7], "unterminated=1");

  fault("getStatus", "overlong");
  char** none = zavext::getStatus(dpy, "absent_name");
  EXPECT_EQ(none, nullptr);
  expectNextCallWorks();
}

TEST_F(ZavExtTest, ListTextsOf128To255BytesComeBackWhole) {
  std::vector<std::string> names = {std::string(128, 'a'), std::string(200, 'b'),
                                    std::string(255, 'c'), "x"};
  std::string params;
  for (const std::string& n : names)
    params += std::string(params.empty() ? "" : ", ") + "{\"name\": " + quote(n) +
              ", \"kind\": \"string\", \"value\": \"v\", \"desc\": \"d\"}";
  server->control("{\"cmd\": \"set\", \"params\": [" + params + "]}");
  int count;
  char** list = zavext::listParams(dpy, &count);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(count, 4);
  for (int i = 0; i < count; i++)
    EXPECT_EQ(list[i], names[i]);
  zavext::freeList(list);
}

TEST_F(ZavExtTest, EmptyListsAreEmptyNotFailures) {
  int count = -1;
  char** list = zavext::listConnections(dpy, &count);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(count, 0);
  zavext::freeList(list);
  zavext::freeList(nullptr);

  server->control("{\"cmd\": \"set\", \"status\": []}");
  char** status = zavext::getStatus(dpy, nullptr);
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(status[0], nullptr);
  free(status[0]);
  free(status);
}

TEST_F(ZavExtTest, ConnectionsComeAsThreeTextsEach) {
  server->control(
      "{\"cmd\": \"set\", \"connections\": [{\"user\": \"anna\", \"address\": \"10.0.0.7\", "
      "\"suffix\": \"1\", \"rights\": 31}, {\"user\": \"\", \"address\": \"::1\", \"suffix\": "
      "\"22\", \"rights\": 0}]}");
  int count;
  char** list = zavext::listConnections(dpy, &count);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(count, 2);
  std::vector<std::string> texts(list, list + 6);
  EXPECT_EQ(texts, (std::vector<std::string>{"anna", "10.0.0.7+1", "31", "", "::1+22", "0"}));
  zavext::freeList(list);

  EXPECT_TRUE(zavext::setAccess(dpy, "anna", "10.0.0.7+1", "5"));
  EXPECT_TRUE(zavext::disconnect(dpy, "", "::1+22"));
  EXPECT_FALSE(zavext::disconnect(dpy, "nobody", "::1+22"));
  EXPECT_EQ(requests(), (std::vector<std::string>{
                            "listConnections", "setAccess \"anna\" \"10.0.0.7+1\" \"5\"",
                            "disconnect \"\" \"::1+22\"", "disconnect \"nobody\" \"::1+22\""}));
  std::string state = server->control("{\"cmd\": \"state\"}");
  EXPECT_NE(state.find("\"rights\": 5"), std::string::npos) << state;
  EXPECT_EQ(state.find("::1"), std::string::npos) << state;
}

TEST_F(ZavExtTest, StatusLookupMatchesTheWholeName) {
  server->control("{\"cmd\": \"set\", \"status\": [\"FooBar=1\", \"Foo=2\", \"ip_addrs=a b\"]}");
  struct Case {
    const char* name;
    const char* value; // null: no match
  } cases[] = {
      {"Foo", "2"}, {"FooBar", "1"}, {"Fo", nullptr}, {"ip_addrs", "a b"}, {"Missing", nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char** list = zavext::getStatus(dpy, c.name);
    if (!c.value) {
      EXPECT_EQ(list, nullptr);
      continue;
    }
    ASSERT_NE(list, nullptr);
    EXPECT_STREQ(list[0], c.value);
    free(list[0]);
    free(list);
  }
  server->control("{\"cmd\": \"set\", \"status\": [\"FooBar=1\"]}");
  EXPECT_EQ(zavext::getStatus(dpy, "Foo"), nullptr);
}

TEST_F(ZavExtTest, CachedStatusLookupReleasesThePreviousResult) {
  const char* first = zavext::getStatusParam(dpy, "ip_addrs");
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(first, "127.0.0.1");
  const char* second = zavext::getStatusParam(dpy, "has_zav_passwd");
  ASSERT_NE(second, nullptr);
  EXPECT_STREQ(second, "1");
  EXPECT_EQ(zavext::getStatusParam(dpy, "nothing"), nullptr);
  EXPECT_STREQ(zavext::getStatusParam(dpy, "is_module"), "0");
}

TEST_F(ZavExtTest, QueryConnectAndApproval) {
  char *address, *user;
  int timeout = -1;
  unsigned id = 99;
  ASSERT_TRUE(zavext::getQueryConnect(dpy, &address, &user, &timeout, &id));
  EXPECT_EQ(timeout, 0);
  EXPECT_STREQ(address, "");
  EXPECT_STREQ(user, "");
  XFree(address);
  XFree(user);

  server->control("{\"cmd\": \"set\", \"query\": {\"address\": \"192.168.1.20\", \"user\": "
                  "\"carol\", \"timeout\": 30, \"id\": 4242}}");
  ASSERT_TRUE(zavext::getQueryConnect(dpy, &address, &user, &timeout, &id));
  EXPECT_STREQ(address, "192.168.1.20");
  EXPECT_STREQ(user, "carol");
  EXPECT_EQ(timeout, 30);
  EXPECT_EQ(id, 4242u);
  XFree(address);
  XFree(user);

  EXPECT_TRUE(zavext::approveConnect(dpy, 4242, 0x1f));
  std::vector<std::string> log = requests();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[2], "approveConnect id=4242 rights=0x1f");
}

// The count-down of a query holds an int: longer time-outs are cut to it.
TEST_F(ZavExtTest, QueryTimeOutsBeyondAnIntAreCutToIt) {
  const struct {
    uint32_t sent;
    int read;
  } cases[] = {
      {1, 1}, {2147483647u, 2147483647}, {2147483648u, 2147483647}, {4294967295u, 2147483647}};
  for (const auto& c : cases) {
    server->control("{\"cmd\": \"set\", \"query\": {\"address\": \"10.0.0.9\", \"user\": "
                    "\"dan\", \"timeout\": " +
                    std::to_string(c.sent) + ", \"id\": 7}}");
    char *address, *user;
    int timeout = 0;
    unsigned id = 0;
    ASSERT_TRUE(zavext::getQueryConnect(dpy, &address, &user, &timeout, &id));
    EXPECT_EQ(timeout, c.read) << c.sent;
    XFree(address);
    XFree(user);
  }
}

TEST_F(ZavExtTest, ParametersAndDescriptions) {
  char* value;
  int length;
  ASSERT_TRUE(zavext::setParam(dpy, "rfbPort=5999"));
  ASSERT_TRUE(zavext::getParam(dpy, "RFBPORT", &value, &length));
  EXPECT_STREQ(value, "5999");
  EXPECT_EQ(length, 4);
  XFree(value);
  EXPECT_FALSE(zavext::setParam(dpy, "rfbPort=many"));
  EXPECT_FALSE(zavext::setParam(dpy, "NoSuchParam=1"));
  EXPECT_FALSE(zavext::getParam(dpy, "NoSuchParam", &value, &length));
  EXPECT_EQ(value, nullptr);

  char* desc = zavext::getParamDesc(dpy, "Desktop");
  ASSERT_NE(desc, nullptr);
  EXPECT_STREQ(desc, "Name of the desktop shown to viewers");
  XFree(desc);

  char* xml = zavext::getParamsXml(dpy);
  ASSERT_NE(xml, nullptr);
  EXPECT_EQ(std::string(xml).rfind("<?xml", 0), 0u);
  EXPECT_NE(std::string(xml).find("<int    name=\"rfbPort\""), std::string::npos);
  XFree(xml);
}

TEST_F(ZavExtTest, ClipboardTextFromTheViewers) {
  server->control("{\"cmd\": \"set\", \"client_cut_text\": \"from a viewer\"}");
  char* text;
  int length;
  ASSERT_TRUE(zavext::getClientCutText(dpy, &text, &length));
  EXPECT_STREQ(text, "from a viewer");
  EXPECT_EQ(length, 13);
  XFree(text);
}

TEST_F(ZavExtTest, ClipboardTextOfAnySizeKeepsTheRequestLengthRight) {
  // Around the largest text that fits a 16-bit request length, and beyond.
  const size_t limit16 = (65535 - 2) * 4;
  for (size_t size : {size_t(0), size_t(5), limit16, limit16 + 1, size_t(300 * 1024)}) {
    SCOPED_TRACE(size);
    server->reset();
    std::string text(size, 'q');
    if (size)
      text[size - 1] = 'z';
    EXPECT_TRUE(zavext::setServerCutText(dpy, text.data(), int(text.size())));
    std::vector<std::string> log = requests();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].substr(0, 17 + std::to_string(size).size()),
              "setServerCutText " + std::to_string(size));
    std::string state = server->control("{\"cmd\": \"state\"}");
    EXPECT_NE(state.find("\"server_cut_text_length\": " + std::to_string(size) + ","),
              std::string::npos);
    EXPECT_NE(state.find("\"violations\": 0}"), std::string::npos) << state;
    expectNextCallWorks();
  }
  EXPECT_EQ(xErrors, 0);
}

TEST_F(ZavExtTest, EmptyClipboardTextWithoutABuffer) {
  EXPECT_TRUE(zavext::setServerCutText(dpy, nullptr, 0));
  EXPECT_TRUE(zavext::setServerCutText(dpy, "ignored", -1));
  EXPECT_EQ(requests(),
            (std::vector<std::string>{"setServerCutText 0 \"\"", "setServerCutText 0 \"\""}));
}

TEST_F(ZavExtTest, StreamRequestsCarryPortAndCookie) {
  EXPECT_TRUE(zavext::requestFileTransferStream(dpy, 40001, 0xdeadbeef));
  EXPECT_TRUE(zavext::requestChatStream(dpy, 65535, 1));
  fault("requestChatStream", "fail");
  EXPECT_FALSE(zavext::requestChatStream(dpy, 1, 2));
  EXPECT_EQ(requests(),
            (std::vector<std::string>{"requestFileTransferStream port=40001 cookie=0xdeadbeef",
                                      "requestChatStream port=65535 cookie=0x00000001",
                                      "requestChatStream port=1 cookie=0x00000002"}));
}

TEST_F(ZavExtTest, ReloadIsSentAndARejectedReloadFails) {
  EXPECT_TRUE(zavext::reloadConfig(dpy));
  fault("reloadConfig", "badrequest");
  EXPECT_FALSE(zavext::reloadConfig(dpy));
  EXPECT_TRUE(zavext::reloadConfig(dpy));
  EXPECT_EQ(server->log(),
            (std::vector<std::string>{"reloadConfig", "reloadConfig", "reloadConfig"}));
  EXPECT_EQ(xErrors, 0);
}

TEST_F(ZavExtTest, RepliesStayInPlaceWhenSequenceNumbersWrap) {
  // Requests on both sides of the 16-bit wrap, extension requests among them.
  unsigned long start = NextRequest(dpy);
  while (NextRequest(dpy) < start + 65530)
    XNoOp(dpy);
  for (int i = 0; i < 12; i++) {
    SCOPED_TRACE(i);
    expectNextCallWorks();
    EXPECT_STREQ(zavext::getStatusParam(dpy, "has_zav_passwd"), "1");
    XNoOp(dpy);
  }
  EXPECT_GT(NextRequest(dpy), start + 65536);
  EXPECT_EQ(xErrors, 0);
}

TEST_F(ZavExtTest, EventsArriveAsTheirRecords) {
  Window window = 0x2a0001;
  ASSERT_TRUE(zavext::selectInput(dpy, window, 15));
  XSync(dpy, False);
  int base = shared().eventBase;
  struct Case {
    const char* name;
    int number;
    bool sent;
    unsigned long b;
  } cases[] = {{"cut", 0, false, 123456},
               {"selection", 1, false, 1},
               {"query", 2, false, 0},
               {"status", 3, false, 0},
               {"cut", 0, true, 0xffffffff}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server->control(std::string("{\"cmd\": \"event\", \"event\": ") + quote(c.name) + ", \"b\": " +
                    std::to_string(c.b) + ", \"send_event\": " + (c.sent ? "true" : "false") + "}");
    XEvent ev;
    XNextEvent(dpy, &ev);
    EXPECT_EQ(ev.type, base + c.number);
    EXPECT_EQ(ev.xany.send_event, c.sent ? True : False);
    EXPECT_EQ(ev.xany.display, dpy);
    EXPECT_EQ(ev.xany.window, window);
    EXPECT_EQ(ev.xany.serial, NextRequest(dpy) - 1);
    if (c.number == zavext::CutTextNotify) {
      EXPECT_EQ(reinterpret_cast<zavext::CutTextEvent*>(&ev)->time, c.b);
    }
    if (c.number == zavext::SelectionChangeNotify) {
      EXPECT_EQ(reinterpret_cast<zavext::SelectionChangeEvent*>(&ev)->selection, c.b);
    }
  }
  EXPECT_EQ(server->log(), (std::vector<std::string>{"selectInput window=0x2a0001 mask=15"}));
}

} // namespace
