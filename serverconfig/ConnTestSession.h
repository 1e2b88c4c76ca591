// What the connection test window shows, without the window: runs the
// connection test for the server's port, keeps the details text and the
// running flag, turns the outcome into words and log lines, and compares the
// server's connection count before and after. The window owns one and is
// told of every change through the change function. The status callback and
// the socket manager are not owned; the test is.
#pragma once

#include "serverconfig/StatusDialog.h"
#include "zav/conntest/ConnectionTest.h"

#include <functional>
#include <string>

namespace net {
class SocketManager;
}

namespace serverconfig {

class ConnTestSession : public zav::ConnectionTest::Callback {
public:
  // serviceHost and servicePort name the test service (tests give a
  // loopback stand-in).
  ConnTestSession(StatusDialog::Callback* status, net::SocketManager* mgr,
                  const char* serviceHost = zav::ConnectionTest::testHost,
                  int servicePort = zav::ConnectionTest::servicePort);
  ~ConnTestSession() override;

  // The header above the buttons for the running state or the idle one.
  static const char* headerText(bool running);

  // Reads the port and the connection count and starts a test. The session
  // is running only when a test did start; otherwise the details tell why.
  void startTest();
  // "Stop": abandons the running test.
  void cancel();
  void clearDetails() { details_.clear(); }

  void testComplete(zav::ConnectionTest* test, const char* error) override;

  bool isRunning() const { return running; }
  const std::string& details() const { return details_; }
  int getPort() const { return port; }
  zav::ConnectionTest& getTest() { return test; }

  // Called after every change of the running flag or the details.
  std::function<void()> onChange;

private:
  void changed();

  StatusDialog::Callback* status;
  zav::ConnectionTest test;
  int connectionsAtStart = 0;
  bool running = false;
  int port = 0;
  std::string details_;
};

} // namespace serverconfig
