// The callback through which the status dialog, the connections model and the
// options dialog reach the server, in-process against the stand-in server in
// front of a real Xvfb: every action produces its extension request (checked
// in the stand-in's log) and the answers come back as the dialogs expect.
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "zavconfig/StatusDialogCallback.h"

#include "chat/ChatWindow.h"
#include "plat/Exception.h"
#include "plat/IntParameter.h"
#include "plat/ParameterSet.h"
#include "plat/StringParameter.h"
#include "plat/unix/AppInit.h"
#include "serverconfig/ConnectionsList.h"
#include "zav/Access.h"
#include "zavconfig/zavext.h"

#include "CaptureLogger.h"
#include "XzavTestServer.h"
#include "ZavconfigAppInit.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using testing_support::XzavDouble;
using zavconfig::StatusDialogCallback;
using Entry = serverconfig::ConnectionsList::Entry;

namespace {

// Records what the callback shows.
class RecordingWindows : public StatusDialogCallback::Windows {
public:
  void iconify() override { calls.push_back("iconify"); }
  void notifyConnect(const Entry& e, bool connected, int seconds) override {
    calls.push_back(std::string(connected ? "connected " : "disconnected ") + e.user.c_str() + " " +
                    std::to_string(seconds));
  }
  void showMessage(const char* text) override { calls.push_back(std::string("message ") + text); }
  std::vector<std::string> calls;
};

class FakeChat : public chat::ChatWindow {
public:
  void show() override {
    shown++;
    if (fail)
      throw plat::Exception("chat peer unreachable");
  }
  int shown = 0;
  bool fail = false;
};

std::string connection(const char* user, const char* address, const char* suffix, int rights) {
  std::ostringstream s;
  s << "{\"user\": \"" << user << "\", \"address\": \"" << address << "\", \"suffix\": ";
  if (suffix)
    s << "\"" << suffix << "\"";
  else
    s << "null";
  s << ", \"rights\": " << rights << "}";
  return s.str();
}

class StatusDialogCallbackTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(xzav.start());
    server = xzav.server;
    dpy = xzav.dpy;
    requests();
  }

  // The requests decoded since the last call (after a round trip, so that
  // requests without a reply are in too).
  std::vector<std::string> requests() { return xzav.requests(); }

  void control(const std::string& json) { server->control(json); }
  void fault(const std::string& op, const std::string& kind, int count = 1) {
    control("{\"cmd\": \"fault\", \"op\": \"" + op + "\", \"kind\": \"" + kind +
            "\", \"count\": " + std::to_string(count) + "}");
  }
  void setConnections(const std::vector<std::string>& list) {
    std::string json = "{\"cmd\": \"set\", \"connections\": [";
    for (size_t i = 0; i < list.size(); i++)
      json += (i ? ", " : "") + list[i];
    control(json + "]}");
  }
  void setStatus(const std::vector<std::string>& list) {
    std::string json = "{\"cmd\": \"set\", \"status\": [";
    for (size_t i = 0; i < list.size(); i++)
      json += std::string(i ? ", " : "") + "\"" + list[i] + "\"";
    control(json + "]}");
  }

  XzavDouble* server = nullptr;
  Display* dpy = nullptr;
  testing_support::XzavTestServer xzav;
};

TEST_F(StatusDialogCallbackTest, ServerModeFromIsModule) {
  struct Case {
    std::vector<std::string> status;
    unsigned mode;
  } cases[] = {{{"is_module=0"}, 3}, {{}, 3},
               {{"is_module=1"}, 1}, {{"is_module=7"}, 1},
               {{"is_module="}, 3},  {{"is_module=x"}, 3}};
  for (const Case& c : cases) {
    setStatus(c.status);
    StatusDialogCallback callback(dpy, nullptr);
    EXPECT_EQ(callback.getServerMode(), c.mode) << (c.status.empty() ? "" : c.status[0]);
    serverconfig::OptionsDialog::Callback& options = callback;
    EXPECT_EQ(options.getMode(), c.mode);
  }
  EXPECT_EQ(requests(), std::vector<std::string>(6, "getStatus"));
}

TEST_F(StatusDialogCallbackTest, ParametersAndStatusValues) {
  StatusDialogCallback callback(dpy, nullptr);
  requests();
  callback.setParam("Desktop", "new name");
  EXPECT_STREQ(callback.getParam("desktop"), "new name");
  EXPECT_STREQ(callback.getStatusParam("ip_addrs"), "127.0.0.1");
  EXPECT_STREQ(callback.getStatusParam("total_connections"), "0");
  EXPECT_EQ(callback.getStatusParam("no_such_value"), nullptr);
  EXPECT_EQ(requests(),
            (std::vector<std::string>{"setParam \"Desktop=new name\"", "getParam \"desktop\"",
                                      "getStatus", "getStatus", "getStatus"}));
  setConnections({connection("alice", "10.0.0.1", "1", 1), connection("bob", "10.0.0.2", "2", 1)});
  EXPECT_STREQ(callback.getStatusParam("total_connections"), "2");
}

TEST_F(StatusDialogCallbackTest, MissingParameterReadsAsMissingAfterASuccess) {
  StatusDialogCallback callback(dpy, nullptr);
  EXPECT_EQ(callback.getParam("NoSuchParam"), nullptr);
  EXPECT_STREQ(callback.getParam("ConnNotifyTimeout"), "10");
  EXPECT_EQ(callback.getParam("NoSuchParam"), nullptr);
  fault("getParam", "fail");
  EXPECT_EQ(callback.getParam("ConnNotifyTimeout"), nullptr);
  // An empty value is a value.
  control("{\"cmd\": \"set\", \"params\": [{\"name\": \"Empty\", \"value\": \"\"}]}");
  EXPECT_STREQ(callback.getParam("Empty"), "");
}

TEST_F(StatusDialogCallbackTest, ConnectAndDisconnectAll) {
  StatusDialogCallback callback(dpy, nullptr);
  requests();
  EXPECT_NO_THROW(callback.connectToViewer("viewer.example:5500"));
  fault("connect", "fail");
  try {
    callback.connectToViewer("viewer.example");
    ADD_FAILURE() << "no exception";
  } catch (plat::Exception& e) {
    EXPECT_STREQ(e.str(), "Failed to connect to viewer.example");
  }
  // Longer than a request can carry: refused without a request.
  EXPECT_THROW(callback.connectToViewer(std::string(256, 'v').c_str()), plat::Exception);
  setConnections({connection("alice", "10.0.0.1", "1", 1)});
  EXPECT_TRUE(callback.disconnectAll());
  fault("connect", "fail");
  EXPECT_FALSE(callback.disconnectAll());
  EXPECT_EQ(requests(), (std::vector<std::string>{"connect \"viewer.example:5500\"",
                                                  "connect \"viewer.example\"", "connect \"\"",
                                                  "connect \"\""}));
  EXPECT_NE(server->control("{\"cmd\": \"state\"}").find("\"connections\": []"), std::string::npos);
}

TEST_F(StatusDialogCallbackTest, ConnectionsModelListsDisconnectsAndSetsAccess) {
  setConnections(
      {connection("alice", "10.0.0.1", "1", 65535), connection("bob", "10.0.0.2", "x+y", 1023),
       connection("carol", "10.0.0.3", nullptr, 1), connection("dave", "[fe80::1]", "", 70000)});
  StatusDialogCallback callback(dpy, nullptr);
  RecordingWindows windows;
  callback.setWindows(&windows);
  requests();
  serverconfig::ConnectionsList model(&callback);
  model.refresh();
  ASSERT_EQ(model.count(), 4u);
  const std::vector<Entry>& e = model.getEntries();
  EXPECT_EQ(e[0], Entry("alice", "10.0.0.1", "1", zav::Access::Full));
  EXPECT_EQ(e[1], Entry("bob", "10.0.0.2", "x+y", zav::Access::Default));  // first '+' splits
  EXPECT_EQ(e[2], Entry("carol", "10.0.0.3", nullptr, zav::Access::View)); // no '+'
  EXPECT_EQ(e[3], Entry("dave", "[fe80::1]", "", 70000 & 0xFFFF));
  EXPECT_STREQ(e[3].accessText(), "Custom");
  EXPECT_EQ(windows.calls, (std::vector<std::string>{"connected alice 10", "connected bob 10",
                                                     "connected carol 10", "connected dave 10"}));

  EXPECT_TRUE(model.setAccess(0, zav::Access::View));
  EXPECT_TRUE(model.setAccess(2, zav::Access::Full));
  EXPECT_TRUE(model.disconnect(1));
  EXPECT_TRUE(model.disconnect(2));
  EXPECT_EQ(requests(),
            (std::vector<std::string>{"listConnections", "getParam \"ConnNotifyTimeout\"",
                                      "setAccess \"alice\" \"10.0.0.1+1\" \"1\"",
                                      "setAccess \"carol\" \"10.0.0.3\" \"65535\"",
                                      "disconnect \"bob\" \"10.0.0.2+x+y\"",
                                      "disconnect \"carol\" \"10.0.0.3\""}));

  // The server's notice time; alice's record already has the rights the
  // server now reports, so only the two disconnected ones are news.
  windows.calls.clear();
  control("{\"cmd\": \"set\", \"params\": [{\"name\": \"ConnNotifyTimeout\", \"value\": \"0\"}]}");
  model.refresh();
  EXPECT_EQ(windows.calls,
            (std::vector<std::string>{"disconnected bob 0", "disconnected carol 0"}));
  // Gone first, then added.
  windows.calls.clear();
  setConnections(
      {connection("alice", "10.0.0.1", "1", 3), connection("dave", "[fe80::1]", "", 70000)});
  model.refresh();
  EXPECT_EQ(windows.calls, (std::vector<std::string>{"disconnected alice 0", "connected alice 0"}));
  // No value at all: 4 seconds.
  windows.calls.clear();
  control("{\"cmd\": \"set\", \"params\": []}");
  setConnections({});
  model.refresh();
  EXPECT_EQ(windows.calls,
            (std::vector<std::string>{"disconnected alice 4", "disconnected dave 4"}));

  // Refused by the server: the record keeps its rights.
  setConnections({connection("erin", "10.0.0.5", "5", 1)});
  model.refresh();
  fault("setAccess", "fail");
  EXPECT_FALSE(model.setAccess(0, zav::Access::Full));
  EXPECT_STREQ(model.getEntries()[0].accessText(), "View only");
  fault("listConnections", "fail");
  model.refresh();
  EXPECT_EQ(model.count(), 0u);
}

// Notice times beyond what an int holds reach the notices cut to it.
TEST_F(StatusDialogCallbackTest, NoticeTimesAreCutToAnInt) {
  StatusDialogCallback callback(dpy, nullptr);
  RecordingWindows windows;
  callback.setWindows(&windows);
  serverconfig::ConnectionsList model(&callback);
  const struct {
    const char* value;
    const char* seconds;
  } cases[] = {{"3000000", "3000000"},
               {"2147483647", "2147483647"},
               {"3000000000", "2147483647"},
               {"99999999999999999999", "2147483647"},
               {"-5", "-5"},
               {"-3000000000", "-2147483648"}};
  for (const auto& c : cases) {
    control(std::string("{\"cmd\": \"set\", \"params\": [{\"name\": \"ConnNotifyTimeout\", "
                        "\"value\": \"") +
            c.value + "\"}]}");
    windows.calls.clear();
    setConnections({connection("alice", "10.0.0.1", "1", 1)});
    model.refresh();
    setConnections({});
    model.refresh();
    EXPECT_EQ(windows.calls,
              (std::vector<std::string>{std::string("connected alice ") + c.seconds,
                                        std::string("disconnected alice ") + c.seconds}))
        << c.value;
  }
}

TEST_F(StatusDialogCallbackTest, IconifyChatAndFileTransfer) {
  StatusDialogCallback callback(dpy, nullptr);
  callback.iconify(); // no windows yet: nothing happens
  callback.openChat();
  RecordingWindows windows;
  callback.setWindows(&windows);
  FakeChat chat;
  callback.openChat();
  callback.setChat(&chat);
  callback.openChat();
  chat.fail = true;
  {
    testing_support::ScopedCapture capture("XzavConfig", 100);
    callback.openChat();
    EXPECT_TRUE(capture.logger.contains("chat peer unreachable"));
  }
  callback.iconify();
  EXPECT_EQ(chat.shown, 2);
  const std::string message = std::string("message ") + StatusDialogCallback::chatUnavailableText;
  EXPECT_EQ(windows.calls, (std::vector<std::string>{message, message, "iconify"}));
  EXPECT_STREQ(StatusDialogCallback::chatUnavailableText,
               "Chat unavailable. Please ensure only one instance of zavconfig is running.");
  EXPECT_EQ(callback.getUploadManager(), nullptr);
  EXPECT_EQ(callback.getFtExtension(), nullptr);
  auto* extension = reinterpret_cast<ft::Extension*>(&chat);
  callback.setFtExtension(extension);
  EXPECT_EQ(callback.getFtExtension(), extension);
}

TEST_F(StatusDialogCallbackTest, ApplyOptionsSendsOnlyChangedValues) {
  // The per-user configuration file receives "AdvancedOptions".
  AppInit* app = testing_support::zavconfigAppInit();

  plat::ParameterSet serverSet("Xzav");
  plat::StringParameter serverDesktop("Desktop", "", "Xzav demo desktop", false, &serverSet);
  plat::IntParameter serverPort("rfbPort", "", 5901, 0, 65535, false, &serverSet);
  plat::ParameterSet extra("extra");
  plat::StringParameter hosts("Hosts", "", "-", false, &extra);
  plat::ParameterSet changed("working", &extra);
  plat::StringParameter desktop("Desktop", "", "Xzav demo desktop", false, &changed);
  plat::IntParameter port("rfbPort", "", 5901, 0, 65535, false, &changed);
  port.setParam("5902", 50);
  serverconfig::OptionsDialog::advancedParam.setParam("1", 50);

  StatusDialogCallback callback(dpy, nullptr);
  requests();
  {
    testing_support::ScopedCapture capture("XzavConfig", 100);
    serverconfig::OptionsDialog::Callback& options = callback;
    options.applyOptions(&changed, &serverSet);
    EXPECT_TRUE(capture.logger.contains("rfbPort: 5901 -> 5902"));
    EXPECT_TRUE(capture.logger.contains("Desktop unchanged"));
    EXPECT_TRUE(capture.logger.contains("Hosts: (none) -> -"));
  }
  EXPECT_EQ(requests(),
            (std::vector<std::string>{"setParam \"rfbPort=5902\"", "setParam \"Hosts=-\""}));
  EXPECT_EQ(serverPort.getValue(), 5902);
  EXPECT_EQ(serverPort.getPriority(), 50);
  std::ifstream file(app->getUserConfigFile());
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("AdvancedOptions=1"), std::string::npos) << text;
  EXPECT_NE(server->control("{\"cmd\": \"state\"}").find("\"value\": \"5902\""), std::string::npos);

  // Nothing changed: nothing sent.
  callback.applyOptions(&changed, &serverSet);
  EXPECT_EQ(requests(), (std::vector<std::string>{"setParam \"Hosts=-\""}));
}

// A setting that the server refuses, or that is too long to send, is not
// copied into the server set, and the user is told which and why; the
// others are applied as usual.
TEST_F(StatusDialogCallbackTest, ApplyOptionsTellsWhichSettingsWereNotApplied) {
  testing_support::zavconfigAppInit();
  plat::ParameterSet serverSet("Xzav");
  plat::StringParameter serverDesktop("Desktop", "", "Xzav demo desktop", false, &serverSet);
  plat::StringParameter serverHosts("Hosts", "", "+", false, &serverSet);
  plat::StringParameter serverOdd("NoSuchParam", "", "a", false, &serverSet);
  plat::StringParameter serverFits("AllowedUsers", "", "", false, &serverSet);
  plat::ParameterSet changed("working");
  plat::StringParameter desktop("Desktop", "", "new desk", false, &changed);
  // "Hosts=" and 250 bytes: 256 bytes, one more than a request carries.
  const std::string tooLong = "+" + std::string(249, 'h');
  plat::StringParameter hosts("Hosts", "", tooLong.c_str(), false, &changed);
  plat::StringParameter odd("NoSuchParam", "", "b", false, &changed);
  // "AllowedUsers=" and 242 bytes: exactly 255.
  const std::string fits(242, 'u');
  plat::StringParameter allowed("AllowedUsers", "", fits.c_str(), false, &changed);

  control("{\"cmd\": \"put_param\", \"name\": \"AllowedUsers\", \"value\": \"\"}");
  StatusDialogCallback callback(dpy, nullptr);
  RecordingWindows windows;
  callback.setWindows(&windows);
  requests();
  serverconfig::OptionsDialog::Callback& options = callback;
  options.applyOptions(&changed, &serverSet);

  std::vector<std::string> sent = requests();
  std::sort(sent.begin(), sent.end());
  EXPECT_EQ(sent, (std::vector<std::string>{"setParam \"AllowedUsers=" + fits + "\"",
                                            "setParam \"Desktop=new desk\"",
                                            "setParam \"NoSuchParam=b\""}));
  EXPECT_STREQ(serverDesktop.getValueStr().c_str(), "new desk");
  EXPECT_STREQ(serverFits.getValueStr().c_str(), fits.c_str());
  EXPECT_STREQ(serverHosts.getValueStr().c_str(), "+") << "never sent";
  EXPECT_STREQ(serverOdd.getValueStr().c_str(), "a") << "refused";
  ASSERT_EQ(windows.calls.size(), 1u);
  const std::string& message = windows.calls[0];
  EXPECT_EQ(message.rfind("message These settings were not applied:\n\n", 0), 0u) << message;
  EXPECT_NE(
      message.find("\nHosts: the value is too long: name and value may have 255 bytes at most"),
      std::string::npos)
      << message;
  EXPECT_NE(message.find("\nNoSuchParam: the server refused the value"), std::string::npos)
      << message;
  EXPECT_EQ(message.find("Desktop"), std::string::npos) << message;

  // Applying again sends the two again, as they still differ from the server.
  windows.calls.clear();
  options.applyOptions(&changed, &serverSet);
  sent = requests();
  EXPECT_EQ(sent, (std::vector<std::string>{"setParam \"NoSuchParam=b\""}));
  EXPECT_EQ(windows.calls.size(), 1u);
}

TEST_F(StatusDialogCallbackTest, ReloadParamsLoadsTheServersXml) {
  plat::ParameterSet set("Xzav");
  StatusDialogCallback callback(dpy, nullptr);
  requests();
  serverconfig::OptionsDialog::Callback& options = callback;
  options.reloadParams(&set);
  ASSERT_NE(set.find("Desktop"), nullptr);
  EXPECT_STREQ(set.find("Desktop")->getValueStr().c_str(), "Xzav demo desktop");
  ASSERT_NE(set.find("ConnNotifyTimeout"), nullptr);
  fault("getParamsXml", "fail");
  plat::ParameterSet untouched("Xzav");
  options.reloadParams(&untouched);
  EXPECT_EQ(untouched.getFirst(), nullptr);
  EXPECT_EQ(requests(), (std::vector<std::string>{"getParamsXml", "getParamsXml"}));
}

} // namespace
