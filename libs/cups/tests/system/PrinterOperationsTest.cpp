// The printer operations against a real print server: cupsd on a private
// socket with the stand-in "zav" backend. The process's printing library is
// pointed at the server through its environment, once for the whole suite
// (the library keeps the server it found).
#include "cups/Printers.h"

#include "CupsServer.h"
#include "TempDir.h"
#include "ThrownMessage.h"
#include "cups/CupsApi.h"
#include "cups/Dests.h"
#include "cups/PpdFile.h"
#include "plat/unix/Passwd.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

using testing_support::CupsServer;
using testing_support::thrownMessage;

namespace {

class PrinterOperations : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    if (!CupsServer::unsupportedReason().empty())
      return;
    server = new CupsServer;
    setenv("CUPS_SERVER", server->socket().c_str(), 1);
    // root's own destination options go to $HOME/.cups, here in the
    // server's directory; the system's own go to its server root.
    setenv("CUPS_SERVERROOT", server->dir().c_str(), 1);
    setenv("HOME", server->dir().c_str(), 1);
    cups::initialise();
  }
  static void TearDownTestSuite() {
    delete server;
    server = nullptr;
  }
  void SetUp() override {
    std::string reason = CupsServer::unsupportedReason();
    if (!reason.empty())
      GTEST_SKIP() << reason;
  }
  void TearDown() override {
    if (server)
      server->client("for q in $(lpstat -e); do lpadmin -x $q; done");
  }

  static CupsServer* server;
};

CupsServer* PrinterOperations::server = nullptr;

} // namespace

TEST_F(PrinterOperations, AddPrinterMakesTheQueue) {
  os::Passwd nobody("nobody");
  ASSERT_TRUE(
      cups::addPrinter("p1", "Viewer printer", server->ppd().c_str(), "7", nobody.getUid(), 1))
      << server->errorLog();
  EXPECT_EQ(server->client("lpstat -v p1"), "device for p1: zav:/PDF/7\n");
  EXPECT_EQ(server->client("lpstat -p p1").rfind("printer p1 is idle.", 0), 0u);
  EXPECT_EQ(server->client("lpstat -a p1").rfind("p1 accepting requests", 0), 0u);
  std::string details = server->client("lpstat -l -p p1");
  EXPECT_NE(details.find("Description: Viewer printer"), std::string::npos) << details;
  EXPECT_NE(details.find("Users allowed:\n\t\tnobody\n"), std::string::npos) << details;

  // Adding again modifies the queue.
  ASSERT_TRUE(cups::addPrinter("p1", "Viewer printer", server->ppd().c_str(), "8", 0, 0));
  EXPECT_EQ(server->client("lpstat -v p1"), "device for p1: zav:/PS/8\n");

  ASSERT_TRUE(cups::deletePrinter("p1"));
  EXPECT_EQ(server->queues(), "");
}

TEST_F(PrinterOperations, QueueAccessTellsDeviceAndAllowedUsers) {
  os::Passwd nobody("nobody");
  ASSERT_TRUE(
      cups::addPrinter("p1", "Viewer printer", server->ppd().c_str(), "7", nobody.getUid(), 1));
  server->client("lpadmin -p open -v zav:/PS/1 -P " + server->ppd() + " -E");
  server->client("lpadmin -p two -v other:/PS/2 -P " + server->ppd() + " -u allow:nobody,root -E");
  struct {
    const char* queue;
    std::string deviceUri;
    std::vector<std::string> allowedUsers;
  } cases[] = {{"p1", "zav:/PDF/7", {"nobody"}},
               {"open", "zav:/PS/1", {}},
               {"TWO", "other:/PS/2", {"nobody", "root"}}};
  for (const auto& c : cases) {
    cups::QueueAccess access;
    ASSERT_TRUE(cups::getQueueAccess(c.queue, access)) << c.queue << server->errorLog();
    EXPECT_EQ(access.deviceUri, c.deviceUri) << c.queue;
    EXPECT_EQ(access.allowedUsers, c.allowedUsers) << c.queue;
  }
  cups::QueueAccess access;
  EXPECT_FALSE(cups::getQueueAccess("nosuchqueue", access));
  EXPECT_EQ(cups::cupsLastError(), cups::IPP_STATUS_ERROR_NOT_FOUND);
}

TEST_F(PrinterOperations, DeletingAnUnknownQueueFails) {
  // The server answers with client-error-not-found: no success.
  EXPECT_FALSE(cups::deletePrinter("nosuchqueue"));
  EXPECT_EQ(cups::cupsLastError(), cups::IPP_STATUS_ERROR_NOT_FOUND);
}

TEST_F(PrinterOperations, AddPrinterWithoutUsablePpdFails) {
  testing_support::TempDir dir;
  std::string bad = dir / "bad.ppd";
  std::ofstream(bad) << "not a PPD\n";
  EXPECT_FALSE(cups::addPrinter("p2", "x", bad.c_str(), "7", 0, 0));
  EXPECT_NE(cups::cupsLastError(), 0);
  EXPECT_EQ(server->queues(), "");
}

TEST_F(PrinterOperations, PostScriptJobReachesTheBackend) {
  ASSERT_TRUE(cups::addPrinter("p1", "Viewer printer", server->ppd().c_str(), "7", 0, 0));
  testing_support::TempDir dir;
  std::string ps = dir / "job.ps";
  const std::string text = "%!PS\n/Helvetica findfont 12 scalefont setfont\nshowpage\n";
  std::ofstream(ps) << text;
  cups::printPS("p1", ps.c_str(), "Test job", true);
  std::string data;
  std::string args = server->waitForJob(1, &data);
  EXPECT_EQ(args, "zav:/PS/7|root|Test job|1") << server->errorLog();
  EXPECT_EQ(data, text);

  EXPECT_EQ(thrownMessage([&] { cups::printPS("p9", ps.c_str(), "Job", false); }),
            "Failed to print 'Job' to unknown printer 'p9'");
}

TEST_F(PrinterOperations, ZavOptionsAreStoredOnTheDestination) {
  ASSERT_TRUE(cups::addPrinter("p1", "Viewer printer", server->ppd().c_str(), "7", 0, 0));
  {
    cups::Dests dests;
    cups::setZavOptions(dests, dests.find("p1"), "1234", 0);
  }
  cups::Dests reloaded;
  cups::cups_dest_t* dest = reloaded.find("P1");
  ASSERT_NE(dest, nullptr);
  EXPECT_STREQ(cups::cupsGetOption("zav-id", dest->num_options, dest->options), "1234");
  EXPECT_STREQ(cups::cupsGetOption("zav-user", dest->num_options, dest->options), "root");
  EXPECT_STREQ(cups::cupsGetOption("device-uri", dest->num_options, dest->options), "zav:/PS/7");
}

TEST_F(PrinterOperations, DefaultPrinter) {
  ASSERT_TRUE(cups::addPrinter("a1", "A", server->ppd().c_str(), "1", 0, 0));
  ASSERT_TRUE(cups::addPrinter("b1", "B", server->ppd().c_str(), "2", 0, 0));
  {
    cups::Dests dests;
    EXPECT_EQ(dests.count(), 2);
    dests.setDefault(dests.find("b1"));
  }
  cups::Dests reloaded;
  EXPECT_STREQ(reloaded.defaultName(), "b1");
}

TEST_F(PrinterOperations, PpdOfAQueue) {
  ASSERT_TRUE(cups::addPrinter("p1", "Viewer printer", server->ppd().c_str(), "7", 0, 0));
  std::string file;
  {
    cups::PpdFile ppd("p1");
    ASSERT_NE(ppd.ppd(), nullptr);
    file = ppd.fileName();
    EXPECT_EQ(cups::ppdPageWidth(ppd.ppd(), "A4"), 595.0f);
    EXPECT_EQ(cups::ppdPageLength(ppd.ppd(), "A4"), 842.0f);
  }
  EXPECT_NE(access(file.c_str(), F_OK), 0) << "the temporary PPD stays behind";
  EXPECT_EQ(thrownMessage([] { cups::PpdFile ppd("nosuchqueue"); }),
            "Failed to get PPD file for printer 'nosuchqueue'");
}
